#!/usr/bin/env bash
# Sets everything up, builds and runs every test:
#  1. an ASan+UBSan build (g++) of everything, all tests and the fuzz corpora;
#  2. a ThreadSanitizer build (clang 14) of the Qt-free layers and their tests.
# Any sanitizer finding, failed, skipped or timed-out test fails the run, and
# so does an include against the layer order (scripts/check-layers.sh, first).
# Files left in $HOME or /tmp since the run started fail it under CI (CI=true,
# as .ci/run sets it) and are only reported elsewhere (other programs may
# write there too).
#   QV450_JOBS=n        at most n compiles and n tests at once (default: one per core)
#   QV450_BUILD_DIR=d   where the builds go (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${QV450_JOBS:-$(nproc)}
build=$(realpath -m "${QV450_BUILD_DIR:-$root/build}")
mkdir -p "$build"

# Names in /tmp and the home folder (three levels down; the compiler cache,
# this checkout and the build folder aside: a checkout in the home folder
# gets its builds while the tests run), to see what the run leaves behind.
# The X server's socket folders are the system's.
leftovers_snapshot() {
  {
    find /tmp -mindepth 1 -maxdepth 1 \
      ! -name .X11-unix ! -name .ICE-unix ! -name .XIM-unix ! -name .font-unix ! -name '.X*-lock' || true
    find "$HOME" -mindepth 1 -maxdepth 3 ! -path "$HOME/.cache/ccache*" ! -path "$HOME/.ccache*" || true
  } 2>/dev/null | awk -v root="$root" -v build="$build" '
    $0 != root && index($0, root "/") != 1 && $0 != build && index($0, build "/") != 1' | sort
}
# Taken before the run makes anything but its build folder: whatever it
# makes elsewhere shows at the end.
before_run=$(leftovers_snapshot)

# Processor time (user + system) of the finished child processes so far, in
# whole seconds (what a phase would take on one core), into $cpu_now. The
# shell's own `times` must run in this shell, not in a subshell.
cpu_file=$build/test-times
children_cpu() {
  times > "$cpu_file"
  cpu_now=$(tail -n 1 "$cpu_file" | awk '{
    t = 0
    for (i = 1; i <= 2; i++) { split($i, p, /[ms]/); t += p[1] * 60 + p[2] }
    printf "%d", t
  }')
}
phase_start=$(date +%s)
children_cpu
phase_cpu=$cpu_now
phase() {
  local now
  now=$(date +%s)
  children_cpu
  printf '== phase "%s" took %ds (processor time %ds)\n' "$1" $((now - phase_start)) $((cpu_now - phase_cpu))
  phase_start=$now
  phase_cpu=$cpu_now
}

bash scripts/check-layers.sh
bash scripts/check-unity.sh
phase "layer and unity checks"

bash scripts/install-deps.sh test
phase "install dependencies"

# The tests' environment (without a session's runtime folder, one of the
# run's own in the build folder).
. scripts/test-env.sh "$build"

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

# configure DIR [cmake arguments]: the log stays in DIR, shown on failure.
configure() {
  local dir=$1
  shift
  mkdir -p "$dir"
  cmake -S . -B "$dir" -G Ninja "$@" > "$dir/configure.log" 2>&1 || { cat "$dir/configure.log"; exit 1; }
}

configure "$build/asan" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=g++ -DCMAKE_CXX_FLAGS="-O1 -g1" \
  -DQV450_SANITIZE=address -DQV450_WERROR=ON
cmake --build "$build/asan" -j"$jobs"
phase "ASan+UBSan build"
run_ctest "$build/asan" "$build/asan/ctest.log"
phase "ASan+UBSan tests"

configure "$build/tsan" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_CXX_FLAGS="-O1 -g1" \
  -DQV450_SANITIZE=thread -DQV450_WITH_QT=OFF -DQV450_BUILD_FUZZ=OFF -DQV450_WERROR=ON
cmake --build "$build/tsan" -j"$jobs"
phase "ThreadSanitizer build"
# The suites whose tests run many threads go three times: a race that shows
# one run in a few must not pass unseen.
thread_heavy='^test_(dispatch|device|reactive|hid)(\.[0-9]+)?$'
run_ctest "$build/tsan" "$build/tsan/ctest.log" -E "$thread_heavy"
phase "ThreadSanitizer tests"
run_ctest "$build/tsan" "$build/tsan/ctest-repeat.log" -R "$thread_heavy" --repeat until-fail:3
phase "ThreadSanitizer tests of the thread-heavy suites, three times"

left=$(comm -13 <(echo "$before_run") <(leftovers_snapshot))
if [ -n "$left" ]; then
  echo "new in /tmp or $HOME since the run started:"
  echo "$left"
  if [ "${CI:-}" = true ]; then
    echo "the run left files behind: each test writes only in its own temporary folder"
    exit 1
  fi
  echo "(not a failure outside CI: other programs may have written them)"
fi

echo "all tests passed"
