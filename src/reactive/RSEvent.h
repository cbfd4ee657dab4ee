// RSEvent: a next, error or completed event as a value.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"

enum class RSEventType : uint64_t { Completed = 0, Error = 1, Next = 2 };

class RSEvent;
using RSEventPtr = std::shared_ptr<RSEvent>;

class RSEvent : public fnd::Object {
public:
  RSEvent(RSEventType eventType, fnd::Value object);

  // One shared completed event.
  static RSEventPtr completedEvent();
  static RSEventPtr eventWithError(const std::shared_ptr<const fnd::Error>& error);
  static RSEventPtr eventWithValue(const fnd::Value& value);

  RSEventType eventType() const { return eventType_; }
  // The error or the value.
  const fnd::Value& object() const { return object_; }
  // Completed or error.
  bool isFinished() const { return eventType_ != RSEventType::Next; }
  // The error of an error event, else null.
  std::shared_ptr<const fnd::Error> error() const;
  // The value of a next event, else nil.
  fnd::Value value() const;

  bool isEqual(const fnd::Object& other) const override;
  size_t hash() const override;
  std::string description() const override;

private:
  const RSEventType eventType_;
  const fnd::Value object_;
};
