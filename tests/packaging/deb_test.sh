#!/usr/bin/env bash
# deb_test.sh DEB_DIR
# The Debian packages in DEB_DIR as a lab's administrator and its students use them: lintian
# finds no error; `apt install` puts them on this machine; with nothing else, the programs,
# the manual, a controller built through pkg-config, a plant built through the CMake package,
# the Python module and a controller filling the tank under a private Xvfb all work; `apt
# remove` then leaves no file of theirs behind. The packages are removed again however a step
# ends. It installs into the system: run it as root, on a machine of its own (CI runs it last).
set -euo pipefail

deb_dir=$(cd "${1:?usage: deb_test.sh DEB_DIR}" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
packages=(sudz sudz-dev python3-sudz)
work=$(mktemp -d)
installed=0
touched=0

fail() {
  echo "deb_test: $*" >&2
  exit 1
}

is_installed() {
  dpkg-query -W -f '${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

cleanup() {
  local status=$?
  if [ "$installed" = 1 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq "${packages[@]}" >"$work/remove.log" 2>&1 ||
      { cat "$work/remove.log" >&2; status=1; }
  fi
  # dpkg keeps a removed package's record until it is purged: leave its database as it was.
  if [ "$touched" = 1 ]; then dpkg --purge "${packages[@]}" >/dev/null 2>&1 || true; fi
  rm -rf "$work"
  exit $status
}
trap cleanup EXIT

[ "$(id -u)" = 0 ] || fail "needs root: it installs the packages into the system"
debs=()
for p in "${packages[@]}"; do
  is_installed "$p" && fail "$p is already installed here; this test would remove it"
  found=("$deb_dir/${p}_"*.deb)
  [ -f "${found[0]}" ] && [ ${#found[@]} = 1 ] || fail "expected one package $p in $deb_dir"
  debs+=("${found[0]}")
done

echo "== lintian"
lintian --fail-on error "${debs[@]}" | tee "$work/lintian" ||
  fail "lintian reports errors"

# Each package's copyright file is machine-readable and carries the licence of the source tree,
# word for word (its paragraph lines indented, blank lines as " .").
sed -e '1,/^Permission/{/^Permission/!d}' -e 's/^$/./' -e 's/^/ /' "$source_dir/LICENSE" >"$work/licence"
for deb in "${debs[@]}"; do
  dpkg-deb --fsys-tarfile "$deb" | tar -xO --wildcards './usr/share/doc/*/copyright' >"$work/copyright"
  head -1 "$work/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "$deb: copyright is not machine-readable"
  grep -qx 'License: Expat' "$work/copyright" || fail "$deb: copyright names no MIT (Expat) licence"
  # The stand-alone licence paragraph: "License: Expat" after a blank line, to the end.
  awk 'p { print } prev == "" && $0 == "License: Expat" { p = 1 } { prev = $0 }' "$work/copyright" |
    diff - "$work/licence" >&2 ||
    fail "$deb: copyright's licence text differs from LICENSE"
done

# Every path the packages carry, and whether it was on this machine before they came.
for deb in "${debs[@]}"; do
  dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\./|/|' -e 's|/$||' | grep -v '^/\?$'
done | sort -u >"$work/paths"
while read -r path; do
  if [ -e "$path" ] || [ -L "$path" ]; then echo "$path"; fi
done <"$work/paths" >"$work/present_before"

echo "== install"
installed=1
touched=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${debs[@]}" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log" >&2; fail "apt-get install failed"; }

# Every check runs as a user would: from a folder of its own, with the system's paths only.
cd "$work"
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
unset LD_LIBRARY_PATH PKG_CONFIG_PATH CMAKE_PREFIX_PATH PYTHONPATH

echo "== programs and manual"
sudz --help >help.txt || fail "sudz --help failed"
grep -q "sudz" help.txt || fail "sudz --help says nothing: $(cat help.txt)"
[ "$(man -w sudz)" = /usr/share/man/man1/sudz.1.gz ] || fail "man -w sudz: $(man -w sudz)"
man -P cat sudz 2>/dev/null | grep -q "automemlink" || fail "man sudz does not show the page"
# The heated tank is packaged with the other plants, its manual and its controllers' sources.
sudz-tank --help | grep -q "SPl" || fail "sudz-tank --help says nothing of its signals"
[ "$(man -w sudz-tank)" = /usr/share/man/man1/sudz-tank.1.gz ] || fail "man -w sudz-tank: $(man -w sudz-tank)"
[ -f /usr/share/doc/sudz/examples/tank/tank_pid.cpp ] || fail "the tank's PID controller is not in the examples"

echo "== a controller through pkg-config"
cat >ctrl.cpp <<'CPP'
// Opens the inlet valve until the tank is full, then says so and stops.
#include <cstdio>
#include "IOshare/IOsharemem_client.h"
int main(int argc, char** argv) {
  IOsharemem_client io(automemlink_ident(argc, argv));
  int news;
  while ((news = io.receive()) != -1) {
    if (news == 0) continue;
    const bool full = io.input_is_set("Niv") == 1;
    io.setreset_output("Vi", full ? 0 : 1);
    io.outputs_refresh();
    if (full) {
      std::printf("tank full\n");
      std::fflush(stdout);
      return 0;
    }
  }
  return 1;
}
CPP
g++ ctrl.cpp $(pkg-config --cflags --libs IOshare) -o ctrl || fail "the controller does not build"

echo "== a plant through the CMake package"
# The gate's sources as installed with the examples: a project of its own that finds the kit.
cmake -S /usr/share/doc/sudz/examples/gate -B plant >plant.log 2>&1 &&
  cmake --build plant >>plant.log 2>&1 ||
  { cat plant.log >&2; fail "the gate does not build against the installed package"; }
plant/sudz-gate --help >plant_help.txt || fail "the gate built here does not run"
grep -q "sudz-gate" plant_help.txt || fail "the gate's help says nothing: $(cat plant_help.txt)"
# Its tests come with it, on the packaged test helper; the model's runs without a display.
ctest --test-dir plant -R gate_model --output-on-failure >plant_tests.txt 2>&1 ||
  { cat plant_tests.txt >&2; fail "the gate's model test fails against the installed package"; }

echo "== the Python module"
# The module and the library it loads, found from the module's own place, are the installed ones.
/usr/bin/python3 -c 'import os, sudz; print(sudz.__file__); print(os.path.realpath(sudz._lib._name))' \
  >module.txt || fail "import sudz failed"
[ "$(sed -n 1p module.txt)" = /usr/lib/python3/dist-packages/sudz/__init__.py ] &&
  sed -n 2p module.txt | grep -q '^/usr/lib/.*/libIOshare\.so\.0\.' ||
  fail "sudz imported from elsewhere: $(cat module.txt)"

echo "== sudz ./ctrl fills the tank"
# The controller inherits the simulator's output; the simulator is ended once the tank is full.
# The wait allows a loaded machine: filling takes 560 cycles of at least 5 ms each.
timeout 300 bash "$source_dir/scripts/with-xvfb" bash -c '
  sudz ./ctrl >run.log 2>&1 &
  sim=$!
  for _ in $(seq 1 2400); do
    grep -q "tank full" run.log && break
    kill -0 $sim 2>/dev/null || break
    sleep 0.1
  done
  kill $sim 2>/dev/null
  wait $sim 2>/dev/null
  grep -q "tank full" run.log' || fail "the tank did not fill: $(cat run.log)"

echo "== remove"
cd /
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq "${packages[@]}" >"$work/remove.log" 2>&1 ||
  { cat "$work/remove.log" >&2; fail "apt-get remove failed"; }
installed=0
for p in "${packages[@]}"; do
  is_installed "$p" && fail "$p is still installed"
  dpkg -L "$p" 2>/dev/null | grep '^/' >>"$work/paths" || true
done
# Nothing the packages brought or dpkg still lists is left, nor anything made beside it
# (byte-compiled Python).
left=$(sort -u "$work/paths" | while read -r path; do
  if [ -e "$path" ] || [ -L "$path" ]; then echo "$path"; fi
done | comm -23 - "$work/present_before")
[ -z "$left" ] || fail "left behind after removal: $left"
[ ! -e /usr/lib/python3/dist-packages/sudz ] || fail "the Python module's folder is left"
echo "deb_test: passed"
