#include "reactive/RSEvent.h"

#include <cstdio>

RSEvent::RSEvent(RSEventType eventType, fnd::Value object) : eventType_(eventType), object_(std::move(object)) {}

RSEventPtr RSEvent::completedEvent() {
  static const RSEventPtr completed = fnd::make<RSEvent>(RSEventType::Completed, fnd::Value());
  return completed;
}

RSEventPtr RSEvent::eventWithError(const std::shared_ptr<const fnd::Error>& error) {
  return fnd::make<RSEvent>(RSEventType::Error, fnd::Value(error));
}

RSEventPtr RSEvent::eventWithValue(const fnd::Value& value) { return fnd::make<RSEvent>(RSEventType::Next, value); }

std::shared_ptr<const fnd::Error> RSEvent::error() const {
  return eventType_ == RSEventType::Error ? object_.asObject<const fnd::Error>() : nullptr;
}

fnd::Value RSEvent::value() const { return eventType_ == RSEventType::Next ? object_ : fnd::Value(); }

bool RSEvent::isEqual(const fnd::Object& other) const {
  if (this == &other) return true;
  auto event = dynamic_cast<const RSEvent*>(&other);
  return event != nullptr && event->eventType_ == eventType_ && event->object_ == object_;
}

size_t RSEvent::hash() const {
  size_t objectHash = object_.isNil() ? 0 : object_.hash();
  return objectHash ^ static_cast<size_t>(eventType_);
}

std::string RSEvent::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  std::string what;
  switch (eventType_) {
    case RSEventType::Completed: what = "completed"; break;
    case RSEventType::Error: what = "error = " + object_.description(); break;
    case RSEventType::Next: what = "next = " + object_.description(); break;
  }
  return "<" + className() + ": " + address + ">{ " + what + " }";
}
