#include "screens/models/GGFuncEffectModel.h"

#include "screens/models/CatalogueText.h"

using json = nlohmann::json;

std::shared_ptr<GGFuncEffectModel> GGFuncEffectModel::initWithEffectName(const std::string& effectName,
                                                                         const std::vector<json>& effects,
                                                                         const std::string& nickName) {
  auto type = fnd::make<GGFuncEffectModel>(effectName, nickName);
  std::vector<GGEffectItemModelPtr> list;
  for (const json& entry : effects) {
    if (entry.is_object()) {
      GGEffectItemModelPtr item = GGEffectItemModel::fromDictionary(entry);
      item->parent = type;
      list.push_back(std::move(item));
    } else if (entry.is_array() && entry.size() == 2 && entry.front().is_object() && entry.back().is_object()) {
      GGEffectItemModelPtr item = GGEffectItemModel::fromDictionary(entry.front());
      GGEffectItemModelPtr second = GGEffectItemModel::fromDictionary(entry.back());
      item->parent = type;
      second->parent = type;
      item->subModel = std::move(second);
      list.push_back(std::move(item));
    }
  }
  for (const GGEffectItemModelPtr& item : list) {
    if (!item->control) continue;
    for (const GGEffectItemModelPtr& other : list) {
      if (other->typeName != *item->control) continue;
      item->controlModel = other;
      other->isBeControl = true;
      other->beControledModel = item;
      break;
    }
  }
  type->effects_ = std::move(list);
  return type;
}

int64_t GGFuncEffectModel::effectItemCount() const {
  if (effectName == "CAB" && catalogue_text::integerValue(nickName.substr(0, 2)) > kLastBuiltInCabinet) return 1;
  return static_cast<int64_t>(effects_.size());
}

std::shared_ptr<const GGEffectParmaList> GGFuncEffectModel::params() const {
  std::lock_guard guard(paramsMutex_);
  return params_;
}

void GGFuncEffectModel::setParams(std::shared_ptr<const GGEffectParmaList> params) {
  std::lock_guard guard(paramsMutex_);
  params_ = std::move(params);
}
