#include "support/RandomUser.h"

#include <algorithm>
#include <cstdio>

namespace xtest {

namespace {

using namespace std::chrono_literals;

constexpr const char* kKindNames[RandomUser::kKinds] = {"click", "double click", "triple click", "right click",
                                                       "middle click", "long press", "drag", "wheel",
                                                       "hover", "key", "text"};
// How often each kind comes, out of their sum.
constexpr int kKindWeights[RandomUser::kKinds] = {26, 8, 2, 10, 2, 4, 12, 10, 4, 12, 10};
constexpr size_t kLogLength = 40;

// Characters beyond ASCII: accents, other scripts, right-to-left letters,
// a combining mark, joiners and marks of no width, emoji outside the basic
// plane, a ligature and a full-width letter.
constexpr const char* kOtherCharacters[] = {
    "é", "ü", "ß", "ñ", "Ø", "€", "£", "µ", "¿", "Ω", "λ", "Ж", "я", "ש", "ع", "漢", "字", "あ", "한",
    "🎸", "😀", "\xcc\x81", "\xe2\x80\x8d", "\xe2\x80\x8f", "\xc2\xa0", "ﬁ", "Ａ"};
constexpr const char kAsciiCharacters[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 _-.,;:!?'\"/\\()[]{}<>@#$%^&*+=~`|";

struct KeyChoice {
  unsigned long sym;
  unsigned modifiers;
  const char* name;
};
constexpr KeyChoice kKeys[] = {
    {keysym::Return, 0, "Return"},
    {keysym::Escape, 0, "Escape"},
    {keysym::Tab, 0, "Tab"},
    {keysym::Tab, XKeyboard::Shift, "Shift+Tab"},
    {keysym::BackSpace, 0, "BackSpace"},
    {keysym::Delete, 0, "Delete"},
    {keysym::Left, 0, "Left"},
    {keysym::Right, 0, "Right"},
    {keysym::Up, 0, "Up"},
    {keysym::Down, 0, "Down"},
    {keysym::Left, XKeyboard::Shift, "Shift+Left"},
    {keysym::Down, XKeyboard::Shift, "Shift+Down"},
    {keysym::Home, 0, "Home"},
    {keysym::End, 0, "End"},
    {keysym::PageUp, 0, "PageUp"},
    {keysym::PageDown, 0, "PageDown"},
    {keysym::Space, 0, "Space"},
    {'a', XKeyboard::Control, "Ctrl+A"},
    {'c', XKeyboard::Control, "Ctrl+C"},
    {'v', XKeyboard::Control, "Ctrl+V"},
    {'x', XKeyboard::Control, "Ctrl+X"},
    {'z', XKeyboard::Control, "Ctrl+Z"},
    {'z', XKeyboard::Control | XKeyboard::Shift, "Ctrl+Shift+Z"},
    {'s', XKeyboard::Control, "Ctrl+S"},
    {'w', XKeyboard::Control, "Ctrl+W"},
    {'q', XKeyboard::Control, "Ctrl+Q"},
    {keysym::F1 + 3, XKeyboard::Alt, "Alt+F4"},
    {keysym::Return, XKeyboard::Alt, "Alt+Return"},
};

std::string at(int x, int y) { return "(" + std::to_string(x) + "," + std::to_string(y) + ")"; }

std::string modifierText(unsigned m) {
  std::string s;
  if (m & XKeyboard::Control) s += " ctrl";
  if (m & XKeyboard::Alt) s += " alt";
  if (m & XKeyboard::Shift) s += " shift";
  return s;
}

}  // namespace

RandomUser::RandomUser(uint64_t seed, Look look) : look_(std::move(look)), rng_(seed) {}

RandomUser::~RandomUser() { stop(); }

std::string RandomUser::problem() const {
  if (!pointer_.problem().empty()) return pointer_.problem();
  return keyboard_.problem();
}

void RandomUser::start() {
  // Every character it may type has its key before the first is typed.
  std::string all;
  for (const char* c : kOtherCharacters) all += c;
  keyboard_.reserve(all);
  keyboard_.flush();
  started_ = std::chrono::steady_clock::now();
  thread_ = std::thread([this] { run(); });
}

void RandomUser::stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
}

int RandomUser::between(int from, int to) { return std::uniform_int_distribution<int>(from, to)(rng_); }

void RandomUser::pauseMs(int from, int to) { std::this_thread::sleep_for(std::chrono::milliseconds(between(from, to))); }

std::string RandomUser::randomText(std::mt19937_64& rng) {
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  // Mostly short, as names are; now and then longer than any field takes.
  const int length = pick(20) == 0 ? 20 + pick(21) : 1 + pick(12);
  std::string text;
  for (int i = 0; i < length; ++i) {
    if (pick(100) < 55)
      text += kAsciiCharacters[pick(int(sizeof kAsciiCharacters) - 1)];
    else
      text += kOtherCharacters[pick(int(std::size(kOtherCharacters)))];
  }
  return text;
}

void RandomUser::run() {
  while (!stopping_) {
    const std::optional<Scene> scene = look_();
    if (!scene || scene->windows.empty()) {
      std::this_thread::sleep_for(50ms);
      continue;
    }
    // Now and then a burst: a few actions on what was shown, without
    // waiting for the program to catch up.
    for (int n = chance(20) ? between(2, 6) : 1; n > 0 && !stopping_; --n) {
      act(*scene);
      ++actions_;
    }
    pauseMs(0, 30);
  }
  keyboard_.flush();
  pointer_.flush();
}

RandomUser::Point RandomUser::inside(const Area& a) {
  if (a.empty()) return {a.x, a.y};
  if (chance(30)) return {a.x + a.w / 2, a.y + a.h / 2};
  return {a.x + between(0, a.w - 1), a.y + between(0, a.h - 1)};
}

RandomUser::Point RandomUser::aim(const Scene& s) {
  auto pick = [&](const std::vector<Area>& areas) { return inside(areas[size_t(between(0, int(areas.size()) - 1))]); };
  if (!s.front.empty() && chance(55)) return pick(s.front);
  const int roll = between(0, 99);
  if (roll < 25 && !s.buttons.empty()) return pick(s.buttons);
  if (roll < 42 && !s.controls.empty()) return pick(s.controls);
  if (roll < 50 && !s.fields.empty()) return pick(s.fields);
  if (roll < 75 && !s.views.empty()) return pick(s.views);
  if (roll < 95 && !s.windows.empty()) return pick(s.windows);
  return inside(s.screen);
}

RandomUser::Point RandomUser::aimAtField(const Scene& s) {
  if (s.fields.empty() || chance(30)) return aim(s);
  return inside(s.fields[size_t(between(0, int(s.fields.size()) - 1))]);
}

void RandomUser::moveTo(Point p) {
  // By way of a point beside it: the program drops a move to where the
  // pointer already is.
  pointer_.moveTo(p.x + (p.x > 2 ? -2 : 2), p.y + 1);
  pointer_.moveTo(p.x, p.y, 5);
  pointer_.flush();
}

void RandomUser::click(XPointer::Button button, Point p, int count, unsigned modifiers) {
  moveTo(p);
  keyboard_.hold(modifiers, true);
  keyboard_.flush();
  for (int i = 0; i < count; ++i) {
    pointer_.press(button, i == 0 ? 0 : unsigned(between(30, 150)));
    pointer_.release(button, unsigned(between(0, 120)));
  }
  pointer_.flush();
  keyboard_.hold(modifiers, false);
  keyboard_.flush();
}

void RandomUser::drag(Point from, Point to, XPointer::Button button) {
  moveTo(from);
  pointer_.press(button);
  pointer_.flush();
  const int steps = between(2, 12);
  for (int i = 1; i <= steps; ++i) {
    pauseMs(5, 40);
    const int x = from.x + (to.x - from.x) * i / steps + (i < steps ? between(-6, 6) : 0);
    const int y = from.y + (to.y - from.y) * i / steps + (i < steps ? between(-6, 6) : 0);
    pointer_.moveTo(x, y);
    pointer_.flush();
  }
  pauseMs(0, 100);
  pointer_.release(button);
  pointer_.flush();
}

void RandomUser::act(const Scene& s) {
  int roll = between(0, 99);
  int kind = 0;
  while (roll >= kKindWeights[kind]) roll -= kKindWeights[kind++];
  ++counts_[kind];
  const Point p = kind == Text ? aimAtField(s) : aim(s);
  const unsigned modifiers = chance(15) ? unsigned(chance(50) ? XKeyboard::Shift : XKeyboard::Control) : 0u;
  switch (Kind(kind)) {
    case Click:
      note(Click, at(p.x, p.y) + modifierText(modifiers));
      click(XPointer::Left, p, 1, modifiers);
      break;
    case DoubleClick:
      note(DoubleClick, at(p.x, p.y));
      click(XPointer::Left, p, 2, 0);
      break;
    case TripleClick:
      note(TripleClick, at(p.x, p.y));
      click(XPointer::Left, p, 3, 0);
      break;
    case RightClick:
      note(RightClick, at(p.x, p.y));
      click(XPointer::Right, p, 1, 0);
      break;
    case MiddleClick:
      note(MiddleClick, at(p.x, p.y));
      click(XPointer::Middle, p, 1, 0);
      break;
    case LongPress: {
      const int ms = between(300, 1500);
      note(LongPress, at(p.x, p.y) + " " + std::to_string(ms) + " ms");
      moveTo(p);
      pointer_.press(XPointer::Left);
      pointer_.flush();
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      pointer_.release(XPointer::Left);
      pointer_.flush();
      break;
    }
    case Drag: {
      const Point to = aim(s);
      const auto button = chance(90) ? XPointer::Left : XPointer::Right;
      note(Drag, at(p.x, p.y) + " to " + at(to.x, to.y) + (button == XPointer::Right ? " right" : ""));
      drag(p, to, button);
      break;
    }
    case Wheel: {
      const int roll2 = between(0, 99);
      const auto button = roll2 < 45   ? XPointer::WheelUp
                          : roll2 < 90 ? XPointer::WheelDown
                          : roll2 < 95 ? XPointer::WheelLeft
                                       : XPointer::WheelRight;
      const int notches = between(1, 8);
      note(Wheel, at(p.x, p.y) + " button " + std::to_string(int(button)) + " x" + std::to_string(notches));
      moveTo(p);
      for (int i = 0; i < notches; ++i) {
        pointer_.press(button, unsigned(between(0, 40)));
        pointer_.release(button);
      }
      pointer_.flush();
      break;
    }
    case Hover: {
      note(Hover, at(p.x, p.y));
      moveTo(p);
      for (int i = between(0, 4); i > 0; --i) {
        pauseMs(10, 60);
        moveTo(aim(s));
      }
      break;
    }
    case Key: {
      const KeyChoice& k = kKeys[size_t(between(0, int(std::size(kKeys)) - 1))];
      // Now and then a letter or digit instead, as a user types into the
      // wrong place.
      if (chance(20)) {
        static constexpr char kPlain[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        const char c = kPlain[between(0, int(sizeof kPlain) - 2)];
        note(Key, std::string(1, c));
        keyboard_.tap(static_cast<unsigned char>(c));
      } else {
        note(Key, k.name);
        keyboard_.tap(k.sym, k.modifiers);
      }
      keyboard_.flush();
      break;
    }
    case Text: {
      const std::string text = randomText(rng_);
      const bool into = chance(70);
      const int ending = between(0, 9);  // Return, Escape or Tab after it now and then
      note(Text, (into ? "at " + at(p.x, p.y) + " " : "") + "\"" + text + "\"" +
                     (ending == 0 ? " Return" : ending == 1 ? " Escape" : ending == 2 ? " Tab" : ""));
      if (into) click(XPointer::Left, p, chance(30) ? 2 : 1, 0);
      keyboard_.type(text);
      if (ending < 3) keyboard_.tap(ending == 0 ? keysym::Return : ending == 1 ? keysym::Escape : keysym::Tab);
      keyboard_.flush();
      break;
    }
    case kKinds:
      break;
  }
}

void RandomUser::note(Kind kind, const std::string& what) {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%9.3f s  ", seconds);
  std::lock_guard guard(logMutex_);
  log_.push_back(stamp + std::string(kKindNames[kind]) + " " + what);
  if (log_.size() > kLogLength) log_.pop_front();
}

std::string RandomUser::summary() const {
  std::string s;
  for (int k = 0; k < kKinds; ++k) s += (k ? ", " : "") + std::string(kKindNames[k]) + " " + std::to_string(counts_[k].load());
  return s;
}

std::string RandomUser::recent() const {
  std::unique_lock guard(logMutex_, std::defer_lock);
  if (!guard.try_lock_for(std::chrono::milliseconds(200))) return "  (the log of actions is busy)\n";
  std::string s;
  for (const auto& line : log_) s += "  " + line + "\n";
  return s;
}

}  // namespace xtest
