#include "platform/dispatch/Queue.h"

#include <condition_variable>

#include "platform/dispatch/Core.h"
#include "platform/dispatch/QueueKinds.h"
#include "platform/dispatch/ThreadContext.h"

namespace dispatch {

namespace {

Clock::time_point deadlineAfter(Clock::duration delay) {
  // Far-off delays are clamped so that the addition cannot overflow.
  constexpr Clock::duration kFar = std::chrono::hours(24 * 365 * 100);
  return now() + std::min(delay, kFar);
}

// What sync() waits on. The token travels with the task; the queue destroys
// it after running the task or when dropping it, which ends the wait.
struct SyncWait {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  bool ran = false;
};

struct SyncToken {
  explicit SyncToken(std::shared_ptr<SyncWait> w) : wait(std::move(w)) {}
  ~SyncToken() {
    {
      std::lock_guard lock(wait->mutex);
      wait->done = true;
    }
    wait->finished.notify_all();
  }
  std::shared_ptr<SyncWait> wait;
};

}  // namespace

Queue::Queue(Kind kind, std::string label, std::shared_ptr<detail::Core> core, std::shared_ptr<Queue> target)
    : kind_(kind), label_(std::move(label)), core_(std::move(core)), target_(std::move(target)) {}

Queue::~Queue() = default;

std::shared_ptr<Queue> Queue::main() {
  // Never freed: main-queue work may be in flight at any time of the program.
  static auto* queue = new std::shared_ptr<Queue>(new detail::MainQueue(Runtime::shared()->core()));
  return *queue;
}

std::shared_ptr<Queue> Queue::global(Priority priority) { return Runtime::shared()->global(priority); }

std::shared_ptr<Queue> Queue::createSerial(std::string label, std::shared_ptr<Queue> target) {
  return Runtime::shared()->createSerial(std::move(label), std::move(target));
}

std::shared_ptr<Queue> Queue::createConcurrent(std::string label) {
  return Runtime::shared()->createConcurrent(std::move(label));
}

std::shared_ptr<Queue> Queue::current() {
  if (Queue* queue = detail::innermostHeldQueue()) return queue->shared_from_this();
  if (isMainThread()) return main();
  return nullptr;
}

bool Queue::isSerial() const { return kind_ == Kind::Serial || kind_ == Kind::Main; }

void Queue::async(Task task) {
  if (!task) return;
  if (core_->isShutDown()) {
    core_->drop(std::move(task));
    return;
  }
  enqueue(std::move(task));
}

bool Queue::canRunInline() const {
  for (const Queue* queue = this; queue; queue = queue->target_.get()) {
    if (detail::isHeldByThisThread(queue)) return true;
    if (queue->kind_ == Kind::Main) return isMainThread();
    if (queue->kind_ != Kind::Serial) return false;
  }
  return false;
}

void Queue::runInline(const Task& task) {
  detail::HeldQueue held(this);
  detail::runTask(task, label_);
}

bool Queue::sync(Task task) {
  if (!task) return true;
  if (core_->isShutDown()) {
    core_->drop(std::move(task));
    return false;
  }
  if (kind_ == Kind::Global || kind_ == Kind::Concurrent) {
    detail::runTask(task, label_);
    return true;
  }
  if (canRunInline()) {
    runInline(task);
    return true;
  }
  auto wait = std::make_shared<SyncWait>();
  auto token = std::make_shared<SyncToken>(wait);
  async([task = std::move(task), token = std::move(token)] {
    {
      std::lock_guard lock(token->wait->mutex);
      token->wait->ran = true;
    }
    task();
  });
  std::unique_lock lock(wait->mutex);
  // Ends when the task has run or was dropped; the slices only keep each
  // single wait bounded.
  while (!wait->done) wait->finished.wait_for(lock, std::chrono::seconds(1));
  return wait->ran;
}

void Queue::after(Clock::duration delay, Task task) {
  if (!task) return;
  if (delay <= Clock::duration::zero()) {
    async(std::move(task));
    return;
  }
  if (core_->isShutDown()) {
    core_->drop(std::move(task));
    return;
  }
  core_->scheduleTask(deadlineAfter(delay), shared_from_this(), std::move(task));
}

}  // namespace dispatch
