# shellcheck shell=bash disable=SC2034  # the options are read by the sourcing scripts and CMake
# The environment the tests run in, kept in this one file. Sourced, not run:
#
#   . scripts/test-env.sh BUILD_DIR [editor]
#
# scripts/test.sh and scripts/load-run.sh source it, and so do the README's
# commands that run the sanitizer build's editor, or the whole program under
# a test, by hand: `editor` gives them the editor's sanitizer options and the
# X server (QT_QPA_PLATFORM=xcb) instead of the offscreen tests'.
# tests/CMakeLists.txt reads the qv450_*_options lines below for the entries
# that set their own sanitizer options: keep each a plain name=value line
# without quotes or other variables than $qv450_root (the source folder).
#
# Without a session's runtime folder (XDG_RUNTIME_DIR), one of the tests' own
# is made in BUILD_DIR.

qv450_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Every test: the first finding ends the program, leaks count as findings.
qv450_asan_options=halt_on_error=1:detect_leaks=1:strict_string_checks=1
# Under an X server: the X keyboard library reads a string past its end while
# Qt connects, which strict string checks would stop at.
qv450_asan_x_options=halt_on_error=1:detect_leaks=1:strict_string_checks=0
# The editor, and the whole program under random input, as under an X server
# and with full stacks at allocation (the slow unwinder): fontconfig has no
# frame pointers, and only full stacks show the frames by which lsan.supp
# tells its leaks and the fallback fonts Qt keeps from the program's. It
# costs: the offscreen tests would take four times the processor time.
qv450_asan_editor_options=halt_on_error=1:detect_leaks=1:strict_string_checks=0:fast_unwind_on_malloc=0
qv450_ubsan_options=halt_on_error=1:print_stacktrace=1
qv450_lsan_options=suppressions=$qv450_root/tests/sanitizers/lsan.supp
qv450_tsan_options=halt_on_error=1:second_deadlock_stack=1:suppressions=$qv450_root/tests/sanitizers/tsan.supp

if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=$(realpath -m "${1:?test-env.sh: name the build folder}")/runtime
  mkdir -p "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  export XDG_RUNTIME_DIR
fi
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=$qv450_asan_options
if [ "${2:-}" = editor ]; then
  export QT_QPA_PLATFORM=xcb
  export ASAN_OPTIONS=$qv450_asan_editor_options
fi
export UBSAN_OPTIONS=$qv450_ubsan_options
export LSAN_OPTIONS=$qv450_lsan_options
export TSAN_OPTIONS=$qv450_tsan_options
