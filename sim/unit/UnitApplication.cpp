#include "sim/unit/UnitApplication.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "device/codec/FrameCodec.h"
#include "sim/SimulatedUnit.h"
#include "sim/unit/UnitTransfer.h"

namespace sim {

namespace {

int readWord(const uint8_t* p) { return p[0] | (p[1] << 8); }

void writeWord(uint8_t* p, int value) {
  p[0] = static_cast<uint8_t>(value & 0xFF);
  p[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

bool isPresetNumber(int n) { return n >= 1 && n <= UnitApplication::kPresetCount; }

template <size_t N>
void copyName(std::array<uint8_t, N>& out, std::span<const uint8_t> bytes) {
  out.fill(0);
  std::copy_n(bytes.begin(), std::min(bytes.size(), N), out.begin());
}

template <size_t N>
void copyName(std::array<uint8_t, N>& out, std::string_view text) {
  copyName(out, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

template <size_t N>
std::string nameText(const std::array<uint8_t, N>& bytes) {
  std::string text;
  for (uint8_t b : bytes) {
    if (b == 0) break;
    text.push_back(static_cast<char>(b));
  }
  return text;
}

// The factory presets use, for each module, effect types whose parameters
// fill every word of the module, with each parameter word inside the limits
// of all those types: the presets a unit holds, which the editor shows and
// saves to files without losing a word.
struct Range {
  int lo, hi;
};
struct FactoryModule {
  std::vector<int> types;
  std::vector<Range> ranges;  // words 2 onward
};
const std::array<FactoryModule, UnitApplication::kModuleCount>& factoryModules() {
  static const std::array<FactoryModule, UnitApplication::kModuleCount> modules{{
    {{0, 3, 4, 5}, {{1, 40}, {5, 7}, {1, 2}, {0, 100}}},                                   // FX/COMP
    {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {{0, 100}, {0, 100}, {0, 100}}},          // DS/OD
    {{0, 7, 13, 21, 34, 48, 64}, {{0, 100}, {0, 100}, {0, 100}, {0, 100}, {0, 100}, {0, 100}}},  // AMP
    {{0, 5, 17, 35}, {{0, 100}, {0, 100}, {1, 30}, {20, 400}, {10, 200}}},                 // CAB
    {{0, 1, 2}, {{0, 80}, {1, 50}, {10, 500}}},                                            // NS GATE
    {{0}, {{0, 24}, {0, 24}, {0, 24}, {0, 24}, {0, 24}, {0, 24}, {0, 24}, {20, 400}, {0, 24}}},  // EQ
    {{0, 3}, {{1, 100}, {0, 100}, {0, 100}, {1, 30}, {0, 100}, {0, 100}, {0, 100}}},       // MOD
    {{0}, {{0, 100}, {0, 100}, {20, 2000}, {0, 4}, {0, 60}, {0, 100}, {0, 100}}},          // DELAY
    {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {{0, 200}, {0, 100}, {10, 20}, {0, 100}}},  // REVERB
  }};
  return modules;
}

}  // namespace

// What waits for the delayed first stream; shared with its thread.
struct UnitApplication::Delay {
  std::mutex mutex;
  std::condition_variable cv;
  bool stop = false;
};

// --- Preset ---

std::string UnitApplication::Preset::nameText() const { return sim::nameText(name); }

std::vector<int> UnitApplication::Preset::moduleWords(int module) const {
  std::vector<int> words;
  if (module < 0 || module >= kModuleCount) return words;
  const auto m = static_cast<size_t>(module);
  for (size_t i = 0; i < kModuleBytes[m] / 2; ++i) words.push_back(readWord(&block[kModuleOffset[m] + 2 * i]));
  return words;
}

void UnitApplication::Preset::setModuleWords(int module, const std::vector<int>& words) {
  if (module < 0 || module >= kModuleCount) return;
  const auto m = static_cast<size_t>(module);
  for (size_t i = 0; i < kModuleBytes[m] / 2 && i < words.size(); ++i)
    writeWord(&block[kModuleOffset[m] + 2 * i], words[i]);
}

UnitApplication::Preset UnitApplication::factoryPreset(int n) {
  Preset p;
  char name[kNameSize + 1];
  std::snprintf(name, sizeof name, "Factory %03d", n);
  copyName(p.name, std::string_view(name));
  for (int m = 0; m < kModuleCount; ++m) {
    const FactoryModule& f = factoryModules()[static_cast<size_t>(m)];
    const size_t at = static_cast<size_t>(n * 3 + m) % f.types.size();
    std::vector<int> words{(n + m) % 2, f.types[at]};
    const size_t count = kModuleBytes[static_cast<size_t>(m)] / 2;
    for (size_t i = 2; i < count; ++i) {
      const Range r = f.ranges[i - 2];
      words.push_back(r.lo + (n * 31 + m * 7 + static_cast<int>(i) * 3) % (r.hi - r.lo + 1));
    }
    p.setModuleWords(m, words);
  }
  p.expFunction = {static_cast<uint16_t>(n % kModuleCount), static_cast<uint16_t>(n % 61), static_cast<uint16_t>(n % 2)};
  p.expVolume = {static_cast<uint16_t>((n + 1) % 2), static_cast<uint16_t>(n % 50), static_cast<uint16_t>(50 + n % 50)};
  return p;
}

std::array<uint8_t, UnitApplication::kRecordSize> UnitApplication::record(int n, const Preset& preset) {
  std::array<uint8_t, kRecordSize> out{};
  out[0] = static_cast<uint8_t>(n);
  std::copy(preset.name.begin(), preset.name.end(), out.begin() + 1);
  std::copy(preset.block.begin(), preset.block.end(), out.begin() + 15);
  for (size_t i = 0; i < 3; ++i) {
    writeWord(&out[147 + 2 * i], preset.expFunction[i]);
    writeWord(&out[153 + 2 * i], preset.expVolume[i]);
  }
  return out;
}

UnitApplication::Preset UnitApplication::presetFromRecord(std::span<const uint8_t> record) {
  Preset p;
  if (record.size() < kRecordSize) return p;
  copyName(p.name, record.subspan(1, kNameSize));
  std::copy_n(record.begin() + 15, kBlockSize, p.block.begin());
  for (size_t i = 0; i < 3; ++i) {
    p.expFunction[i] = static_cast<uint16_t>(readWord(&record[147 + 2 * i]));
    p.expVolume[i] = static_cast<uint16_t>(readWord(&record[153 + 2 * i]));
  }
  return p;
}

// --- life ---

UnitApplication::UnitApplication() : delay_(std::make_shared<Delay>()) {
  std::lock_guard guard(mutex_);
  factoryReset();
}

UnitApplication::~UnitApplication() {
  {
    std::lock_guard guard(delay_->mutex);
    delay_->stop = true;
  }
  delay_->cv.notify_all();
  if (delayThread_.joinable()) {
    // The last holder may be the delay thread itself, ending its send.
    if (delayThread_.get_id() == std::this_thread::get_id())
      delayThread_.detach();
    else
      delayThread_.join();
  }
}

std::shared_ptr<UnitApplication> UnitApplication::install(const std::shared_ptr<SimulatedUnit>& unit) {
  auto app = std::make_shared<UnitApplication>();
  app->attach(unit);
  for (int cmd = 0; cmd < 256; ++cmd) {
    if (cmd == SimulatedUnit::kIdentifyCommand) continue;
    unit->setHandler(Firmware::Application, static_cast<uint8_t>(cmd),
                     [app](SimulatedUnit&, const ReceivedFrame& f) { app->handle(f); });
  }
  auto transfer = UnitTransfer::install(unit, app);
  std::lock_guard guard(app->mutex_);
  app->transfer_ = transfer;
  return app;
}

std::shared_ptr<UnitTransfer> UnitApplication::transfer() const {
  std::lock_guard guard(mutex_);
  return transfer_;
}

void UnitApplication::attach(const std::shared_ptr<SimulatedUnit>& unit) {
  std::lock_guard guard(mutex_);
  unit_ = unit;
}

std::shared_ptr<SimulatedUnit> UnitApplication::unit() const {
  std::lock_guard guard(mutex_);
  return unit_.lock();
}

void UnitApplication::factoryReset() {
  for (int n = 1; n <= kPresetCount; ++n) presets_[static_cast<size_t>(n - 1)] = factoryPreset(n);
  edit_ = EditBuffer{};
  edit_.data = presets_[0];
  system_ = System{};
  rhythm_ = Rhythm{};
  for (int i = 0; i < kSlotCount; ++i) {
    const std::string number = std::to_string(i + 1);
    copyName(irNames_[static_cast<size_t>(i)], "User IR " + number);
    copyName(nrNames_[static_cast<size_t>(i)], "User NR " + number);
  }
  delayedStream_ = false;
}

// --- state ---

UnitApplication::Preset UnitApplication::preset(int n) const {
  std::lock_guard guard(mutex_);
  return isPresetNumber(n) ? presets_[static_cast<size_t>(n - 1)] : Preset{};
}

void UnitApplication::setPreset(int n, const Preset& preset) {
  std::lock_guard guard(mutex_);
  if (isPresetNumber(n)) presets_[static_cast<size_t>(n - 1)] = preset;
}

UnitApplication::EditBuffer UnitApplication::editBuffer() const {
  std::lock_guard guard(mutex_);
  return edit_;
}

UnitApplication::System UnitApplication::system() const {
  std::lock_guard guard(mutex_);
  return system_;
}

UnitApplication::Rhythm UnitApplication::rhythm() const {
  std::lock_guard guard(mutex_);
  return rhythm_;
}

std::string UnitApplication::irName(int slot) const {
  std::lock_guard guard(mutex_);
  return slot >= 0 && slot < kSlotCount ? nameText(irNames_[static_cast<size_t>(slot)]) : std::string();
}

std::string UnitApplication::nrName(int slot) const {
  std::lock_guard guard(mutex_);
  return slot >= 0 && slot < kSlotCount ? nameText(nrNames_[static_cast<size_t>(slot)]) : std::string();
}

void UnitApplication::setIRName(int slot, std::string_view name) {
  std::lock_guard guard(mutex_);
  if (slot >= 0 && slot < kSlotCount) copyName(irNames_[static_cast<size_t>(slot)], name);
}

void UnitApplication::setNRName(int slot, std::string_view name) {
  std::lock_guard guard(mutex_);
  if (slot >= 0 && slot < kSlotCount) copyName(nrNames_[static_cast<size_t>(slot)], name);
}

UnitApplication::Knobs UnitApplication::knobs() const {
  std::lock_guard guard(mutex_);
  return knobs_;
}

void UnitApplication::setKnobs(Knobs knobs) {
  std::lock_guard guard(mutex_);
  knobs_ = std::move(knobs);
}

int UnitApplication::bulkRequests() const {
  std::lock_guard guard(mutex_);
  return bulkRequests_;
}

int UnitApplication::streamsSent() const {
  std::lock_guard guard(mutex_);
  return streams_;
}

int UnitApplication::resets() const {
  std::lock_guard guard(mutex_);
  return resets_;
}

// --- sending ---

void UnitApplication::send(uint8_t cmd, std::span<const uint8_t> payload) const {
  if (auto u = unit_.lock()) u->sendFrame(cmd, payload);
}

void UnitApplication::sendWord(uint8_t cmd, int value) const {
  uint8_t payload[2];
  writeWord(payload, value);
  send(cmd, payload);
}

std::array<uint8_t, UnitApplication::kCurrentPresetSize> UnitApplication::currentPresetPayload() const {
  std::array<uint8_t, kCurrentPresetSize> out{};
  out[0] = static_cast<uint8_t>(edit_.preset);
  out[1] = static_cast<uint8_t>(edit_.page);
  std::copy(edit_.data.block.begin(), edit_.data.block.end(), out.begin() + 2);
  for (size_t i = 0; i < 3; ++i) {
    writeWord(&out[134 + 2 * i], edit_.data.expFunction[i]);
    writeWord(&out[140 + 2 * i], edit_.data.expVolume[i]);
  }
  return out;
}

std::vector<uint8_t> UnitApplication::slotNamesPayload() const {
  std::vector<uint8_t> out;
  for (const auto& name : nrNames_) out.insert(out.end(), name.begin(), name.end());
  for (const auto& name : irNames_) out.insert(out.end(), name.begin(), name.end());
  return out;
}

// All records in order, then the system levels. The records (3 reports each)
// are all queued at once; the USB link paces them.
void UnitApplication::sendStream() {
  auto u = unit_.lock();
  if (!u) return;
  ++streams_;
  for (int n = 1; n <= kPresetCount; ++n) {
    if (knobs_.dropRecords.count(n)) continue;
    const auto bytes = record(n, presets_[static_cast<size_t>(n - 1)]);
    if (knobs_.corruptRecords.count(n)) {
      std::vector<uint8_t> f = frame::build(kRecord, bytes);
      f.back() ^= 0xFF;
      u->sendBytes(f);
    } else if (knobs_.shortRecords.count(n)) {
      u->sendFrame(kRecord, std::span<const uint8_t>(bytes).first(kRecordSize / 2));
    } else {
      u->sendFrame(kRecord, bytes);
    }
  }
  if (streams_ <= knobs_.streamsWithoutSystem) return;
  uint8_t levels[10];
  writeWord(levels + 0, system_.inputLevel);
  writeWord(levels + 2, system_.screenLevel);
  writeWord(levels + 4, system_.leftOutCab);
  writeWord(levels + 6, system_.rightOutCab);
  writeWord(levels + 8, system_.otgLevel);
  u->sendFrame(kSystem, levels);
}

void UnitApplication::sendStreamLater(std::chrono::milliseconds delay) {
  delayedStream_ = true;
  std::weak_ptr<UnitApplication> weak = weak_from_this();
  std::shared_ptr<Delay> d = delay_;
  delayThread_ = std::thread([weak, d, delay] {
    {
      std::unique_lock lock(d->mutex);
      if (d->cv.wait_for(lock, delay, [&] { return d->stop; })) return;
    }
    if (auto app = weak.lock()) {
      std::lock_guard guard(app->mutex_);
      app->delayedStream_ = false;
      app->sendStream();
    }
  });
}

// --- the host's commands ---

void UnitApplication::handle(const ReceivedFrame& f) {
  const std::vector<uint8_t>& p = f.payload;
  std::lock_guard guard(mutex_);
  const bool answers = knobs_.withhold.count(f.cmd) == 0;
  if (f.cmd >= kSetModuleWords && f.cmd < kSetModuleWords + kModuleCount) {
    const int m = f.cmd - kSetModuleWords;
    const auto bytes = std::min(p.size(), kModuleBytes[static_cast<size_t>(m)]);
    std::copy_n(p.begin(), bytes, edit_.data.block.begin() + static_cast<std::ptrdiff_t>(kModuleOffset[static_cast<size_t>(m)]));
    if (knobs_.echoModuleWords)
      send(static_cast<uint8_t>(kModuleWords + m),
           std::span<const uint8_t>(edit_.data.block).subspan(kModuleOffset[static_cast<size_t>(m)],
                                                               kModuleBytes[static_cast<size_t>(m)]));
    return;
  }
  switch (f.cmd) {
    case kSendAll: {
      ++bulkRequests_;
      if (bulkRequests_ <= knobs_.ignoreBulkRequests || !answers) return;
      // A stream is under way while it waits for its delay or the host has
      // not taken all of it yet.
      const auto u = unit_.lock();
      const bool underWay = delayedStream_ || (u && u->pendingReports() > 0);
      if (underWay && !knobs_.restartOnRepeatedRequest) return;
      if (streams_ == 0 && knobs_.firstRecordDelay.count() > 0 && !delayThread_.joinable())
        sendStreamLater(knobs_.firstRecordDelay);
      else
        sendStream();
      return;
    }
    case kSendRecordAgain:
      if (p.size() >= 1 && isPresetNumber(p[0]) && answers)
        send(kRecordAgain, record(p[0], presets_[static_cast<size_t>(p[0] - 1)]));
      return;
    case kRecordsTaken:
      if (answers) send(kSlotNames, slotNamesPayload());
      return;
    case kSlotNamesTaken:
      if (answers) send(kCurrentPreset, currentPresetPayload());
      return;
    case kCurrentPresetTaken:
      return;
    case kSetPage:
      if (p.empty()) return;
      edit_.page = p[0];
      if (knobs_.echoPage) send(kPage, std::span<const uint8_t>(p).first(1));
      return;
    case kLoadPreset:
      if (p.size() >= 1 && isPresetNumber(p[0])) {
        edit_.preset = p[0];
        edit_.data = presets_[static_cast<size_t>(p[0] - 1)];
      }
      return;
    case kSaveEditBuffer:
      if (p.size() >= 1 + kNameSize && isPresetNumber(p[0])) {
        Preset saved = edit_.data;
        copyName(saved.name, std::span<const uint8_t>(p).subspan(1, kNameSize));
        presets_[static_cast<size_t>(p[0] - 1)] = saved;
        edit_.data.name = saved.name;
      }
      return;
    case kRenamePreset:
      if (p.size() >= 1 + kNameSize && isPresetNumber(p[0]))
        copyName(presets_[static_cast<size_t>(p[0] - 1)].name, std::span<const uint8_t>(p).subspan(1, kNameSize));
      return;
    case kWritePreset:
      if (p.size() < kRecordSize || !isPresetNumber(p[0]) || knobs_.unstoredWrites.count(p[0])) return;
      presets_[static_cast<size_t>(p[0] - 1)] = presetFromRecord(p);
      if (edit_.preset == p[0]) edit_.data = presets_[static_cast<size_t>(p[0] - 1)];
      if (answers) send(kPresetWritten, std::span<const uint8_t>(p).first(1));
      return;
    case kSetExpFunction:
    case kSetExpVolume:
      if (p.size() < 6) return;
      for (size_t i = 0; i < 3; ++i)
        (f.cmd == kSetExpFunction ? edit_.data.expFunction : edit_.data.expVolume)[i] =
            static_cast<uint16_t>(readWord(&p[2 * i]));
      return;
    case kSetInputLevel:
      if (p.size() >= 2) system_.inputLevel = static_cast<uint16_t>(readWord(p.data()));
      return;
    case kSetScreenLevel:
      if (p.size() >= 2) system_.screenLevel = static_cast<uint16_t>(readWord(p.data()));
      return;
    case kSetOutCab:
      if (p.size() >= 4) {
        system_.leftOutCab = static_cast<uint16_t>(readWord(p.data()));
        system_.rightOutCab = static_cast<uint16_t>(readWord(p.data() + 2));
      }
      return;
    case kSetOtgLevel:
      if (p.size() >= 2) system_.otgLevel = static_cast<uint16_t>(readWord(p.data()));
      return;
    case kSetRhythm:
      if (p.size() >= 6) rhythm_ = Rhythm{p[0], p[1], p[2], p[3], static_cast<uint16_t>(readWord(&p[4]))};
      return;
    case kReset: {
      ++resets_;
      factoryReset();
      if (knobs_.leaveBusOnReset)
        if (auto u = unit_.lock()) u->unplug();
      return;
    }
    default:
      return;
  }
}

// --- the panel ---

void UnitApplication::turnKnob(int module, const std::vector<int>& words) {
  std::lock_guard guard(mutex_);
  if (module < 0 || module >= kModuleCount) return;
  edit_.data.setModuleWords(module, words);
  const auto m = static_cast<size_t>(module);
  send(static_cast<uint8_t>(kModuleWords + module), std::span<const uint8_t>(edit_.data.block).subspan(kModuleOffset[m], kModuleBytes[m]));
}

void UnitApplication::changePreset(int n) {
  std::lock_guard guard(mutex_);
  if (!isPresetNumber(n)) return;
  edit_.preset = n;
  edit_.data = presets_[static_cast<size_t>(n - 1)];
  const uint8_t payload[1] = {static_cast<uint8_t>(n)};
  send(kPresetChanged, payload);
}

void UnitApplication::savePreset(int n, std::string_view name) {
  std::lock_guard guard(mutex_);
  if (!isPresetNumber(n)) return;
  Preset saved = edit_.data;
  copyName(saved.name, name);
  presets_[static_cast<size_t>(n - 1)] = saved;
  if (edit_.preset == n) edit_.data.name = saved.name;
  std::array<uint8_t, 1 + kNameSize> payload{};
  payload[0] = static_cast<uint8_t>(n);
  std::copy(saved.name.begin(), saved.name.end(), payload.begin() + 1);
  send(kPresetSaved, payload);
}

void UnitApplication::changePage(int page) {
  std::lock_guard guard(mutex_);
  edit_.page = page & 0xFF;
  const uint8_t payload[1] = {static_cast<uint8_t>(page)};
  send(kPage, payload);
}

void UnitApplication::setInputLevel(int level) {
  std::lock_guard guard(mutex_);
  system_.inputLevel = static_cast<uint16_t>(level);
  sendWord(kInputLevel, level);
}

void UnitApplication::setScreenLevel(int level) {
  std::lock_guard guard(mutex_);
  system_.screenLevel = static_cast<uint16_t>(level);
  sendWord(kScreenLevel, level);
}

void UnitApplication::setOutCab(int left, int right) {
  std::lock_guard guard(mutex_);
  system_.leftOutCab = static_cast<uint16_t>(left);
  system_.rightOutCab = static_cast<uint16_t>(right);
  uint8_t payload[4];
  writeWord(payload, left);
  writeWord(payload + 2, right);
  send(kOutCab, payload);
}

void UnitApplication::setOtgLevel(int level) {
  std::lock_guard guard(mutex_);
  system_.otgLevel = static_cast<uint16_t>(level);
  sendWord(kOtgLevel, level);
}

void UnitApplication::setRhythm(const Rhythm& rhythm) {
  std::lock_guard guard(mutex_);
  rhythm_ = rhythm;
  uint8_t payload[6] = {rhythm.on, rhythm.mode, rhythm.style, rhythm.volume};
  writeWord(payload + 4, rhythm.bpm);
  send(kRhythm, payload);
}

void UnitApplication::setExpFunction(int module, int parameter, int on) {
  std::lock_guard guard(mutex_);
  edit_.data.expFunction = {static_cast<uint16_t>(module), static_cast<uint16_t>(parameter), static_cast<uint16_t>(on)};
  uint8_t payload[6];
  for (size_t i = 0; i < 3; ++i) writeWord(payload + 2 * i, edit_.data.expFunction[i]);
  send(kExpFunction, payload);
}

void UnitApplication::setExpVolume(int on, int minimum, int maximum) {
  std::lock_guard guard(mutex_);
  edit_.data.expVolume = {static_cast<uint16_t>(on), static_cast<uint16_t>(minimum), static_cast<uint16_t>(maximum)};
  uint8_t payload[6];
  for (size_t i = 0; i < 3; ++i) writeWord(payload + 2 * i, edit_.data.expVolume[i]);
  send(kExpVolume, payload);
}

void UnitApplication::sendCurrentPreset() {
  std::lock_guard guard(mutex_);
  send(kCurrentPreset, currentPresetPayload());
}

void UnitApplication::unplug() {
  if (auto u = unit()) u->unplug();
}

}  // namespace sim
