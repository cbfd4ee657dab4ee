#!/usr/bin/env bash
# Sets everything up, builds the editor and runs it. Arguments are passed on.
# QV450_SIMULATOR=app scripts/run.sh  runs it against the simulated unit.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=${QV450_BUILD_DIR:-build}/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV450_BUILD_TESTS=OFF -DQV450_BUILD_FUZZ=OFF >/dev/null
cmake --build "$build" --target qv450-edit -j"$(nproc)"
exec "$build/src/app/qv450-edit" "$@"
