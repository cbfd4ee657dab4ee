// A user-defaults key as a two-way channel.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/UserDefaults.h"
#include "reactive/RSChannel.h"

// The terminal of a channel to the key of the defaults:
//  - it sends the key's value at once, then the new value each time somebody
//    else sets the key to a different value, on the thread that set it;
//  - a value sent into it is stored under the key (nil removes the key) on
//    the channel's own background scheduler, and does not come back out;
//  - it completes when the defaults object ends its life.
// The defaults are held weakly.
RSChannelTerminalPtr rs_channelTerminalForKey(const std::shared_ptr<fnd::UserDefaults>& defaults,
                                              const std::string& key);
