#include "reactive/RSMulticastConnection.h"

RSMulticastConnection::RSMulticastConnection(RSSignalPtr sourceSignal, RSSubjectPtr subject)
    : signal_(std::move(subject)),
      sourceSignal_(RSSignal::orMissing(sourceSignal)),
      serialDisposable_(std::make_shared<RSSerialDisposable>()) {}

RSSerialDisposablePtr RSMulticastConnection::serialDisposable() const { return serialDisposable_; }

RSDisposablePtr RSMulticastConnection::connect() {
  int32_t expected = 0;
  if (hasConnected_.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) {
    serialDisposable_->setDisposable(sourceSignal_->subscribe(signal_));
  }
  return serialDisposable_;
}

RSSignalPtr RSMulticastConnection::autoconnect() {
  auto self = shared_from_this();
  auto subscriberCount = std::make_shared<std::atomic<int32_t>>(0);
  auto result = RSSignal::createSignal([self, subscriberCount](const RSSubscriberPtr& subscriber) -> RSDisposablePtr {
    subscriberCount->fetch_add(1, std::memory_order_acq_rel);
    auto subscription = self->signal_->subscribe(subscriber);
    auto connection = self->connect();
    return RSDisposable::disposableWithBlock([subscriberCount, subscription, connection] {
      RSDispose(subscription);
      if (subscriberCount->fetch_sub(1, std::memory_order_acq_rel) == 1) connection->dispose();
    });
  });
  result->setNameWithFormat("[%s] -autoconnect", signal_->name().c_str());
  return result;
}
