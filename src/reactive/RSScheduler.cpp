#include "reactive/RSScheduler.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>
#include <thread>

#include "platform/dispatch/TimerSource.h"
#include "platform/foundation/Log.h"
#include "reactive/RSDebug.h"
#include "reactive/RSSignal.h"

namespace {

// The scheduler whose block this thread is running.
thread_local RSSchedulerPtr tCurrentScheduler;

class CurrentSchedulerScope {
public:
  explicit CurrentSchedulerScope(RSSchedulerPtr scheduler) : previous_(RSScheduler::currentScheduler()) {
    tCurrentScheduler = std::move(scheduler);
  }
  ~CurrentSchedulerScope() { tCurrentScheduler = std::move(previous_); }
  CurrentSchedulerScope(const CurrentSchedulerScope&) = delete;
  CurrentSchedulerScope& operator=(const CurrentSchedulerScope&) = delete;

private:
  RSSchedulerPtr previous_;
};

std::chrono::nanoseconds secondsToDuration(RSTimeInterval seconds) {
  if (!(seconds > 0)) return std::chrono::nanoseconds::zero();
  double ns = seconds * 1e9;
  if (ns >= static_cast<double>(std::numeric_limits<int64_t>::max())) return std::chrono::nanoseconds::max();
  return std::chrono::nanoseconds(static_cast<int64_t>(ns));
}

dispatch::Clock::duration delayUntil(RSDate date) {
  auto delay = RSQueueScheduler::wallTimeWithDate(date) - dispatch::now();
  return delay > dispatch::Clock::duration::zero() ? delay : dispatch::Clock::duration::zero();
}

}  // namespace

// ------------------------------------------------------------------ RSScheduler

RSScheduler::RSScheduler(std::optional<std::string> name, const char* className)
    : className_(className),
      name_(name ? std::move(*name) : RSLabel(std::string(".") + className + ".anonymousScheduler")) {}

RSScheduler::~RSScheduler() = default;

RSSchedulerPtr RSScheduler::immediateScheduler() {
  static const RSSchedulerPtr scheduler = std::make_shared<RSImmediateScheduler>();
  return scheduler;
}

RSSchedulerPtr RSScheduler::mainThreadScheduler() {
  static const RSSchedulerPtr scheduler =
      std::make_shared<RSTargetQueueScheduler>(RSLabel(".RSScheduler.mainThreadScheduler"), dispatch::Queue::main());
  return scheduler;
}

RSSchedulerPtr RSScheduler::subscriptionScheduler() {
  static const RSSchedulerPtr scheduler = std::make_shared<RSSubscriptionScheduler>();
  return scheduler;
}

RSSchedulerPtr RSScheduler::schedulerWithPriority(dispatch::Priority priority, std::optional<std::string> name) {
  return std::make_shared<RSTargetQueueScheduler>(std::move(name), dispatch::Queue::global(priority));
}

RSSchedulerPtr RSScheduler::schedulerWithPriority(dispatch::Priority priority) {
  return schedulerWithPriority(priority, RSLabel(".RSScheduler.backgroundScheduler"));
}

RSSchedulerPtr RSScheduler::scheduler() { return schedulerWithPriority(dispatch::Priority::Default); }

bool RSScheduler::isOnMainThread() { return dispatch::isMainThread(); }

bool RSScheduler::hasCurrentScheduler() { return tCurrentScheduler != nullptr || isOnMainThread(); }

RSSchedulerPtr RSScheduler::currentScheduler() {
  if (tCurrentScheduler) return tCurrentScheduler;
  if (isOnMainThread()) return mainThreadScheduler();
  return nullptr;
}

std::string RSScheduler::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return std::string("<") + className_ + ": " + address + "> " + name_;
}

RSDisposablePtr RSScheduler::schedule(Block) { return nullptr; }

RSDisposablePtr RSScheduler::after(RSDate, Block) { return nullptr; }

RSDisposablePtr RSScheduler::after(RSDate, RSTimeInterval, RSTimeInterval, Block) { return nullptr; }

RSDisposablePtr RSScheduler::afterDelay(RSTimeInterval delay, Block block) {
  auto date = std::chrono::system_clock::now() +
              std::chrono::duration_cast<std::chrono::system_clock::duration>(secondsToDuration(delay));
  return after(date, std::move(block));
}

namespace {

void endWithError(const RSSubscriberPtr& subscriber, const std::string& what) {
  // The scheduler running the task, else the queue (a timer's handler runs
  // on its scheduler's queue without being its current scheduler's block).
  RSSchedulerPtr running = RSScheduler::currentScheduler();
  std::shared_ptr<dispatch::Queue> queue = running ? nullptr : dispatch::Queue::current();
  const std::string where = running ? running->name() : queue ? queue->label() : std::string("the calling thread");
  const std::string text = "a task on " + where + " threw: " + what;
  fnd::log("%s; its subscription ends with an error", text.c_str());
  subscriber->sendError(fnd::Error::withDescription(RSSignalErrorDomain, RSSignalErrorTaskThrew, text));
}

}  // namespace

