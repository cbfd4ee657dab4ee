// One request to the unit waiting for its answer: the command sent, the
// command byte of the expected answer, an optional time-out, and what to call
// on the answer or the time-out. Kept in the table of HidRequestManager.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/dispatch/TimerSource.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

class HidRequestModel : public fnd::Object {
public:
  using SuccessBlock = std::function<void(const fnd::Value&)>;
  using FailBlock = std::function<void(const fnd::Dictionary&)>;

  // Given to the fail block when the time-out passes.
  static constexpr int kTimeOutReason = 1;
  static constexpr const char* kTimeOutText = "Time out";
  static fnd::Dictionary timeOutReport();

  HidRequestModel() = default;
  // overTime in seconds; 0 or less: no time-out.
  static std::shared_ptr<HidRequestModel> initWithRequesetCmd(int requestCmd, int responseCmd, double overTime,
                                                              std::string uniqueString, SuccessBlock success,
                                                              FailBlock fail);

  // With a time-out above 0: arms a one-shot timer of overTime seconds on the
  // calling thread's queue (the main queue when it runs none), which calls
  // timerOver. Starting again re-arms it.
  void startRequeset();
  // Stops the timer, when there is one.
  void requestOver();
  // Calls the fail block, when set, with the time-out report.
  void timerOver();

  int requestCmd() const;
  int responseCmd() const;
  double overTime() const;
  std::string uniqueString() const;
  SuccessBlock successBlock() const;
  FailBlock failBlock() const;
  std::shared_ptr<dispatch::TimerSource> overTimer() const;
  void setRequestCmd(int cmd);
  void setResponseCmd(int cmd);
  void setOverTime(double seconds);
  void setUniqueString(std::string text);
  void setSuccessBlock(SuccessBlock block);
  void setFailBlock(FailBlock block);

  std::string className() const override { return "HidRequestModel"; }

private:
  mutable std::mutex mutex_;
  int requestCmd_ = 0;
  int responseCmd_ = 0;
  double overTime_ = 0;
  std::string uniqueString_;
  SuccessBlock successBlock_;
  FailBlock failBlock_;
  std::shared_ptr<dispatch::TimerSource> overTimer_;
};

using HidRequestModelPtr = std::shared_ptr<HidRequestModel>;
