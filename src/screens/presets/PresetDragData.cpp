#include "screens/presets/PresetDragData.h"

#include "platform/foundation/Json.h"

// Names are file names and names the unit sent: any bytes. They travel
// through the defaults' way of keeping strings that are not UTF-8, so that a
// drag carries them byte for byte and writing it never fails.
std::string PresetDragData::encode() const {
  std::vector<fnd::Value> rows(index.begin(), index.end());
  std::vector<fnd::Value> names(presetName.begin(), presetName.end());
  const fnd::Value data(fnd::Dictionary{{"index", fnd::Value(fnd::Array(std::move(rows)))},
                                        {"tableViewID", fnd::Value(tableViewID)},
                                        {"presetName", fnd::Value(fnd::Array(std::move(names)))}});
  // (Nested two deep, never too deep to be encoded.)
  return fnd::writeJson(fnd::encodeBytesForJson(data).value_or(fnd::Value()), -1);
}

std::optional<PresetDragData> PresetDragData::decode(const std::string& data) {
  const std::optional<fnd::Value> parsed = fnd::parseJson(data);
  if (!parsed || !parsed->isDictionary()) return std::nullopt;
  const fnd::Value decoded = fnd::decodeBytesFromJson(*parsed);
  const fnd::Dictionary& d = decoded.asDictionary();
  PresetDragData out;
  const fnd::Value id = d["tableViewID"];
  if (!id.isString()) return std::nullopt;
  out.tableViewID = id.asString();
  if (const fnd::Value rows = d["index"]; rows.isArray())
    for (const fnd::Value& v : rows.asArray()) {
      if (v.kind() != fnd::Value::Kind::Int || v.intValue() < 0) return std::nullopt;
      out.index.push_back(static_cast<uint64_t>(v.intValue()));
    }
  if (const fnd::Value names = d["presetName"]; names.isArray())
    for (const fnd::Value& v : names.asArray()) {
      if (!v.isString()) return std::nullopt;
      out.presetName.push_back(v.asString());
    }
  return out;
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
