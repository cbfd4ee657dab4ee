#include "reactive/RSKVOChannel.h"

#include <algorithm>
#include <vector>

#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "reactive/RSKeyPath.h"
#include "reactive/RSLifetime.h"
#include "reactive/RSObservation.h"

namespace {

// The writes in progress on this thread, of every channel.
thread_local std::vector<RSKVOChannelData> tChannelData;

// Works on identities only, so it is safe after the channel has gone.
void destroyThreadData(const void* owner) {
  auto found = std::find_if(tChannelData.begin(), tChannelData.end(),
                            [owner](const RSKVOChannelData& data) { return data.owner == owner; });
  if (found != tChannelData.end()) tChannelData.erase(found);
}

}  // namespace

RSKVOChannelData RSKVOChannelData::dataForChannel(const RSKVOChannel* channel) {
  RSKVOChannelData data;
  data.owner = channel;
  return data;
}

RSKVOChannel::RSKVOChannel(std::string keyPath, fnd::Value nilValue)
    : keyPath_(std::move(keyPath)), nilValue_(std::move(nilValue)) {}

RSKVOChannelPtr RSKVOChannel::initWithTarget(const std::shared_ptr<fnd::Object>& target, std::string keyPath,
                                             fnd::Value nilValue) {
  auto channel = fnd::make<RSKVOChannel>(std::move(keyPath), std::move(nilValue));
  if (RSDebugNamesEnabled()) {
    std::string targetText = RSDescription(fnd::Value(target));
    channel->leadingTerminal()->setNameWithFormat("[-initWithTarget: %s keyPath: %s nilValue: %s] -leadingTerminal",
                                                  targetText.c_str(), channel->keyPath_.c_str(),
                                                  RSDescription(channel->nilValue_).c_str());
    channel->followingTerminal()->setNameWithFormat("[-initWithTarget: %s keyPath: %s nilValue: %s] -followingTerminal",
                                                    targetText.c_str(), channel->keyPath_.c_str(),
                                                    RSDescription(channel->nilValue_).c_str());
  }
  channel->setUp(target);
  return channel;
}

void RSKVOChannel::setUp(const std::shared_ptr<fnd::Object>& target) {
  setTarget(target);
  if (!target || keyPath_.empty()) {
    leadingTerminal()->sendCompleted();
    return;
  }
  auto self = std::static_pointer_cast<RSKVOChannel>(shared_from_this());

  // The observation holds the channel: it lives until the target goes. The
  // echo of a write of this channel is swallowed (before the value is read,
  // where the observation allows).
  auto swallowEcho = [self] {
    RSKVOChannelData* data = self->currentThreadData();
    if (!data || !data->ignoreNextUpdate) return false;
    self->destroyCurrentThreadData();
    return true;
  };
  RSDisposablePtr observation = rs_detail::observeKeyPathValues(
      target, keyPath_, fnd::KVOInitial, nullptr,
      [self, swallowEcho](const fnd::Value& value, const fnd::Dictionary&, bool causedByDealloc,
                          bool affectedOnlyLastComponent) {
        if (!causedByDealloc && affectedOnlyLastComponent && swallowEcho()) return;
        self->leadingTerminal()->sendNext(value);
      },
      swallowEcho);

  auto components = rs_keyPathComponents(keyPath_);
  oneComponent_ = components->size() == 1;
  lastComponent_ = components->back();
  keyPathWithoutLastComponent_ = rs_keyPathByDeletingLastKeyPathComponent(keyPath_).value_or(std::string());

  // When the target goes, the channel ends, and with it any channel joined to
  // it. This entry holds the channel, so it is there to be ended whatever
  // order the target's other clean-ups run in; it leaves the target when the
  // channel ends first.
  auto ending = RSDisposable::disposableWithBlock([self] {
    self->leadingTerminal()->sendCompleted();
    self->setTarget(nullptr);
  });
  std::weak_ptr<RSDisposable> weakEnding = ending;
  std::weak_ptr<fnd::LifetimeState> targetLifetime = target->lifetime().weak();

  // Values sent into the channel are written to the target; its end (the
  // equivalent of finally()) stops the observation first.
  std::weak_ptr<RSKVOChannel> weakSelf = self;
  auto finish = [observation, weakEnding, targetLifetime] {
    observation->dispose();
    if (auto entry = weakEnding.lock()) rs_detail::removeFromDeallocDisposable(targetLifetime, entry);
  };
  leadingTerminal()->subscribe(RSSubscriber::subscriberWithNext(
      [weakSelf](const fnd::Value& value) {
        if (auto channel = weakSelf.lock()) channel->write(value);
      },
      [weakSelf, finish](const RSErrorPtr& error) {
        finish();
        auto channel = weakSelf.lock();
        fnd::log("Received error in %s: %s", channel ? channel->description().c_str() : "(channel gone)",
                 error ? error->description().c_str() : "(null)");
      },
      finish));

  rs_deallocDisposable(RSLifetimeRef(target.get()))->addDisposable(ending);
}

