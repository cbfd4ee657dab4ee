#include "platform/dispatch/MainThread.h"

#include <atomic>
#include <thread>

namespace dispatch {

namespace {
std::atomic<std::thread::id> gMainThread{};
}

void setMainThread() { gMainThread.store(std::this_thread::get_id(), std::memory_order_release); }

bool isMainThread() {
  return gMainThread.load(std::memory_order_acquire) == std::this_thread::get_id();
}

}  // namespace dispatch
