#pragma once
// Input events as views see them: mouse, wheel and key events with the
// location in y-up window coordinates, modifier bits, a click count worked
// out by the window (so triple clicks count too), wheel deltas and keys.
//
// Main thread only.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/Geometry.h"

namespace ui {

class View;
class Window;
class TrackingArea;

enum class EventType {
  LeftMouseDown = 1,
  LeftMouseUp = 2,
  RightMouseDown = 3,
  RightMouseUp = 4,
  MouseMoved = 5,
  LeftMouseDragged = 6,
  RightMouseDragged = 7,
  MouseEntered = 8,
  MouseExited = 9,
  KeyDown = 10,
  KeyUp = 11,
  ScrollWheel = 22,
  OtherMouseDown = 25,
  OtherMouseUp = 26,
  OtherMouseDragged = 27,
};

// Bit of one event type in a monitor's mask.
constexpr uint64_t eventMaskFor(EventType t) { return uint64_t(1) << int(t); }
inline constexpr uint64_t kEventMaskAny = ~uint64_t(0);

// Modifier bits. On Linux the Ctrl key is Command, Meta is Control and Alt is
// Option, so shortcuts read the same as on the editor's other platform.
enum ModifierFlags : unsigned {
  ShiftKeyMask = 0x20000,
  ControlKeyMask = 0x40000,
  AlternateKeyMask = 0x80000,
  CommandKeyMask = 0x100000,
};

// Key codes of the keys the editor reacts to; other keys have kKeyCodeOther.
enum KeyCode : unsigned short {
  kKeyCodeReturn = 36,
  kKeyCodeTab = 48,
  kKeyCodeSpace = 49,
  kKeyCodeDelete = 51,
  kKeyCodeEscape = 53,
  kKeyCodeHome = 115,
  kKeyCodeForwardDelete = 117,
  kKeyCodeEnd = 119,
  kKeyCodeLeft = 123,
  kKeyCodeRight = 124,
  kKeyCodeDown = 125,
  kKeyCodeUp = 126,
  kKeyCodeOther = 0xFFFF,
};

class Event {
public:
  Event() = default;
  Event(EventType type, Point locationInWindow, Window* window);

  EventType type() const { return type_; }
  bool isMouseDown() const;
  bool isMouseUp() const;
  bool isDragged() const;

  // y-up, relative to the window's content.
  Point locationInWindow() const { return location_; }
  // The location in the view's own coordinate system.
  Point locationInView(const View& view) const;
  Window* window() const { return window_; }

  unsigned modifierFlags() const { return modifiers_; }
  int clickCount() const { return clickCount_; }
  // 0 left, 1 right, 2 middle.
  int buttonNumber() const { return button_; }
  // A wheel's deltas, y-up: points with precise deltas (a touchpad), else
  // lines (ScrollView::scrollWheel makes them points).
  double deltaX() const { return deltaX_; }
  double deltaY() const { return deltaY_; }
  bool hasPreciseScrollingDeltas() const { return precise_; }
  unsigned short keyCode() const { return keyCode_; }
  const std::string& characters() const { return characters_; }
  bool isARepeat() const { return repeat_; }
  // Seconds since an arbitrary start.
  double timestamp() const { return timestamp_; }
  // For entered and exited events: the area that fired.
  const std::shared_ptr<TrackingArea>& trackingArea() const { return area_; }

  void setModifierFlags(unsigned m) { modifiers_ = m; }
  void setClickCount(int n) { clickCount_ = n; }
  void setButtonNumber(int b) { button_ = b; }
  void setDeltas(double dx, double dy, bool precise) {
    deltaX_ = dx;
    deltaY_ = dy;
    precise_ = precise;
  }
  void setKey(unsigned short code, std::string characters, bool repeat) {
    keyCode_ = code;
    characters_ = std::move(characters);
    repeat_ = repeat;
  }
  void setTimestamp(double t) { timestamp_ = t; }
  void setTrackingArea(std::shared_ptr<TrackingArea> a) { area_ = std::move(a); }
  void setWindow(Window* w) { window_ = w; }
  void setLocationInWindow(Point p) { location_ = p; }

  // Mouse buttons down now: bit 0 left, bit 1 right, bit 2 middle.
  static unsigned pressedMouseButtons();

private:
  EventType type_ = EventType::MouseMoved;
  Point location_;
  Window* window_ = nullptr;
  unsigned modifiers_ = 0;
  int clickCount_ = 0;
  int button_ = 0;
  double deltaX_ = 0;
  double deltaY_ = 0;
  bool precise_ = false;
  unsigned short keyCode_ = kKeyCodeOther;
  std::string characters_;
  bool repeat_ = false;
  double timestamp_ = 0;
  std::shared_ptr<TrackingArea> area_;
};

}  // namespace ui
