// The module bar's view model: the current module's words, bound both ways to
// the device service's current-module record, the nine modules' on/off words
// and the selected module, and the two requests the bar makes (select a
// module, switch the current one on or off).
//
// Callbacks (BaseViewModel): successBlock gets the nine on/off words as an
// array of integers (element i is word 0 of module i; an index whose record
// is missing or empty is left out of the array's tail and logged);
// failBlock gets the selected module index. The second one reports the
// selection, not a failure.
//
// It follows the current-module record's words and the current preset's
// module records: a module switched on the unit while another is edited shows
// in the bar too.
//
// Threads: a change the unit makes arrives on the framework's background
// queue, where the state is collected; the callbacks are called there and
// must hop to the main queue themselves. requests come from the main thread.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "device/records/BaseViewModel.h"
#include "device/service/HIDServiceViewMode.h"
#include "platform/foundation/Property.h"
#include "screens/models/GGEffectFunManager.h"

class GGFunctionViewModel : public BaseViewModel {
public:
  static constexpr int kModuleCount = dev::kModuleCount;

  struct Parts {
    HIDServiceViewModePtr service;  // HIDServiceViewMode::shared()
    GGEffectFunManagerPtr manager;  // GGEffectFunManager::shareManager()
  };

  // A view model that follows the service's current-module record from now on.
  static std::shared_ptr<GGFunctionViewModel> create(Parts parts = {});
  explicit GGFunctionViewModel(Parts parts);

  // The current module's words (word 0 the on/off word).
  fnd::Property<std::vector<int>> moduleStatus{this, "moduleStatus"};
  void setModuleStatus(std::vector<int> words) { moduleStatus.set(std::move(words)); }

  const HIDServiceViewModePtr& hid() const { return hid_; }

  // Reports the nine on/off words and the selected module through the
  // callbacks; nothing while the current preset has fewer than nine modules.
  void getNowModuleStatus();
  // The same for a change of the current module's words or of the preset's
  // module records: the callbacks are called only when what they would be
  // given differs from what they were given last (a knob's edit changes no
  // on/off word and no selection).
  void moduleWordsChanged();
  // The nine on/off words as getNowModuleStatus reports them.
  std::vector<int> collectModuleStatus() const;
  // Switches the current module on or off on the unit; nothing while there
  // are no words yet.
  void changeModuleStatus(bool on);
  // Asks the unit for module `index`'s page (0 to 8; others are ignored).
  void changePage(int64_t index);

  std::string className() const override { return "GGFunctionViewModel"; }

private:
  void bind();
  // Collects and reports; with onlyChanges, nothing when the state is the
  // one reported last.
  void report(bool onlyChanges);
  // The edited module's words changed: reports as moduleWordsChanged does.
  void editedWordsChanged();
  // The on/off words from the preset's records as read, with the selected
  // module's from the edited record.
  std::vector<int> collectModuleStatus(const std::array<HIDServiceModelPtr, kModuleCount>& records,
                                       std::optional<int> selected) const;

  HIDServiceViewModePtr hid_;
  GGEffectFunManagerPtr manager_;
  // Changes arrive on the main thread and on the background queue: one report
  // at a time, in the order of the callbacks' calls.
  std::mutex reportMutex_;
  std::optional<std::vector<int>> reportedStatus_;
  std::optional<std::optional<int>> reportedSelection_;
};

using GGFunctionViewModelPtr = std::shared_ptr<GGFunctionViewModel>;
