#include "reactive/RSSubscriptingAssignmentTrampoline.h"

RSSubscriptingAssignmentTrampolinePtr RSSubscriptingAssignmentTrampoline::initWithTarget(
    const std::shared_ptr<fnd::Object>& target, const fnd::Value& nilValue) {
  if (!target) return nullptr;
  return std::make_shared<RSSubscriptingAssignmentTrampoline>(target, nilValue);
}

RSSubscriptingAssignmentTrampoline::RSSubscriptingAssignmentTrampoline(std::shared_ptr<fnd::Object> target,
                                                                       fnd::Value nilValue)
    : target_(std::move(target)), nilValue_(std::move(nilValue)) {}

void RSSubscriptingAssignmentTrampoline::setObject(const RSSignalPtr& signal, const std::string& keyPath) const {
  RSSignal::orMissing(signal)->setKeyPath(keyPath, target_, nilValue_);
}
