#include "platform/dispatch/ThreadContext.h"

#include <pthread.h>

#include <algorithm>
#include <exception>
#include <vector>

#include "platform/dispatch/MainThread.h"
#include "platform/foundation/Log.h"

namespace dispatch::detail {

namespace {
thread_local std::vector<Queue*> tHeld;
thread_local std::string tName;

constexpr size_t kMaxThreadNameLength = 15;
}  // namespace

HeldQueue::HeldQueue(Queue* queue) { tHeld.push_back(queue); }

HeldQueue::~HeldQueue() { tHeld.pop_back(); }

Queue* innermostHeldQueue() { return tHeld.empty() ? nullptr : tHeld.back(); }

bool isHeldByThisThread(const Queue* queue) {
  return std::find(tHeld.begin(), tHeld.end(), queue) != tHeld.end();
}

void setThreadName(const std::string& label) {
  std::string name = label.substr(0, kMaxThreadNameLength);
  if (name == tName) return;
  tName = name;
  pthread_setname_np(pthread_self(), name.c_str());
}

ThreadNameScope::ThreadNameScope(const std::string& label) {
  if (isMainThread()) return;
  previous_ = tName;
  changed_ = true;
  setThreadName(label);
}

ThreadNameScope::~ThreadNameScope() {
  if (changed_ && !previous_.empty()) setThreadName(previous_);
}

void runTask(const Task& task, const std::string& label) {
  if (!task) return;
  try {
    task();
  } catch (const std::exception& e) {
    fnd::log("dispatch: a task on queue '%s' threw: %s", label.c_str(), e.what());
  } catch (...) {
    fnd::log("dispatch: a task on queue '%s' threw a non-standard exception", label.c_str());
  }
}

}  // namespace dispatch::detail
