#include "platform/dispatch/TimerSource.h"

#include <algorithm>
#include <mutex>
#include <optional>

#include "platform/dispatch/Core.h"
#include "platform/dispatch/ThreadContext.h"

namespace dispatch::detail {

class TimerState final : public TimerTarget, public std::enable_shared_from_this<TimerState> {
public:
  explicit TimerState(std::shared_ptr<Queue> q) : queue(std::move(q)) {}

  void setTimer(Clock::duration startIn, Clock::duration every) {
    std::optional<Arm> arm;
    {
      std::lock_guard lock(mutex);
      if (cancelled) return;
      start = std::max(startIn, Clock::duration::zero());
      interval = std::max(every, Clock::duration::zero());
      configured = true;
      if (resumed) arm = armLocked();
    }
    if (arm) schedule(*arm);
  }

  void setEventHandler(Task task) {
    auto fresh = std::make_shared<Task>(std::move(task));
    std::lock_guard lock(mutex);
    if (!cancelled) handler.swap(fresh);
  }

  void setCancelHandler(Task task) {
    std::lock_guard lock(mutex);
    if (!cancelled) cancelHandler.swap(task);  // the old one goes with task, after unlocking
  }

  void resume() {
    std::optional<Arm> arm;
    {
      std::lock_guard lock(mutex);
      if (cancelled || resumed) return;
      resumed = true;
      if (configured) arm = armLocked();
    }
    if (arm) schedule(*arm);
  }

  void cancel() {
    Task toSubmit;
    std::shared_ptr<Task> released;
    {
      std::lock_guard lock(mutex);
      if (cancelled) return;
      cancelled = true;
      ++generation;
      released = std::move(handler);
      // With a delivery pending or running, that delivery submits the cancel
      // handler once the handler is done.
      if (!deliveryScheduled) toSubmit = takeCancelHandlerLocked();
    }
    if (toSubmit) queue->async(std::move(toSubmit));
  }

  bool isCancelled() const {
    std::lock_guard lock(mutex);
    return cancelled;
  }

  uint64_t data() const {
    std::lock_guard lock(mutex);
    return lastData;
  }

  void fire(Clock::time_point deadline, uint64_t gen, Clock::time_point now) override {
    std::optional<Clock::time_point> next;
    bool deliver = false;
    {
      std::lock_guard lock(mutex);
      if (cancelled || gen != generation) return;
      uint64_t count = 1;
      if (interval > Clock::duration::zero()) {
        Clock::time_point following = deadline + interval;
        if (following <= now) {
          auto missed = static_cast<uint64_t>((now - deadline) / interval);
          count += missed;
          following = deadline + interval * static_cast<Clock::rep>(missed + 1);
        }
        next = following;
      }
      pendingFires += count;
      if (!deliveryScheduled) {
        deliveryScheduled = true;
        deliver = true;
      }
    }
    if (next) queue->core()->scheduleTimer(*next, weak_from_this(), gen);
    if (deliver) submitDelivery();
  }

private:
  struct Arm {
    Clock::time_point deadline;
    uint64_t generation;
  };

  Arm armLocked() {
    ++generation;
    return Arm{dispatch::now() + start, generation};
  }

  void schedule(const Arm& arm) { queue->core()->scheduleTimer(arm.deadline, weak_from_this(), arm.generation); }

  void submitDelivery() {
    queue->async([self = shared_from_this()] { self->deliver(); });
  }

  void deliver() {
    std::shared_ptr<Task> call;
    Task toSubmit;
    {
      std::lock_guard lock(mutex);
      if (cancelled) {
        deliveryScheduled = false;
        toSubmit = takeCancelHandlerLocked();
      } else {
        lastData = pendingFires;
        pendingFires = 0;
        call = handler;
      }
    }
    if (toSubmit) {
      queue->async(std::move(toSubmit));
      return;
    }
    if (call && *call) runTask(*call, queue->label());
    bool again = false;
    {
      std::lock_guard lock(mutex);
      if (cancelled) {
        deliveryScheduled = false;
        toSubmit = takeCancelHandlerLocked();
      } else if (pendingFires > 0) {
        again = true;  // stays scheduled: fires came in while the handler ran
      } else {
        deliveryScheduled = false;
      }
    }
    if (toSubmit) queue->async(std::move(toSubmit));
    if (again) submitDelivery();
  }

  Task takeCancelHandlerLocked() {
    Task task = std::move(cancelHandler);
    cancelHandler = nullptr;
    return task;
  }

  const std::shared_ptr<Queue> queue;
  mutable std::mutex mutex;
  std::shared_ptr<Task> handler;
  Task cancelHandler;
  Clock::duration start{};
  Clock::duration interval{};
  bool configured = false;
  bool resumed = false;
  bool cancelled = false;
  // Set while a delivery is queued or running; at most one at a time.
  bool deliveryScheduled = false;
  uint64_t generation = 0;
  uint64_t pendingFires = 0;
  uint64_t lastData = 0;
};

}  // namespace dispatch::detail

namespace dispatch {

TimerSource::TimerSource(std::shared_ptr<Queue> queue)
    : state_(std::make_shared<detail::TimerState>(queue ? std::move(queue) : Queue::global())) {}

TimerSource::~TimerSource() { state_->cancel(); }

void TimerSource::setTimer(Clock::duration start, Clock::duration interval, Clock::duration /*leeway*/) {
  state_->setTimer(start, interval);
}

void TimerSource::setEventHandler(Task handler) { state_->setEventHandler(std::move(handler)); }

void TimerSource::setCancelHandler(Task handler) { state_->setCancelHandler(std::move(handler)); }

void TimerSource::resume() { state_->resume(); }

void TimerSource::cancel() { state_->cancel(); }

bool TimerSource::isCancelled() const { return state_->isCancelled(); }

uint64_t TimerSource::data() const { return state_->data(); }

}  // namespace dispatch
