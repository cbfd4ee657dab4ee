#include "device/service/HidRequestManager.h"

#include "platform/foundation/Log.h"

std::shared_ptr<HidRequestManager> HidRequestManager::shareManager() {
  static const std::shared_ptr<HidRequestManager> shared = fnd::make<HidRequestManager>();
  return shared;
}

std::string HidRequestManager::keyFor(int responseCmd) { return fnd::format("HID_%d", responseCmd); }

HidRequestModelPtr HidRequestManager::requsetWithRequesetCmd(int requestCmd, int responseCmd, double overTime,
                                                             std::string uniqueString,
                                                             HidRequestModel::SuccessBlock success,
                                                             HidRequestModel::FailBlock fail) {
  HidRequestModelPtr model = HidRequestModel::initWithRequesetCmd(requestCmd, responseCmd, overTime,
                                                                  std::move(uniqueString), std::move(success),
                                                                  std::move(fail));
  if (responseCmd > 0) {
    std::lock_guard guard(mutex_);
    requsetSource_[keyFor(responseCmd)] = model;
  }
  return model;
}

void HidRequestManager::responseWithData(std::span<const uint8_t> frame, const fnd::Value& result) {
  constexpr size_t kCommandAt = 4;
  if (frame.size() <= kCommandAt) return;
  HidRequestModelPtr entry;
  HidRequestModel::SuccessBlock block;
  {
    std::lock_guard guard(mutex_);
    auto it = requsetSource_.find(keyFor(frame[kCommandAt]));
    if (it == requsetSource_.end() || !(block = it->second->successBlock())) return;
    // Out of the table before its block runs, so that the block may place a
    // new request for the same answer.
    entry = std::move(it->second);
    requsetSource_.erase(it);
  }
  block(result);
  entry->requestOver();
}

void HidRequestManager::removeResponseForCmd(int cmd) {
  std::lock_guard guard(mutex_);
  requsetSource_.erase(keyFor(cmd));
}

HidRequestManager::Table HidRequestManager::requsetSource() const {
  std::lock_guard guard(mutex_);
  return requsetSource_;
}
