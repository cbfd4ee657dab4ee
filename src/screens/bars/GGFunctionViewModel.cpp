#include "screens/bars/GGFunctionViewModel.h"

#include "platform/foundation/Log.h"
#include "reactive/RSKVOChannel.h"
#include "reactive/RSObservation.h"
#include "reactive/RSSignal.h"
#include "platform/foundation/Parts.h"

std::shared_ptr<GGFunctionViewModel> GGFunctionViewModel::create(Parts parts) {
  auto model = fnd::make<GGFunctionViewModel>(std::move(parts));
  model->bind();
  return model;
}

GGFunctionViewModel::GGFunctionViewModel(Parts parts)
    : hid_(fnd::partOr(parts.service, HIDServiceViewMode::shared)),
      manager_(fnd::partOr(parts.manager, GGEffectFunManager::shareManager)) {}

void GGFunctionViewModel::bind() {
  manager_->bindHidModel();
  auto self = std::static_pointer_cast<GGFunctionViewModel>(shared_from_this());
  std::weak_ptr<GGFunctionViewModel> weak = self;
  // The record is a stable object of the service: observed once.
  const HIDServiceModelPtr record = hid_->presetDataModel();
  rs_valuesForKeyPath(record, "dataArr", this)->subscribeNext([weak](const fnd::Value&) {
    if (auto vm = weak.lock()) vm->editedWordsChanged();
  });
  // The other modules' on/off words change in the preset's records alone (the
  // unit's panel switches a module that is not being edited). The preset
  // tells of those only, not of the record each knob edit stores.
  rs_valuesForKeyPath(hid_->presetAllData(), "moduleSwitches", this)->subscribeNext([weak](const fnd::Value&) {
    if (auto vm = weak.lock()) vm->moduleWordsChanged();
  });
  auto left = RSKVOChannel::initWithTarget(self, "moduleStatus", fnd::Value());
  auto right = RSKVOChannel::initWithTarget(record, "dataArr", fnd::Value());
  (*left)["followingTerminal"] = (*right)["followingTerminal"];
}

namespace {

// Word 0 of a record, read in place; nothing when it has no words.
std::optional<int> firstWord(const HIDServiceModel& record) {
  return record.dataArr.read(
      [](const std::vector<int>& words) { return words.empty() ? std::nullopt : std::optional<int>(words[0]); });
}

}  // namespace

std::vector<int> GGFunctionViewModel::collectModuleStatus() const {
  const HIDServiceModuleModePtr preset = hid_->presetAllData();
  size_t count = 0;
  const auto records = preset->modules(count);
  if (count < static_cast<size_t>(kModuleCount)) {
    FND_LOG_AT("GGFunctionViewModel", "current preset holds %zu modules", count);
    return {};
  }
  return collectModuleStatus(records, preset->selectedModule.get());
}

std::vector<int> GGFunctionViewModel::collectModuleStatus(const std::array<HIDServiceModelPtr, kModuleCount>& records,
                                                          std::optional<int> selected) const {
  std::vector<int> status;
  status.reserve(kModuleCount);
  for (int i = 0; i < kModuleCount; ++i) {
    const HIDServiceModelPtr& stored = records[static_cast<size_t>(i)];
    const std::optional<int> word = selected && *selected == i ? firstWord(*hid_->presetDataModel())
                                    : stored                    ? firstWord(*stored)
                                                                : std::nullopt;
    if (!word) {
      // A hole would shift every later module onto the wrong button: stop here.
      FND_LOG_AT("GGFunctionViewModel", "module %d has no words", i);
      break;
    }
    status.push_back(*word);
  }
  return status;
}

void GGFunctionViewModel::getNowModuleStatus() { report(false); }

void GGFunctionViewModel::moduleWordsChanged() { report(true); }

void GGFunctionViewModel::editedWordsChanged() {
  {
    // Every knob edit comes here: when the edited module's on/off word and
    // the selection are as reported, the other eight are not collected.
    std::lock_guard lock(reportMutex_);
    const std::optional<int> selected = hid_->presetAllData()->selectedModule.get();
    if (selected && reportedSelection_ == selected && reportedStatus_ &&
        static_cast<size_t>(*selected) < reportedStatus_->size() && hasSuccessBlock() && hasFailBlock() &&
        firstWord(*hid_->presetDataModel()) == (*reportedStatus_)[static_cast<size_t>(*selected)])
      return;
  }
  report(true);
}

void GGFunctionViewModel::report(bool onlyChanges) {
  std::lock_guard lock(reportMutex_);
  // The preset's records and the selection, each read once.
  const HIDServiceModuleModePtr preset = hid_->presetAllData();
  size_t count = 0;
  const auto records = preset->modules(count);
  if (count < static_cast<size_t>(kModuleCount)) {
    FND_LOG_AT("GGFunctionViewModel", "current preset incomplete: nothing reported");
    return;
  }
  const std::optional<int> selected = preset->selectedModule.get();
  std::vector<int> status = collectModuleStatus(records, selected);
  // What was reported while a callback was missing is not known to the view.
  const bool statusKnown = onlyChanges && reportedStatus_ == status && hasSuccessBlock();
  const bool selectionKnown = onlyChanges && reportedSelection_ == selected && hasFailBlock();
  // A knob's edit: nothing to tell, and the callbacks are not even copied.
  if (statusKnown && selectionKnown) return;
  const Block success = successBlock();
  const Block fail = failBlock();
  if (onlyChanges) FND_LOG_AT("GGFunctionViewModel", "current module words changed the bar");
  if (success && !statusKnown) success(fnd::toValue(status));
  if (fail && !selectionKnown) fail(selected ? fnd::Value(*selected) : fnd::Value());
  reportedStatus_ = success ? std::optional<std::vector<int>>(std::move(status)) : std::nullopt;
  reportedSelection_ = fail ? std::optional<std::optional<int>>(selected) : std::nullopt;
}

void GGFunctionViewModel::changeModuleStatus(bool on) {
  std::vector<int> words = moduleStatus.get();
  if (words.empty()) {
    FND_LOG_AT("GGFunctionViewModel", "no module words yet: nothing switched");
    return;
  }
  words[0] = on ? 1 : 0;
  // The channel writes the list into the record; the send takes it as given,
  // whatever frame of the unit is decoded in between.
  setModuleStatus(words);
  hid_->sendModuleData(std::move(words));
}

void GGFunctionViewModel::changePage(int64_t index) {
  if (index < 0 || index >= kModuleCount) {
    FND_LOG_AT("GGFunctionViewModel", "no module %lld", static_cast<long long>(index));
    return;
  }
  hid_->sendChangePage(static_cast<int>(index) + dev::kFirstModulePage);
}
