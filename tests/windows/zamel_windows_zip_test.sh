#!/usr/bin/env bash
# zamel-windows.zip as a user gets it: the files it holds, zamel.exe's command
# line, and its console run of a Talvane upload package under Wine against
# receiver-sim on the prefix's COM1, the flash compared byte for byte with the
# map and the code.
# Arguments: the zip, receiver-sim of the native build. WINEPREFIX names the
# prefix (scripts/wine-prefix).
set -uo pipefail
zip=$1
sim=$2
wine=/usr/lib/wine/wine64
ports="$WINEPREFIX/ports"

scratch=$(mktemp -d /tmp/zt-zip-XXXXXX)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

cd "$scratch" || exit 1
cmake -E tar xf "$zip" || exit 1
for file in zamel.exe ReadMeZamel.txt ReadMeWindows.txt; do
  [ -s "$file" ] || fail "$file is not in the zip"
done
grep -q $'\r$' ReadMeWindows.txt || fail "the read-me lines do not end in CR LF"

[ "$("$wine" ./zamel.exe --version 2>/dev/null | tr -d '\r')" = "zamel 1.14" ] ||
  fail "zamel.exe --version"
"$wine" ./zamel.exe --no-such-option >/dev/null 2>&1
[ $? -eq 2 ] || fail "an unknown option is not refused with status 2"

# A code image with its version record at 0xE00 and a map with its header at 64.
mkdir upload && cd upload || exit 1
head -c 12000 /dev/urandom >code.bin
printf '033\0\001\012' | dd of=code.bin bs=1 seek=$((0xE00)) conv=notrunc status=none
objcopy -I binary -O srec --change-addresses 0x2D004000 --srec-forceS3 --srec-len=32 \
  code.bin code.srec
head -c 9000 /dev/urandom >map.img
printf '[MAP_INFO]\r\nMAP_NAME=TALVANE BASEMAP\r\n' | dd of=map.img bs=1 seek=64 conv=notrunc \
  status=none
printf '[Talvane]\r\nCODE=code.srec\r\nVERSION=1.10\r\nMAP=map.img\r\nMAPKEY=Talvane base map\r\n' \
  >zamel.ini

"$sim" --dir "$ports" --port 1 --model Talvane --flash-out-each "$scratch/flash" \
  --erase-ms 1 --restart-ms 100 >"$scratch/ready" 2>"$scratch/sim.err" &
sim_pid=$!
for _ in $(seq 50); do
  grep -q '^ready' "$scratch/ready" && break
  sleep 0.1
done
grep -q '^ready COM1' "$scratch/ready" || fail "receiver-sim did not become ready"

timeout 180 "$wine" ../zamel.exe >"$scratch/console" 2>&1
status=$?
tr -d '\r' <"$scratch/console" >"$scratch/console.txt"
[ "$status" -eq 0 ] || fail "the console run ended with status $status"
for line in "Upload of BASE MAP complete" "Upload of CODE complete"; do
  grep -q "$line" "$scratch/console.txt" || fail "the console run did not report '$line'"
done

kill "$sim_pid" && wait "$sim_pid"
sim_pid=
objcopy -I srec -O binary "$scratch/flash-1.srec" "$scratch/flash-1.bin" 2>/dev/null
objcopy -I srec -O binary "$scratch/flash-2.srec" "$scratch/flash-2.bin" 2>/dev/null
cmp -s "$scratch/flash-1.bin" map.img || fail "the receiver's flash differs from the map"
cmp -s "$scratch/flash-2.bin" code.bin || fail "the receiver's flash differs from the code"

if [ "$failures" -ne 0 ]; then
  echo "---- console of zamel.exe"
  cat "$scratch/console.txt"
  echo "---- receiver-sim"
  cat "$scratch/sim.err"
fi
[ "$failures" -eq 0 ]
