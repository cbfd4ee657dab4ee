// What a drag of preset rows carries under the pasteboard type "drag": the
// dragged row numbers in ascending order, the identifier of the table they
// come from and their names in the same order. Travels as a small JSON text;
// names keep their bytes, UTF-8 or not.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/ui/TableView.h"

struct PresetDragData {
  static constexpr const char* kPasteboardType = "drag";

  std::vector<uint64_t> index;
  std::string tableViewID;
  std::vector<std::string> presetName;

  std::string encode() const;
  // Nothing for data that is not such a text.
  static std::optional<PresetDragData> decode(const std::string& data);
};

// A drop handed to the receiving list: the row dropped on, then the dragged
// rows as they came.
struct PresetDrop {
  long revicedIndex = -1;
  std::vector<std::string> presetName;
  std::vector<uint64_t> index;
};

// Puts the rows of a preset list that are among `names` on the pasteboard,
// as dragged from the list `tableViewID`; false when none of them is.
bool writePresetRows(const std::string& tableViewID, const std::vector<std::string>& names, const std::set<long>& rows,
                     ui::Pasteboard& pb);
// The drop on `row` of the list `ownID`; nothing when the drag carries no
// preset rows' data or comes from that list itself.
std::optional<PresetDrop> readPresetDrop(const ui::DraggingInfo& info, const std::string& ownID, long row);
