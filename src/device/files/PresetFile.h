// Preset files ("pqv"): one unit preset kept on the computer as JSON. This is
// the format and its translations to and from preset records; reading and
// writing the files and talking to the unit is PresetManager's.
//
// Parameter values are stored by parameter name, not by slot: both
// directions translate between a module's words and named values through
// the effect catalogue ("preset.json"). A file looks like
//
//   { "fileInfo":     { "device": "QV450", ..., "schema": "QV450 Preset", "preset_name": "Lead" },
//     "effectModule": { "FX/COMP": { "SWITCH": 1, "TYPE": 0, "Data": { "THRES": 20, ... } }, ... },
//     "Exp":          { "MODULE_CTRL": 0, "PARA_CTRL": 0, "FUN_SWITCH": 0,
//                       "VOL_SWITCH": 0, "VOL_MIN": 0, "VOL_MAX": 100 } }
//
// Pure functions: any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "device/records/HIDServiceModuleMode.h"

class PresetFile {
public:
  // What a refused file's text is refused with.
  static constexpr const char* kWrongData = "Wrong preset file data format!";
  static constexpr const char* kWrongVersion =
      "Preset file version does not match! Please check compatibility of the file.";

  static constexpr const char* kExtension = "pqv";
  static constexpr const char* kSchema = "QV450 Preset";
  static constexpr size_t kNameLength = 14;
  // Larger files are no preset file; they are refused unread.
  static constexpr uintmax_t kMaxFileSize = 1u << 20;

  // The file's JSON object for a preset, named `presetName`.
  static nlohmann::json presetFileObject(const HIDServiceModuleMode& preset, const nlohmann::json& catalogue,
                                         const std::string& presetName);

  struct Imported {
    HIDServiceModuleModePtr preset;  // null when refused
    std::string refusal;             // the message when refused
    std::string reason;              // what is wrong with the file, for the log
  };
  // A new preset record from a file's text: a copy of `target` whose modules
  // named in the file are built on `current`'s module records. `baseName`
  // names it (cut to 14 characters). Values are read as integers (numbers,
  // decimal texts, true and false); a parameter's value is brought within
  // its limits. A file is refused whole, before anything is built, for a
  // value that is no number, a switch other than 0 or 1, an effect type the
  // catalogue does not have for that module, a parameter word the unit
  // cannot hold, or EXP words outside their ranges (module 0 to 8,
  // parameter 0 to 60, switches 0 or 1, volume 0 to 100).
  static Imported presetFromFile(std::string_view text, const std::string& baseName,
                                 const HIDServiceModuleMode& target, const HIDServiceModuleMode& current,
                                 const nlohmann::json& catalogue);

  // The file name without folder and extension.
  static std::string baseNameOf(std::string_view path);
  // A preset name as a file name and JSON text: "/" and control characters
  // become "-", bytes that are not UTF-8 are read as Latin-1.
  static std::string safeFileName(std::string_view name);
};
