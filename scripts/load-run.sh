#!/usr/bin/env bash
# Runs the tests of one build folder under load, to find tests whose verdict
# depends on timing: every CTest entry (its command, environment, working
# folder and time limit, as CTest would run it) COPIES times at once, all
# entries together, beside BUSY busy loops (shell loops that never sleep), for ROUNDS
# rounds. The environment is scripts/test.sh's; entries under xvfb-run get an
# X server each. Prints, for each test binary, the runs and the failures (a
# non-zero exit, a time-out or a skipped test), and for each failure its log.
#
#   scripts/load-run.sh BUILD_DIR [ROUNDS] [CTest selection, e.g. -R '^test_screens' -E real]
#   QV450_LOAD_COPIES=n   copies of each entry at once (default 4)
#   QV450_LOAD_BUSY=n     busy loops beside them (default 4)
#
# The logs stay in BUILD_DIR/load-run/round-R/. The VM entries (vm_*) are left
# out: each starts a virtual machine in one work folder of its own, which two
# copies cannot share. The exit status is 1 when any run failed.
set -uo pipefail
if [ $# -lt 1 ] || [ ! -d "$1" ]; then
  sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
shift
rounds=1
if [[ ${1:-} =~ ^[0-9]+$ ]]; then rounds=$1 && shift; fi
copies=${QV450_LOAD_COPIES:-4}
busy=${QV450_LOAD_BUSY:-4}
logs=$build/load-run

# The environment the tests get in scripts/test.sh.
. "$root/scripts/test-env.sh" "$build"

# The entries, one shell line each: add_entry NAME TIMEOUT WORKDIR SKIP_REGEX
# ENV_COUNT ENV... COMMAND... (an entry whose program is not built has no
# command).
names=() timeouts=() workdirs=() skips=() envs=() commands=() binaries=()
add_entry() {
  local name=$1 timeout=$2 workdir=$3 skip=$4 n=$5
  shift 5
  local env=("${@:1:n}")
  shift "$n"
  names+=("$name") timeouts+=("$timeout") workdirs+=("$workdir") skips+=("$skip")
  envs+=("$([ "$n" -eq 0 ] || printf '%q ' "${env[@]}")")
  commands+=("$([ $# -eq 0 ] || printf '%q ' "$@")")
  # The binary: the first word of the command that is a program of the build
  # (the test under xvfb-run too); else the entry's name without its shard.
  local binary=${name%.[0-9]*} word
  for word in "$@"; do
    if [[ $word == "$build"/* && -x $word ]]; then binary=$(basename "$word") && break; fi
  done
  binaries+=("$binary")
}
listing=$( (cd "$build" && ctest --show-only=json-v1 -E '^vm_' "$@") | jq -r '
  .tests[] | (.properties // []) as $p
  | def prop(k; d): ([$p[] | select(.name == k) | .value] | if length > 0 then .[0] else d end);
  "add_entry " + ([.name, (prop("TIMEOUT"; 300) | tostring), prop("WORKING_DIRECTORY"; "."),
                   (prop("SKIP_REGULAR_EXPRESSION"; [""]) | .[0])] | @sh)
  + " " + (prop("ENVIRONMENT"; []) | length | tostring) + " " + (prop("ENVIRONMENT"; []) | @sh)
  + " " + (.command // [] | @sh)') || { echo "cannot list the tests of $build"; exit 2; }
eval "$listing"
if [ ${#names[@]} -eq 0 ]; then
  echo "no test selected in $build"
  exit 2
fi

busy_pids=() run_pids=() run_logs=()
stop_all() {
  local pid
  for pid in "${run_pids[@]}" "${busy_pids[@]}"; do kill "$pid" 2>/dev/null; done
}
trap stop_all EXIT
trap 'exit 130' INT TERM
for ((i = 0; i < busy; i++)); do
  (while :; do :; done) &
  busy_pids+=($!)
done

# X server numbers handed out here, one per run under xvfb-run, none with a
# lock file: two runs never race for one.
next_display=600
free_display() {
  while [ -e "/tmp/.X$next_display-lock" ]; do next_display=$((next_display + 1)); done
  display=$next_display
  next_display=$((next_display + 1))
}

# launch I LOG: starts entry I, its output in LOG. The process started is
# `timeout`, which passes a signal on to the test.
launch() {
  local i=$1 log=$2 command=${commands[$1]}
  if [[ $command == *xvfb-run* ]]; then
    free_display
    command=${command/ -a / -n $display }
  fi
  (
    cd "${workdirs[$i]}" || exit 127
    eval "exec env ${envs[$i]} timeout -k 10 ${timeouts[$i]} $command"
  ) >"$log" 2>&1 </dev/null &
  run_pids+=($!) run_logs+=("$log")
}

rm -rf "$logs"
start=$(date +%s)
for ((round = 1; round <= rounds; round++)); do
  mkdir -p "$logs/round-$round"
  run_pids=() run_logs=()
  for i in "${!names[@]}"; do
    [ -n "${commands[$i]}" ] || continue
    for ((copy = 1; copy <= copies; copy++)); do launch "$i" "$logs/round-$round/${names[$i]}.$copy.log"; done
  done
  for k in "${!run_pids[@]}"; do
    wait "${run_pids[$k]}"
    echo $? >"${run_logs[$k]}.rc"
  done
  run_pids=()
  echo "round $round of $rounds done after $(($(date +%s) - start)) s"
done

# Verdicts, per binary in the order first met.
declare -A runs=() failures=() details=()
order=()
for i in "${!names[@]}"; do
  b=${binaries[$i]}
  [ -n "${runs[$b]+set}" ] || { order+=("$b") && runs[$b]=0 && failures[$b]=0; }
  if [ -z "${commands[$i]}" ]; then
    failures[$b]=$((failures[$b] + 1))
    details[$b]+="  ${names[$i]}: not built"$'\n'
    continue
  fi
  for ((run = 0; run < rounds * copies; run++)); do
    log=$logs/round-$((run / copies + 1))/${names[$i]}.$((run % copies + 1)).log
    runs[$b]=$((runs[$b] + 1))
    rc=$(cat "$log.rc" 2>/dev/null || echo none)
    why=
    if [ "$rc" = 124 ] || [ "$rc" = 137 ]; then
      why="timed out after ${timeouts[$i]} s"
    elif [ "$rc" != 0 ]; then
      why="exit $rc"
    elif [ -n "${skips[$i]}" ] && grep -q -E -- "${skips[$i]}" "$log"; then
      why="skipped a test"
    fi
    [ -n "$why" ] || continue
    failures[$b]=$((failures[$b] + 1))
    what=$(grep -h -o -E '^\[  FAILED  \] [^ ]+|ERROR: [A-Za-z]+Sanitizer: [a-z-]+|WARNING: ThreadSanitizer: [a-z ]+' "$log" |
      sort -u | head -n 5 | tr '\n' ';')
    details[$b]+="  ${log#"$build"/}: $why ${what}"$'\n'
  done
done

echo "load run of $build: $copies copies of each of ${#names[@]} entries at once beside $busy busy loops, rounds: $rounds"
status=0
for b in "${order[@]}"; do
  printf '%-28s runs %4d  failures %3d\n' "$b" "${runs[$b]}" "${failures[$b]}"
  [ "${failures[$b]}" -eq 0 ] || { printf '%s' "${details[$b]}" && status=1; }
done
exit $status
