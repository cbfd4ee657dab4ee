#include "screens/editor/EffectDataViewModel.h"

#include <algorithm>

#include "device/records/ModuleTable.h"
#include "platform/foundation/Parts.h"
#include "screens/models/CatalogueText.h"

EffectDataViewModel::EffectDataViewModel(Parts parts)
    : service_(fnd::partOr(std::move(parts.service), HIDServiceViewMode::shared)),
      manager_(fnd::partOr(std::move(parts.manager), GGEffectFunManager::shareManager)) {}

std::vector<int> EffectDataViewModel::configHidData() const {
  const int module = service_->presetAllData()->selectedModule.get().value_or(-1);
  if (module < 0 || module >= dev::kModuleCount) return {};
  std::vector<int> words = service_->presetDataModel()->dataArr.get();
  const auto count = static_cast<size_t>(ModuleTable::modules[static_cast<size_t>(module)].words());
  if (words.size() < count) {
    const HIDServiceModelPtr stored = service_->presetAllData()->module(module);
    const std::vector<int> known = stored ? stored->dataArr.get() : std::vector<int>();
    if (words.empty() && known.empty()) return {};
    for (size_t i = words.size(); i < count; ++i) words.push_back(i < known.size() ? known[i] : 0);
  }
  if (!curModel) return words;
  if (const auto params = curModel->params()) {
    for (const GGEffectParmaModelPtr& slot : *params) {
      if (!slot || slot->index < 0) continue;
      const auto at = static_cast<size_t>(slot->index) + 2;
      if (at >= words.size()) continue;
      const int64_t value = slot->current.read([](const std::string& text) { return catalogue_text::integerValue(text); });
      words[at] = static_cast<int>(std::clamp<int64_t>(value, kWordMin, kWordMax));
    }
  }
  return words;
}

void EffectDataViewModel::sendData() {
  std::vector<int> words = configHidData();
  if (words.size() < 2) return;
  manager_->setTempDataArray(words);
  service_->sendModuleData(std::move(words));
}

bool EffectDataViewModel::compareStringOne(const std::string& one, const std::vector<std::string>& strings) {
  return std::find(strings.begin(), strings.end(), one) != strings.end();
}
