#include "sim/bootloader/TestFirmwareImage.h"

namespace sim {

namespace {

void putU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

constexpr size_t kHeaderSize = 128;
constexpr size_t kHeadSize = 512;

}  // namespace

TestFirmwareSpec TestFirmwareSpec::withBlocks(size_t blocks) {
  TestFirmwareSpec spec;
  spec.sections.push_back({blocks * 512, 0x04, 0x05, 0});
  return spec;
}

TestFirmwareSpec TestFirmwareSpec::twoSections() {
  TestFirmwareSpec spec;
  spec.sections.push_back({4 * 512, 0x04, 0x05, 0x0000});
  spec.sections.push_back({2 * 512, 0x06, 0x07, 0x0100});
  return spec;
}

uint8_t testFirmwareByte(size_t section, size_t offset) {
  // Differs between neighbouring blocks and sections, so a block sent twice,
  // out of order or from the wrong place shows.
  return static_cast<uint8_t>((offset * 7 + (offset >> 9) * 13 + section * 101 + 1) & 0xFF);
}

std::vector<uint8_t> makeTestFirmware(const TestFirmwareSpec& spec) {
  size_t size = kHeaderSize;
  for (const auto& s : spec.sections) size += kHeadSize + s.length;
  std::vector<uint8_t> b(size, 0);
  putU32(b, 32, spec.waitLimit);
  b[42] = spec.announceReplyType;
  b[47] = static_cast<uint8_t>(spec.sections.size());
  putU32(b, 48, spec.announceValue);
  size_t head = kHeaderSize;
  for (size_t i = 0; i < spec.sections.size(); ++i) {
    const auto& s = spec.sections[i];
    size_t data = head + kHeadSize;
    size_t next = data + s.length;
    putU32(b, head + 9, i == 0 ? 0 : static_cast<uint32_t>(data + 1));
    putU32(b, head + 13, i + 1 < spec.sections.size() ? static_cast<uint32_t>(next) : 0);
    putU32(b, head + 17, static_cast<uint32_t>(s.length));
    b[head + 21] = s.blockType;
    b[head + 22] = s.ackType;
    b[head + 27] = static_cast<uint8_t>(s.firstBlock & 0xFF);
    b[head + 28] = static_cast<uint8_t>(s.firstBlock >> 8);
    for (size_t k = 0; k < s.length; ++k) b[data + k] = testFirmwareByte(i, k);
    head = next;
  }
  return b;
}

SimBootloader::Config bootloaderConfigFor(const TestFirmwareSpec& spec) {
  SimBootloader::Config config;
  config.announceReplyType = spec.announceReplyType;
  for (const auto& s : spec.sections) config.ackTypes[s.blockType] = s.ackType;
  return config;
}

}  // namespace sim
