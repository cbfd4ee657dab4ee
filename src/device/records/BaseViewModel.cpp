#include "device/records/BaseViewModel.h"

#include <mutex>

void BaseViewModel::initWithBlock(Block success, Block fail) {
  std::lock_guard guard(objectLock());
  successBlock_ = std::move(success);
  failBlock_ = std::move(fail);
}

BaseViewModel::Block BaseViewModel::successBlock() const {
  std::lock_guard guard(objectLock());
  return successBlock_;
}

BaseViewModel::Block BaseViewModel::failBlock() const {
  std::lock_guard guard(objectLock());
  return failBlock_;
}

bool BaseViewModel::hasSuccessBlock() const {
  std::lock_guard guard(objectLock());
  return static_cast<bool>(successBlock_);
}

bool BaseViewModel::hasFailBlock() const {
  std::lock_guard guard(objectLock());
  return static_cast<bool>(failBlock_);
}

void BaseViewModel::setSuccessBlock(Block block) {
  Block previous;  // released outside the lock
  std::lock_guard guard(objectLock());
  previous = std::exchange(successBlock_, std::move(block));
}

void BaseViewModel::setFailBlock(Block block) {
  Block previous;
  std::lock_guard guard(objectLock());
  previous = std::exchange(failBlock_, std::move(block));
}
