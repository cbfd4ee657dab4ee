// The device service's decoder of the unit's frames, fed arbitrary frames.
// The service's commands go to a recording sink in place of a unit. After
// every frame the records must stay within their ranges: preset numbers 1 to
// 200, module index 0 to 8, names of at most 14 characters, each module with its
// own number of 16-bit words and three EXP words of each kind (the current
// preset after every frame, the cache at the end), and the service asks the
// unit only for presets that exist.
//
// Input: a sequence of [mode] [length lo] [length hi] [bytes]. Mode bit 7
// set: the bytes are handed over as they are (a frame with a wrong length
// field or none); otherwise they are the payload of a well-formed frame of
// command `mode`, with the codes the unit sends reached more often.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "device/catalogue/EffectCatalogue.h"
#include "device/codec/FrameCodec.h"
#include "device/records/DeviceConstants.h"
#include "device/records/ModuleTable.h"
#include "device/service/HIDServiceViewMode.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PopUpService.h"

namespace {

// Says which range was left before stopping.
#define require(ok) ((ok) ? (void)0 : (std::fprintf(stderr, "out of range: %s (line %d)\n", #ok, __LINE__), std::abort()))

class SilentPopUps : public PopUpService {
public:
  void showSuccessWithTip(const std::string&) override {}
  void showWarningWithTip(const std::string&, std::shared_ptr<fnd::Object>) override {}
  void showFailWithTip(const std::string&, std::shared_ptr<fnd::Object>) override {}
  void AOEHideAllView() override {}
};

// The codes the unit sends; a mode below 0x40 picks one of them.
constexpr uint8_t kUnitCodes[] = {0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0C, 0x16, 0x17,
                                  0x18, 0x20, 0x21, 0x24, 0x25, 0x26, 0x27, 0x30, 0x32, 0x33, 0x34, 0x41,
                                  0x43, 0x44, 0x45, 0xB5, 0xB7};

void checkModule(const HIDServiceModelPtr& record, int m) {
  if (!record) return;
  const std::vector<int> words = record->dataArr.get();
  require(words.size() == static_cast<size_t>(ModuleTable::modules[static_cast<size_t>(m)].words()));
  for (const auto& list : {words, record->FuncDataArr.get(), record->ExpDataArr.get()})
    for (int w : list) require(w >= 0 && w <= 0xFFFF);
  require(record->FuncDataArr.get().size() <= 3 && record->ExpDataArr.get().size() <= 3);
}

void checkPreset(const HIDServiceModuleMode& p) {
  // Bytes from 0x80 up are Latin-1 letters, two bytes each in UTF-8.
  size_t characters = 0;
  for (unsigned char c : p.presetName.get()) characters += (c & 0xC0) != 0x80;
  require(characters <= dev::kPresetNameSize);
  if (auto n = p.selectedPreset.get()) require(*n >= 1 && *n <= dev::kPresetCount);
  if (auto m = p.selectedModule.get()) require(*m >= 0 && *m < dev::kModuleCount);
  for (const auto& [key, record] : p.presetDataDic.get()) {
    require(key.size() == 1 && key[0] >= '0' && key[0] <= '8');
    checkModule(record, key[0] - '0');
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (fnd::setLogSink([](const std::string&) {}), true);
  (void)quiet;
  // Read once; each run gets a catalogue of its own, as slot names relabel it.
  static const auto documents = [] {
    auto read = [](const char* name) {
      auto text = fnd::files::readText(fnd::paths::resourcePath(name));
      nlohmann::json j = text ? nlohmann::json::parse(*text, nullptr, false) : nlohmann::json::object();
      return j.is_discarded() ? nlohmann::json::object() : j;
    };
    return std::pair{read(EffectCatalogue::kCatalogueFile), read(EffectCatalogue::kSlotTableFile)};
  }();
  static std::vector<std::pair<uint8_t, std::vector<uint8_t>>> sent;
  sent.clear();

  HIDServiceViewMode::Parts parts;
  parts.popUps = std::make_shared<SilentPopUps>();
  parts.loadCatalogue = [] { return EffectCatalogue::fromJson(documents.first, documents.second); };
  parts.sink = [](uint8_t cmd, const uint8_t* bytes, uint16_t datalen) {
    sent.emplace_back(cmd, std::vector<uint8_t>(bytes, bytes + (datalen > 0 ? datalen - 1 : 0)));
  };
  auto service = HIDServiceViewMode::create(parts);

  size_t at = 0;
  while (at + 3 <= size) {
    const uint8_t mode = data[at];
    const size_t n = std::min<size_t>(data[at + 1] | (data[at + 2] << 8), size - at - 3);
    const std::span<const uint8_t> bytes(data + at + 3, n);
    at += 3 + n;
    if (mode & 0x80) {
      service->callBackData(bytes);
    } else {
      const uint8_t code = mode < 0x40 ? kUnitCodes[mode % sizeof kUnitCodes] : mode;
      const std::vector<uint8_t> frame = frame::build(code, bytes);
      if (frame.empty()) continue;
      service->callBackData(frame);
    }

    checkPreset(*service->presetAllData());
    if (auto edited = service->presetDataModel()) {
      for (int w : edited->dataArr.get()) require(w >= 0 && w <= 0xFFFF);
      require(edited->dataArr.get().size() <= 11);
    }
  }
  // The cache keeps what it was given, so once at the end is enough.
  for (int p = 1; p <= dev::kPresetCount; ++p)
    if (auto cached = service->cachedPreset(p)) checkPreset(*cached);
  for (const auto& [cmd, payload] : sent) {
    // 0xA1 asks the unit for one preset record again.
    if (cmd == dev::host_cmd::kRequestRecord)
      require(payload.size() == 1 && payload[0] >= 1 && payload[0] <= dev::kPresetCount);
  }
  return 0;
}
