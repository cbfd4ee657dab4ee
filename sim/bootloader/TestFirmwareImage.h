// Test firmware images ("qv"): valid images of any size with known content.
// No real firmware exists in this project; these stand in for it in tests,
// benchmarks and the simulator demo.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/bootloader/SimBootloader.h"

namespace sim {

struct TestFirmwareSpec {
  struct Section {
    size_t length = 0;  // data bytes (whole blocks are sent; the rest is not)
    uint8_t blockType = 0x04;
    uint8_t ackType = 0x05;
    uint16_t firstBlock = 0;
  };
  uint32_t waitLimit = 10000;  // packet-02 wait, in 1 ms steps
  uint8_t announceReplyType = 0x03;
  uint32_t announceValue = 0x12345678;
  std::vector<Section> sections;

  // One section of `blocks` whole blocks.
  static TestFirmwareSpec withBlocks(size_t blocks);
  // Two sections: 4 blocks of type 04 (ack 05) from block 0, then 2 blocks of
  // type 06 (ack 07) from block 0x0100.
  static TestFirmwareSpec twoSections();
};

// The data byte at `offset` of section `section` (0-based) of a test image.
uint8_t testFirmwareByte(size_t section, size_t offset);

// The image: header, then each section's head followed by its data. The heads
// chain by offset; sections after the first give their data position.
std::vector<uint8_t> makeTestFirmware(const TestFirmwareSpec& spec);

// How the simulated boot loader must answer for this image.
SimBootloader::Config bootloaderConfigFor(const TestFirmwareSpec& spec);

}  // namespace sim
