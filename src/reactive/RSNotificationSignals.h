// Notifications as signals.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/NotificationCenter.h"

class RSSignal;

// Keys of the dictionary a notification arrives as.
inline constexpr const char* RSNotificationNameKey = "name";
inline constexpr const char* RSNotificationObjectKey = "object";
inline constexpr const char* RSNotificationUserInfoKey = "userInfo";

// The notifications of that name (and sender; nil: any sender) posted to the
// centre, each as a dictionary {name, object, userInfo}, on the posting
// thread. Every subscription registers its own observer; disposing it removes
// the observer at once. Never completes. The centre must outlive the
// subscriptions (the default centre lives as long as the process).
std::shared_ptr<RSSignal> rs_addObserverForName(fnd::NotificationCenter& center, const std::string& name,
                                                const fnd::Value& object);
