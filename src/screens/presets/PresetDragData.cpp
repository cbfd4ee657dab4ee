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

bool writePresetRows(const std::string& tableViewID, const std::vector<std::string>& names, const std::set<long>& rows,
                     ui::Pasteboard& pb) {
  PresetDragData d;
  d.tableViewID = tableViewID;
  for (long r : rows) {
    if (r < 0 || static_cast<size_t>(r) >= names.size()) continue;
    d.index.push_back(static_cast<uint64_t>(r));
    d.presetName.push_back(names[static_cast<size_t>(r)]);
  }
  if (d.index.empty()) return false;
  pb.setString(PresetDragData::kPasteboardType, d.encode());
  return true;
}

std::optional<PresetDrop> readPresetDrop(const ui::DraggingInfo& info, const std::string& ownID, long row) {
  const std::string* data = info.pasteboard.stringForType(PresetDragData::kPasteboardType);
  if (!data) return std::nullopt;
  const auto d = PresetDragData::decode(*data);
  if (!d || d->tableViewID == ownID) return std::nullopt;
  return PresetDrop{row, d->presetName, d->index};
}
