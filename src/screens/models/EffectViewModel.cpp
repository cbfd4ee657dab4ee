#include "screens/models/EffectViewModel.h"

#include <algorithm>

#include "device/records/ModuleTable.h"
#include "platform/dispatch/OnMain.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"
#include "reactive/RSObservation.h"
#include "reactive/RSSignal.h"
#include "screens/models/CatalogueText.h"
#include "platform/foundation/Parts.h"

using json = nlohmann::json;

namespace {

json readSlotTable() {
  const auto path = fnd::paths::resourcePath("effects.json");
  const std::optional<std::string> text = fnd::files::readText(path);
  if (!text) return json();
  return json::parse(*text, nullptr, false);
}

}  // namespace

std::shared_ptr<EffectViewModel> EffectViewModel::create(Parts parts) {
  auto model = fnd::make<EffectViewModel>(std::move(parts));
  model->startReady();
  return model;
}

EffectViewModel::EffectViewModel(Parts parts)
    : service_(fnd::partOr(parts.service, HIDServiceViewMode::shared)),
      manager_(fnd::partOr(parts.manager, GGEffectFunManager::shareManager)),
      loadSlotTable_(parts.loadSlotTable ? parts.loadSlotTable : readSlotTable) {}

void EffectViewModel::startReady() {
  std::weak_ptr<EffectViewModel> weak = std::static_pointer_cast<EffectViewModel>(shared_from_this());
  // Each value is carried to the main thread with the work it asks for.
  using Work = std::function<void(EffectViewModel&, const fnd::Value&)>;
  auto deliver = [weak](Work work) {
    return [weak, work](const fnd::Value& value) {
      dispatch::onMain(weak, [work, value](EffectViewModel& vm) { work(vm, value); });
    };
  };
  rs_valuesForKeyPath(service_->presetAllData(), "selectedModule", this)
      ->subscribeNext(deliver([](EffectViewModel& vm, const fnd::Value&) {
        // The selection as the record holds it now: a change made on the
        // unit's reading thread reaches the main queue after one made here
        // since, and taking the value it carried would list the wrong module.
        vm.changeEffectIndex();
        FND_LOG_AT("EffectViewModel", "selected module %d", vm.module());
      }));
  rs_valuesForKeyPath(service_->presetDataModel(), "dataArr", this)
      ->subscribeNext(deliver([](EffectViewModel& vm, const fnd::Value&) {
        // The record as it stands now: the words the change carried may be
        // older by the time the main queue gets here (the unit's echoes and
        // this panel's sends cross), and filling the slots from them would
        // leave the knobs behind what the unit holds.
        vm.refreshData();
      }));
  rs_valuesForKeyPath(manager_, "mainColor", this)->subscribeNext(deliver([](EffectViewModel& vm, const fnd::Value&) {
    vm.refreshViewData();
  }));
}

int EffectViewModel::selectedModule() const { return service_->presetAllData()->selectedModule.get().value_or(0); }

std::string EffectViewModel::moduleName(int64_t index) {
  return index >= 0 && index < dev::kModuleCount ? ModuleTable::moduleName(static_cast<int>(index)) : std::string();
}

void EffectViewModel::changeEffectIndex() { changeEffectIndex(selectedModule()); }

void EffectViewModel::changeEffectIndex(int module) {
  // What was sent for the previous module says nothing about this one.
  manager_->setTempDataArray(std::nullopt);
  module_ = moduleFor(module);
  const std::string name = moduleName(module_);
  const json catalogue = service_->presetInfoDic();
  json value;
  if (!name.empty() && catalogue.is_object()) {
    auto it = catalogue.find(name);
    if (it != catalogue.end()) value = *it;
  }
  DealData(value, name);
}

void EffectViewModel::DealData(const json& value, const std::string& effectName) {
  std::vector<GGFuncEffectModelPtr> types;
  if (value.is_object()) {
    for (const auto& [typeName, entries] : value.items()) {
      std::vector<json> list;
      if (entries.is_array()) list.assign(entries.begin(), entries.end());
      types.push_back(GGFuncEffectModel::initWithEffectName(effectName, list, typeName));
    }
  } else if (value.is_array() && !value.empty() && value[0].is_array()) {
    const std::vector<json> shared(value.begin() + 1, value.end());
    for (const json& typeName : value[0])
      if (typeName.is_string())
        types.push_back(GGFuncEffectModel::initWithEffectName(effectName, shared, typeName.get<std::string>()));
  } else if (!value.is_null()) {
    FND_LOG_AT("EffectViewModel", "module \"%s\" has no effect types in the catalogue", effectName.c_str());
  }
  // A module without types lists none: keeping the previous module's types
  // would send their numbers to this module.
  std::stable_sort(types.begin(), types.end(),
                   [](const GGFuncEffectModelPtr& a, const GGFuncEffectModelPtr& b) { return a->nickName < b->nickName; });
  models_ = std::move(types);
  filledWords_.reset();  // new types have empty slots
}

