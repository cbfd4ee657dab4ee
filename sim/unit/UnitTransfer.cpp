#include "sim/unit/UnitTransfer.h"

#include <algorithm>

#include "device/codec/FrameCodec.h"
#include "sim/SimulatedUnit.h"
#include "sim/unit/UnitApplication.h"

namespace sim {

namespace {

size_t dataSize(UnitTransfer::Kind kind) {
  return kind == UnitTransfer::Kind::IR ? UnitTransfer::kIRDataSize : UnitTransfer::kNRDataSize;
}

// The last frame of a slot transfer: IR 4 (three planes), NR 5 (four).
int lastFrame(UnitTransfer::Kind kind) { return kind == UnitTransfer::Kind::IR ? 4 : 5; }

size_t index(UnitTransfer::Kind kind) { return kind == UnitTransfer::Kind::IR ? 0 : 1; }

bool isSlot(int slot) { return slot >= 0 && slot < UnitTransfer::kSlotCount; }

}  // namespace

struct UnitTransfer::LaterQueue {
  struct Item {
    std::chrono::steady_clock::time_point due;
    uint64_t order;
    std::function<void()> fn;
  };
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<Item> items;
  uint64_t order = 0;
  size_t running = 0;  // taken out of items, being sent
  bool stopping = false;

