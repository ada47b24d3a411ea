#!/bin/bash
# host_bridge.sh MODE PORT PROGRAM [ARGUMENT]...
#
# Runs a program of this machine for a Windows test under Wine, which can start
# a Linux program but neither wait for it nor pass it pipes: the two talk over
# a TCP connection to 127.0.0.1:PORT, where the test listens.
#   run    the program's output, then a line "exit STATUS" when it ends;
#   serve  the program's output; each line the test sends is a signal number
#          for it, and the end of the test's side is SIGTERM; a line
#          "exit STATUS" when it ends;
#   relay  the program reads and writes the connection itself.
set -u
# Wine hands over its Windows search path.
export PATH=/usr/local/bin:/usr/bin:/bin
mode=$1
port=$2
shift 2
exec 3<>"/dev/tcp/127.0.0.1/$port" || exit 1
case $mode in
    run)
        "$@" >&3 2>&3
        echo "exit $?" >&3
        ;;
    serve)
        "$@" >&3 &
        program=$!
        {
            while IFS= read -r signal; do kill "-$signal" "$program" 2>/dev/null; done
            kill -TERM "$program" 2>/dev/null
        } <&3 &
        listener=$!
        wait "$program"
        status=$?
        echo "exit $status" >&3
        kill "$listener" 2>/dev/null
        ;;
    relay)
        exec "$@" <&3 >&3
        ;;
    *)
        echo "host_bridge.sh: unknown mode $mode" >&2
        exit 2
        ;;
esac
