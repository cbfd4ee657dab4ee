// The table of requests to the unit that wait for an answer, keyed by the
// command byte of the expected answer ("HID_%d"). An answer calls and removes
// its entry; a time-out only reports (the entry stays until answered or
// removed). All members may be called from any thread; blocks are called
// outside the table's lock.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "device/service/HidRequestModel.h"

class HidRequestManager : public fnd::Object {
public:
  using Table = std::map<std::string, HidRequestModelPtr>;

  // The process-wide table.
  static std::shared_ptr<HidRequestManager> shareManager();
  HidRequestManager() = default;

  // The key of an answer's command byte.
  static std::string keyFor(int responseCmd);

  // Makes an entry (its timer not started); with a response command above 0
  // it is stored under that command's key, replacing the entry there.
  HidRequestModelPtr requsetWithRequesetCmd(int requestCmd, int responseCmd, double overTime, std::string uniqueString,
                                            HidRequestModel::SuccessBlock success, HidRequestModel::FailBlock fail);
  // An answer frame (AA 55 Llo Lhi cmd ...): the entry waiting for its
  // command byte, when it has a success block, is removed, called with
  // `result` and its timer stopped. Otherwise nothing changes.
  void responseWithData(std::span<const uint8_t> frame, const fnd::Value& result);
  void removeResponseForCmd(int cmd);

  // A copy of the table.
  Table requsetSource() const;

  std::string className() const override { return "HidRequestManager"; }

private:
  mutable std::mutex mutex_;
  Table requsetSource_;
};
