#!/usr/bin/env bash
# Checks every #include in src/ and sim/ against the layer order:
#
#   platform (foundation, dispatch, solver, hid: no Qt; ui: Qt, may use the others)
#     <- device, reactive, layout   (never one another; device and reactive no ui)
#     <- controls <- screens <- app
#   sim: the frame codec and the Qt-free platform only.
#
# Inside device the folders are ordered
#   codec < transport < records < catalogue < files < firmware < service < backup
# and a folder may include itself and the folders before it. Qt headers
# (<Q...>) belong in platform/ui only. tests/, bench/ and fuzz/ are free.
#
# Prints one line per wrong include (file:line: what) and exits 1 when there
# is any. Usage: scripts/check-layers.sh [source root]
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}

# Includes against the order that are known and being removed, as
# "file|include". Each must still be found: one that is gone fails the check
# until its line here goes too.
known=()
# QV450_LAYERS_KNOWN (lines of "file|include") replaces the list, for tests.
if [ "${QV450_LAYERS_KNOWN+set}" = set ]; then mapfile -t known <<<"$QV450_LAYERS_KNOWN"; fi

cd "$root"

find src sim -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.inc' \) -print0 |
  xargs -0 grep -Hn -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' |
  awk -v known="$(printf '%s\n' "${known[@]}")" '
function unitOfFile(path,   p) {
  # src/platform/ui/View.h -> platform/ui; src/device/records/X.h -> device/records
  n = split(path, p, "/")
  if (p[1] == "sim") return "sim"
  if (p[2] == "platform") return (n > 3) ? "platform/" p[3] : "platform"
  if (p[2] == "device") return (n > 3) ? "device/" p[3] : "device"
  return p[2]
}
function unitOfInclude(inc, fromFile,   p, n, dir) {
  # Includes are written from src/ (sim/ for the simulated unit); a bare
  # name is a file beside the includer.
  n = split(inc, p, "/")
  if (inc ~ /(^|\/)\.\.(\/|$)/) return "?relative"
  if (n == 1) return unitOfFile(fromFile)
  if (p[1] == "sim") return "sim"
  if (p[1] == "platform" || p[1] == "device") return (n > 2) ? p[1] "/" p[2] : p[1]
  if (p[1] ~ /^(reactive|layout|controls|screens|app)$/) return p[1]
  return "?unknown"
}
BEGIN {
  qtFree = "platform/foundation platform/dispatch platform/solver platform/hid"
  allPlatform = qtFree " platform/ui"
  nDev = split("codec transport records catalogue files firmware service backup", devOrder, " ")
  allDevice = ""
  for (i = 1; i <= nDev; i++) allDevice = allDevice " device/" devOrder[i]

  may["platform/foundation"] = "platform/foundation"
  may["platform/dispatch"]   = "platform/foundation platform/dispatch"
  may["platform/solver"]     = "platform/solver"
  may["platform/hid"]        = "platform/foundation platform/dispatch platform/hid"
  may["platform/ui"]         = allPlatform
  prefix = ""
  for (i = 1; i <= nDev; i++) {
    prefix = prefix " device/" devOrder[i]
    may["device/" devOrder[i]] = qtFree prefix
  }
  may["reactive"] = qtFree " reactive"
  may["layout"]   = allPlatform " layout"
  may["controls"] = allPlatform allDevice " reactive layout controls"
  may["screens"]  = may["controls"] " screens"
  may["app"]      = may["screens"] " app sim"
  may["sim"]      = qtFree " device/codec sim"
  bad = 0
  nKnown = split(known, knownList, "\n")
  for (i = 1; i <= nKnown; i++) if (knownList[i] != "") allowed[knownList[i]] = 0
}
{
  # grep -Hn output: file:line:text
  file = $0; sub(/:.*/, "", file)
  rest = substr($0, length(file) + 2)
  line = rest; sub(/:.*/, "", line)
  text = substr(rest, length(line) + 2)
  from = unitOfFile(file)
  if (!(from in may)) {
    printf "%s:%s: %s is in no known layer\n", file, line, file
    bad++
    next
  }
  if (match(text, /<[^>]+>/)) {
    sys = substr(text, RSTART + 1, RLENGTH - 2)
    if (sys ~ /^Q/ && from != "platform/ui") {
      printf "%s:%s: Qt header <%s> outside platform/ui\n", file, line, sys
      bad++
    }
    next
  }
  if (!match(text, /"[^"]+"/)) next
  inc = substr(text, RSTART + 1, RLENGTH - 2)
  to = unitOfInclude(inc, file)
  if (to ~ /^\?/) {
    printf "%s:%s: \"%s\": write includes from src/ (or sim/), without ..\n", file, line, inc
    bad++
    next
  }
  if (index(" " may[from] " ", " " to " ") == 0) {
    if ((file "|" inc) in allowed) {
      allowed[file "|" inc]++
      printf "%s:%s: %s includes %s (\"%s\"): known, to be removed\n", file, line, from, to, inc
      next
    }
    printf "%s:%s: %s includes %s (\"%s\")\n", file, line, from, to, inc
    bad++
  }
}
END {
  for (k in allowed) {
    if (allowed[k] == 0) {
      printf "check-layers: the known include \"%s\" is gone: remove it from the list in scripts/check-layers.sh\n", k
      bad++
    }
  }
  if (bad > 0) {
    printf "check-layers: %d include(s) against the layer order\n", bad
    exit 1
  }
  print "check-layers: every include follows the layer order"
}
'