RSScheduler::Block RSScheduler::failingTo(const RSSubscriberPtr& subscriber, Block block) {
  if (!subscriber || !block) return block;
  return [subscriber, block = std::move(block)] {
    try {
      block();
    } catch (const std::exception& e) {
      endWithError(subscriber, e.what());
    } catch (...) {
      endWithError(subscriber, "an exception of unknown type");
    }
  };
}

RSDisposablePtr RSScheduler::schedule(const RSSubscriberPtr& subscriber, Block block) {
  return schedule(failingTo(subscriber, std::move(block)));
}

RSDisposablePtr RSScheduler::after(RSDate date, const RSSubscriberPtr& subscriber, Block block) {
  return after(date, failingTo(subscriber, std::move(block)));
}

RSDisposablePtr RSScheduler::after(RSDate date, RSTimeInterval interval, RSTimeInterval leeway,
                                   const RSSubscriberPtr& subscriber, Block block) {
  return after(date, interval, leeway, failingTo(subscriber, std::move(block)));
}

RSDisposablePtr RSScheduler::afterDelay(RSTimeInterval delay, const RSSubscriberPtr& subscriber, Block block) {
  return afterDelay(delay, failingTo(subscriber, std::move(block)));
}

RSDisposablePtr RSScheduler::scheduleRecursiveBlock(const RSSubscriberPtr& subscriber, RecursiveBlock recursiveBlock) {
  if (!subscriber) return scheduleRecursiveBlock(std::move(recursiveBlock));
  return scheduleRecursiveBlock([subscriber, recursiveBlock = std::move(recursiveBlock)](
                                    const std::function<void()>& reschedule) {
    failingTo(subscriber, [&] { recursiveBlock(reschedule); })();
  });
}

void RSScheduler::performAsCurrentScheduler(const Block& block) {
  CurrentSchedulerScope scope(weak_from_this().lock());
  block();
}

RSDisposablePtr RSScheduler::scheduleRecursiveBlock(RecursiveBlock recursiveBlock) {
  auto disposable = RSCompoundDisposable::compoundDisposable();
  scheduleRecursiveBlock(std::make_shared<const RecursiveBlock>(std::move(recursiveBlock)), disposable);
  return disposable;
}

namespace {

// Reschedule requests made while a pass runs are counted and acted on once the
// pass has returned; later ones act at once.
struct RecursionPass {
  std::mutex mutex;
  unsigned deferred = 0;
  bool immediate = false;
};

}  // namespace

void RSScheduler::scheduleRecursiveBlock(const std::shared_ptr<const RecursiveBlock>& recursiveBlock,
                                         const RSCompoundDisposablePtr& disposable) {
  auto passDisposable = RSCompoundDisposable::compoundDisposable();
  disposable->addDisposable(passDisposable);
  std::weak_ptr<RSCompoundDisposable> weakPass = passDisposable;
  RSSchedulerPtr self = shared_from_this();

  auto scheduled = schedule([self, recursiveBlock, disposable, weakPass] {
    if (auto pass = weakPass.lock()) disposable->removeDisposable(pass);
    if (disposable->isDisposed()) return;

    auto reallyReschedule = [self, recursiveBlock, disposable] {
      if (disposable->isDisposed()) return;
      self->scheduleRecursiveBlock(recursiveBlock, disposable);
    };
    auto pass = std::make_shared<RecursionPass>();
    (*recursiveBlock)([pass, reallyReschedule] {
      {
        std::lock_guard lock(pass->mutex);
        if (!pass->immediate) {
          ++pass->deferred;
          return;
        }
      }
      reallyReschedule();
    });

    unsigned deferred;
    {
      std::lock_guard lock(pass->mutex);
      deferred = pass->deferred;
      pass->immediate = true;
    }
    for (unsigned i = 0; i < deferred; ++i) reallyReschedule();
  });
  passDisposable->addDisposable(scheduled);
}

// ------------------------------------------------------------- RSQueueScheduler

RSQueueScheduler::RSQueueScheduler(std::optional<std::string> name, std::shared_ptr<dispatch::Queue> queue)
    : RSQueueScheduler(std::move(name), std::move(queue), "RSQueueScheduler") {}

RSQueueScheduler::RSQueueScheduler(std::optional<std::string> name, std::shared_ptr<dispatch::Queue> queue,
                                   const char* className)
    : RSScheduler(std::move(name), className), queue_(std::move(queue)) {}

