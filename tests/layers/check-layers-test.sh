#!/usr/bin/env bash
# Runs scripts/check-layers.sh over made-up source trees, one include each
# (and the files it names, where the verdict depends on them), under the
# project's src/layers.txt, and compares its verdict with the layer order.
set -euo pipefail
check=$1
layers=$(dirname "$check")/../src/layers.txt
work=$(mktemp -d "${TMPDIR:-/tmp}/qv450-layers-XXXXXX")
trap 'rm -rf "$work"' EXIT

# file that includes | its text | ok or bad [| more files, as "path:text"
# or a symbolic link "path->target", separated by ";"] (\n in a text is a
# new line)
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
  'src/device/A.cpp|#include "device/codec/FrameCodec.h"|bad'
  'src/reactive/A.cpp|#include "layout/LCValue.h"|bad'
  'src/reactive/A.cpp|#include <QObject>|bad'
  'src/layout/collection/A.cpp|#include "platform/ui/View.h"|ok'
  'src/layout/A.cpp|#include "device/records/PresetRecord.h"|bad'
  'src/controls/A.cpp|#include "screens/models/GGEffectFunManager.h"|bad'
  'src/controls/A.cpp|#include "device/records/PresetRecord.h"|bad'
  'src/controls/A.cpp|#include <QLineEdit>|bad'
  'src/controls/A.cpp|#include <qglobal.h>|bad'
  'src/controls/A.cpp|#include <QtCore/QString>|bad'
  'src/controls/A.cpp|#include "QWidget"|bad'
  'src/controls/A.cpp|#include "reactive/RSCommand.h"|ok'
  'src/screens/bars/A.cpp|#include <qwidget.h>|bad'
  'src/screens/bars/A.cpp|#include "controls/GGSwitch.h"|ok'
  'src/screens/bars/A.cpp|#include <controls/GGSwitch.h>|bad'
  'src/screens/bars/A.cpp|#include "screens/models/EffectViewModel.h"|ok'
  'src/screens/bars/A.cpp|#include "sim/SimBackend.h"|bad'
  'src/screens/models/A.cpp|#include "controls/AccentColor.h"|ok'
  'src/screens/models/A.cpp|#include "controls/GGSwitch.h"|bad'
  'src/screens/models/A.cpp|#include "screens/bars/TopView.h"|bad'
  'src/app/main.cpp|#include "sim/SimBackend.h"|ok'
  'sim/unit/A.cpp|#include "device/codec/FrameCodec.h"|ok'
  'sim/unit/A.cpp|#include "device/records/PresetRecord.h"|bad'
  'sim/A.cpp|#include "platform/hid/Backend.h"|ok'
  'sim/A.cpp|#include "platform/solver/Solver.h"|bad'
  'src/screens/A.cpp|#include "../controls/GGSwitch.h"|bad'
  'src/screens/A.cpp|#include "Sibling.h"|ok'
  # A package's headers only in the parts that use it.
  'src/device/transport/A.cpp|#include <hidapi.h>|bad'
  'src/controls/A.cpp|#include <hidapi/hidapi.h>|bad'
  'src/screens/A.cpp|#include <curl/curl.h>|bad'
  # Includes the check cannot read are refused.
  'src/screens/A.cpp|#define H <hidapi/hidapi.h>\n#include H\n#undef H|bad'
  'src/controls/A.cpp|#include \\\n<curl/curl.h>|bad'
  'src/controls/A.cpp|#inc\\\nlude <curl/curl.h>|bad'
  # Every file an include may name is read, or refused.
  'src/device/codec/A.inl|#include "device/transport/HIDClass.h"|bad'
  'src/device/codec/A.ipp|#include "device/codec/FrameCodec.h"|bad'
  'src/screens/A.cpp|#include "Sibling.h"|bad|src/screens/B.cpp->../../../outside.cpp'
  # A ui header that includes Qt's, directly or through another, is ui's own;
  # so is a hid header that includes hidapi's.
  'src/layout/A.cpp|#include "platform/ui/Lines.h"|bad|src/platform/ui/Lines.h:#include <QFont>'
  'src/layout/A.cpp|#include "platform/ui/Frame.h"|bad|src/platform/ui/Frame.h:#include "Panel.h";src/platform/ui/Panel.h:#include "platform/ui/Glyphs.h";src/platform/ui/Glyphs.h:#include <qfont.h>'
  'src/layout/A.cpp|#include "platform/ui/V.h"|ok|src/platform/ui/V.h:#pragma once;src/platform/ui/V.cpp:#include <QWidget>'
  'src/device/transport/A.cpp|#include "platform/hid/Raw.h"|bad|src/platform/hid/Raw.h:#include <hidapi.h>'
  'src/controls/A.cpp|#include "reactive/Net.h"|bad|src/reactive/Net.h:#include "reactive/Http.h";src/reactive/Http.h:#include <curl/curl.h>'
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
# verdict FILE LINE KNOWN WANT MORE [DECLARATION LINES]
verdict() {
  local file=$1 line=$2 known=$3 want=$4 more=$5 extra=${6:-} tree="$work/tree" out got f
  total=$((total + 1))
  rm -rf "$tree"
  mkdir -p "$tree/src" "$tree/sim" "$tree/$(dirname "$file")"
  { cat "$layers"; printf '%s' "$extra"; } > "$tree/src/layers.txt"
  printf '%b\n' "$line" > "$tree/$file"
  if [ -n "$more" ]; then
    IFS=';' read -r -a files <<<"$more"
    for f in "${files[@]}"; do
      if [[ $f == *'->'* ]]; then
        ln -s "${f#*->}" "$tree/${f%%->*}"
        continue
      fi
      mkdir -p "$tree/$(dirname "${f%%:*}")"
      printf '%b\n' "${f#*:}" > "$tree/${f%%:*}"
    done
  fi
  if out=$(QV450_LAYERS_KNOWN="$known" bash "$check" "$tree" 2>&1); then got=ok; else got=bad; fi
  if [ "$got" != "$want" ]; then
    echo "FAIL: $file with '$line' (known: '$known', declared too: '$extra'): expected $want, got $got"
    echo "$out"
    failures=$((failures + 1))
  fi
}
for c in "${cases[@]}"; do
  IFS='|' read -r file line want more <<<"$c"
  verdict "$file" "$line" "" "$want" "$more"
done
for c in "${known_cases[@]}"; do
  IFS='|' read -r file line kfile kinc want <<<"$c"
  verdict "$file" "$line" "$kfile|$kinc" "$want" ""
done
# A part may use only the parts declared above it.
verdict src/app/main.cpp '#include "sim/SimBackend.h"' "" bad "" \
  $'extra src/extra qv450_extra later\nlater src/later qv450_later -\n'
verdict src/app/main.cpp '#include "sim/SimBackend.h"' "" ok "" \
  $'later src/later qv450_later -\nextra src/extra qv450_extra later\n'

echo "$((total - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
