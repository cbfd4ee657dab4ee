// The receiver of what the transport gets from the unit. Both calls come on
// the HID thread.
#pragma once

#include <cstdint>
#include <span>

class ZarvoHIDDelegate {
public:
  virtual ~ZarvoHIDDelegate() = default;
  // One whole frame (AA 55 .. CRC) whose CRC matched, in application mode.
  // The bytes are valid during the call only; copy what is kept.
  virtual void callBackData(std::span<const uint8_t> frame) = 0;
  // The identified unit was removed.
  virtual void disconnectDevice() = 0;
};
