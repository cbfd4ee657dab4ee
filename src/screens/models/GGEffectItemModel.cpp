#include "screens/models/GGEffectItemModel.h"

#include <algorithm>

#include "screens/models/CatalogueText.h"
#include "screens/models/GGFuncEffectModel.h"

using json = nlohmann::json;
namespace text = catalogue_text;

namespace {

std::optional<std::vector<std::string>> textList(const json& value) {
  if (!value.is_array()) return std::nullopt;
  std::vector<std::string> out;
  for (const json& v : value)
    if (auto t = text::scalarText(v)) out.push_back(std::move(*t));
  return out;
}

}  // namespace

std::shared_ptr<GGEffectItemModel> GGEffectItemModel::fromDictionary(const json& entry) {
  auto item = fnd::make<GGEffectItemModel>();
  if (!entry.is_object()) return item;
  struct TextKey {
    const char* key;
    std::optional<std::string> GGEffectItemModel::*field;
  };
  static const TextKey textKeys[] = {
      {"parmaIndex", &GGEffectItemModel::parmaIndex}, {"sub_typeName", &GGEffectItemModel::sub_typeName},
      {"minValue", &GGEffectItemModel::minValue},     {"maxValue", &GGEffectItemModel::maxValue},
      {"fromValue", &GGEffectItemModel::fromValue},   {"unit", &GGEffectItemModel::unit},
      {"per_unit", &GGEffectItemModel::per_unit},     {"control", &GGEffectItemModel::control},
      {"sliderSetValue", &GGEffectItemModel::sliderSetValue},
  };
  for (const TextKey& k : textKeys) {
    auto it = entry.find(k.key);
    if (it != entry.end()) (*item).*(k.field) = text::scalarText(*it);
  }
  if (auto it = entry.find("typeName"); it != entry.end()) item->typeName = text::scalarText(*it).value_or("");
  if (auto it = entry.find("current"); it != entry.end()) item->current_ = text::scalarText(*it);
  if (auto it = entry.find("item"); it != entry.end()) item->item = textList(*it);
  if (auto it = entry.find("itemValue"); it != entry.end()) item->itemValue = textList(*it);
  return item;
}

GGEffectParmaModelPtr GGEffectItemModel::slot() const {
  const auto owner = parent.lock();
  if (!owner) return nullptr;
  const auto list = owner->params();
  if (!list) return nullptr;
  const std::optional<int64_t> wanted = parmaIndex ? std::optional<int64_t>(text::integerValue(*parmaIndex))
                                                   : std::nullopt;
  for (const GGEffectParmaModelPtr& s : *list) {
    if (!s || (wanted && *wanted != s->index)) continue;
    if (std::find(s->names.begin(), s->names.end(), typeName) != s->names.end()) return s;
  }
  return nullptr;
}

std::string GGEffectItemModel::current() {
  const GGEffectParmaModelPtr s = slot();
  if (!s) return current_.value_or("");
  std::string value = s->current.get();
  const int64_t minimum = text::integerValue(minValue);
  if (!hasChoices() && minimum < 0) value = text::integerText(text::integerValue(value) + minimum);
  current_ = value;
  return value;
}

void GGEffectItemModel::configCurrent(const std::string& shown) {
  const GGEffectParmaModelPtr s = slot();
  if (!s) return;
  const int64_t minimum = text::integerValue(minValue);
  if (!hasChoices() && minimum < 0)
    s->current.set(text::integerText(text::integerValue(shown) - minimum));
  else
    s->current.set(shown);
}

int64_t GGEffectItemModel::type() {
  type_ = hasChoices() ? 1 : (subModel ? 2 : 0);
  return type_;
}

void GGEffectItemModel::addOne() {
  const int64_t value = text::integerValue(current());
  switch (type()) {
    case 0:
    case 2:
      configCurrent(text::integerText(std::min(value + 1, text::integerValue(maxValue))));
      break;
    case 1: {
      // A value from the unit may lie outside the list: it comes back into it.
      const auto last = static_cast<int64_t>(item->size()) - 1;
      configCurrent(text::integerText(std::clamp<int64_t>(value + 1, 0, last)));
      break;
    }
    default:
      break;
  }
}

void GGEffectItemModel::minusOne() {
  const int64_t value = text::integerValue(current());
  switch (type()) {
    case 0:
    case 2:
      configCurrent(text::integerText(std::max(value - 1, text::integerValue(minValue))));
      break;
    case 1: {
      const auto last = static_cast<int64_t>(item->size()) - 1;
      configCurrent(text::integerText(std::clamp<int64_t>(value - 1, 0, last)));
      break;
    }
    default:
      break;
  }
}

int64_t GGEffectItemModel::baseValue() {
  if (baseValue_ == 0) baseValue_ = text::integerValue(current_);
  return baseValue_;
}

double GGEffectItemModel::sliderValue() {
  if (!minValue || !maxValue || !current_) return sliderValue_;
  const float range = std::abs(text::floatValue(*maxValue)) + std::abs(text::floatValue(*minValue));
  if (range == 0) return sliderValue_;
  sliderValue_ = static_cast<double>(text::floatValue(*current_) / range);
  return sliderValue_;
}

std::string GGEffectItemModel::ValueSubNumber(const std::string& ratio) {
  const text::Ratio r = text::parseRatio(ratio);
  const float value = text::floatValue(current());
  float result = value * r.a;
  // A zero denominator scales by nothing rather than by infinity.
  if (r.fraction && r.b != 0) result /= r.b;
  int64_t out = std::min(text::truncated(result), text::integerValue(maxValue));
  out = std::max(out, text::integerValue(minValue));
  return text::integerText(out);
}

std::string GGEffectItemModel::DivValueOne(const std::string& value, const std::string& ratio) {
  const text::Ratio r = text::parseRatio(ratio);
  float factor = r.fraction ? (r.b != 0 ? r.a / r.b : r.a) : r.a;
  // Dividing by a zero ratio is undefined: such a ratio leaves the value as is.
  if (factor == 0) factor = 1;
  const int64_t out = std::max(text::truncated(text::floatValue(value) / factor), text::integerValue(minValue));
  return text::integerText(out);
}

std::string GGEffectItemModel::ValueDivNumber(const std::string& ratio) {
  const text::Ratio r = text::parseRatio(ratio);
  float value = text::floatValue(current());
  if (r.a != 0) value /= r.a;
  if (r.fraction && r.b != 0) value /= r.b;
  return text::integerText(std::max(text::truncated(value), text::integerValue(minValue)));
}

void GGEffectItemModel::subNumber(const std::string& ratio) { configCurrent(ValueSubNumber(ratio)); }

std::string GGEffectItemModel::controllerRatio() {
  const auto controller = beControledModel.lock();
  if (!controller || !controller->itemValue) return "1";
  const int64_t choice = text::integerValue(controller->current());
  const auto& ratios = *controller->itemValue;
  if (choice < 0 || choice >= static_cast<int64_t>(ratios.size())) return "1";
  return ratios[static_cast<size_t>(choice)];
}

void GGEffectItemModel::setBeControlValue(const std::string& shown) {
  if (beControledModel.expired()) return;
  beControlValue_ = shown;
  const std::string stored = DivValueOne(shown, controllerRatio());
  configCurrent(text::integerText(text::integerValue(stored)));
}
