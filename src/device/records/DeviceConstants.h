// Constants of the unit's protocol and data layouts, named once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace dev {

// ---- Presets and effect modules ----

inline constexpr int kPresetCount = 200;
// A preset's number on the unit: 1 to kPresetCount.
inline constexpr bool isPresetNumber(int n) { return n >= 1 && n <= kPresetCount; }
// The low byte of a value, as the unit's one-byte fields carry it.
inline constexpr uint8_t lowByte(int value) { return static_cast<uint8_t>(value & 0xFF); }
inline constexpr int kModuleCount = 9;
// Unit pages 6 to 14 are the nine effect modules (module index = page - 6).
inline constexpr int kFirstModulePage = 6;
inline constexpr int kLastModulePage = kFirstModulePage + kModuleCount - 1;
// The nine modules' words lie back to back in one block.
inline constexpr size_t kModuleBlockSize = 132;
// Three EXP-assignment words (module, flattened parameter, on/off) and three
// EXP-volume words (on/off, minimum, maximum).
inline constexpr size_t kExpWordCount = 3;
inline constexpr size_t kPresetNameSize = 14;
// A word of the unit is unsigned 16-bit.
inline constexpr int kWordMax = 0xFFFF;
// The EXP pedal is assigned one of this many parameters (the modules' EXP
// parameter lists joined); its volume's minimum and maximum run from 0 to
// kExpVolumeMax.
inline constexpr int kExpParameterCount = 61;
inline constexpr int kExpVolumeMax = 100;

// The 159-byte preset record (frames 0x20 / 0x21, command 0xC3).
namespace preset_record {
inline constexpr size_t kNumber = 0;
inline constexpr size_t kName = 1;
inline constexpr size_t kBlock = 15;
inline constexpr size_t kExpFunction = 147;
inline constexpr size_t kExpVolume = 153;
inline constexpr size_t kSize = 159;
}  // namespace preset_record

// The 146-byte payload of the current-preset frame 0x30.
namespace current_preset {
inline constexpr size_t kNumber = 0;
inline constexpr size_t kPage = 1;
inline constexpr size_t kBlock = 2;
inline constexpr size_t kExpFunction = 134;
inline constexpr size_t kExpVolume = 140;
inline constexpr size_t kSize = 146;
}  // namespace current_preset

// ---- Application-mode protocol ----

// Command codes. Unit to host (frames the service decodes).
namespace unit_cmd {
inline constexpr uint8_t kModuleWordsFirst = 0x02;  // + module index, 0x02 to 0x0A
inline constexpr uint8_t kModuleWordsLast = kModuleWordsFirst + kModuleCount - 1;
inline constexpr uint8_t kRhythm = 0x0C;
inline constexpr uint8_t kPresetChanged = 0x16;
inline constexpr uint8_t kPresetSaved = 0x17;
inline constexpr uint8_t kExpFunction = 0x18;
inline constexpr uint8_t kPresetRecord = 0x20;
inline constexpr uint8_t kMissingRecord = 0x21;
inline constexpr uint8_t kInputLevel = 0x24;
inline constexpr uint8_t kScreenLevel = 0x25;
inline constexpr uint8_t kOutCab = 0x26;
inline constexpr uint8_t kOtgLevel = 0x27;
inline constexpr uint8_t kCurrentPreset = 0x30;
inline constexpr uint8_t kSystem = 0x32;
inline constexpr uint8_t kExpVolume = 0x33;
inline constexpr uint8_t kPage = 0x34;
inline constexpr uint8_t kSlotNames = 0x41;
inline constexpr uint8_t kPresetWritten = 0x43;
inline constexpr uint8_t kIRExport = 0x44;
inline constexpr uint8_t kNRExport = 0x45;
inline constexpr uint8_t kIRAck = 0xB5;
inline constexpr uint8_t kNRAck = 0xB7;
}  // namespace unit_cmd

