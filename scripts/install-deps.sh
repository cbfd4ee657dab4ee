#!/usr/bin/env bash
# Installs the Debian 12 packages of one use. Run as root, or it uses sudo;
# without either it names what is missing and the command to run as root,
# and fails. Safe to run again: it installs only what is missing.
#
#   scripts/install-deps.sh run    building and running the editor (run.sh)
#   scripts/install-deps.sh test   that and everything the tests need (test.sh, CI)
set -euo pipefail

# Building and running the editor. Add a package the program needs at run
# time here (the test set includes this one).
run_packages=(
  # toolchain and build
  g++ cmake ninja-build pkgconf
  # libraries
  qt6-base-dev qt6-svg-dev libhidapi-dev nlohmann-json3-dev
  libcurl4-openssl-dev  # HTTP client of the signal framework's URL requests
  # fonts the editor draws with: Roboto is its system font (the screens' frames are
  # sized for it), Noto Sans CJK and Liberation Sans stand in for the fonts the
  # layouts name
  fonts-roboto-unhinted fonts-noto-cjk fonts-liberation2
)

# The tests on top of that.
test_packages=(
  # tests, benchmarks, sanitizers, fuzzing (clang 14 for ThreadSanitizer and libFuzzer)
  libgtest-dev libgmock-dev libbenchmark-dev clang-14 libclang-rt-14-dev llvm-14
  # headless GUI tests with a real X server
  xvfb xauth
  libxtst-dev  # real pointer input in the tests under xvfb-run (the X test extension)
  # the USB test VM: emulator, initramfs tools and the guest kernel (tiny-initramfs
  # satisfies the kernel's initramfs dependency without udev and systemd upgrades)
  qemu-system-x86 busybox-static cpio xz-utils linux-image-amd64 tiny-initramfs
)

case "${1:-test}" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *)
    echo "usage: $0 [run|test]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

install=(apt-get install -y --no-install-recommends "${missing[@]}")
# Says what is missing and what to run as root, and fails.
as_root_instead() {
  echo "install-deps: $1, so these packages are not installed: ${missing[*]}" >&2
  echo "install-deps: install them as root, then run this again; for instance:" >&2
  echo "    su -c 'apt-get update && ${install[*]}'" >&2
  exit 1
}

SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || as_root_instead "not run as root and sudo is not installed"
  SUDO=(sudo)
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! "${SUDO[@]}" apt-get update || ! "${SUDO[@]}" "${install[@]}"; then
  [ ${#SUDO[@]} -eq 0 ] || as_root_instead "sudo apt-get failed"
  echo "install-deps: apt-get failed: the packages ${missing[*]} are not installed" >&2
  exit 1
fi
