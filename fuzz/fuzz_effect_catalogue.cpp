// The effect catalogue loader over arbitrary documents. The first byte picks
// what is arbitrary: 0 both documents (the catalogue, a NUL, the slot
// table), 1 the catalogue with the shipped slot table, 2 the slot table with
// the shipped catalogue. Whatever is accepted must answer every query within
// its ranges, survive the checker, and take user-slot labels where they
// belong, made of printable ASCII only.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "device/catalogue/EffectCatalogue.h"
#include "device/catalogue/EffectCatalogueChecker.h"
#include "device/records/ModuleTable.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"

namespace {

using nlohmann::json;

json shipped(const char* name) {
  auto text = fnd::files::readText(fnd::paths::resourcePath(name));
  json j = text ? json::parse(*text, nullptr, false) : json::object();
  return j.is_discarded() ? json::object() : j;
}

void require(bool ok) {
  if (!ok) std::abort();
}

void checkQueries(EffectCatalogue& c, std::string_view name) {
  for (int m = -1; m <= 9; ++m) {
    const bool known = m >= 0 && m < 9;
    const std::vector<std::string> types = c.typeNames(m);
    require(known || types.empty());
    for (int t = -1; t <= static_cast<int>(types.size()); ++t) (void)c.parameters(m, t);
    const std::vector<int> words = c.defaultWords(m);
    if (known) {
      require(words.size() == static_cast<size_t>(ModuleTable::modules[static_cast<size_t>(m)].words() - 2));
      for (int w : words) require(w >= 0 && w <= 0xFFFF);
    } else {
      require(words.empty());
    }
    for (const auto& slot : c.parameterSlots(m)) require(slot.current >= 0 && slot.current <= 0xFFFF);
  }
  // User-slot labels: only slots 0 to 9, only where the list has room, and
  // nothing but the number, ':' and printable ASCII.
  using Kind = EffectCatalogue::UserSlot;
  for (Kind kind : {Kind::IR, Kind::NR}) {
    const char* module = kind == Kind::IR ? "CAB" : "AMP";
    const int first = kind == Kind::IR ? EffectCatalogue::kFirstIRType : EffectCatalogue::kFirstNRType;
    auto list = [&] {
      const json all = c.presetInfoDic();
      const auto entry = all.find(module);
      return entry != all.end() && entry->is_array() && !entry->empty() ? (*entry)[0] : json();
    };
    for (int slot = -1; slot <= EffectCatalogue::kUserSlotCount; ++slot) {
      const json before = list();
      const bool set = c.setUserSlotLabel(kind, slot, name);
      const json after = list();
      if (!set) {
        require(after == before);
        continue;
      }
      require(slot >= 0 && slot < EffectCatalogue::kUserSlotCount);
      require(after.is_array() && after.size() == before.size());
      const json& label = after.at(static_cast<size_t>(first + slot));
      require(label.is_string() && label.get<std::string>() == EffectCatalogue::userSlotLabel(kind, slot, name));
      require(label.get<std::string>().size() <= 3 + EffectCatalogue::kUserSlotNameSize);
      for (unsigned char ch : label.get<std::string>()) require(ch >= 32 && ch <= 126);
      require(c.clearUserSlotLabel(kind, slot));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (fnd::setLogSink([](const std::string&) {}), true);
  (void)quiet;
  static const json shippedCatalogue = shipped(EffectCatalogue::kCatalogueFile);
  static const json shippedSlots = shipped(EffectCatalogue::kSlotTableFile);
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string_view first = text, second;
  if (data[0] % 3 == 0) {
    const size_t nul = text.find('\0');
    first = text.substr(0, nul);
    second = nul == std::string_view::npos ? std::string_view() : text.substr(nul + 1);
  }
  json catalogue, slots;
  switch (data[0] % 3) {
    case 0:
      catalogue = json::parse(first, nullptr, false);
      slots = json::parse(second, nullptr, false);
      break;
    case 1:
      catalogue = json::parse(first, nullptr, false);
      slots = shippedSlots;
      break;
    default:
      catalogue = shippedCatalogue;
      slots = json::parse(first, nullptr, false);
      break;
  }
  if (catalogue.is_discarded() || slots.is_discarded()) return 0;

  (void)EffectCatalogueChecker::check(catalogue, slots);
  auto c = EffectCatalogue::fromJson(catalogue, slots);
  if (!c) return 0;
  (void)EffectCatalogueChecker::check(*c);
  // A slot name from the input's last bytes: any bytes at all.
  checkQueries(*c, text.substr(text.size() > 20 ? text.size() - 20 : 0));
  return 0;
}
