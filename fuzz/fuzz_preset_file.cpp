// The preset file import over arbitrary file contents, against two
// catalogues: a small one with every shape the rules know (parameter groups,
// the equaliser type placed by slot, offsets from 40, negative minima,
// choice lists, a shared list) and, when it can be read, the bundled one.
// A file that is accepted gives every module at least its words; with the
// bundled catalogue, exporting a preset read from a file and importing that
// export again changes no word (module, EXP function and EXP volume words
// alike), and the file exported again is the same file.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <nlohmann/json.hpp>

#include "device/records/ModuleTable.h"
#include "device/files/PresetFile.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"

namespace {

using nlohmann::json;

const char* kShapes = R"({
  "EQ": {"01 GROUPED": [[{"typeName": "BAND", "minValue": "-12", "maxValue": "12", "current": "3"},
                         {"typeName": "FRQE1", "minValue": "0", "maxValue": "30", "current": "1"},
                         {"typeName": "GAIN2", "minValue": "0", "maxValue": "30", "current": "1"}],
                        {"typeName": "LEVEL", "minValue": "40", "maxValue": "90"}],
         "04 SLOTS": [{"typeName": "LOW"}, {"typeName": "HIGH", "parmaIndex": "40000000000", "minValue": "40"}]},
  "FX/COMP": {"01 A": [{"typeName": "MODE", "item": ["a", "b", "c"]}, {"typeName": "X", "parmaIndex": "-5"}, 7, [3]],
              "1x": [{"typeName": "Y", "parmaIndex": "2", "minValue": "-9223372036854775808", "maxValue": "9223372036854775807"}]},
  "AMP": [["01 A"], {"typeName": "GAIN", "minValue": "0", "maxValue": "100"}, {"typeName": "BASS"}, "odd"],
  "CAB": [],
  "REVERB": "not a module"
})";

HIDServiceModuleModePtr presetOfWords(int fill) {
  auto p = fnd::make<HIDServiceModuleMode>();
  for (int m = 0; m < 9; ++m) {
    auto record = fnd::make<HIDServiceModel>();
    record->setDataArr(std::vector<int>(static_cast<size_t>(ModuleTable::modules[static_cast<size_t>(m)].words()), fill));
    record->setFuncDataArr({fill, fill, fill});
    record->setExpDataArr({fill, fill, fill});
    p->setModule(m, record);
  }
  return p;
}

void checkWords(const HIDServiceModuleMode& p) {
  for (int m = 0; m < 9; ++m) {
    auto record = p.module(m);
    if (!record) std::abort();
    if (record->dataArr.get().size() < static_cast<size_t>(ModuleTable::modules[static_cast<size_t>(m)].words()))
      std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Refusals are logged; millions of them are only noise here.
  static const bool quiet = (fnd::setLogSink([](const std::string&) {}), true);
  (void)quiet;
  static const json shapes = json::parse(kShapes);
  static const json bundled = [] {
    auto text = fnd::files::readText(fnd::paths::resourcePath("preset.json"));
    json j = text ? json::parse(*text, nullptr, false) : json();
    return j.is_discarded() ? json() : j;
  }();
  // Words a unit can hold (switch, type and EXP words within their ranges),
  // so that whatever a file leaves to them can be exported and read again.
  static const auto target = presetOfWords(0);
  static const auto current = presetOfWords(1);
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  auto first = PresetFile::presetFromFile(text, "Fuzz", *target, *current, shapes);
  if (first.preset) {
    checkWords(*first.preset);
    (void)PresetFile::presetFromFile(PresetFile::presetFileObject(*first.preset, shapes, "Fuzz").dump(),
                                        "Fuzz", *target, *current, shapes);
  } else if (first.refusal.empty()) {
    std::abort();
  }

  if (!bundled.is_object()) return 0;
  auto read = PresetFile::presetFromFile(text, "Fuzz", *target, *current, bundled);
  if (!read.preset) return 0;
  checkWords(*read.preset);
  // Once through the export, a preset's words are within their limits and
  // a second pass must leave them as they are.
  auto once = PresetFile::presetFromFile(PresetFile::presetFileObject(*read.preset, bundled, "Fuzz").dump(),
                                            "Fuzz", *target, *current, bundled);
  if (!once.preset) std::abort();
  auto twice = PresetFile::presetFromFile(PresetFile::presetFileObject(*once.preset, bundled, "Fuzz").dump(),
                                             "Fuzz", *target, *current, bundled);
  if (!twice.preset) std::abort();
  for (int m = 0; m < 9; ++m) {
    const auto a = once.preset->module(m), b = twice.preset->module(m);
    if (a->dataArr.get() != b->dataArr.get() || a->FuncDataArr.get() != b->FuncDataArr.get() ||
        a->ExpDataArr.get() != b->ExpDataArr.get())
      std::abort();
  }
  if (once.preset->presetName.get() != twice.preset->presetName.get()) std::abort();
  // And so is the whole file written from it, byte for byte.
  if (PresetFile::presetFileObject(*once.preset, bundled, "Fuzz").dump() !=
      PresetFile::presetFileObject(*twice.preset, bundled, "Fuzz").dump())
    std::abort();
  return 0;
}
