#!/usr/bin/env bash
# A VM that cannot boot must fail run-vm-test.sh fast, with the boot named
# as the cause, instead of hanging until an outer time-out:
#   panic: the kernel finds no init, panics and halts for ever. The console
#          shows the panic; the script must stop at once, long before its
#          boot bound.
#   hang:  the virtual CPU never starts and nothing is printed. The script's
#          boot bound must end it.
# Usage: check-boot-failure.sh RUN_VM_TEST_SH WORK_DIR [KERNEL_CACHE]
set -uo pipefail
script=$1
work=$2
kcache=${3:-$work/kernel}
passed=0
failed=0

# expect NAME BOOT_BOUND MAX_SECONDS PATTERN
expect() {
  local name=$1 bound=$2 most=$3 pattern=$4 start end rc out
  start=${EPOCHREALTIME/./}
  out=$(bash "$script" --force-boot-failure "$name" --boot-timeout "$bound" \
          --work "$work/$name" --kernel-cache "$kcache" 2>&1)
  rc=$?
  end=${EPOCHREALTIME/./}
  local secs=$(( (end - start) / 1000000 ))
  echo "$out" | tail -n 8 | sed "s/^/  [$name] /"
  if [ "$rc" -eq 2 ] && [ "$secs" -le "$most" ] && grep -q -- "$pattern" <<<"$out"; then
    echo "ok: forced $name: boot failure reported in ${secs}s (exit $rc)"
    passed=$((passed + 1))
  else
    echo "FAILED: forced $name: exit $rc after ${secs}s; wanted exit 2 within ${most}s and \"$pattern\""
    failed=$((failed + 1))
  fi
}

expect panic 60 30 "did not boot: kernel panic"
expect hang 8 25 "did not boot: /init did not start within 8s"

echo "boot-failure: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
