#include "device/service/HidRequestModel.h"

#include <chrono>
#include <utility>

fnd::Dictionary HidRequestModel::timeOutReport() {
  return fnd::Dictionary{{"reason", fnd::Value(kTimeOutReason)}, {"text", fnd::Value(kTimeOutText)}};
}

std::shared_ptr<HidRequestModel> HidRequestModel::initWithRequesetCmd(int requestCmd, int responseCmd, double overTime,
                                                                      std::string uniqueString, SuccessBlock success,
                                                                      FailBlock fail) {
  auto model = fnd::make<HidRequestModel>();
  model->requestCmd_ = requestCmd;
  model->responseCmd_ = responseCmd;
  model->overTime_ = overTime;
  model->uniqueString_ = std::move(uniqueString);
  model->successBlock_ = std::move(success);
  model->failBlock_ = std::move(fail);
  return model;
}

void HidRequestModel::startRequeset() {
  std::shared_ptr<dispatch::TimerSource> old;
  {
    std::lock_guard guard(mutex_);
    if (!(overTime_ > 0)) return;
    std::shared_ptr<dispatch::Queue> queue = dispatch::Queue::current();
    auto timer = std::make_shared<dispatch::TimerSource>(queue ? queue : dispatch::Queue::main());
    const auto delay = std::chrono::duration_cast<dispatch::Clock::duration>(std::chrono::duration<double>(overTime_));
    timer->setTimer(delay, dispatch::Clock::duration::zero());
    std::weak_ptr<HidRequestModel> weak = std::static_pointer_cast<HidRequestModel>(shared_from_this());
    timer->setEventHandler([weak] {
      if (auto self = weak.lock()) self->timerOver();
    });
    old = std::exchange(overTimer_, timer);
    timer->resume();
  }
  if (old) old->cancel();
}

void HidRequestModel::requestOver() {
  std::shared_ptr<dispatch::TimerSource> timer;
  {
    std::lock_guard guard(mutex_);
    timer = std::move(overTimer_);
    overTimer_.reset();
  }
  if (timer) timer->cancel();
}

void HidRequestModel::timerOver() {
  if (FailBlock block = failBlock()) block(timeOutReport());
}

int HidRequestModel::requestCmd() const {
  std::lock_guard guard(mutex_);
  return requestCmd_;
}

int HidRequestModel::responseCmd() const {
  std::lock_guard guard(mutex_);
  return responseCmd_;
}

double HidRequestModel::overTime() const {
  std::lock_guard guard(mutex_);
  return overTime_;
}

std::string HidRequestModel::uniqueString() const {
  std::lock_guard guard(mutex_);
  return uniqueString_;
}

HidRequestModel::SuccessBlock HidRequestModel::successBlock() const {
  std::lock_guard guard(mutex_);
  return successBlock_;
}

HidRequestModel::FailBlock HidRequestModel::failBlock() const {
  std::lock_guard guard(mutex_);
  return failBlock_;
}

std::shared_ptr<dispatch::TimerSource> HidRequestModel::overTimer() const {
  std::lock_guard guard(mutex_);
  return overTimer_;
}

void HidRequestModel::setRequestCmd(int cmd) {
  std::lock_guard guard(mutex_);
  requestCmd_ = cmd;
}

void HidRequestModel::setResponseCmd(int cmd) {
  std::lock_guard guard(mutex_);
  responseCmd_ = cmd;
}

void HidRequestModel::setOverTime(double seconds) {
  std::lock_guard guard(mutex_);
  overTime_ = seconds;
}

void HidRequestModel::setUniqueString(std::string text) {
  std::lock_guard guard(mutex_);
  uniqueString_ = std::move(text);
}

void HidRequestModel::setSuccessBlock(SuccessBlock block) {
  std::lock_guard guard(mutex_);
  successBlock_ = std::move(block);
}

void HidRequestModel::setFailBlock(FailBlock block) {
  std::lock_guard guard(mutex_);
  failBlock_ = std::move(block);
}
