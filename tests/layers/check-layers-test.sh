#!/usr/bin/env bash
# Runs scripts/check-layers.sh over made-up source trees, one include each,
# and compares its verdict with the layer order.
set -euo pipefail
check=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/qv450-layers-XXXXXX")
trap 'rm -rf "$work"' EXIT

# file that includes | the include line | ok or bad
cases=(
  'src/platform/foundation/A.cpp|#include "platform/dispatch/Queue.h"|bad'
  'src/platform/dispatch/A.cpp|#include "platform/foundation/Log.h"|ok'
  'src/platform/solver/A.cpp|#include "platform/foundation/Log.h"|bad'
  'src/platform/hid/A.h|#include "platform/ui/View.h"|bad'
  'src/platform/ui/A.cpp|#include <QWidget>|ok'
  'src/platform/ui/A.cpp|#include "platform/solver/Solver.h"|ok'
  'src/device/records/A.cpp|#include "device/codec/FrameCodec.h"|ok'
  'src/device/files/A.cpp|#include "device/service/NameChecks.h"|bad'
  'src/device/backup/A.h|#include "device/service/HIDServiceViewMode.h"|ok'
  'src/device/codec/A.cpp|#include "device/transport/HIDClass.h"|bad'
  'src/device/service/A.cpp|#include "platform/ui/Alert.h"|bad'
  'src/device/service/A.cpp|#include "reactive/RSSignal.h"|bad'
  'src/reactive/A.cpp|#include "layout/LCValue.h"|bad'
  'src/reactive/A.cpp|#include <QObject>|bad'
  'src/layout/collection/A.cpp|#include "platform/ui/View.h"|ok'
  'src/layout/A.cpp|#include "device/records/PresetRecord.h"|bad'
  'src/controls/A.cpp|#include "screens/models/GGEffectFunManager.h"|bad'
  'src/controls/A.cpp|#include <QLineEdit>|bad'
  'src/controls/A.cpp|#include "reactive/RSCommand.h"|ok'
  'src/screens/bars/A.cpp|#include "controls/GGSwitch.h"|ok'
  'src/screens/bars/A.cpp|#include "sim/SimBackend.h"|bad'
  'src/app/main.cpp|#include "sim/SimBackend.h"|ok'
  'sim/unit/A.cpp|#include "device/codec/FrameCodec.h"|ok'
  'sim/unit/A.cpp|#include "device/records/PresetRecord.h"|bad'
  'sim/A.cpp|#include "platform/hid/Backend.h"|ok'
  'src/screens/A.cpp|#include "../controls/GGSwitch.h"|bad'
  'src/screens/A.cpp|#include "Sibling.h"|ok'
)

# A known include against the order passes while it is there; once it is
# gone, its entry in the list fails the check.
known_cases=(
  'src/device/files/A.cpp|#include "device/service/B.h"|src/device/files/A.cpp|device/service/B.h|ok'
  'src/device/files/A.cpp|#include "device/service/C.h"|src/device/files/A.cpp|device/service/B.h|bad'
  'src/device/files/A.cpp|#include "device/records/B.h"|src/device/files/A.cpp|device/service/B.h|bad'
)

failures=0
total=0
# verdict FILE LINE KNOWN WANT
verdict() {
  local file=$1 line=$2 known=$3 want=$4 tree="$work/tree" out got
  total=$((total + 1))
  rm -rf "$tree"
  mkdir -p "$tree/src" "$tree/sim" "$tree/$(dirname "$file")"
  printf '%s\n' "$line" > "$tree/$file"
  if out=$(QV450_LAYERS_KNOWN="$known" bash "$check" "$tree" 2>&1); then got=ok; else got=bad; fi
  if [ "$got" != "$want" ]; then
    echo "FAIL: $file with '$line' (known: '$known'): expected $want, got $got"
    echo "$out"
    failures=$((failures + 1))
  fi
}
for c in "${cases[@]}"; do
  IFS='|' read -r file line want <<<"$c"
  verdict "$file" "$line" "" "$want"
done
for c in "${known_cases[@]}"; do
  IFS='|' read -r file line kfile kinc want <<<"$c"
  verdict "$file" "$line" "$kfile|$kinc" "$want"
done

echo "$((total - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
