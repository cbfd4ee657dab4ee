#include "platform/ui/Timer.h"

#include <QTimer>
#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace ui {

namespace {
std::set<std::shared_ptr<Timer>>& live() {
  static auto* timers = new std::set<std::shared_ptr<Timer>>();
  return *timers;
}
std::multimap<const void*, std::weak_ptr<Timer>>& requests() {
  static auto* r = new std::multimap<const void*, std::weak_ptr<Timer>>();
  return *r;
}
// Timeouts being handled: a QTimer must not be deleted inside its own.
int timeoutDepth = 0;
}  // namespace

Timer::Timer(double seconds, bool repeats, bool hasOwner, std::weak_ptr<void> owner, Fn fn)
    : seconds_(std::max(0.0, seconds)), repeats_(repeats), hasOwner_(hasOwner), owner_(std::move(owner)),
      fn_(std::move(fn)) {}

Timer::~Timer() {
  if (qtimer_) {
    qtimer_->stop();
    if (timeoutDepth > 0) {
      qtimer_->deleteLater();
    } else {
      delete qtimer_;
    }
  }
}

std::shared_ptr<Timer> Timer::scheduled(double seconds, bool repeats, Fn fn) {
  std::shared_ptr<Timer> t(new Timer(seconds, repeats, false, {}, std::move(fn)));
  t->start();
  return t;
}

std::shared_ptr<Timer> Timer::scheduled(double seconds, bool repeats, std::weak_ptr<void> owner, Fn fn) {
  std::shared_ptr<Timer> t(new Timer(seconds, repeats, true, std::move(owner), std::move(fn)));
  t->start();
  return t;
}

void Timer::start() {
  live().insert(shared_from_this());
  qtimer_ = new QTimer();
  qtimer_->setTimerType(Qt::PreciseTimer);
  qtimer_->setSingleShot(!repeats_);
  // A zero interval would spin: a repeating timer fires at most every millisecond.
  const int ms = int(std::lround(seconds_ * 1000));
  qtimer_->setInterval(repeats_ ? std::max(1, ms) : ms);
  std::weak_ptr<Timer> weak = shared_from_this();
  QObject::connect(qtimer_, &QTimer::timeout, [weak] {
    ++timeoutDepth;
    if (auto t = weak.lock()) t->fire();
    --timeoutDepth;
  });
  qtimer_->start();
}

void Timer::fire() {
  if (!valid_) return;
  auto keep = shared_from_this();
  if (hasOwner_ && owner_.expired()) {
    invalidate();
    return;
  }
  if (!repeats_) valid_ = false;
  auto owner = owner_.lock();  // held for the call
  if (fn_) fn_(*this);
  if (!repeats_) invalidate();
}

void Timer::invalidate() {
  valid_ = false;
  if (qtimer_) qtimer_->stop();
  fn_ = nullptr;  // drops what the function holds
  auto self = weak_from_this().lock();
  if (self) live().erase(self);
}

size_t Timer::liveCount() { return live().size(); }

void performAfterDelay(const std::shared_ptr<void>& owner, double seconds, std::function<void()> fn) {
  const void* key = owner.get();
  auto t = Timer::scheduled(seconds, false, owner, [key, fn = std::move(fn)](Timer& self) {
    auto& r = requests();
    for (auto it = r.lower_bound(key); it != r.end() && it->first == key;) {
      auto s = it->second.lock();
      it = (!s || s.get() == &self) ? r.erase(it) : std::next(it);
    }
    fn();
  });
  requests().emplace(key, t);
}

void cancelPreviousPerformRequests(const void* owner) {
  auto& r = requests();
  auto range = r.equal_range(owner);
  std::vector<std::shared_ptr<Timer>> doomed;
  for (auto it = range.first; it != range.second; ++it)
    if (auto t = it->second.lock()) doomed.push_back(t);
  r.erase(range.first, range.second);
  for (auto& t : doomed) t->invalidate();
}

}  // namespace ui
