#include "reactive/RSUserDefaultsChannel.h"

#include <atomic>
#include <mutex>

#include "reactive/RSLifetime.h"
#include "reactive/RSObservation.h"
#include "reactive/RSScheduler.h"

namespace {

// Shared by the two directions of one channel.
struct DefaultsChannelState {
  RSSchedulerPtr scheduler = RSScheduler::scheduler();
  // Set just before the channel's own write, on its scheduler; the change
  // that write causes on that scheduler clears it and is not sent out.
  std::atomic<bool> ignoreNextValue{false};

  // The last value seen, sent or not, so that a repeat is not sent; held with
  // the send so that values leave in the order they were seen.
  std::recursive_mutex mutex;
  bool hasLastValue = false;
  fnd::Value lastValue;
};

}  // namespace

RSChannelTerminalPtr rs_channelTerminalForKey(const std::shared_ptr<fnd::UserDefaults>& defaults,
                                              const std::string& key) {
  RSChannelPtr channel = RSChannel::channel();
  if (!defaults) {
    channel->leadingTerminal()->sendCompleted();
    return channel->followingTerminal();
  }
  auto state = std::make_shared<DefaultsChannelState>();
  RSChannelTerminalPtr leading = channel->leadingTerminal();
  std::weak_ptr<fnd::UserDefaults> weakDefaults = defaults;

  // Values written through the terminal, stored on the channel's scheduler.
  RSDisposablePtr outgoing =
      leading->deliverOn(state->scheduler)->subscribeNext([state, weakDefaults, key](const fnd::Value& value) {
        std::shared_ptr<fnd::UserDefaults> strong = weakDefaults.lock();
        if (!strong) return;
        state->ignoreNextValue = true;
        strong->setObjectForKey(key, value);
        // Every set notifies, so the flag is normally clear by now; clear it all
        // the same so that it never swallows somebody else's change.
        state->ignoreNextValue = false;
      });

  // The key's value now and after each change.
  RSDisposablePtr incoming =
      rs_observeKeyPath(defaults, key, fnd::KVOInitial | fnd::KVONew, nullptr,
                        [state, leading](const fnd::Value& value, const fnd::Dictionary&, bool, bool) {
                          std::lock_guard lock(state->mutex);
                          const bool ownWrite = RSScheduler::currentScheduler() == state->scheduler &&
                                                state->ignoreNextValue.exchange(false);
                          const bool repeated = state->hasLastValue && state->lastValue == value;
                          state->hasLastValue = true;
                          state->lastValue = value;
                          if (ownWrite || repeated) return;
                          leading->sendNext(value);
                        });

  rs_deallocDisposable(defaults)->addDisposable(RSDisposable::disposableWithBlock([incoming, outgoing, leading] {
    if (incoming) incoming->dispose();
    if (outgoing) outgoing->dispose();
    leading->sendCompleted();
  }));
  return channel->followingTerminal();
}
