#pragma once
// A rectangle of a view that reports the pointer entering, leaving and moving
// inside it. Areas are geometric: they fire whatever lies on top of them, and
// overlapping areas (a cell and its parent) fire independently. The owner is
// held weakly.
//
// Main thread only.

#include <memory>

#include "platform/foundation/Value.h"
#include "platform/ui/Geometry.h"

namespace ui {

class Responder;
class View;

class TrackingArea {
public:
  enum Options : unsigned {
    MouseEnteredAndExited = 0x01,
    MouseMoved = 0x02,
    CursorUpdate = 0x04,
    ActiveWhenFirstResponder = 0x10,
    ActiveInKeyWindow = 0x20,
    ActiveInActiveApp = 0x40,
    ActiveAlways = 0x80,
    AssumeInside = 0x100,
    InVisibleRect = 0x200,
  };

  TrackingArea(Rect rect, unsigned options, std::weak_ptr<Responder> owner, fnd::Value userInfo = {});
  static std::shared_ptr<TrackingArea> make(Rect rect, unsigned options, const std::shared_ptr<Responder>& owner,
                                            fnd::Value userInfo = {});

  Rect rect() const { return rect_; }
  unsigned options() const { return options_; }
  std::shared_ptr<Responder> owner() const { return owner_.lock(); }
  const fnd::Value& userInfo() const { return userInfo_; }

private:
  friend class Window;
  friend class View;
  Rect rect_;
  unsigned options_;
  std::weak_ptr<Responder> owner_;
  fnd::Value userInfo_;
  // Delivery state, kept by the window.
  bool inside_ = false;
  bool entryPending_ = false;  // entered during a press; told at the release
};

}  // namespace ui
