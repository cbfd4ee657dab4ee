// Key-path observation as blocks and signals.
//
//  - rs_observeKeyPath: calls a block for every change of a key path of any
//    depth. Each level observes one key; when an intermediate object is
//    replaced the observation moves to the new one (the old one is left at
//    once). The observation ends when its disposable is disposed or when the
//    receiver or the observer ends its life, whichever comes first, and then
//    leaves no entry behind on either side.
//  - rs_valuesAndChangesForKeyPath: the same as a signal of (value, change)
//    two-tuples; completes when the receiver or the observer starts to end
//    its life.
//  - rs_valuesForKeyPath: the key path's values, the current one first.
//
// Threads: blocks run synchronously on the thread that changes the property
// (the initial call on the subscribing thread). rs_valuesForKeyPath passes
// each value through the subscription scheduler: a change made on the main
// thread or inside a scheduler's block reaches the subscriber before the
// setter returns; a change made on any other thread (the unit's input thread)
// reaches it later, in order, on the framework's background queue, never on
// the main queue.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/foundation/Object.h"
#include "reactive/RSLifetime.h"

class RSSignal;

// Keys of a change dictionary.
inline constexpr const char* RSKeyValueChangeKindKey = "kind";
inline constexpr const char* RSKeyValueChangeNewKey = "new";
inline constexpr const char* RSKeyValueChangeOldKey = "old";
inline constexpr const char* RSKeyValueChangeNotificationIsPriorKey = "notificationIsPrior";
// The one change kind: a value was set.
inline constexpr int RSKeyValueChangeSetting = 1;

// (value or nil, change dictionary, caused by the end of life of a weakly held
// intermediate object, the change affected only the key path's last component)
using RSKVOBlock = std::function<void(const fnd::Value& value, const fnd::Dictionary& change, bool causedByDealloc,
                                      bool affectedOnlyLastComponent)>;

// options: fnd::KVOInitial calls the block once now; fnd::KVOPrior also before
// each change (with the whole path's old value); KVONew and KVOOld shape the
// change dictionaries. The observer may be null. A weak intermediate property
// (fnd::WeakProperty) gets a watch: when its object ends its life the block
// is called with (nil, {kind: setting, new: Null}, true, ...); never for a
// value that is the observer itself.
RSDisposablePtr rs_observeKeyPath(const std::shared_ptr<fnd::Object>& receiver, std::string_view keyPath,
                                  unsigned options, const RSLifetimeRef& observer, RSKVOBlock block);

namespace rs_detail {
// Asked first about a change of the key path's last component (not one
// caused by a deallocation): true swallows it, and the value is not even
// read.
using RSKVOSwallowBlock = std::function<bool()>;

// rs_observeKeyPath for callers that read only the value: the block is given
// an empty change dictionary, so none is ever built. With `swallow`, a change
// it swallows does not reach the block (where nothing has to be attached to
// the new value, the value is not read either).
RSDisposablePtr observeKeyPathValues(const std::shared_ptr<fnd::Object>& receiver, std::string_view keyPath,
                                     unsigned options, const RSLifetimeRef& observer, RSKVOBlock block,
                                     RSKVOSwallowBlock swallow = nullptr);
}  // namespace rs_detail

std::shared_ptr<RSSignal> rs_valuesAndChangesForKeyPath(const std::shared_ptr<fnd::Object>& receiver,
                                                        std::string_view keyPath, unsigned options,
                                                        const RSLifetimeRef& observer);

std::shared_ptr<RSSignal> rs_valuesForKeyPath(const std::shared_ptr<fnd::Object>& receiver, std::string_view keyPath,
                                              const RSLifetimeRef& observer);
