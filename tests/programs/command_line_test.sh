#!/usr/bin/env bash
# The three programs' command lines: --help and --version answer without a
# display, and a command line they cannot take is refused with status 2 and a
# pointer to --help; every option --help names is in the manual page.
# Arguments: zamel, Tagwright and receiver-sim as built, the manual pages' folder.
set -uo pipefail
zamel=$1
tagwright=$2
sim=$3
pages=$4

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
failures=0

# expect STATUS "STDOUT'S FIRST LINE" "TEXT IN STDERR (none when empty)" PROGRAM ARGUMENT...
expect() {
  local status=$1 first=$2 error=$3
  shift 3
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" >out 2>err </dev/null
  local got=$?
  local line errors
  line=$(head -n 1 out)
  errors=$(cat err)
  if [ "$got" -ne "$status" ] || [ "$line" != "$first" ] ||
    { [ -z "$error" ] && [ -n "$errors" ]; } || [[ "$errors" != *"$error"* ]]; then
    echo "FAIL: $(basename "$1") ${*:2}: status $got (want $status), first line '$line' (want '$first')"
    sed 's/^/  stderr: /' err
    failures=$((failures + 1))
  fi
}

expect 0 "zamel 1.14" "" "$zamel" --version
expect 0 "Tagwright 0.05b Alpha (zamel-tagwright 1.14)" "" "$tagwright" --version
expect 0 "receiver-sim 1.14" "" "$sim" --version
expect 0 "Usage: zamel [FILE]" "" "$zamel" --help
expect 0 "Usage: Tagwright" "" "$tagwright" -h
expect 0 "Usage: receiver-sim [OPTION]..." "" "$sim" --help
for program in "$zamel" "$tagwright" "$sim"; do
  name=$(basename "$program")
  expect 2 "" "$name: unknown option '--bogus'
Try '$name --help'." "$program" --bogus
  grep -q -- "--version" <("$program" --help) || {
    echo "FAIL: $name --help does not mention --version"
    failures=$((failures + 1))
  }
  for option in $("$program" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
    grep -qF -- "${option//-/\\-}" "$pages/$name.1" || {
      echo "FAIL: $name(1) lacks $option, which $name --help names"
      failures=$((failures + 1))
    }
  done
done
expect 2 "" "zamel: cannot read 'missing.srec': No such file or directory" "$zamel" missing.srec
expect 2 "" "Tagwright: no file argument is taken: 'firmware.hex'" "$tagwright" firmware.hex

[ "$failures" -eq 0 ] || exit 1
echo "--help, --version and refusals as expected for zamel, Tagwright and receiver-sim"
