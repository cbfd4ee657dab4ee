// Binding a signal to a key path of an object by subscripting:
//
//     (*RSSubscriptingAssignmentTrampoline::initWithTarget(label, fnd::Value("")))["text"] = nameSignal;
//
// is nameSignal->setKeyPath("text", label, "") (RSSignal.h): every value of the
// signal is written to the key path, nil written as the nil value.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/Object.h"
#include "reactive/RSSignal.h"

class RSSubscriptingAssignmentTrampoline;
using RSSubscriptingAssignmentTrampolinePtr = std::shared_ptr<RSSubscriptingAssignmentTrampoline>;

class RSSubscriptingAssignmentTrampoline {
public:
  // Null when the target is null.
  static RSSubscriptingAssignmentTrampolinePtr initWithTarget(const std::shared_ptr<fnd::Object>& target,
                                                              const fnd::Value& nilValue);

  RSSubscriptingAssignmentTrampoline(std::shared_ptr<fnd::Object> target, fnd::Value nilValue);

  const std::shared_ptr<fnd::Object>& target() const { return target_; }
  const fnd::Value& nilValue() const { return nilValue_; }

  // Binds the signal to the key path of the target.
  void setObject(const RSSignalPtr& signal, const std::string& keyPath) const;

  // What trampoline["key.path"] stands for: the place a signal is assigned to.
  class Slot {
  public:
    Slot(const RSSubscriptingAssignmentTrampoline& trampoline, std::string keyPath)
        : trampoline_(trampoline), keyPath_(std::move(keyPath)) {}
    const Slot& operator=(const RSSignalPtr& signal) const {
      trampoline_.setObject(signal, keyPath_);
      return *this;
    }

  private:
    const RSSubscriptingAssignmentTrampoline& trampoline_;
    std::string keyPath_;
  };
  Slot operator[](std::string keyPath) const { return Slot(*this, std::move(keyPath)); }

private:
  const std::shared_ptr<fnd::Object> target_;
  const fnd::Value nilValue_;
};