  // Sends what falls due, in due order, until stopped. Runs on its own
  // thread and uses nothing of the unit but what the answers captured.
  void run() {
    std::unique_lock lock(mutex);
    while (!stopping) {
      if (items.empty()) {
        changed.wait(lock);
        continue;
      }
      auto first = std::min_element(items.begin(), items.end(), [](const Item& a, const Item& b) {
        return a.due != b.due ? a.due < b.due : a.order < b.order;
      });
      const auto due = first->due;  // the vector may grow while this waits
      if (due > std::chrono::steady_clock::now()) {
        changed.wait_until(lock, due);
        continue;
      }
      std::function<void()> fn = std::move(first->fn);
      items.erase(first);
      ++running;
      lock.unlock();
      fn();
      fn = nullptr;
      lock.lock();
      --running;
    }
  }
};

// --- life ---

UnitTransfer::UnitTransfer() : later_(std::make_shared<LaterQueue>()) {
  for (int s = 0; s < kSlotCount; ++s) {
    ir_[static_cast<size_t>(s)] = factoryData(Kind::IR, s);
    nr_[static_cast<size_t>(s)] = factoryData(Kind::NR, s);
  }
}

UnitTransfer::~UnitTransfer() {
  {
    std::lock_guard guard(later_->mutex);
    later_->stopping = true;
  }
  later_->changed.notify_all();
  if (laterThread_.joinable()) {
    // The last holder may be the sending thread itself, ending an answer.
    if (laterThread_.get_id() == std::this_thread::get_id())
      laterThread_.detach();
    else
      laterThread_.join();
  }
}

std::shared_ptr<UnitTransfer> UnitTransfer::install(const std::shared_ptr<SimulatedUnit>& unit,
                                                    const std::shared_ptr<UnitApplication>& app) {
  auto transfer = std::make_shared<UnitTransfer>();
  transfer->attach(unit, app);
  for (uint8_t cmd : {kWritePreset, kIRTransfer, kNRTransfer, kRestoreStart, kRestoreEnd, kExportIR, kExportNR})
    unit->setHandler(Firmware::Application, cmd,
                     [transfer](SimulatedUnit&, const ReceivedFrame& f) { transfer->handle(f); });
  return transfer;
}

void UnitTransfer::attach(const std::shared_ptr<SimulatedUnit>& unit, const std::shared_ptr<UnitApplication>& app) {
  std::lock_guard guard(mutex_);
  unit_ = unit;
  app_ = app;
}

std::vector<uint8_t> UnitTransfer::factoryData(Kind kind, int slot) {
  std::vector<uint8_t> data(dataSize(kind));
  const int salt = kind == Kind::IR ? 11 : 53;
  for (size_t j = 0; j < data.size(); ++j)
    data[j] = static_cast<uint8_t>((static_cast<int>(j) * 7 + slot * 31 + salt + static_cast<int>(j >> 8)) & 0xFF);
  return data;
}

// --- state ---

std::vector<uint8_t> UnitTransfer::data(Kind kind, int slot) const {
  std::lock_guard guard(mutex_);
  if (!isSlot(slot)) return {};
  return (kind == Kind::IR ? ir_ : nr_)[static_cast<size_t>(slot)];
}

std::string UnitTransfer::name(Kind kind, int slot) const {
  std::shared_ptr<UnitApplication> app;
  {
    std::lock_guard guard(mutex_);
    app = app_.lock();
  }
  if (!app) return {};
  return kind == Kind::IR ? app->irName(slot) : app->nrName(slot);
}

void UnitTransfer::setSlot(Kind kind, int slot, std::string_view name, std::span<const uint8_t> data) {
  if (!isSlot(slot)) return;
  std::vector<uint8_t> bytes(data.begin(), data.end());
  bytes.resize(dataSize(kind));
  std::shared_ptr<UnitApplication> app;
  {
    std::lock_guard guard(mutex_);
    (kind == Kind::IR ? ir_ : nr_)[static_cast<size_t>(slot)] = std::move(bytes);
    app = app_.lock();
  }
  if (!app) return;
  if (kind == Kind::IR)
    app->setIRName(slot, name);
  else
    app->setNRName(slot, name);
}

bool UnitTransfer::inUse(Kind kind, int slot) const {
  const std::string n = name(kind, slot);
  return !n.empty() && n != kEmptyName;
}

UnitTransfer::Knobs UnitTransfer::knobs() const {
  std::lock_guard guard(mutex_);
  return knobs_;
}

void UnitTransfer::setKnobs(Knobs knobs) {
  std::lock_guard guard(mutex_);
  knobs_ = std::move(knobs);
}

int UnitTransfer::restoreStarts() const {
  std::lock_guard guard(mutex_);
  return restoreStarts_;
}

int UnitTransfer::restoreEnds() const {
  std::lock_guard guard(mutex_);
  return restoreEnds_;
}

int UnitTransfer::transfersDone() const {
  std::lock_guard guard(mutex_);
  return transfersDone_;
}

int UnitTransfer::answers() const {
  std::lock_guard guard(mutex_);
  return answers_;
}

void UnitTransfer::storeName(Kind kind, int slot, std::span<const uint8_t> name) const {
  auto app = app_.lock();
  if (!app) return;
  std::string text;
  for (uint8_t b : name) {
    if (b == 0) break;
    text.push_back(static_cast<char>(b));
  }
  if (kind == Kind::IR)
    app->setIRName(slot, text);
  else
    app->setNRName(slot, text);
}

// --- the host's commands ---

void UnitTransfer::handle(const ReceivedFrame& f) {
  if (f.cmd == kWritePreset) {
    writePreset(f);
    return;
  }
  std::unique_lock lock(mutex_);
  switch (f.cmd) {
    case kIRTransfer:
      transferFrame(Kind::IR, f.payload);
      return;
    case kNRTransfer:
      transferFrame(Kind::NR, f.payload);
      return;
    case kExportIR:
      exportSlots(Kind::IR);
      return;
    case kExportNR:
      exportSlots(Kind::NR);
      return;
    case kRestoreStart:
      ++restoreStarts_;
      return;
    case kRestoreEnd: {
      ++restoreEnds_;
      const bool leave = knobs_.leaveBusOnRestoreEnd;
      auto unit = unit_.lock();
      lock.unlock();
      // The unit restarts with what it holds now.
      if (leave && unit) unit->unplug();
      return;
    }
    default:
      return;
  }
}

// Frame 0 [00, slot, isInteral, isImport] opens a transfer (or, with isImport
// 0, clears the slot); frame 1 [01, name 16]; frames 2 and on [m, 512 bytes].
// Each frame taken in its turn is acknowledged [m]; frames out of turn are
// dropped unanswered.
void UnitTransfer::transferFrame(Kind kind, const std::vector<uint8_t>& p) {
  if (p.empty()) return;
  const uint8_t ack = kind == Kind::IR ? kIRAck : kNRAck;
  Reception& rx = reception_[index(kind)];
  const int m = p[0];
  if (m == 0) {
    if (p.size() < 4 || !isSlot(p[1])) return;
    const int slot = p[1];
    if (p[3] == 0) {
      rx.active = false;
      (kind == Kind::IR ? ir_ : nr_)[static_cast<size_t>(slot)].assign(dataSize(kind), 0);
      const auto* empty = reinterpret_cast<const uint8_t*>(kEmptyName);
      storeName(kind, slot, std::span<const uint8_t>(empty, 5));
      ++transfersDone_;
    } else {
      rx = Reception{true, slot, 1, {}, std::vector<uint8_t>(dataSize(kind), 0)};
    }
  } else if (rx.active && m == rx.next && m == 1 && p.size() >= 1 + kNameSize) {
    std::copy_n(p.begin() + 1, kNameSize, rx.name.begin());
    rx.next = 2;
  } else if (rx.active && m == rx.next && m >= 2 && m <= lastFrame(kind) && p.size() >= 1 + kPlaneSize) {
    std::copy_n(p.begin() + 1, kPlaneSize, rx.data.begin() + static_cast<std::ptrdiff_t>((m - 2) * kPlaneSize));
    rx.next = m + 1;
    if (m == lastFrame(kind)) {
      rx.active = false;
      (kind == Kind::IR ? ir_ : nr_)[static_cast<size_t>(rx.slot)] = rx.data;
      storeName(kind, rx.slot, rx.name);
      ++transfersDone_;
    }
  } else {
    return;
  }
  if (knobs_.withholdFrames.count(m)) return;
  answer(ack, {static_cast<uint8_t>(m)}, delayOf(ack));
}

// [00, n], then [k, slot, name 16, data] for k = 1 to n, one frame per slot in
// use, each `delay` after the one before.
void UnitTransfer::exportSlots(Kind kind) {
  const uint8_t code = kind == Kind::IR ? kIRExport : kNRExport;
  auto app = app_.lock();
  if (!app) return;
  std::vector<int> used;
  for (int s = 0; s < kSlotCount; ++s) {
    const std::string n = kind == Kind::IR ? app->irName(s) : app->nrName(s);
    if (!n.empty() && n != kEmptyName) used.push_back(s);
  }
  const std::chrono::milliseconds step = delayOf(code);
  const int announced = std::clamp(static_cast<int>(used.size()) + knobs_.extraAnnounced, 0, 255);
  if (!answer(code, {0x00, static_cast<uint8_t>(announced)}, step)) return;
  for (size_t k = 0; k < used.size(); ++k) {
    const int number = static_cast<int>(k + 1);
    if (knobs_.dropExportRecords.count(number)) continue;
    const int slot = used[k];
    const std::string n = kind == Kind::IR ? app->irName(slot) : app->nrName(slot);
    std::vector<uint8_t> p{static_cast<uint8_t>(k + 1), static_cast<uint8_t>(slot)};
    p.resize(2 + kNameSize, 0);
    std::copy_n(n.begin(), std::min(n.size(), kNameSize), p.begin() + 2);
    const auto& d = (kind == Kind::IR ? ir_ : nr_)[static_cast<size_t>(slot)];
    p.insert(p.end(), d.begin(), d.end());
    if (!answer(code, std::move(p), step * static_cast<int>(k + 2), knobs_.corruptExportRecords.count(number) > 0))
      return;
  }
}

// The application firmware stores the record and confirms it with 0x43; this
// only holds it back or leaves the bus first.
void UnitTransfer::writePreset(const ReceivedFrame& f) {
  std::unique_lock lock(mutex_);
  auto app = app_.lock();
  auto unit = unit_.lock();
  if (!app) return;
  const bool withheld = knobs_.withhold.count(kPresetWritten) > 0;
  if (!withheld && !countAnswer()) {
    lock.unlock();
    if (unit) unit->unplug();
    return;
  }
  if (withheld) {
    lock.unlock();
    if (f.payload.size() >= UnitApplication::kRecordSize && f.payload[0] >= 1 &&
        f.payload[0] <= UnitApplication::kPresetCount && app->knobs().unstoredWrites.count(f.payload[0]) == 0)
      app->setPreset(f.payload[0], UnitApplication::presetFromRecord(f.payload));
    return;
  }
  const std::chrono::milliseconds delay = delayOf(kPresetWritten);
  if (delay.count() > 0) {
    std::weak_ptr<UnitApplication> weak = app;
    sendLater(delay, [weak, f] {
      if (auto a = weak.lock()) a->handle(f);
    });
    return;
  }
  lock.unlock();
  app->handle(f);
}

// --- answers ---

std::chrono::milliseconds UnitTransfer::delayOf(uint8_t code) const {
  auto it = knobs_.delay.find(code);
  return it == knobs_.delay.end() ? std::chrono::milliseconds(0) : it->second;
}

// Counts one answer; false (and nothing counted) when the unit is to leave
// the bus instead.
bool UnitTransfer::countAnswer() {
  if (knobs_.leaveBusAfterAnswers >= 0 && answers_ >= knobs_.leaveBusAfterAnswers) return false;
  ++answers_;
  return true;
}

bool UnitTransfer::answer(uint8_t code, std::vector<uint8_t> payload, std::chrono::milliseconds delay, bool corrupt) {
  if (knobs_.withhold.count(code)) return false;
  auto unit = unit_.lock();
  if (!unit) return false;
  if (!countAnswer()) {
    // Leaving the bus takes the unit's own locks only.
    unit->unplug();
    return false;
  }
  auto give = [code, corrupt, payload = std::move(payload)](SimulatedUnit& u) {
    if (!corrupt) {
      u.sendFrame(code, payload);
      return;
    }
    std::vector<uint8_t> bytes = frame::build(code, payload);
    bytes.back() ^= 0xFF;
    u.sendBytes(bytes);
  };
  if (delay.count() > 0) {
    std::weak_ptr<SimulatedUnit> weak = unit;
    sendLater(delay, [weak, give = std::move(give)] {
      if (auto u = weak.lock()) give(*u);
    });
  } else {
    give(*unit);
  }
  return true;
}

size_t UnitTransfer::answersPending() const {
  std::lock_guard guard(later_->mutex);
  return later_->items.size() + later_->running;
}

void UnitTransfer::sendLater(std::chrono::milliseconds delay, std::function<void()> fn) {
  {
    std::lock_guard guard(later_->mutex);
    later_->items.push_back({std::chrono::steady_clock::now() + delay, later_->order++, std::move(fn)});
  }
  if (!laterThread_.joinable()) laterThread_ = std::thread([queue = later_] { queue->run(); });
  later_->changed.notify_all();
}

}  // namespace sim
