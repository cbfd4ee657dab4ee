#include "reactive/RSNotificationSignals.h"

#include <cstdio>

#include "reactive/RSSignal.h"

std::shared_ptr<RSSignal> rs_addObserverForName(fnd::NotificationCenter& center, const std::string& name,
                                                const fnd::Value& object) {
  fnd::NotificationCenter* centre = &center;
  auto result = RSSignal::createSignal([centre, name, object](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    fnd::NotificationCenter::Token token =
        centre->addObserver(name, object, [subscriber](const fnd::Notification& notification) {
          subscriber->sendNext(fnd::Value(fnd::Dictionary{{RSNotificationNameKey, fnd::Value(notification.name)},
                                                          {RSNotificationObjectKey, notification.object},
                                                          {RSNotificationUserInfoKey, fnd::Value(notification.userInfo)}}));
        });
    return RSDisposable::disposableWithBlock([centre, token] { centre->removeObserver(token); });
  });
  if (RSDebugNamesEnabled()) {
    auto sender = object.asObject();
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(sender.get()));
    result->setNameWithFormat("-rs_addObserverForName: %s object: <%s: %s>", name.c_str(),
                              sender ? sender->className().c_str() : "(null)", address);
  }
  return result;
}
