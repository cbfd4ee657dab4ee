// Constants of the unit's protocol and data layouts, named once.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dev {

// ---- Presets and effect modules ----

inline constexpr int kPresetCount = 200;
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
