// RSKVOChannel: a channel tied to a key path of an object. The following
// terminal sends the property's current value (replayed to each new
// subscriber) and then each change; a value sent into it is written to the
// property (nilValue for nil), and that write's own change does not come back
// out.
//
// Joining two channels keeps two properties equal, the right one winning at
// the start:
//
//   auto left = RSKVOChannel::initWithTarget(view, "selectRow", fnd::Value());
//   auto right = RSKVOChannel::initWithTarget(record, "selectedPreset", fnd::Value());
//   (*left)["followingTerminal"] = (*right)["followingTerminal"];
//
// The left property takes the right value at once. A change of the right
// property is written to the left one synchronously on the changing thread. A
// change of the left property is written to the right one synchronously on the
// main thread (or inside a scheduler's block), and from any other thread
// later, on the framework's background queue. A target whose
// requiresMainThread() is true is always written on the main thread (queued
// there when the value arrives elsewhere). The pair needs no owner and ends
// when either target ends its life.
//
// Echo: a channel swallows exactly one change notification per write it makes,
// on the writing thread, and only one that concerns the key path's last
// component; the record of the write is dropped once the write has been
// notified, so a write that notifies nothing leaves nothing behind.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "reactive/RSChannel.h"

class RSKVOChannel;
using RSKVOChannelPtr = std::shared_ptr<RSKVOChannel>;

// One channel's write in progress on one thread.
struct RSKVOChannelData {
  bool ignoreNextUpdate = false;
  const void* owner = nullptr;  // the channel; compared, never dereferenced

  static RSKVOChannelData dataForChannel(const RSKVOChannel* channel);
};

class RSKVOChannel : public RSChannel {
public:
  // The target is held weakly; a null target gives a channel that has ended.
  static RSKVOChannelPtr initWithTarget(const std::shared_ptr<fnd::Object>& target, std::string keyPath,
                                        fnd::Value nilValue);

  // Joins the terminal named by key with the other terminal: the other's
  // values go into ours, and ours, after the one we hold now, into the other.
  void setObjectForKeyedSubscript(const RSChannelTerminalPtr& otherTerminal, std::string_view key);

  // Sugar for the two calls above: (*left)["followingTerminal"] = other.
  class Subscript {
  public:
    Subscript(RSKVOChannel& channel, std::string_view key) : channel_(channel), key_(key) {}
    operator RSChannelTerminalPtr() const { return channel_.objectForKeyedSubscript(key_); }
    Subscript& operator=(const RSChannelTerminalPtr& otherTerminal) {
      channel_.setObjectForKeyedSubscript(otherTerminal, key_);
      return *this;
    }
    Subscript& operator=(const Subscript& other) { return *this = static_cast<RSChannelTerminalPtr>(other); }

  private:
    RSKVOChannel& channel_;
    std::string key_;
  };
  Subscript operator[](std::string_view key) { return Subscript(*this, key); }

  std::shared_ptr<fnd::Object> target() const;
  void setTarget(const std::shared_ptr<fnd::Object>& target);
  const std::string& keyPath() const { return keyPath_; }

  // This thread's record of this channel, or null.
  RSKVOChannelData* currentThreadData() const;
  void createCurrentThreadData();
  void destroyCurrentThreadData();

  // Use initWithTarget().
  RSKVOChannel(std::string keyPath, fnd::Value nilValue);

private:
  void setUp(const std::shared_ptr<fnd::Object>& target);
  void write(const fnd::Value& value);
  void writeNow(const fnd::Value& value);
  void writeTo(fnd::Object& object, const fnd::Value& value);

  mutable std::mutex targetMutex_;
  std::weak_ptr<fnd::Object> target_;
  const std::string keyPath_;
  const fnd::Value nilValue_;
  std::string keyPathWithoutLastComponent_;
  std::string lastComponent_;
  bool oneComponent_ = true;
};
