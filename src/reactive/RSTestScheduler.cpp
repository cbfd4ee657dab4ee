#include "reactive/RSTestScheduler.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "reactive/RSDebug.h"

namespace {

// The reference date from which directly scheduled blocks are dated: the first
// instant of 2001 (UTC).
RSDate referenceDate() { return RSDate(std::chrono::seconds(978307200)); }

std::string formatDate(RSDate date) {
  std::time_t t = std::chrono::system_clock::to_time_t(date);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S +0000", &tm);
  return buf;
}

}  // namespace

RSTestSchedulerAction::RSTestSchedulerAction(RSDate date, RSScheduler::Block block)
    : date_(date), block_(std::move(block)), disposable_(RSDisposable::create()) {}

std::string RSTestSchedulerAction::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return std::string("<RSTestSchedulerAction: ") + address + ">{ date: " + formatDate(date_) + " }";
}

bool RSTestScheduler::Later::operator()(const Entry& a, const Entry& b) const {
  if (a.action->date() != b.action->date()) return a.action->date() > b.action->date();
  return a.sequence > b.sequence;
}

RSTestScheduler::RSTestScheduler() : RSScheduler(RSLabel(".RSTestScheduler"), "RSTestScheduler") {}

RSTestScheduler::~RSTestScheduler() { stepAll(); }

void RSTestScheduler::addActionLocked(const RSTestSchedulerActionPtr& action) {
  heap_.push_back(Entry{action, nextSequence_++});
  std::push_heap(heap_.begin(), heap_.end(), Later());
}

RSDisposablePtr RSTestScheduler::schedule(Block block) {
  std::lock_guard lock(mutex_);
  auto date = referenceDate() + std::chrono::seconds(numberOfDirectlyScheduledBlocks_);
  ++numberOfDirectlyScheduledBlocks_;
  auto action = std::make_shared<RSTestSchedulerAction>(date, std::move(block));
  addActionLocked(action);
  return action->disposable();
}

RSDisposablePtr RSTestScheduler::after(RSDate date, Block block) {
  std::lock_guard lock(mutex_);
  auto action = std::make_shared<RSTestSchedulerAction>(date, std::move(block));
  addActionLocked(action);
  return action->disposable();
}

RSDisposablePtr RSTestScheduler::after(RSDate date, RSTimeInterval interval, RSTimeInterval leeway, Block block) {
  std::lock_guard lock(mutex_);
  auto compound = RSCompoundDisposable::compoundDisposable();
  std::weak_ptr<RSScheduler> weakSelf = weak_from_this();
  auto shared = std::make_shared<const Block>(std::move(block));
  auto ownDisposable = std::make_shared<std::weak_ptr<RSDisposable>>();
  auto action = std::make_shared<RSTestSchedulerAction>(date, [=] {
    if (auto own = ownDisposable->lock()) compound->removeDisposable(own);
    if (auto self = weakSelf.lock()) {
      auto next = date + std::chrono::duration_cast<RSDate::duration>(std::chrono::duration<double>(interval));
      compound->addDisposable(self->after(next, interval, leeway, *shared));
    }
    (*shared)();
  });
  *ownDisposable = action->disposable();
  addActionLocked(action);
  compound->addDisposable(action->disposable());
  return compound;
}

void RSTestScheduler::step() { step(1); }

void RSTestScheduler::stepAll() { step(std::numeric_limits<uint64_t>::max()); }

void RSTestScheduler::step(uint64_t ticks) {
  std::lock_guard lock(mutex_);
  for (uint64_t i = 0; i < ticks; ++i) {
    if (heap_.empty()) return;
    std::pop_heap(heap_.begin(), heap_.end(), Later());
    RSTestSchedulerActionPtr action = std::move(heap_.back().action);
    heap_.pop_back();
    if (action->disposable()->isDisposed()) continue;
    performAsCurrentScheduler(action->block());
  }
}

std::vector<RSTestSchedulerActionPtr> RSTestScheduler::scheduledActions() const {
  std::lock_guard lock(mutex_);
  std::vector<Entry> sorted = heap_;
  std::sort(sorted.begin(), sorted.end(), [](const Entry& a, const Entry& b) { return Later()(b, a); });
  std::vector<RSTestSchedulerActionPtr> out;
  out.reserve(sorted.size());
  for (auto& e : sorted) out.push_back(e.action);
  return out;
}

uint64_t RSTestScheduler::numberOfDirectlyScheduledBlocks() const {
  std::lock_guard lock(mutex_);
  return numberOfDirectlyScheduledBlocks_;
}

void RSTestScheduler::setNumberOfDirectlyScheduledBlocks(uint64_t count) {
  std::lock_guard lock(mutex_);
  numberOfDirectlyScheduledBlocks_ = count;
}
