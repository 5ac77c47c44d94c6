# The one place that installs what the builds and tests need; sourced by
# scripts/run (what the build needs) and scripts/test (everything). Each
# step installs only the Debian packages that are missing, in one apt-get
# call that prints a single line naming them, and does nothing when all are
# there. Not root: through sudo.

# What `cmake --preset release` and the build of both programs need; the
# release preset also builds the benchmarks.
kinetor_build_packages=(cmake g++ make python3 libstb-dev libbenchmark-dev)
# What scripts/test needs on top: the tests, the clang fuzzers, the Windows
# cross compilers, Wine with a private X display, and the package checkers.
kinetor_test_packages=(googletest libgtest-dev clang
                       g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
                       wine64 xvfb xauth dpkg-dev lintian e2fsprogs)

kinetor_sudo=()
[ "$(id -u)" -eq 0 ] || kinetor_sudo=(sudo)

kinetor_installed() {  # kinetor_installed PACKAGE
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# Installs those of the given packages that are missing.
install_packages() {  # install_packages PACKAGE...
  local missing=() p
  for p in "$@"; do
    kinetor_installed "$p" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  echo "Installing: ${missing[*]}"
  if ! command -v apt-get >/dev/null; then
    echo "No apt-get on this machine: install ${missing[*]} (Debian names) by hand" >&2
    return 1
  fi
  kinetor_apt install -y "${missing[@]}" || {
    echo "Could not install ${missing[*]}" >&2
    return 1
  }
}

# apt-get update, then apt-get with the given arguments; what they print is
# shown only when one fails.
kinetor_apt() {  # kinetor_apt ARGUMENT...
  local log rc=0
  log=$(mktemp)
  { "${kinetor_sudo[@]}" apt-get update -qq &&
    "${kinetor_sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -qq "$@"; } >"$log" 2>&1 || rc=$?
  [ "$rc" -eq 0 ] || cat "$log" >&2
  rm -f "$log"
  return "$rc"
}

install_build_deps() { install_packages "${kinetor_build_packages[@]}"; }

# Everything the test run needs. The shipped program is 32-bit: where this
# machine runs 32-bit x86 programs, 32-bit Wine is installed too, to run the
# Windows tests a second time. Sets kinetor_skip32 to the reason when that
# run cannot be done, and leaves it empty when it can.
install_test_deps() {
  install_packages "${kinetor_build_packages[@]}" "${kinetor_test_packages[@]}" || return 1
  kinetor_skip32=""
  kinetor_probe_32bit || return 0
  kinetor_installed wine32:i386 && return 0
  echo "Installing: wine32:i386"
  { dpkg --print-foreign-architectures | grep -qx i386 ||
    "${kinetor_sudo[@]}" dpkg --add-architecture i386; } &&
    kinetor_apt install -y wine32:i386 ||
    kinetor_skip32="wine32:i386 could not be installed"
}

# Probes with the smallest 32-bit program: twelve bytes of i386 code that
# exit with 42, in a bare ELF header, written under the current folder's
# build/.
kinetor_probe_32bit() {
  local probe=build/probe-i386 rc=0
  mkdir -p build
  python3 - "$probe" <<'PY'
import struct, sys
base = 0x08048000
code = bytes([0xBB, 42, 0, 0, 0, 0xB8, 1, 0, 0, 0, 0xCD, 0x80])  # exit(42)
size = 52 + 32 + len(code)
header = b"\x7fELF" + bytes([1, 1, 1]) + bytes(9)
header += struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, base + 84, 52, 0, 0, 52, 32, 1, 0, 0, 0)
segment = struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
with open(sys.argv[1], "wb") as f:
    f.write(header + segment + code)
PY
  chmod +x "$probe"
  "$probe" 2>/dev/null || rc=$?
  rm -f "$probe"
  if [ "$rc" -ne 42 ]; then
    kinetor_skip32="this machine does not run 32-bit x86 programs (the probe ended with $rc, not 42)"
    return 1
  fi
}
