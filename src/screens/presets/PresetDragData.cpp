#include "screens/presets/PresetDragData.h"

#include <nlohmann/json.hpp>

std::string PresetDragData::encode() const {
  nlohmann::json j;
  j["index"] = index;
  j["tableViewID"] = tableViewID;
  j["presetName"] = presetName;
  return j.dump();
}

std::optional<PresetDragData> PresetDragData::decode(const std::string& data) {
  const nlohmann::json j = nlohmann::json::parse(data, nullptr, false);
  if (!j.is_object()) return std::nullopt;
  PresetDragData d;
  const auto id = j.find("tableViewID");
  if (id == j.end() || !id->is_string()) return std::nullopt;
  d.tableViewID = id->get<std::string>();
  if (const auto it = j.find("index"); it != j.end() && it->is_array())
    for (const auto& v : *it) {
      if (!v.is_number_unsigned()) return std::nullopt;
      d.index.push_back(v.get<uint64_t>());
    }
  if (const auto it = j.find("presetName"); it != j.end() && it->is_array())
    for (const auto& v : *it) {
      if (!v.is_string()) return std::nullopt;
      d.presetName.push_back(v.get<std::string>());
    }
  return d;
}
