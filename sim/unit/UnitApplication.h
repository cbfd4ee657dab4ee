// The simulated unit's application firmware, as the unit sees the protocol:
// 200 stored presets, the edit buffer, the system and rhythm settings and the
// names of the ten user IR and ten user NR slots. It answers every
// application-mode command of the host (the start-up stream of all data, the
// records asked for again, the edits, saves, renames, preset writes, levels,
// EXP, rhythm, pages, reset), acts on its own panel (knob, preset change,
// save, page, levels, EXP, rhythm, current preset, unplug) and has fault
// knobs for the host's tests.
//
// Written from the unit's side: it shares only the frame codec with the host.
// All words are unsigned 16-bit little-endian.
//
// Thread safety: every method may be called from any thread; frames reach the
// host in the order the unit's state changed.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace sim {

class SimulatedUnit;
class UnitTransfer;
struct ReceivedFrame;

class UnitApplication : public std::enable_shared_from_this<UnitApplication> {
public:
  static constexpr int kPresetCount = 200;
  static constexpr int kModuleCount = 9;
  static constexpr size_t kNameSize = 14;
  static constexpr size_t kBlockSize = 132;
  static constexpr size_t kRecordSize = 159;         // number, name, block, 3 + 3 EXP words
  static constexpr size_t kCurrentPresetSize = 146;  // number, page, block, 3 + 3 EXP words
  static constexpr int kSlotCount = 10;
  static constexpr size_t kSlotNameSize = 16;
  // Where each module's words lie in the block, and how many bytes they take.
  static constexpr std::array<size_t, kModuleCount> kModuleOffset{0, 12, 22, 38, 52, 62, 84, 102, 120};
  static constexpr std::array<size_t, kModuleCount> kModuleBytes{12, 10, 16, 14, 10, 22, 18, 18, 12};

  // Frames the unit sends.
  enum Out : uint8_t {
    kModuleWords = 0x02,  // + module
    kRhythm = 0x0C,
    kPresetChanged = 0x16,
    kPresetSaved = 0x17,
    kExpFunction = 0x18,
    kRecord = 0x20,
    kRecordAgain = 0x21,
    kInputLevel = 0x24,
    kScreenLevel = 0x25,
    kOutCab = 0x26,
    kOtgLevel = 0x27,
    kCurrentPreset = 0x30,
    kSystem = 0x32,
    kExpVolume = 0x33,
    kPage = 0x34,
    kSlotNames = 0x41,
    kPresetWritten = 0x43,
  };
  // Commands the unit takes.
  enum In : uint8_t {
    kSetModuleWords = 0x82,  // + module
    kReset = 0x8B,
    kCurrentPresetTaken = 0x8C,
    kSetRhythm = 0x8D,
    kLoadPreset = 0x96,
    kSaveEditBuffer = 0x97,
    kSetExpFunction = 0x98,
    kSlotNamesTaken = 0xA0,
    kSendRecordAgain = 0xA1,
    kRenamePreset = 0xA3,
    kSetInputLevel = 0xA4,
    kSetScreenLevel = 0xA5,
    kSetOutCab = 0xA6,
    kSetOtgLevel = 0xA7,
    kRecordsTaken = 0xB0,
    kSetExpVolume = 0xB3,
    kSetPage = 0xB4,
    kSendAll = 0xC1,
    kWritePreset = 0xC3,
  };

  struct Preset {
    std::array<uint8_t, kNameSize> name{};
    std::array<uint8_t, kBlockSize> block{};
    std::array<uint16_t, 3> expFunction{};  // module, parameter, on
    std::array<uint16_t, 3> expVolume{};    // on, minimum, maximum

    std::string nameText() const;  // up to the first NUL
    std::vector<int> moduleWords(int module) const;
    void setModuleWords(int module, const std::vector<int>& words);  // extra words ignored
  };

  struct EditBuffer {
    int preset = 1;
    int page = 5;
    Preset data;
  };

  struct System {
    uint16_t inputLevel = 12;
    uint16_t screenLevel = 10;
    uint16_t leftOutCab = 1;
    uint16_t rightOutCab = 0;
    uint16_t otgLevel = 15;
  };

  struct Rhythm {
    uint8_t on = 0;
    uint8_t mode = 1;
    uint8_t style = 2;
    uint8_t volume = 50;
    uint16_t bpm = 120;
  };