const json& EffectViewModel::allEffectParmas() {
  if (!slotTable_.is_object()) {
    json loaded = loadSlotTable_();
    if (loaded.is_object()) slotTable_ = std::move(loaded);
  }
  return slotTable_;
}

std::shared_ptr<GGEffectParmaList> EffectViewModel::paramsForEffect() {
  auto list = std::make_shared<GGEffectParmaList>();
  const json& table = allEffectParmas();
  const std::string name = moduleName(module_);
  if (name.empty() || !table.is_object()) return list;
  auto it = table.find(name);
  if (it == table.end() || !it->is_array()) return list;
  for (const json& s : *it) {
    if (!s.is_object()) continue;
    std::vector<std::string> names;
    if (auto n = s.find("names"); n != s.end() && n->is_array())
      for (const json& v : *n)
        if (auto t = catalogue_text::scalarText(v)) names.push_back(std::move(*t));
    const int64_t index = catalogue_text::integerValue(catalogue_text::scalarText(s.value("index", json())));
    std::string current = catalogue_text::scalarText(s.value("current", json())).value_or("");
    list->push_back(fnd::make<GGEffectParmaModel>(index, std::move(names), std::move(current)));
  }
  return list;
}

void EffectViewModel::refreshData() { refreshData(service_->presetDataModel()->dataArr.get()); }

void EffectViewModel::refreshData(const std::vector<int>& words) {
  if (manager_->isDataArrayEqual(words)) return;
  if (models_.empty()) return;
  // Two changes handled after both arrived read the same record: the second
  // finds the slots filled with it already, unless a send wrote them since
  // (a send leaves its words in tempDataArray until the next fill).
  if (filledWords_ == words && !manager_->tempDataArray.get()) return;
  manager_->setTempDataArray(std::nullopt);
  std::shared_ptr<GGEffectParmaList> slots = paramsForEffect();
  // A slot without a word (a short list, or a table longer than the module)
  // keeps the table's value.
  for (size_t i = 0; i < slots->size() && i + 2 < words.size(); ++i)
    (*slots)[i]->current.set(std::to_string(words[i + 2]));
  // Remembered only once a fill is announced (a view made later asks again to
  // be told), and not without a slot table (asked for again next time).
  const Block block = successBlock();
  filledWords_ = slots->empty() || !block ? std::nullopt : std::optional<std::vector<int>>(words);
  std::shared_ptr<const GGEffectParmaList> shared = std::move(slots);
  for (const GGFuncEffectModelPtr& type : models_) type->setParams(shared);
  if (block) dispatch::Queue::main()->async([block] { block(fnd::Value()); });
}

void EffectViewModel::refreshViewData() {
  manager_->setTempDataArray(std::nullopt);
  changeEffectIndex();
  refreshData();
}

std::vector<int> EffectViewModel::wordsToSend() const {
  std::vector<int> words = service_->presetDataModel()->dataArr.get();
  const int module = selectedModule();
  // Words meant for no module of the unit are not sent to any.
  if (module < 0 || module >= dev::kModuleCount) return {};
  const auto count = static_cast<size_t>(ModuleTable::modules[static_cast<size_t>(module)].words());
  if (words.size() < count) {
    const HIDServiceModelPtr stored = service_->presetAllData()->module(module);
    const std::vector<int> known = stored ? stored->dataArr.get() : std::vector<int>();
    // Nothing known of the module yet: there is nothing sound to send.
    if (words.empty() && known.empty()) return {};
    for (size_t i = words.size(); i < count; ++i) words.push_back(i < known.size() ? known[i] : 0);
  }
  return words;
}

void EffectViewModel::send(std::vector<int> words) {
  manager_->setTempDataArray(words);
  service_->sendModuleData(std::move(words));
}

void EffectViewModel::sendToHidEffectOpenOrClose(bool open) {
  std::vector<int> words = wordsToSend();
  if (words.empty()) return;
  words[0] = open ? 1 : 0;
  send(std::move(words));
}

void EffectViewModel::sendToHid(int64_t number) {
  if (number < 0 || number >= static_cast<int64_t>(models_.size())) {
    FND_LOG_AT("EffectViewModel", "effect type %lld not sent: the module lists %zu", static_cast<long long>(number),
               models_.size());
    return;
  }
  std::vector<int> words = wordsToSend();
  if (words.size() < 2) return;
  words[1] = static_cast<int>(number);
  send(std::move(words));
}

std::vector<std::string> EffectViewModel::getValuesFormModel() {
  std::vector<std::string> out;
  const int64_t index = manager_->currentEffectIndex();
  if (index < 0 || index >= static_cast<int64_t>(models_.size())) return out;
  for (const GGEffectItemModelPtr& item : models_[static_cast<size_t>(index)]->effects()) out.push_back(item->current());
  return out;
}
