#include "platform/dispatch/QueueKinds.h"

#include "platform/dispatch/Core.h"
#include "platform/dispatch/MainQueuePost.h"
#include "platform/dispatch/ThreadContext.h"

namespace dispatch::detail {

MainQueue::MainQueue(std::shared_ptr<Core> core) : Queue(Kind::Main, "qv450.main", std::move(core), nullptr) {}

void MainQueue::enqueue(Task task) {
  // The check at run time drops work that was handed to the driver before
  // the shutdown but had not started. The main queue itself is never freed.
  postToMainQueue([this, task = std::move(task)]() mutable {
    if (core()->isShutDown()) {
      core()->drop(std::move(task));
      return;
    }
    HeldQueue held(this);
    runTask(task, label());
  });
}

GlobalQueue::GlobalQueue(std::string label, std::shared_ptr<Core> core, Priority priority)
    : Queue(Kind::Global, std::move(label), std::move(core), nullptr), priority_(priority) {}

void GlobalQueue::enqueue(Task task) { core()->submit(priority_, std::move(task)); }

ConcurrentQueue::ConcurrentQueue(std::string label, std::shared_ptr<Core> core)
    : Queue(Kind::Concurrent, std::move(label), std::move(core), nullptr) {}

void ConcurrentQueue::enqueue(Task task) {
  core()->submit(Priority::Default, [self = shared_from_this(), task = std::move(task)] {
    ThreadNameScope name(self->label());
    runTask(task, self->label());
  });
}

SerialQueue::SerialQueue(std::string label, std::shared_ptr<Core> core, std::shared_ptr<Queue> target)
    : Queue(Kind::Serial, std::move(label), std::move(core), std::move(target)) {}

void SerialQueue::enqueue(Task task) {
  bool idle = false;
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    idle = !scheduled_;
    scheduled_ = true;
  }
  if (idle) scheduleDrain();
}

namespace {
// The drain item holds the queue: it stays alive while it has work. An item
// destroyed without running (its target was shut down) drops the queue's
// pending tasks with it; otherwise a task holding the queue (a timer's fire,
// say) would keep it, and itself, alive for ever.
struct DrainItem {
  explicit DrainItem(std::shared_ptr<SerialQueue> q) : queue(std::move(q)) {}
  DrainItem(const DrainItem&) = delete;
  DrainItem& operator=(const DrainItem&) = delete;
  ~DrainItem() {
    if (!ran) queue->dropPending();
  }
  std::shared_ptr<SerialQueue> queue;
  bool ran = false;
};
}  // namespace

void SerialQueue::scheduleDrain() {
  auto item = std::make_shared<DrainItem>(std::static_pointer_cast<SerialQueue>(shared_from_this()));
  target()->async([item] {
    item->ran = true;
    item->queue->drain();
  });
}

void SerialQueue::dropPending() {
  std::deque<Task> dropped;
  {
    std::lock_guard lock(mutex_);
    dropped.swap(tasks_);
    scheduled_ = false;
  }
  for (auto& task : dropped) core()->drop(std::move(task));
}

void SerialQueue::drain() {
  std::deque<Task> dropped;
  bool more = false;
  {
    HeldQueue held(this);
    ThreadNameScope name(label());
    for (size_t n = 0;; ++n) {
      Task task;
      {
        std::lock_guard lock(mutex_);
        if (core()->isShutDown()) {
          dropped.swap(tasks_);
          scheduled_ = false;
          break;
        }
        if (tasks_.empty()) {
          scheduled_ = false;
          break;
        }
        if (n == kBatch) {
          more = true;
          break;
        }
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      runTask(task, label());
    }
  }
  for (auto& task : dropped) core()->drop(std::move(task));
  if (more) scheduleDrain();
}

}  // namespace dispatch::detail
