#include "platform/ui/Animation.h"

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "platform/ui/Application.h"
#include "platform/ui/View.h"

namespace ui {

// ---- clock

AnimationClock& AnimationClock::shared() {
  static auto* clock = new AnimationClock();
  return *clock;
}

namespace {
QElapsedTimer& elapsed() {
  static QElapsedTimer t;
  if (!t.isValid()) t.start();
  return t;
}
}  // namespace

AnimationClock::AnimationClock() = default;

uint64_t AnimationClock::subscribe(Tick tick) {
  const uint64_t token = next_++;
  ticks_[token] = std::make_shared<Tick>(std::move(tick));
  updateTimer();
  return token;
}

void AnimationClock::unsubscribe(uint64_t token) {
  ticks_.erase(token);
  updateTimer();
}

bool AnimationClock::isRunning() const { return timer_ && timer_->isActive(); }

double AnimationClock::now() const { return manual_ ? manualNow_ : elapsed().nsecsElapsed() / 1e9; }

void AnimationClock::setManual(bool manual) {
  if (manual && !manual_) manualNow_ = elapsed().nsecsElapsed() / 1e9;
  manual_ = manual;
  updateTimer();
}

void AnimationClock::advance(double seconds) {
  if (!manual_) return;
  while (seconds > 0) {
    const double step = std::min(seconds, kFrameInterval);
    manualNow_ += step;
    seconds -= step;
    tickAll();
  }
}

void AnimationClock::tickAll() {
  const double t = now();
  // Listeners may subscribe or unsubscribe while ticking.
  std::vector<std::pair<uint64_t, std::shared_ptr<Tick>>> snapshot(ticks_.begin(), ticks_.end());
  for (auto& [token, tick] : snapshot)
    if (ticks_.count(token)) (*tick)(t);
}

void AnimationClock::updateTimer() {
  const bool want = !manual_ && !ticks_.empty();
  if (want && !timer_) {
    timer_ = new QTimer();
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(int(kFrameInterval * 1000));
    QObject::connect(timer_, &QTimer::timeout, [this] { tickAll(); });
  }
  if (!timer_) return;
  if (want && !timer_->isActive()) timer_->start();
  if (!want && timer_->isActive()) timer_->stop();
}

// ---- groups and fades

struct AnimationContext::Group {
  int pending = 0;
  bool open = true;  // still being set up
  std::function<void()> completion;

  void endOne() {
    if (--pending == 0 && !open) complete();
  }
  void complete() {
    if (auto c = std::move(completion)) {
      completion = nullptr;
      c();
    }
  }
};

namespace {
thread_local AnimationContext* tCurrent = nullptr;

struct Fade {
  std::weak_ptr<View> view;
  double from = 1;
  double to = 1;
  double start = 0;
  double duration = 0;
  std::shared_ptr<AnimationContext::Group> group;
};

struct Fades {
  std::map<const View*, Fade> running;
  uint64_t token = 0;

  void tick(double now) {
    std::vector<std::shared_ptr<AnimationContext::Group>> ended;
    for (auto it = running.begin(); it != running.end();) {
      Fade& f = it->second;
      auto v = f.view.lock();
      const double t = f.duration > 0 ? std::clamp((now - f.start) / f.duration, 0.0, 1.0) : 1.0;
      if (v) v->setAlphaValue(f.from + (f.to - f.from) * t);
      if (!v || t >= 1) {
        if (f.group) ended.push_back(f.group);
        it = running.erase(it);
      } else {
        ++it;
      }
    }
    if (running.empty()) stop();
    for (auto& g : ended) g->endOne();
  }
  void ensureTicking() {
    if (!token) token = AnimationClock::shared().subscribe([this](double now) { tick(now); });
  }
  void stop() {
    if (token) AnimationClock::shared().unsubscribe(token);
    token = 0;
  }
};

Fades& fades() {
  static auto* f = new Fades();
  return *f;
}
}  // namespace

void AnimationContext::runAnimationGroup(const std::function<void(AnimationContext&)>& changes,
                                         std::function<void()> completion) {
  AnimationContext ctx;
  ctx.group_ = std::make_shared<Group>();
  ctx.group_->completion = std::move(completion);
  ctx.previous_ = tCurrent;
  tCurrent = &ctx;
  if (changes) changes(ctx);
  tCurrent = ctx.previous_;
  auto group = ctx.group_;
  group->open = false;
  if (group->pending == 0) {
    Application::performOnMainThread([group] { group->complete(); });
  }
}

AnimationContext* AnimationContext::current() { return tCurrent; }

void animateAlpha(View& view, double to) {
  AnimationContext* ctx = AnimationContext::current();
  const double duration = ctx ? ctx->duration() : AnimationContext::kDefaultDuration;
  auto& f = fades();
  // A running fade of this view ends here, in favour of the new one.
  std::shared_ptr<AnimationContext::Group> replacedGroup;
  if (auto it = f.running.find(&view); it != f.running.end()) {
    replacedGroup = it->second.group;
    f.running.erase(it);
  }
  std::shared_ptr<AnimationContext::Group> group = ctx ? ctx->group_ : nullptr;
  if (duration <= 0) {
    view.setAlphaValue(to);
  } else {
    Fade fade;
    fade.view = view.sharedFromThis();
    fade.from = view.alphaValue();
    fade.to = to;
    fade.start = AnimationClock::shared().now();
    fade.duration = duration;
    fade.group = group;
    if (group) ++group->pending;
    f.running[&view] = std::move(fade);
    f.ensureTicking();
  }
  if (replacedGroup) replacedGroup->endOne();
  if (f.running.empty()) f.stop();
}

size_t runningFadeCount() { return fades().running.size(); }

void ViewAnimator::setAlphaValue(double alpha) { animateAlpha(view_, alpha); }

}  // namespace ui
