// The model of the computer preset library: the preset files ("<name>.pqv")
// that lie directly in the computer preset folder, newest first, and the
// two changes the library makes to that folder, copying files in and
// deleting them.
//
// A listed name N always stands for the file "<folder>/N.pqv". Only entries
// whose name is a non-empty base name followed by exactly ".pqv" and that are
// (or link to) regular files are listed, so every name points at a file that
// exists when it is listed. The creation date orders the list (the
// modification date where the file system keeps no creation date); names
// of the same date follow in name order.
//
// The success block gets presetNameDic() ({"presetName": [names]}) on the
// main queue after every listing and every deletion; the fail block is never
// called.
//
// Threads: made and used on the main thread, where its listings run.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "device/records/BaseViewModel.h"
#include "platform/foundation/PopUpService.h"

class ComputerPresetViewModel : public BaseViewModel {
public:
  static constexpr const char* kExtension = "pqv";
  static constexpr const char* kNamesKey = "presetName";
  static constexpr const char* kDeleteFailed = "Delete preset failed.";

  struct Parts {
    // The computer preset folder, asked afresh each time it is needed.
    std::function<std::filesystem::path()> folder;
    std::shared_ptr<PopUpService> popUps;  // PopUpService::shared()
  };
  // Makes the folder, with its parents, when it is missing (failures are
  // only logged: the list is then empty).
  static std::shared_ptr<ComputerPresetViewModel> create(Parts parts);
  std::string className() const override { return "ComputerPresetViewModel"; }

  // The listed names in display order. Replaced by every listing, shortened
  // by a deletion.
  std::vector<std::string> presetNameArr;
  // {"presetName": presetNameArr}.
  fnd::Value presetNameDic() const;

  std::filesystem::path folder() const;
  // "<folder>/<name>.pqv".
  std::filesystem::path pathOf(const std::string& name) const;

  // Lists the folder again, then queues the success block.
  void loadData();
  // Removes the files of those rows in row order (rows outside the list are
  // left out). At the first failure shows "Delete preset failed." and stops:
  // the list stays as it is. When all were removed, drops the rows from the
  // list and queues the success block. True when all were removed.
  bool delData(const std::set<long>& rows);
  // Copies `file` into the folder as "<its base name>.pqv". An existing file
  // of that name is never replaced, and no partly copied file is ever seen
  // under that name. False when nothing was copied (no such regular file,
  // too large to be a preset file, the name taken, a failed write).
  bool addPreset(const std::filesystem::path& file);

  // ---- without the model

  // The name an entry of the folder is listed under, or nothing when it is
  // not listed: "Lead.pqv" -> "Lead"; "notes.xpqv", ".pqv", "y.PQV" -> none.
  static std::optional<std::string> presetNameOf(const std::string& fileName);
  // The names of the preset files directly in `folder`, newest first; none
  // for a missing or unreadable folder.
  static std::vector<std::string> listPresetNames(const std::filesystem::path& folder);

  explicit ComputerPresetViewModel(Parts parts);

private:
  // The success block with the names as they are now, on the main queue.
  void queueSuccess();
  Parts parts_;
};

using ComputerPresetViewModelPtr = std::shared_ptr<ComputerPresetViewModel>;