void RSKVOChannel::write(const fnd::Value& value) {
  auto target = this->target();
  if (!target) return;
  std::shared_ptr<fnd::Object> object =
      oneComponent_ ? target : target->valueForKeyPath(keyPathWithoutLastComponent_).asObject();
  if (!object) return;
  if (object->requiresMainThread() && !dispatch::isMainThread()) {
    // The whole write, echo record included, happens on the main thread,
    // where the object notifies; main-queue order keeps the writes in order.
    std::weak_ptr<RSKVOChannel> weakSelf = std::static_pointer_cast<RSKVOChannel>(shared_from_this());
    dispatch::Queue::main()->async([weakSelf, value] {
      if (auto channel = weakSelf.lock()) channel->writeNow(value);
    });
    return;
  }
  writeTo(*object, value);
}

void RSKVOChannel::writeNow(const fnd::Value& value) {
  auto target = this->target();
  if (!target) return;
  std::shared_ptr<fnd::Object> object =
      oneComponent_ ? target : target->valueForKeyPath(keyPathWithoutLastComponent_).asObject();
  if (!object) return;
  writeTo(*object, value);
}

void RSKVOChannel::writeTo(fnd::Object& object, const fnd::Value& value) {
  RSKVOChannelData* data = currentThreadData();
  if (!data) data = &tChannelData.emplace_back(RSKVOChannelData::dataForChannel(this));
  data->ignoreNextUpdate = true;
  object.setValueForKey(lastComponent_, value.isNil() ? nilValue_ : value);
  // The change has been notified (and swallowed) by now, unless this thread
  // defers its notifications: then after them. A write that notified nothing
  // leaves no record that could swallow a later genuine change.
  const void* owner = this;
  if (!fnd::DeferNotifications::active()) {
    destroyThreadData(owner);
    return;
  }
  fnd::DeferNotifications::deliver([owner] { destroyThreadData(owner); });
}

void RSKVOChannel::setObjectForKeyedSubscript(const RSChannelTerminalPtr& otherTerminal, std::string_view key) {
  RSChannelTerminalPtr terminal = objectForKeyedSubscript(key);
  if (!terminal || !otherTerminal) return;
  otherTerminal->subscribe(terminal);
  terminal->skip(1)->subscribe(otherTerminal);
}

std::shared_ptr<fnd::Object> RSKVOChannel::target() const {
  std::lock_guard lock(targetMutex_);
  return target_.lock();
}

void RSKVOChannel::setTarget(const std::shared_ptr<fnd::Object>& target) {
  std::lock_guard lock(targetMutex_);
  target_ = target;
}

RSKVOChannelData* RSKVOChannel::currentThreadData() const {
  auto found = std::find_if(tChannelData.begin(), tChannelData.end(),
                            [this](const RSKVOChannelData& data) { return data.owner == this; });
  return found == tChannelData.end() ? nullptr : &*found;
}

void RSKVOChannel::createCurrentThreadData() {
  if (!currentThreadData()) tChannelData.push_back(RSKVOChannelData::dataForChannel(this));
}

void RSKVOChannel::destroyCurrentThreadData() { destroyThreadData(this); }
