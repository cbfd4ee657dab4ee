#include "screens/bars/GGFunctionViewModel.h"

#include "platform/foundation/Log.h"
#include "reactive/RSKVOChannel.h"
#include "reactive/RSObservation.h"
#include "reactive/RSSignal.h"

std::shared_ptr<GGFunctionViewModel> GGFunctionViewModel::create(Parts parts) {
  auto model = fnd::make<GGFunctionViewModel>(std::move(parts));
  model->bind();
  return model;
}

GGFunctionViewModel::GGFunctionViewModel(Parts parts)
    : hid_(parts.service ? parts.service : HIDServiceViewMode::shared()),
      manager_(parts.manager ? parts.manager : GGEffectFunManager::shareManager()) {}

void GGFunctionViewModel::bind() {
  manager_->bindHidModel();
  auto self = std::static_pointer_cast<GGFunctionViewModel>(shared_from_this());
  std::weak_ptr<GGFunctionViewModel> weak = self;
  // The record is a stable object of the service: observed once.
  const HIDServiceModelPtr record = hid_->presetDataModel();
  rs_valuesForKeyPath(record, "dataArr", this)->subscribeNext([weak](const fnd::Value&) {
    FND_LOG_AT("GGFunctionViewModel", "current module words changed");
    if (auto vm = weak.lock()) vm->getNowModuleStatus();
  });
  auto left = RSKVOChannel::initWithTarget(self, "moduleStatus", fnd::Value());
  auto right = RSKVOChannel::initWithTarget(record, "dataArr", fnd::Value());
  (*left)["followingTerminal"] = (*right)["followingTerminal"];
}

std::vector<int> GGFunctionViewModel::collectModuleStatus() const {
  const HIDServiceModuleModePtr preset = hid_->presetAllData();
  const HIDServiceModuleMode::ModuleDictionary modules = preset->presetDataDic.get();
  std::vector<int> status;
  if (modules.size() < static_cast<size_t>(kModuleCount)) {
    FND_LOG_AT("GGFunctionViewModel", "current preset holds %zu modules", modules.size());
    return status;
  }
  const std::optional<int> selected = preset->selectedModule.get();
  for (int i = 0; i < kModuleCount; ++i) {
    std::vector<int> words;
    if (selected && *selected == i) {
      words = hid_->presetDataModel()->dataArr.get();
    } else if (auto it = modules.find(HIDServiceModuleMode::moduleKey(i)); it != modules.end() && it->second) {
      words = it->second->dataArr.get();
    }
    if (words.empty()) {
      // A hole would shift every later module onto the wrong button: stop here.
      FND_LOG_AT("GGFunctionViewModel", "module %d has no words", i);
      break;
    }
    status.push_back(words[0]);
  }
  return status;
}

void GGFunctionViewModel::getNowModuleStatus() {
  if (hid_->presetAllData()->presetDataDic.get().size() < static_cast<size_t>(kModuleCount)) {
    FND_LOG_AT("GGFunctionViewModel", "current preset incomplete: nothing reported");
    return;
  }
  const std::vector<int> status = collectModuleStatus();
  if (Block block = successBlock()) block(fnd::toValue(status));
  if (Block block = failBlock()) {
    const std::optional<int> selected = hid_->presetAllData()->selectedModule.get();
    block(selected ? fnd::Value(*selected) : fnd::Value());
  }
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
