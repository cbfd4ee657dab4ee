#include "platform/dispatch/Runtime.h"

#include "platform/dispatch/Core.h"
#include "platform/dispatch/QueueKinds.h"

namespace dispatch {

namespace {
constexpr auto kDestructorShutdownBound = std::chrono::seconds(2);

const char* priorityName(Priority priority) {
  switch (priority) {
    case Priority::High: return "high";
    case Priority::Default: return "default";
    case Priority::Low: return "low";
    case Priority::Background: return "background";
  }
  return "default";
}
}  // namespace

std::shared_ptr<Runtime> Runtime::shared() {
  // Never freed: queues and threads may use it until the process ends.
  static auto* runtime = new std::shared_ptr<Runtime>(new Runtime("qv450", 0));
  return *runtime;
}

std::shared_ptr<Runtime> Runtime::create(std::string name, unsigned workers) {
  return std::shared_ptr<Runtime>(new Runtime(std::move(name), workers));
}

Runtime::Runtime(std::string name, unsigned workers) : core_(detail::Core::create(std::move(name), workers)) {
  for (int i = 0; i < kPriorityCount; ++i) {
    auto priority = static_cast<Priority>(i);
    globals_[i] = std::make_shared<detail::GlobalQueue>(core_->name() + ".global." + priorityName(priority), core_,
                                                        priority);
  }
}

Runtime::~Runtime() {
  if (!core_->isShutDown()) core_->shutdown(kDestructorShutdownBound);
}

const std::string& Runtime::name() const { return core_->name(); }

unsigned Runtime::workerCount() const { return core_->workerCount(); }

std::shared_ptr<Queue> Runtime::global(Priority priority) const {
  return globals_[static_cast<size_t>(priority)];
}

std::shared_ptr<Queue> Runtime::createSerial(std::string label, std::shared_ptr<Queue> target) const {
  if (!target) target = global(Priority::Default);
  return std::make_shared<detail::SerialQueue>(std::move(label), core_, std::move(target));
}

std::shared_ptr<Queue> Runtime::createConcurrent(std::string label) const {
  return std::make_shared<detail::ConcurrentQueue>(std::move(label), core_);
}

bool Runtime::shutdown(Clock::duration bound) { return core_->shutdown(bound); }

bool Runtime::isShutDown() const { return core_->isShutDown(); }

size_t Runtime::droppedCount() const { return core_->droppedCount(); }

bool shutdown(Clock::duration bound) { return Runtime::shared()->shutdown(bound); }

}  // namespace dispatch
