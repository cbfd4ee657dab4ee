#!/usr/bin/env bash
# Sets everything up, builds and runs every test:
#  1. an ASan+UBSan build (g++) of everything, all tests and the fuzz corpora;
#  2. a ThreadSanitizer build (clang 14) of the Qt-free layers and their tests.
# Any sanitizer finding, failed, skipped or timed-out test fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${QV450_JOBS:-$(nproc)}
build=${QV450_BUILD_DIR:-$root/build}

phase_start=$(date +%s)
phase() {
  local now; now=$(date +%s)
  printf '== phase "%s" took %ds\n' "$1" $((now - phase_start))
  phase_start=$now
}

bash scripts/install-deps.sh
phase "install dependencies"

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/qv450-runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$root/tests/sanitizers/lsan.supp
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/sanitizers/tsan.supp"

# run_ctest DIR LOG [more ctest arguments]
run_ctest() {
  local dir=$1 log=$2
  shift 2
  set +e
  (cd "$dir" && ctest -j"$jobs" --timeout 300 --no-tests=error --output-on-failure "$@") 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  set -e
  if [ "$rc" -ne 0 ]; then
    echo "tests failed in $dir"
    return 1
  fi
  if grep -q -E '\*\*\*Skipped|Not Run' "$log"; then
    echo "a test was skipped in $dir: a skipped test counts as a failure"
    return 1
  fi
}

cmake -S . -B "$build/asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=g++ -DCMAKE_CXX_FLAGS="-O1 -g1" \
  -DQV450_SANITIZE=address -DQV450_WERROR=ON > "$build-asan-configure.log" 2>&1 \
  || { cat "$build-asan-configure.log"; exit 1; }
cmake --build "$build/asan" -j"$jobs"
phase "ASan+UBSan build"
run_ctest "$build/asan" "$build/asan/ctest.log"
phase "ASan+UBSan tests"

cmake -S . -B "$build/tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_CXX_FLAGS="-O1 -g1" \
  -DQV450_SANITIZE=thread -DQV450_WITH_QT=OFF -DQV450_BUILD_FUZZ=OFF -DQV450_WERROR=ON \
  > "$build-tsan-configure.log" 2>&1 || { cat "$build-tsan-configure.log"; exit 1; }
cmake --build "$build/tsan" -j"$jobs"
phase "ThreadSanitizer build"
# The suites whose tests run many threads go three times: a race that shows
# one run in a few must not pass unseen.
thread_heavy='^test_(dispatch|device|reactive|hid)(\.[0-9]+)?$'
run_ctest "$build/tsan" "$build/tsan/ctest.log" -E "$thread_heavy"
phase "ThreadSanitizer tests"
run_ctest "$build/tsan" "$build/tsan/ctest-repeat.log" -R "$thread_heavy" --repeat until-fail:3
phase "ThreadSanitizer tests of the thread-heavy suites, three times"

echo "all tests passed"