  struct Knobs {
    // Left out of the start-up stream (still sent when asked for again).
    std::set<int> dropRecords;
    // Sent in the stream with a broken CRC.
    std::set<int> corruptRecords;
    // Sent in the stream cut to half their length (with a good CRC).
    std::set<int> shortRecords;
    // The first n streams end without their system record.
    int streamsWithoutSystem = 0;
    // The first stream starts this long after its request.
    std::chrono::milliseconds firstRecordDelay{0};
    // The first n requests for all data get no answer.
    int ignoreBulkRequests = 0;
    // A request for all data while a stream is under way (waiting for its
    // delay, or not all taken by the host) sends the whole stream again;
    // otherwise it is ignored. Once taken, a new request always gets one.
    bool restartOnRepeatedRequest = false;
    // Host commands the unit does not answer (0xC1, 0xA1, 0xB0, 0xA0, 0xC3).
    std::set<uint8_t> withhold;
    // Preset writes (0xC3) to these preset numbers are taken but neither
    // stored nor confirmed.
    std::set<int> unstoredWrites;
    // Echo the host's module words (0x02 + m) and pages (0x34).
    bool echoModuleWords = false;
    bool echoPage = false;
    // After a reset the unit leaves the bus.
    bool leaveBusOnReset = true;
  };

  // Makes the firmware with its factory contents and plugs it into the unit:
  // it handles the host's frames while the unit runs its application.
  static std::shared_ptr<UnitApplication> install(const std::shared_ptr<SimulatedUnit>& unit);
  // The user IR / NR slots, their transfers, the export for a backup, the
  // restore's start and end (installed with the firmware).
  std::shared_ptr<UnitTransfer> transfer() const;

  UnitApplication();
  ~UnitApplication();
  UnitApplication(const UnitApplication&) = delete;
  UnitApplication& operator=(const UnitApplication&) = delete;

  // --- state ---
  Preset preset(int n) const;  // 1 to 200
  void setPreset(int n, const Preset& preset);
  EditBuffer editBuffer() const;
  System system() const;
  Rhythm rhythm() const;
  std::string irName(int slot) const;  // 0 to 9
  std::string nrName(int slot) const;
  void setIRName(int slot, std::string_view name);  // at most 16 bytes kept
  void setNRName(int slot, std::string_view name);
  Knobs knobs() const;
  void setKnobs(Knobs knobs);
  // Requests for all data received, answered or not.
  int bulkRequests() const;
  // Streams of all data sent.
  int streamsSent() const;
  // Commands 0x8B received.
  int resets() const;

  // --- the unit's panel (each sends its frame) ---
  void turnKnob(int module, const std::vector<int>& words);
  void changePreset(int n);
  void savePreset(int n, std::string_view name);
  void changePage(int page);
  void setInputLevel(int level);
  void setScreenLevel(int level);
  void setOutCab(int left, int right);
  void setOtgLevel(int level);
  void setRhythm(const Rhythm& rhythm);
  void setExpFunction(int module, int parameter, int on);
  void setExpVolume(int on, int minimum, int maximum);
  void sendCurrentPreset();
  void unplug();

  // --- wire forms, as the unit builds them ---
  static std::array<uint8_t, kRecordSize> record(int n, const Preset& preset);
  static Preset presetFromRecord(std::span<const uint8_t> record);  // at least 159 bytes
  // The factory contents of preset n.
  static Preset factoryPreset(int n);

  // One frame from the host (the unit's handlers call this).
  void handle(const ReceivedFrame& frame);

private:
  struct Delay;

  void attach(const std::shared_ptr<SimulatedUnit>& unit);
  std::shared_ptr<SimulatedUnit> unit() const;
  void factoryReset();  // under mutex_
  void send(uint8_t cmd, std::span<const uint8_t> payload) const;
  void sendStream();  // under mutex_
  void sendStreamLater(std::chrono::milliseconds delay);
  std::array<uint8_t, kCurrentPresetSize> currentPresetPayload() const;  // under mutex_
  std::vector<uint8_t> slotNamesPayload() const;                          // under mutex_
  void sendWord(uint8_t cmd, int value) const;

  mutable std::mutex mutex_;
  std::weak_ptr<SimulatedUnit> unit_;
  std::array<Preset, kPresetCount> presets_;
  EditBuffer edit_;
  System system_;
  Rhythm rhythm_;
  std::array<std::array<uint8_t, kSlotNameSize>, kSlotCount> irNames_{};
  std::array<std::array<uint8_t, kSlotNameSize>, kSlotCount> nrNames_{};
  Knobs knobs_;
  int bulkRequests_ = 0;
  int streams_ = 0;
  int resets_ = 0;
  bool delayedStream_ = false;

  std::shared_ptr<Delay> delay_;
  std::thread delayThread_;
  std::shared_ptr<UnitTransfer> transfer_;
};

}  // namespace sim
