#pragma once
// ui::Popover: a small window of content shown next to a rectangle of a view,
// on the preferred side. A transient popover closes on a click outside it
// (the click is consumed); any popover closes on close(). The delegate hears
// popoverWillShow / popoverDidShow, and popoverWillClose / popoverDidClose
// once per showing, however it closes.
//
// Main thread only.

#include <memory>

#include "platform/foundation/Object.h"
#include "platform/ui/Geometry.h"

namespace ui {

class Popover;
class View;
class ViewController;
class Window;

enum class RectEdge { MinX = 0, MinY = 1, MaxX = 2, MaxY = 3 };
enum class PopoverBehavior { ApplicationDefined = 0, Transient = 1, Semitransient = 2 };

class PopoverDelegate {
public:
  virtual ~PopoverDelegate() = default;
  virtual void popoverWillShow(Popover&) {}
  virtual void popoverDidShow(Popover&) {}
  virtual void popoverWillClose(Popover&) {}
  virtual void popoverDidClose(Popover&) {}
};

class Popover : public fnd::Object {
public:
  Popover() = default;
  ~Popover() override;
  std::string className() const override { return "Popover"; }

  std::shared_ptr<ViewController> contentViewController() const { return content_; }
  void setContentViewController(std::shared_ptr<ViewController> vc);
  Size contentSize() const { return size_; }
  void setContentSize(Size s);
  PopoverBehavior behavior() const { return behavior_; }
  void setBehavior(PopoverBehavior b) { behavior_ = b; }
  bool animates() const { return animates_; }
  void setAnimates(bool a) { animates_ = a; }
  void setDelegate(std::weak_ptr<PopoverDelegate> d) { delegate_ = std::move(d); }

  // Shows the content beside `rect` (in the view's coordinates) on the
  // preferred edge; a null or zero rectangle means the view's bounds.
  void showRelativeToRect(const Rect& rect, View& view, RectEdge preferredEdge);
  void close();
  bool isShown() const { return shown_; }
  // The popup window while shown.
  std::shared_ptr<Window> window() const { return window_; }
  // Where the last showing put the window's top-left corner (global, y down).
  Point lastOrigin() const { return lastOrigin_; }

private:
  void finishClose();

  std::shared_ptr<ViewController> content_;
  Size size_{200, 100};
  PopoverBehavior behavior_ = PopoverBehavior::ApplicationDefined;
  bool animates_ = false;
  std::weak_ptr<PopoverDelegate> delegate_;
  std::shared_ptr<Window> window_;
  bool shown_ = false;
  bool closing_ = false;
  Point lastOrigin_;
};

}  // namespace ui
