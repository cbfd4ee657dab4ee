#include "support/XKeyboard.h"

#include <algorithm>

#ifdef QV450_HAVE_XTEST
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#endif

namespace xtest {

std::vector<char32_t> codePoints(const std::string& utf8) {
  std::vector<char32_t> out;
  for (size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const size_t length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    char32_t cp = length == 1 ? b : length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
    bool good = length > 0 && i + length <= utf8.size();
    for (size_t k = 1; good && k < length; ++k) {
      const auto c = static_cast<unsigned char>(utf8[i + k]);
      good = (c & 0xC0) == 0x80;
      cp = (cp << 6) | (c & 0x3F);
    }
    out.push_back(good ? cp : b);
    i += good ? length : 1;
  }
  return out;
}

#ifdef QV450_HAVE_XTEST

namespace {
// The key symbol of a character: Latin-1 has its own, everything else the
// Unicode range of key symbols.
KeySym symbolOf(char32_t cp) {
  if ((cp >= 0x20 && cp <= 0x7E) || (cp >= 0xA0 && cp <= 0xFF)) return cp;
  return 0x01000000 | cp;
}
}  // namespace

XKeyboard::XKeyboard() {
  Display* d = display_.as<Display>();
  if (!d) return;
  XDisplayKeycodes(d, &minCode_, &maxCode_);
  KeySym* map = XGetKeyboardMapping(d, static_cast<KeyCode>(minCode_), maxCode_ - minCode_ + 1, &perCode_);
  if (!map) return;
  original_.assign(map, map + (maxCode_ - minCode_ + 1) * perCode_);
  XFree(map);
  map_ = original_;
  // Spare: no symbol, or only the vendor's keys (media, power, browser).
  for (int code = minCode_; code <= maxCode_; ++code) {
    const auto first = original_.begin() + (code - minCode_) * perCode_;
    if (std::all_of(first, first + perCode_, [](KeySym s) { return s == NoSymbol || (s >= 0x1008FE00 && s <= 0x1008FFFF); }))
      spares_.push_back(static_cast<unsigned>(code));
  }
}

XKeyboard::~XKeyboard() {
  if (window_) XDestroyWindow(display_.as<Display>(), window_);
  if (display_ && map_ != original_)
    XChangeKeyboardMapping(display_.as<Display>(), minCode_, perCode_, original_.data(), maxCode_ - minCode_ + 1);
}

bool XKeyboard::reserve(const std::string& utf8) {
  if (!display_) return false;
  bool changed = false;
  for (char32_t cp : codePoints(utf8)) {
    if (cp >= 0x20 && cp <= 0x7E) continue;
    const KeySym sym = symbolOf(cp);
    if (std::any_of(given_.begin(), given_.end(), [&](const auto& g) { return g.first == sym; })) continue;
    if (given_.size() == spares_.size()) return false;
    const unsigned code = spares_[given_.size()];
    given_.emplace_back(sym, code);
    const auto first = map_.begin() + (int(code) - minCode_) * perCode_;
    std::fill(first, first + perCode_, NoSymbol);
    first[0] = first[1] = sym;
    changed = true;
  }
  if (changed) XChangeKeyboardMapping(display_.as<Display>(), minCode_, perCode_, map_.data(), maxCode_ - minCode_ + 1);
  return true;
}

bool XKeyboard::keyOf(unsigned long sym, Key& key) const {
  const KeyCode code = XKeysymToKeycode(display_.as<Display>(), sym);
  if (code == 0) return false;
  key.code = code;
  if (XkbKeycodeToKeysym(display_.as<Display>(), code, 0, 0) == sym) return true;
  key.shifted = XkbKeycodeToKeysym(display_.as<Display>(), code, 0, 1) == sym;
  return key.shifted;
}

std::vector<unsigned> XKeyboard::modifierCodes(unsigned modifiers) const {
  std::vector<unsigned> codes;
  if (modifiers & Control) codes.push_back(XKeysymToKeycode(display_.as<Display>(), keysym::ControlL));
  if (modifiers & Alt) codes.push_back(XKeysymToKeycode(display_.as<Display>(), keysym::AltL));
  if (modifiers & Shift) codes.push_back(XKeysymToKeycode(display_.as<Display>(), keysym::ShiftL));
  return codes;
}

void XKeyboard::hold(unsigned modifiers, bool down) {
  if (!display_) return;
  for (unsigned code : modifierCodes(modifiers)) XTestFakeKeyEvent(display_.as<Display>(), code, down ? True : False, 0);
}

void XKeyboard::press(const Key& key, unsigned modifiers) {
  if (key.shifted) modifiers |= Shift;
  const std::vector<unsigned> held = modifierCodes(modifiers);
  Display* d = display_.as<Display>();
  for (unsigned m : held) XTestFakeKeyEvent(d, m, True, 0);
  XTestFakeKeyEvent(d, key.code, True, 0);
  XTestFakeKeyEvent(d, key.code, False, 0);
  for (auto m = held.rbegin(); m != held.rend(); ++m) XTestFakeKeyEvent(d, *m, False, 0);
}

bool XKeyboard::tap(unsigned long sym, unsigned modifiers) {
  if (!display_) return false;
  Key key;
  if (!keyOf(sym, key)) return false;
  press(key, modifiers);
  return true;
}

bool XKeyboard::type(const std::string& utf8) {
  if (!reserve(utf8)) return false;
  for (char32_t cp : codePoints(utf8)) {
    const KeySym sym = symbolOf(cp);
    Key key;
    if (cp > 0x7E || cp < 0x20 || !keyOf(sym, key)) {
      const auto given = std::find_if(given_.begin(), given_.end(), [&](const auto& g) { return g.first == sym; });
      if (given == given_.end()) return false;
      key.code = given->second;
      key.shifted = false;
    }
    press(key, None);
  }
  XSync(display_.as<Display>(), False);
  return true;
}

void XKeyboard::flush() {
  if (display_) XSync(display_.as<Display>(), False);
}

bool XKeyboard::seize(bool take) {
  Display* d = display_.as<Display>();
  if (!d) return false;
  bool ok = true;
  if (take) {
    ok = XGrabKeyboard(d, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
  } else {
    XUngrabKeyboard(d, CurrentTime);
  }
  XSync(d, False);
  return ok;
}

bool XKeyboard::focusOwnWindow() {
  Display* d = display_.as<Display>();
  if (!d) return false;
  if (!window_) {
    // A pixel in the screen's far corner, mapped by the server itself (no
    // window manager in between).
    XSetWindowAttributes a{};
    a.override_redirect = True;
    const int screen = DefaultScreen(d);
    window_ = XCreateWindow(d, DefaultRootWindow(d), DisplayWidth(d, screen) - 1, DisplayHeight(d, screen) - 1, 1, 1, 0,
                            CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect, &a);
    XMapWindow(d, window_);
  }
  XSetInputFocus(d, window_, RevertToPointerRoot, CurrentTime);
  XSync(d, False);
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(d, &focus, &revert);
  return focus == window_;
}

#else

XKeyboard::XKeyboard() = default;
XKeyboard::~XKeyboard() = default;
bool XKeyboard::tap(unsigned long, unsigned) { return false; }
bool XKeyboard::reserve(const std::string&) { return false; }
bool XKeyboard::type(const std::string&) { return false; }
void XKeyboard::flush() {}
bool XKeyboard::seize(bool) { return false; }
bool XKeyboard::focusOwnWindow() { return false; }
bool XKeyboard::keyOf(unsigned long, Key&) const { return false; }
void XKeyboard::hold(unsigned, bool) {}
void XKeyboard::press(const Key&, unsigned) {}
std::vector<unsigned> XKeyboard::modifierCodes(unsigned) const { return {}; }

#endif

}  // namespace xtest
