// Two-way connections. An RSChannel has two ends, RSChannelTerminal, each a
// signal (what was sent into the other end) and a subscriber (what this end
// sends). An error or completion sent into either end ends both.
//
//  - What is sent into the leading terminal is seen by subscribers of the
//    following terminal; a late subscriber of the following terminal gets the
//    last such value at once.
//  - What is sent into the following terminal is seen by the leading
//    terminal's subscribers at that moment only.
#pragma once

#include <memory>
#include <string_view>

#include "reactive/RSSignal.h"
#include "reactive/RSSubject.h"

class RSChannel;
class RSChannelTerminal;
using RSChannelPtr = std::shared_ptr<RSChannel>;
using RSChannelTerminalPtr = std::shared_ptr<RSChannelTerminal>;

class RSChannelTerminal : public RSSignal, public RSSubscriber {
public:
  RSChannelTerminal(RSSignalPtr values, RSSubscriberPtr otherTerminal);
  static RSChannelTerminalPtr initWithValues(const RSSignalPtr& values, const RSSubscriberPtr& otherTerminal);

  // Subscribes to the values.
  RSDisposablePtr subscribe(const RSSubscriberPtr& subscriber) override;
  // Straight to the other terminal.
  void sendNext(const fnd::Value& value) override;
  void sendError(const RSErrorPtr& error) override;
  void sendCompleted() override;
  void didSubscribeWithDisposable(const RSCompoundDisposablePtr& disposable) override;

  const RSSignalPtr& values() const { return values_; }
  const RSSubscriberPtr& otherTerminal() const { return otherTerminal_; }

private:
  const RSSignalPtr values_;
  const RSSubscriberPtr otherTerminal_;
};

class RSChannel : public fnd::Object {
public:
  static RSChannelPtr channel();

  const RSChannelTerminalPtr& leadingTerminal() const { return leadingTerminal_; }
  const RSChannelTerminalPtr& followingTerminal() const { return followingTerminal_; }

  // "leadingTerminal" or "followingTerminal"; null (and a log line) for any
  // other key.
  RSChannelTerminalPtr objectForKeyedSubscript(std::string_view key) const;

  // Use channel().
  RSChannel();

private:
  RSChannelTerminalPtr leadingTerminal_;
  RSChannelTerminalPtr followingTerminal_;
};
