// The simulated unit's whole-slot and whole-unit traffic, as the unit sees it:
// the ten user IR and ten user NR slots (name and data), their transfers and
// clears (0xB5 / 0xB7, each frame acknowledged with its number), their export
// for a backup (0xC4 / 0xC5: an announcement, then one frame per slot in use),
// the restore's start and end (0xBA, 0xBB), and the preset writes (0xC3, which
// the application firmware stores and confirms with 0x43) passed through so
// they can be delayed. Fault knobs: withhold or delay any of these answers,
// announce more slots than are sent, leave the bus part way.
//
// Slot names are the application firmware's (what it reports at start-up);
// a slot named "Empty" (or nothing) is not in use and is not exported.
//
// Thread safety: every method may be called from any thread. Handlers run on
// the host's sending thread; delayed answers go out from a thread of this
// object, in the order they fall due.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace sim {

class SimulatedUnit;
class UnitApplication;
struct ReceivedFrame;

class UnitTransfer : public std::enable_shared_from_this<UnitTransfer> {
public:
  static constexpr int kSlotCount = 10;
  static constexpr size_t kNameSize = 16;
  static constexpr size_t kPlaneSize = 512;
  // IR slots hold three 512-byte planes (bits 16-23, 8-15, 0-7 of the
  // samples), NR slots four (bits 24-31 down to 0-7), in transfer order.
  static constexpr size_t kIRDataSize = 3 * kPlaneSize;
  static constexpr size_t kNRDataSize = 4 * kPlaneSize;
  static constexpr const char* kEmptyName = "Empty";

  // Commands the unit takes.
  enum In : uint8_t {
    kWritePreset = 0xC3,
    kIRTransfer = 0xB5,
    kNRTransfer = 0xB7,
    kRestoreStart = 0xBA,
    kRestoreEnd = 0xBB,
    kExportIR = 0xC4,
    kExportNR = 0xC5,
  };
  // Frames the unit sends.
  enum Out : uint8_t {
    kPresetWritten = 0x43,
    kIRExport = 0x44,
    kNRExport = 0x45,
    kIRAck = 0xB5,
    kNRAck = 0xB7,
  };

  enum class Kind { IR, NR };

  struct Knobs {
    // Answers never sent, by the unit's code: 0xB5 / 0xB7 (transfer
    // acknowledgements), 0x44 / 0x45 (the whole export), 0x43 (the preset is
    // stored but not confirmed).
    std::set<uint8_t> withhold;
    // Transfer frames (by number) taken but not acknowledged.
    std::set<int> withholdFrames;
    // Answers sent this much later, by code: each acknowledgement; each
    // export frame this long after the one before; 0x43 after the write.
    std::map<uint8_t, std::chrono::milliseconds> delay;
    // The export announces this many more slots than it sends.
    int extraAnnounced = 0;
    // Export records (by their number k, 1 to n) left out of the export, or
    // sent with a broken CRC (the host's transport drops them).
    std::set<int> dropExportRecords;
    std::set<int> corruptExportRecords;
    // After this many answers (acknowledgements, export frames, preset-write
    // confirmations) the unit leaves the bus instead of giving the next one;
    // negative: never.
    int leaveBusAfterAnswers = -1;
    // The restore's end restarts the unit, which leaves the bus.
    bool leaveBusOnRestoreEnd = true;
  };

  // Makes the slot store with its factory contents and takes over the
  // unit's handlers of these commands; preset writes go on to `app`.
  static std::shared_ptr<UnitTransfer> install(const std::shared_ptr<SimulatedUnit>& unit,
                                               const std::shared_ptr<UnitApplication>& app);

  UnitTransfer();
  ~UnitTransfer();
  UnitTransfer(const UnitTransfer&) = delete;
  UnitTransfer& operator=(const UnitTransfer&) = delete;

  // --- slots (0 to 9) ---
  std::vector<uint8_t> data(Kind kind, int slot) const;
  std::string name(Kind kind, int slot) const;
  // Name (at most 16 bytes kept) and data (cut or zero-filled to the slot's size).
  void setSlot(Kind kind, int slot, std::string_view name, std::span<const uint8_t> data);
  bool inUse(Kind kind, int slot) const;
  static std::vector<uint8_t> factoryData(Kind kind, int slot);

  Knobs knobs() const;
  void setKnobs(Knobs knobs);
  // Commands 0xBA and 0xBB received.
  int restoreStarts() const;
  // Delayed answers not yet handed to the bus.
  size_t answersPending() const;
  int restoreEnds() const;
  // Slot transfers completed (written or cleared).
  int transfersDone() const;
  // Answers given so far (withheld ones excluded).
  int answers() const;

  // One frame from the host (the unit's handlers call this).
  void handle(const ReceivedFrame& frame);

private:
  struct Reception {
    bool active = false;
    int slot = 0;
    int next = 0;
    std::array<uint8_t, kNameSize> name{};
    std::vector<uint8_t> data;
  };
  // Delayed answers, shared with the thread that sends them.
  struct LaterQueue;

  void attach(const std::shared_ptr<SimulatedUnit>& unit, const std::shared_ptr<UnitApplication>& app);
  void transferFrame(Kind kind, const std::vector<uint8_t>& p);                  // under mutex_
  void exportSlots(Kind kind);                                                   // under mutex_
  void writePreset(const ReceivedFrame& f);
  // Gives an answer now or later, unless withheld or the unit leaves the bus
  // (under mutex_). False when nothing will be sent.
  bool answer(uint8_t code, std::vector<uint8_t> payload, std::chrono::milliseconds delay, bool corrupt = false);
  bool countAnswer();                                                            // under mutex_
  void sendLater(std::chrono::milliseconds delay, std::function<void()> fn);     // under mutex_
  std::chrono::milliseconds delayOf(uint8_t code) const;                         // under mutex_
  void storeName(Kind kind, int slot, std::span<const uint8_t> name) const;

  mutable std::mutex mutex_;
  std::weak_ptr<SimulatedUnit> unit_;
  std::weak_ptr<UnitApplication> app_;
  std::array<std::vector<uint8_t>, kSlotCount> ir_;
  std::array<std::vector<uint8_t>, kSlotCount> nr_;
  std::array<Reception, 2> reception_;
  Knobs knobs_;
  int restoreStarts_ = 0;
  int restoreEnds_ = 0;
  int transfersDone_ = 0;
  int answers_ = 0;

  std::shared_ptr<LaterQueue> later_;
  std::thread laterThread_;
};

}  // namespace sim
