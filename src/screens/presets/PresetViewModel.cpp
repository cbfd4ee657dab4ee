#include "screens/presets/PresetViewModel.h"

#include <cstdio>

#include "device/records/DeviceConstants.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Parts.h"
#include "reactive/RSKVOChannel.h"
#include "reactive/RSNotificationSignals.h"
#include "reactive/RSObservation.h"
#include "reactive/RSSignal.h"

std::shared_ptr<PresetViewModel> PresetViewModel::create(Parts parts) {
  auto vm = fnd::make<PresetViewModel>(std::move(parts));
  vm->start();
  return vm;
}

PresetViewModel::PresetViewModel(Parts parts)
    : hidSVM(fnd::partOr(parts.service, HIDServiceViewMode::shared)),
      popUps(fnd::partOr(parts.popUps, PopUpService::shared)),
      selectRow(this, "selectRow"),
      nameLoadDelay(parts.nameLoadDelay) {}

PresetViewModel::~PresetViewModel() { RSDispose(reloadObserver_); }

void PresetViewModel::start() {
  std::weak_ptr<PresetViewModel> weak = std::static_pointer_cast<PresetViewModel>(shared_from_this());
  // The channel is joined first, so that it writes selectRow (at once, on
  // the thread of the change) before the observer below hands the change
  // on: the fail block, which marks row selectRow - 1, then always reads the
  // number the unit sent, not the one before it.
  auto left = RSKVOChannel::initWithTarget(shared_from_this(), "selectRow", fnd::Value());
  auto right = RSKVOChannel::initWithTarget(hidSVM->presetAllData(), "selectedPreset", fnd::Value());
  (*left)["followingTerminal"] = (*right)["followingTerminal"];
  rs_valuesForKeyPath(hidSVM->presetAllData(), "selectedPreset", this)->subscribeNext([weak](const fnd::Value& v) {
    fnd::logLine("preset list: current preset " + v.description());
    dispatch::Queue::main()->async([weak] {
      auto self = weak.lock();
      if (!self) return;
      if (Block fail = self->failBlock()) fail(fnd::Value());
    });
  });
  reloadObserver_ = rs_addObserverForName(fnd::NotificationCenter::defaultCenter(), HIDServiceViewMode::kReloadPresetName,
                                          fnd::Value())
                        ->subscribeNext([weak](const fnd::Value&) {
                          dispatch::Queue::main()->async([weak] {
                            if (auto self = weak.lock()) self->loadData();
                          });
                        });
  presetNumArr.reserve(dev::kPresetCount);
  for (int n = 1; n <= dev::kPresetCount; ++n) {
    char text[16];
    std::snprintf(text, sizeof text, "P%03d", n);
    presetNumArr.emplace_back(text);
  }
}

long PresetViewModel::selectedIndex() const {
  const std::optional<int> n = selectRow.get();
  if (!n || *n < 1 || *n > dev::kPresetCount) return -1;
  return *n - 1;
}

void PresetViewModel::loadData() {
  std::weak_ptr<PresetViewModel> weak = std::static_pointer_cast<PresetViewModel>(shared_from_this());
  dispatch::Queue::main()->after(nameLoadDelay, [weak] {
    if (auto self = weak.lock()) self->readNames();
  });
}

void PresetViewModel::readNames() {
  // The cache may hold fewer records than slots while missing ones are
  // fetched again: such slots show no name.
  const auto cache = hidSVM->allPresetDataArr2();
  std::vector<std::string> names;
  names.reserve(dev::kPresetCount);
  for (size_t i = 0; i < static_cast<size_t>(dev::kPresetCount); ++i)
    names.push_back(i < cache.size() && cache[i] ? cache[i]->presetName.get() : std::string());
  presetNameArr = std::move(names);
  std::weak_ptr<PresetViewModel> weak = std::static_pointer_cast<PresetViewModel>(shared_from_this());
  dispatch::Queue::main()->async([weak] {
    auto self = weak.lock();
    if (!self) return;
    if (Block success = self->successBlock()) success(fnd::Value());
  });
}

void PresetViewModel::sendChangePreset(int n) {
  if (n < 1 || n > dev::kPresetCount) return;
  hidSVM->sendChangePreset(n);
  selectRow.set(n);
}

void PresetViewModel::PastPresetWithCopy(long source, long target) {
  if (source < 0 || source >= dev::kPresetCount || target < 0 || target >= dev::kPresetCount) return;
  const HIDServiceModuleModePtr record = hidSVM->cachedPreset(static_cast<int>(source) + 1);
  if (!record) return;
  const auto copy = record->copy();
  std::weak_ptr<PresetViewModel> weak = std::static_pointer_cast<PresetViewModel>(shared_from_this());
  hidSVM->sendPresetDataToDevice(*copy, static_cast<int>(target), [weak, popUps = popUps](long result) {
    dispatch::Queue::main()->async([weak, popUps, result] {
      if (result == 1) {
        if (popUps) popUps->showSuccessWithTip("Paste successful!");
        if (auto self = weak.lock()) self->loadData();
      } else if (popUps) {
        popUps->showFailWithTip("Paste failed.", nullptr);
      }
    });
  });
}
