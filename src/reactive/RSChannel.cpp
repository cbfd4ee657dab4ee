#include "reactive/RSChannel.h"

#include <atomic>

#include "platform/foundation/Log.h"

// ------------------------------------------------------------ RSChannelTerminal

RSChannelTerminal::RSChannelTerminal(RSSignalPtr values, RSSubscriberPtr otherTerminal)
    : values_(std::move(values)), otherTerminal_(std::move(otherTerminal)) {}

RSChannelTerminalPtr RSChannelTerminal::initWithValues(const RSSignalPtr& values, const RSSubscriberPtr& otherTerminal) {
  return fnd::make<RSChannelTerminal>(values, otherTerminal);
}

RSDisposablePtr RSChannelTerminal::subscribe(const RSSubscriberPtr& subscriber) { return values_->subscribe(subscriber); }

void RSChannelTerminal::sendNext(const fnd::Value& value) { otherTerminal_->sendNext(value); }

void RSChannelTerminal::sendError(const RSErrorPtr& error) { otherTerminal_->sendError(error); }

void RSChannelTerminal::sendCompleted() { otherTerminal_->sendCompleted(); }

void RSChannelTerminal::didSubscribeWithDisposable(const RSCompoundDisposablePtr& disposable) {
  otherTerminal_->didSubscribeWithDisposable(disposable);
}

// -------------------------------------------------------------------- RSChannel

namespace {

// Passes on a subject's error or completion and nothing else: ignoreValues()
// subscribed to the other subject, without a step for each value.
class EndForwarder final : public RSSubscriber {
public:
  explicit EndForwarder(RSSubscriberPtr other) : other_(std::move(other)) {}
  void sendNext(const fnd::Value&) override {}
  void sendError(const RSErrorPtr& error) override {
    if (!ended_.exchange(true)) other_->sendError(error);
  }
  void sendCompleted() override {
    if (!ended_.exchange(true)) other_->sendCompleted();
  }
  void didSubscribeWithDisposable(const RSCompoundDisposablePtr& disposable) override {
    other_->didSubscribeWithDisposable(disposable);
  }

private:
  const RSSubscriberPtr other_;
  std::atomic<bool> ended_{false};
};

}  // namespace

RSChannel::RSChannel() {
  // Replays only its end.
  auto leadingSubject = RSReplaySubject::replaySubjectWithCapacity(0);
  leadingSubject->setNameWithFormat("leadingSubject");
  // Replays the latest value.
  auto followingSubject = RSReplaySubject::replaySubjectWithCapacity(1);
  followingSubject->setNameWithFormat("followingSubject");

  // An end on either side ends both (the values ignored).
  leadingSubject->subscribe(std::make_shared<EndForwarder>(followingSubject));
  followingSubject->subscribe(std::make_shared<EndForwarder>(leadingSubject));

  leadingTerminal_ = RSChannelTerminal::initWithValues(leadingSubject, followingSubject);
  leadingTerminal_->setNameWithFormat("leadingTerminal");
  followingTerminal_ = RSChannelTerminal::initWithValues(followingSubject, leadingSubject);
  followingTerminal_->setNameWithFormat("followingTerminal");
}

RSChannelPtr RSChannel::channel() { return fnd::make<RSChannel>(); }

RSChannelTerminalPtr RSChannel::objectForKeyedSubscript(std::string_view key) const {
  if (key == "leadingTerminal") return leadingTerminal_;
  if (key == "followingTerminal") return followingTerminal_;
  fnd::log("%s: no terminal for key \"%.*s\"", className().c_str(), static_cast<int>(key.size()), key.data());
  return nullptr;
}
