// Work for an object that must run on the main thread, from any thread.
#pragma once

#include <memory>
#include <utility>

#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/Queue.h"

namespace dispatch {

// Runs fn(object) on the main thread: now when called there, else later on
// the main queue; not at all once the object is gone.
template <typename T, typename Fn>
void onMain(const std::weak_ptr<T>& weak, Fn fn) {
  if (isMainThread()) {
    if (auto self = weak.lock()) fn(*self);
    return;
  }
  Queue::main()->async([weak, fn = std::move(fn)] {
    if (auto self = weak.lock()) fn(*self);
  });
}

}  // namespace dispatch
