// The view model of the unit preset list: the slot texts P001 to P200, the
// preset names read from the device service's cache, the unit's current
// preset (selectRow, kept equal to the current-preset record's
// selectedPreset both ways), preset changes and the paste of one slot into
// another.
//
// The fail block (on the main queue, with nil) means the current preset
// changed, and selectRow already holds the new number when it runs; the
// success block (on the main queue) means a name load ended.
// A name load runs nameLoadDelay after loadData, on the main thread, and
// follows every "reloadPresetName" notification.
//
// Threads: made and used on the main thread; selectRow may be written on the
// unit's input thread by the channel and is read through its lock.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/records/BaseViewModel.h"
#include "device/service/HIDServiceViewMode.h"
#include "platform/foundation/PopUpService.h"
#include "platform/foundation/Property.h"
#include "reactive/RSDisposable.h"

class PresetViewModel : public BaseViewModel {
public:
  struct Parts {
    HIDServiceViewModePtr service;  // HIDServiceViewMode::shared()
    std::shared_ptr<PopUpService> popUps;  // PopUpService::shared()
    std::chrono::milliseconds nameLoadDelay{300};
  };
  static std::shared_ptr<PresetViewModel> create(Parts parts);
  static std::shared_ptr<PresetViewModel> create() { return create(Parts{}); }
  ~PresetViewModel() override;
  std::string className() const override { return "PresetViewModel"; }

  HIDServiceViewModePtr hidSVM;
  std::shared_ptr<PopUpService> popUps;
  std::vector<std::string> presetNumArr;
  std::vector<std::string> presetNameArr;
  // The unit's current preset, 1 to 200.
  fnd::Property<std::optional<int>> selectRow;
  std::chrono::milliseconds nameLoadDelay;

  // The current preset's row (0 to 199), or -1.
  long selectedIndex() const;
  void loadData();
  // Switches the unit to preset n (1 to 200); other numbers do nothing.
  void sendChangePreset(int n);
  // Writes the record of slot `source` into slot `target` (both 0 to 199;
  // others do nothing): "Paste successful!" and a name load once the unit
  // confirms, "Paste failed." on any other answer or none in time.
  void PastPresetWithCopy(long source, long target);

  explicit PresetViewModel(Parts parts);

private:
  void start();
  void readNames();
  RSDisposablePtr reloadObserver_;
};

using PresetViewModelPtr = std::shared_ptr<PresetViewModel>;
