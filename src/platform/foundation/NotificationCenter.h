// Notifications by name, delivered synchronously on the posting thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/Lifetime.h"
#include "platform/foundation/Value.h"

namespace fnd {

struct Notification {
  std::string name;
  Value object;  // the sender, or nil
  Dictionary userInfo;
};

class NotificationCenter {
public:
  using Callback = std::function<void(const Notification&)>;
  struct Token {
    uint64_t id = 0;
    explicit operator bool() const { return id != 0; }
  };

  NotificationCenter();
  ~NotificationCenter();
  static NotificationCenter& defaultCenter();

  // name empty: every name; sender nil: every sender (compared with ==).
  Token addObserver(std::string name, Value sender, Callback cb);
  // The same, removed when the observer's lifetime ends.
  Token addObserver(std::string name, Value sender, Lifetime& observer, Callback cb);
  // After this returns no new delivery to the observer starts.
  void removeObserver(Token token);
  void post(const std::string& name, const Value& sender = Value(), const Dictionary& userInfo = {});
  size_t observerCount() const;

private:
  struct Entry;
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace fnd
