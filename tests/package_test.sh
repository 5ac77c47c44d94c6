#!/usr/bin/env bash
# Unpacks the packages as a user would and builds the bundled example with the
# program each one carries: the Linux program from the .tar.gz and the .deb,
# and, when a 32-bit Wine loader is given, kinetor.exe from the zip. All must
# write the same bytes.
#   tests/package_test.sh WIN32_BUILD_DIR LINUX_BUILD_DIR [WINE_LOADER]
set -euo pipefail
win_dir=$1
linux_dir=$2
wine=${3:-}
version=$(sed -n 's/^project(kinetor VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
check() {  # check WHAT COMMAND...: one result line per check
  if "${@:2}"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "package check failed: $1" >&2
  fi
}
# Runs kinetor-show on the example it lies beside; its exit code tells.
show_example() {  # show_example EXAMPLE_DIR RUNNER...
  local example=$1
  shift
  (cd "$example" && "$@" spinner.anim --png spinner.png) >/dev/null
}
size_line() { echo "  $(basename "$1"): $(wc -c <"$1") bytes"; }

# Builds the example inside an unpacked package: the settings go beside the
# program, the script runs from the example's folder. Prints the output path.
build_example() {  # build_example PROGRAM_DIR EXAMPLE_DIR RUNNER...
  local program_dir=$1 example=$2
  shift 2
  cp "$example/kinetor.ini" "$program_dir/kinetor.ini"
  local rc=0
  (cd "$example" && "$@" build.txt) >/dev/null 2>&1 || rc=$?
  [ "$rc" -eq 1 ] || { echo "the program ended with $rc, not 1" >&2; return 1; }
  [ -s "$example/spinner.anim" ]
}

echo "Packages:"
tgz="$linux_dir/kinetor-$version-Linux.tar.gz"
deb=$(ls "$linux_dir"/kinetor_"$version"_*.deb)
zip="$win_dir/kinetor-$version-win32.zip"
for f in "$zip" "$tgz" "$deb"; do size_line "$f"; done

mkdir "$work/tgz" "$work/deb" "$work/zip"
tar -xzf "$tgz" -C "$work/tgz"
dpkg-deb -x "$deb" "$work/deb"
python3 -m zipfile -e "$zip" "$work/zip"

top="$work/tgz/kinetor-$version-Linux"
check "tar.gz: bin/kinetor --version" \
  test "$("$top/bin/kinetor" --version)" = "kinetor $version"
check "tar.gz: README" test -s "$top/share/doc/kinetor/README.md"
check "tar.gz: the example builds" \
  build_example "$top/bin" "$top/share/doc/kinetor/example" "$top/bin/kinetor"
check ".deb: the example builds" \
  build_example "$work/deb/usr/bin" "$work/deb/usr/share/doc/kinetor/example" \
  "$work/deb/usr/bin/kinetor"
check "tar.gz: kinetor-show finds no defect in the example and draws it" \
  show_example "$top/share/doc/kinetor/example" "$top/bin/kinetor-show"
check ".deb: bin/kinetor-show" test -x "$work/deb/usr/bin/kinetor-show"
man_pages() {  # man_pages ROOT: both pages there, and man reads them without a warning
  local page out
  for page in kinetor kinetor-show; do
    out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$1/share/man/man1/$page.1.gz" 2>&1 >/dev/null) &&
      [ -z "$out" ] || { echo "$page.1: ${out:-missing}" >&2; return 1; }
  done
}
check "tar.gz: the manual pages" man_pages "$top"
check ".deb: the manual pages" man_pages "$work/deb/usr"
# Debian's package checker; its errors fail the run, its warnings are shown.
check ".deb: lintian finds no error" lintian --fail-on error "$deb"
check ".deb and .tar.gz write the same bytes" \
  cmp -s "$top/share/doc/kinetor/example/spinner.anim" \
  "$work/deb/usr/share/doc/kinetor/example/spinner.anim"

win="$work/zip/kinetor-$version-win32"
check "zip: kinetor.exe, kinetor-show.exe, README.md, example/build.txt" \
  test -s "$win/kinetor.exe" -a -s "$win/kinetor-show.exe" -a -s "$win/README.md" \
  -a -s "$win/example/build.txt"
if [ -n "$wine" ]; then
  check "zip: the example builds under 32-bit Wine" \
    build_example "$win" "$win/example" "$wine" "$win/kinetor.exe"
  check "the Windows and Linux programs write the same bytes" \
    cmp -s "$win/example/spinner.anim" "$top/share/doc/kinetor/example/spinner.anim"
  check "zip: kinetor-show.exe finds no defect in the example under 32-bit Wine" \
    show_example "$win/example" "$wine" ../kinetor-show.exe
else
  echo "package check of kinetor.exe skipped: no 32-bit Wine on this machine"
fi
echo "packages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