// Host to unit (commands the service sends).
namespace host_cmd {
inline constexpr uint8_t kModuleWordsFirst = 0x82;  // + module index, 0x82 to 0x8A
inline constexpr uint8_t kReset = 0x8B;
inline constexpr uint8_t kCurrentPresetAck = 0x8C;
inline constexpr uint8_t kRhythm = 0x8D;
inline constexpr uint8_t kChangePreset = 0x96;
inline constexpr uint8_t kSaveCurrent = 0x97;
inline constexpr uint8_t kExpFunction = 0x98;
inline constexpr uint8_t kSlotNamesAck = 0xA0;
inline constexpr uint8_t kRequestRecord = 0xA1;
inline constexpr uint8_t kRenamePreset = 0xA3;
inline constexpr uint8_t kInputLevel = 0xA4;
inline constexpr uint8_t kScreenLevel = 0xA5;
inline constexpr uint8_t kOutCab = 0xA6;
inline constexpr uint8_t kOtgLevel = 0xA7;
inline constexpr uint8_t kPresetsComplete = 0xB0;
inline constexpr uint8_t kExpVolume = 0xB3;
inline constexpr uint8_t kChangePage = 0xB4;
inline constexpr uint8_t kIRTransfer = 0xB5;
inline constexpr uint8_t kNRTransfer = 0xB7;
inline constexpr uint8_t kRestoreStart = 0xBA;
inline constexpr uint8_t kRestoreEnd = 0xBB;
inline constexpr uint8_t kSendAllData = 0xC1;
inline constexpr uint8_t kWritePreset = 0xC3;
inline constexpr uint8_t kExportIR = 0xC4;
inline constexpr uint8_t kExportNR = 0xC5;
}  // namespace host_cmd

// Unit pages: the unit reports the one it shows (0x34) and the host sets one
// with 0xB4 [page, 0], only when the unit is not on it already. Pages
// kFirstModulePage to kLastModulePage are the nine modules.
namespace page {
inline constexpr int kExp = 1;          // the EXP screen opened
inline constexpr int kSettings = 4;     // the system screen opened
inline constexpr int kHome = 5;         // the EXP or system screen closed; start of the bulk read
inline constexpr int kInputLevel = 17;  // the system screen's input level
inline constexpr int kOutCab = 20;      // its CAB-L and CAB-R switches
inline constexpr int kExpVolume = 22;   // the EXP screen's volume, before each change
inline constexpr int kScreenLevel = 23; // the system screen's screen level
inline constexpr int kOtgLevel = 24;    // and its OTG output level
// The pages on which the unit shows its system settings or its EXP settings:
// the editor opens its matching screen on them and closes both on any other.
// Pages 15, 16 and 21 are reached on the unit's panel only.
inline constexpr std::array<int, 6> kSystemScreenPages{kSettings, kInputLevel, kOutCab, 21, kScreenLevel, kOtgLevel};
inline constexpr std::array<int, 4> kExpScreenPages{kExp, 15, 16, kExpVolume};
}  // namespace page

// What HIDServiceViewMode::sendSystem sends from the system record: each
// value one command (0xA4 to 0xA7).
enum class SystemSetting { InputLevel = 1, ScreenLevel = 2, OutCab = 3, OtgLevel = 4 };

// What HIDServiceViewMode::sendFileToDevice does: import a user IR or NR
// file into a slot, re-send the slot a backup placed, or clear a slot.
enum class TransferKind { ImportIR = 0, ImportNR = 1, ResendIR = 3, ResendNR = 4, ClearIR = 5, ClearNR = 6 };

// Payload sizes of the unit's frames (the decoder drops shorter ones).
inline constexpr size_t kRhythmPayloadSize = 6;    // switch, mode, style, volume, bpm word
inline constexpr size_t kSystemPayloadSize = 10;   // input, screen, left, right, OTG words
inline constexpr size_t kExpWordsPayloadSize = 6;  // three words
inline constexpr size_t kPresetSavedPayloadSize = 1 + kPresetNameSize;
// Ten NR names, then ten IR names, 16 bytes each.
inline constexpr int kUserSlotCount = 10;
inline constexpr size_t kSlotNameSize = 16;
inline constexpr size_t kSlotNamesPayloadSize = 2 * kUserSlotCount * kSlotNameSize;
inline constexpr size_t kIRNamesOffset = kUserSlotCount * kSlotNameSize;
// A frame whose first payload byte is below this closes the open confirm panels.
inline constexpr uint8_t kPopUpCloseLimit = 0x80;

// ---- Boot loader (firmware update) ----

namespace boot {
// Type bytes of the host's announcement packets, in the command position.
inline constexpr uint8_t kPacketStart = 0xAA;
inline constexpr uint8_t kPacketHello = 0x00;
inline constexpr uint8_t kPacketAnnounce = 0x02;
inline constexpr uint8_t kPacketFinish = 0xFF;
// The unit answers packet 0x00 with a frame of this type.
inline constexpr uint8_t kReplyHello = 0x01;
// First payload byte of a positive answer.
inline constexpr uint8_t kReplySuccess = 0x01;
inline constexpr size_t kBlockSize = 512;
// Length field of a block packet: type byte, 16-bit block number, data.
inline constexpr uint16_t kBlockPacketLength = 3 + kBlockSize;
}  // namespace boot

}  // namespace dev
