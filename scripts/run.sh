#!/usr/bin/env bash
# Sets up what the editor needs, builds it and runs it. Arguments are passed
# on to the editor.
#
# With a QV450 plugged in it runs on the unit. With none, it says so and runs
# on the simulated unit, so that the editor can be tried on any machine.
#   QV450_SIMULATOR=app|boot   always the simulated unit (application or boot loader)
#   QV450_SIMULATOR=off        always the real unit (no unit: the editor says so and ends)
#   QV450_JOBS=n               at most n compiles at once (default: one per core)
#   QV450_BUILD_DIR=dir        where the build goes (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."

# The unit: USB HID vendor 0x0483, product 0x5703. The kernel names a HID
# device bus:vendor:product.instance in /sys/bus/hid/devices.
readonly kVendor=0483 kProduct=5703
unit_present() {
  local dev
  for dev in /sys/bus/hid/devices/*; do
    case "${dev##*/}" in
      *:"$kVendor":"$kProduct".* | *:"${kVendor^^}":"${kProduct^^}".*) return 0 ;;
    esac
  done
  return 1
}

if [ -z "${QV450_SIMULATOR:-}" ]; then
  if unit_present; then
    echo "run: QV450 found (USB $kVendor:$kProduct)"
  else
    echo "run: no QV450 is plugged in (no USB HID device $kVendor:$kProduct);"
    echo "run: starting the editor on the simulated unit (QV450_SIMULATOR=off uses only the real unit)"
    export QV450_SIMULATOR=app
  fi
fi

bash scripts/install-deps.sh run || {
  echo "run: stopped: the editor cannot be built without the packages above" >&2
  exit 1
}
build=${QV450_BUILD_DIR:-build}/release
jobs=${QV450_JOBS:-$(nproc)}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQV450_BUILD_TESTS=OFF -DQV450_BUILD_FUZZ=OFF >/dev/null
cmake --build "$build" --target qv450-edit -j"$jobs"
exec "$build/src/app/qv450-edit" "$@"
