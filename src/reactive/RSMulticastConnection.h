// RSMulticastConnection: shares one subscription to a source signal among
// many subscribers through a subject. The source is subscribed at most once in
// the connection's life, whoever calls connect() and from whatever thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "reactive/RSSignal.h"
#include "reactive/RSSubject.h"

class RSMulticastConnection : public std::enable_shared_from_this<RSMulticastConnection> {
public:
  RSMulticastConnection(RSSignalPtr sourceSignal, RSSubjectPtr subject);

  // The signal to subscribe to.
  const RSSubjectPtr& signal() const { return signal_; }
  const RSSignalPtr& sourceSignal() const { return sourceSignal_; }
  RSSerialDisposablePtr serialDisposable() const;

  // Subscribes the subject to the source the first time; returns the same
  // disposable every time. Disposing it ends the shared subscription for good.
  RSDisposablePtr connect();
  // A signal that connects at its first subscriber and disposes the
  // connection when its last subscriber leaves (it does not connect again).
  RSSignalPtr autoconnect();

private:
  const RSSubjectPtr signal_;
  const RSSignalPtr sourceSignal_;
  const RSSerialDisposablePtr serialDisposable_;
  std::atomic<int32_t> hasConnected_{0};
};
