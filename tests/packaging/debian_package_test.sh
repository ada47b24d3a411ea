#!/usr/bin/env bash
# Makes the Debian package of the build in a scratch directory and checks it:
# exactly the files an install should hold, desktop entries that validate and
# name programs and icons the package has, the libraries the programs need,
# manual pages that render without a warning, and no lintian error or warning.
# Arguments: the build directory, the source directory, the installed programs
# (a CMake list).
set -euo pipefail
shopt -s nullglob
build=$1
source=$2
IFS=';' read -r -a programs <<<"$3"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

if ! cpack -G DEB -B "$scratch" --config "$build/CPackConfig.cmake" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log"
  fail "cpack could not make the package"
  exit 1
fi
packages=("$scratch"/*.deb)
[ ${#packages[@]} -eq 1 ] && [ -f "${packages[0]}" ] || {
  fail "expected one .deb, found: ${packages[*]}"
  exit 1
}
deb=${packages[0]}

doc=usr/share/doc/zamel-tagwright
icons=usr/share/icons/hicolor
expected=("$doc/ReadMeZamel.txt" "$doc/README.receiver-sim.md" "$doc/changelog.gz" "$doc/copyright")
[ -f "$source/resources/ReadMeTagwright.txt" ] && expected+=("$doc/ReadMeTagwright.txt")
for program in "${programs[@]}"; do
  expected+=("usr/bin/$program" "usr/share/man/man1/$program.1.gz")
  [ "$program" = receiver-sim ] && continue
  entry=${program,,}
  expected+=("usr/share/applications/$entry.desktop" "$icons/scalable/apps/$entry.svg"
    "$icons/48x48/apps/$entry.png" "$icons/256x256/apps/$entry.png")
done

# dpkg-deb -c lists "./path" last on each line; directories end in a slash.
dpkg-deb -c "$deb" | awk '{print $NF}' | sed -n 's|^\./||; /[^/]$/p' | sort >"$scratch/files"
printf '%s\n' "${expected[@]}" | sort >"$scratch/expected"
if ! diff -u "$scratch/expected" "$scratch/files"; then
  fail "the package's files differ from the install's (- expected, + in the package)"
fi

dpkg-deb -x "$deb" "$scratch/root"
for program in "${programs[@]}"; do
  [ -x "$scratch/root/usr/bin/$program" ] || fail "usr/bin/$program is not executable"
done
for entry in "$scratch"/root/usr/share/applications/*.desktop; do
  desktop-file-validate "$entry" || fail "$(basename "$entry") does not validate"
  exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
  icon=$(sed -n 's/^Icon=//p' "$entry")
  [ -n "$exec_program" ] && [ -x "$scratch/root/usr/bin/$exec_program" ] ||
    fail "$(basename "$entry") starts '$exec_program', which the package lacks"
  [ -n "$icon" ] && [ -f "$scratch/root/$icons/48x48/apps/$icon.png" ] ||
    fail "$(basename "$entry") names icon '$icon', which the package lacks"
done

# The Qt programs run only where Qt's libraries are: the package must say so.
depends=$(dpkg-deb -f "$deb" Depends)
for program in "${programs[@]}"; do
  if [ "$program" != receiver-sim ] && ! grep -q 'libqt6widgets6' <<<"$depends"; then
    fail "Depends lacks Qt's widget library ($program needs it): '$depends'"
  fi
done
"$scratch/root/usr/bin/receiver-sim" --help >/dev/null || fail "the packaged receiver-sim does not run"

for page in "$scratch"/root/usr/share/man/man1/*.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$(basename "$page") renders with warnings: $warnings"
done

# Info-level tags remain (the "Determing Upload Protocol" title is the loader's own text).
if ! lintian --fail-on error,warning "$deb" >"$scratch/lintian.log" 2>&1; then
  cat "$scratch/lintian.log"
  fail "lintian reports errors or warnings"
fi

[ "$failures" -eq 0 ] || exit 1
echo "$(basename "$deb"): $(wc -l <"$scratch/files") files as installed; desktop entries valid; lintian clean"