dispatch::Clock::time_point RSQueueScheduler::wallTimeWithDate(RSDate date) {
  auto fromNow = date - std::chrono::system_clock::now();
  auto now = dispatch::now();
  // Clamp instead of overflowing for dates far in the past or future.
  using Rep = dispatch::Clock::duration::rep;
  auto ns = std::chrono::duration_cast<std::chrono::duration<long double, std::nano>>(fromNow).count();
  long double limit = static_cast<long double>(std::numeric_limits<Rep>::max() / 2);
  if (ns > limit) ns = limit;
  if (ns < -limit) ns = -limit;
  return now + std::chrono::duration_cast<dispatch::Clock::duration>(std::chrono::nanoseconds(static_cast<int64_t>(ns)));
}

RSDisposablePtr RSQueueScheduler::schedule(Block block) {
  auto disposable = RSDisposable::create();
  RSSchedulerPtr self = shared_from_this();
  queue_->async([self, disposable, block = std::move(block)] {
    if (disposable->isDisposed()) return;
    self->performAsCurrentScheduler(block);
  });
  return disposable;
}

RSDisposablePtr RSQueueScheduler::after(RSDate date, Block block) {
  auto disposable = RSDisposable::create();
  RSSchedulerPtr self = shared_from_this();
  queue_->after(delayUntil(date), [self, disposable, block = std::move(block)] {
    if (disposable->isDisposed()) return;
    self->performAsCurrentScheduler(block);
  });
  return disposable;
}

RSDisposablePtr RSQueueScheduler::after(RSDate date, RSTimeInterval interval, RSTimeInterval leeway, Block block) {
  auto timer = std::make_shared<dispatch::TimerSource>(queue_);
  timer->setTimer(delayUntil(date), secondsToDuration(interval), secondsToDuration(leeway));
  // The handler keeps the timer alive until the disposable cancels it, which
  // releases the handler.
  timer->setEventHandler([timer, block = std::move(block)] { block(); });
  timer->resume();
  return RSDisposable::disposableWithBlock([timer] { timer->cancel(); });
}

// ------------------------------------------------------- RSTargetQueueScheduler

std::string RSTargetQueueScheduler::nameFor(const std::optional<std::string>& name,
                                            const std::shared_ptr<dispatch::Queue>& target) {
  if (name) return *name;
  return RSLabel(".RSTargetQueueScheduler(" + (target ? target->label() : std::string()) + ")");
}

RSTargetQueueScheduler::RSTargetQueueScheduler(std::optional<std::string> name,
                                               const std::shared_ptr<dispatch::Queue>& targetQueue)
    : RSQueueScheduler(nameFor(name, targetQueue), dispatch::Queue::createSerial(nameFor(name, targetQueue), targetQueue),
                       "RSTargetQueueScheduler") {}

// --------------------------------------------------------- RSImmediateScheduler

RSImmediateScheduler::RSImmediateScheduler()
    : RSScheduler(RSLabel(".RSScheduler.immediateScheduler"), "RSImmediateScheduler") {}

RSDisposablePtr RSImmediateScheduler::schedule(Block block) {
  block();
  return nullptr;
}

RSDisposablePtr RSImmediateScheduler::after(RSDate date, Block block) {
  std::this_thread::sleep_until(date);
  block();
  return nullptr;
}

RSDisposablePtr RSImmediateScheduler::after(RSDate, RSTimeInterval, RSTimeInterval, Block) { return nullptr; }

RSDisposablePtr RSImmediateScheduler::scheduleRecursiveBlock(RecursiveBlock recursiveBlock) {
  // On the heap: a block may keep the reschedule and call it after we have
  // returned, when it does nothing.
  auto remaining = std::make_shared<std::atomic<unsigned long>>(1);
  auto reschedule = [remaining] { ++*remaining; };
  do {
    recursiveBlock(reschedule);
  } while ((*remaining)-- != 1);
  return nullptr;
}

// ------------------------------------------------------ RSSubscriptionScheduler

RSSubscriptionScheduler::RSSubscriptionScheduler()
    : RSScheduler(RSLabel(".RSScheduler.subscriptionScheduler"), "RSSubscriptionScheduler"),
      backgroundScheduler_(RSScheduler::scheduler()) {}

RSDisposablePtr RSSubscriptionScheduler::schedule(Block block) {
  if (!RSScheduler::hasCurrentScheduler()) return backgroundScheduler_->schedule(std::move(block));
  block();
  return nullptr;
}

RSDisposablePtr RSSubscriptionScheduler::after(RSDate date, Block block) {
  RSSchedulerPtr scheduler = RSScheduler::currentScheduler();
  if (!scheduler) scheduler = backgroundScheduler_;
  return scheduler->after(date, std::move(block));
}

RSDisposablePtr RSSubscriptionScheduler::after(RSDate date, RSTimeInterval interval, RSTimeInterval leeway, Block block) {
  RSSchedulerPtr scheduler = RSScheduler::currentScheduler();
  if (!scheduler) scheduler = backgroundScheduler_;
  return scheduler->after(date, interval, leeway, std::move(block));
}
