#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests and the editor use.
# Run as root (or through sudo). Safe to run again.
set -euo pipefail

packages=(
  # toolchain and build
  g++ cmake ninja-build pkgconf make
  # tests, benchmarks, sanitizers, fuzzing (clang 14 for ThreadSanitizer and libFuzzer)
  libgtest-dev libgmock-dev libbenchmark-dev clang-14 libclang-rt-14-dev llvm-14
  # libraries
  qt6-base-dev qt6-svg-dev libhidapi-dev nlohmann-json3-dev
  libcurl4-openssl-dev  # HTTP client of the signal framework's URL requests
  # fonts the editor draws with: Roboto is its system font (the screens' frames are
  # sized for it), Noto Sans CJK and Liberation Sans stand in for the fonts the
  # layouts name
  fonts-roboto-unhinted fonts-noto-cjk fonts-liberation2
  # headless GUI tests
  xvfb xauth
  libxtst-dev  # real pointer input in the tests under xvfb-run (the X test extension)
  # the USB test VM: emulator, initramfs tools and the guest kernel (tiny-initramfs
  # satisfies the kernel's initramfs dependency without udev and systemd upgrades)
  qemu-system-x86 busybox-static cpio xz-utils linux-image-amd64 tiny-initramfs
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
