#pragma once
// ui::Window: a top-level window holding one content view.
//
//  - Its own QWidget is the top-level; the content view's widget fills it.
//    Window frames are in Qt's global coordinates (y down); the content is y-up
//    like any view.
//  - Mouse events: the window counts clicks (three and more), runs the
//    application's event monitors and keeps the tracking areas of its views
//    (entered, exited, moved). Every press, the second of a double click too,
//    goes to the view the content's hitTest names under the pointer, with its
//    click count; the drags and the release of that button go to the view
//    that took its press. Each button has its own press, so a second button
//    pressed during a drag leaves the drag alone. The wheel goes to the view
//    hitTest names. Keys go to the first responder and up its chain.
//    Which view a pixel belongs to is one rule for presses, the wheel and
//    tracking areas: the view whose widget covers it, as Qt sees it.
//  - The layout pass: solve constraints (when an engine is installed), then
//    layout() of every view that needs it, superviews first, in rounds until
//    nothing is left, at most kMaxLayoutRounds (logged when reached). It runs
//    before painting and from a queued call after setNeedsLayoutPass().
//  - A window can be a child popup of another (Qt::Popup): it closes on a
//    click outside it, which it consumes.
//
// Window.cpp holds the window itself and the layout pass; WindowEvents.cpp the
// event dispatch, tracking areas and first responder.
//
// Main thread only (checked at the entry points: MainThreadCheck.h).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Geometry.h"
#include "platform/ui/Responder.h"
#include "platform/ui/View.h"

class QEvent;
class QWidget;
class QWindow;
class QMouseEvent;
class QWheelEvent;

namespace ui {

class WindowWidget;
class WindowController;

class Window : public Responder {
public:
  enum StyleMask : unsigned {
    Borderless = 0,
    Titled = 1,
    Closable = 2,
    Miniaturizable = 4,
    Resizable = 8,
  };
  static constexpr int kMaxLayoutRounds = 8;

  static std::shared_ptr<Window> create(Rect contentRect, unsigned style = Titled | Closable | Resizable);
  // Use create(): a window made otherwise gets no events.
  Window(Rect contentRect, unsigned style);
  ~Window() override;

  std::string className() const override { return "Window"; }

  const std::shared_ptr<View>& contentView() const { return contentView_; }
  void setContentView(std::shared_ptr<View> view);
  Size contentSize() const;
  void setContentSize(Size size);
  // The smallest content size the user can resize the window to.
  Size contentMinSize() const;
  void setContentMinSize(Size size);
  // The window's rectangle in global coordinates (y down).
  Rect frame() const;
  void setFrame(const Rect& frame, bool display);
  void setFrameOrigin(Point topLeft);
  std::string title() const { return title_; }
  void setTitle(const std::string& title);
  unsigned styleMask() const { return style_; }

  void makeKeyAndOrderFront();
  void orderFront();
  void orderOut();
  bool isVisible() const;
  // Hides the window and tells willClose; a released-when-closed window also
  // drops its content view.
  void close();
  void setReleasedWhenClosed(bool r) { releasedWhenClosed_ = r; }
  std::function<void(Window&)> willClose;

  bool isKeyWindow() const;
  void makeKeyWindow();
  bool isMainWindow() const;
  void makeMainWindow();

  // Null when it is the window itself (or the responder is gone).
  Responder* firstResponder() const { return firstResponderRef_.lock().get(); }
  // Asks the old first responder to resign and the new one to accept and
  // become first responder; null makes the window itself first responder.
  bool makeFirstResponder(Responder* responder);
  void selectNextKeyView();
  void selectPreviousKeyView();
  void keyDown(Event& e) override;

  // ---- layout pass
  void setNeedsLayoutPass();
  void layoutIfNeeded();
  // The pass over any tree (a window's content or a detached tree). Returns
  // the number of rounds run.
  static int runLayoutPass(View& root);

  // ---- child windows
  void addChildWindow(const std::shared_ptr<Window>& child, WindowOrderingMode place);
  void removeChildWindow(Window* child);
  Window* parentWindow() const { return parent_; }
  std::vector<std::shared_ptr<Window>> childWindows() const;
  // Shows the window over `parent` at `topLeft` (global, y down); a popup
  // closes on a click outside it, otherwise it stays until closed.
  void popUp(Window* parent, Point topLeft, bool closesOnOutsideClick = true);
  bool isPopup() const { return popup_; }

  double screenRefreshRate() const;
  QWidget* widget() const;
  // Empty while the window is being made.
  std::weak_ptr<Window> weakFromThis() { return std::static_pointer_cast<Window>(weak_from_this().lock()); }

  // The controller set by WindowController (weak).
  WindowController* windowController() const { return controller_; }

  // ---- used by the views and the application
  // A view (or its subtree) is being hidden or taken out of the window: ends
  // a press it holds, exits its areas, and gives up first responder.
  void viewWillLeave(View& view);
  // Re-checks tracking areas at the last pointer position (after areas
  // changed or the view tree moved).
  void refreshTracking();
  // Sets the state of an area a view adds.
  void areaAdded(TrackingArea& area, View& owner);
  bool filterWindowEvent(QWindow* qwindow, QEvent* e);
  // From the widget of `view`, the one Qt gave the event to: the window
  // hands it to the view hitTest names, or to the one that took the press.
  void deliverMouse(View& view, QMouseEvent& e);
  void deliverWheel(View& view, QWheelEvent& e);
  Point windowPointFromWidget(const QWidget* w, double x, double y) const;

private:
  friend class WindowWidget;
  friend class WindowController;
  struct AreaHit;

  void contentResized();
  void trackPointer(Point location, bool inside, bool dragging, const Event* source);
  void finishPendingEntries(Point location);
  // Asks the windowing system where the pointer is and tracks it there.
  void trackPointerWhereTheCursorIs();
  void exitAreasOf(View& subtree);
  // The areas of the views shown, each with the pixels of the window's
  // widget it takes. A view is reached with the corner of its superview's
  // widget there (`superWidget`) and the pixels of the superview left
  // visible by those above it (`clip`).
  void collectAreas(std::vector<AreaHit>& out);
  void collectAreas(View& v, Point superWidget, const Rect& clip, std::vector<AreaHit>& out);
  bool areaActive(const TrackingArea& a, const View& owner) const;
  void dispatchKey(QEvent* e);
  Event mouseEventFrom(QMouseEvent& e) const;
  // Presses are kept per button (left, right, other): a second button pressed
  // during a drag has its own down and up and leaves the drag alone.
  static constexpr int kPressSlots = 3;
  static int pressSlot(int buttonNumber);
  // The button whose press drags take: left before right before the others;
  // -1 when none is down.
  int dragButton() const;
  // The centre of the pixel of the window's widget (x right, y down) Qt
  // takes for a point of the window: what the hit test and the tracking
  // areas look at.
  Point pixelAt(Point locationInWindow) const;
  std::shared_ptr<View> viewAt(Point locationInWindow) const;

  WindowWidget* widget_;
  std::shared_ptr<View> contentView_;
  unsigned style_;
  std::string title_;
  bool releasedWhenClosed_ = false;
  bool key_ = false;
  bool popup_ = false;
  std::weak_ptr<Responder> firstResponderRef_;
  Window* parent_ = nullptr;
  std::vector<std::weak_ptr<Window>> children_;
  WindowController* controller_ = nullptr;
  bool passScheduled_ = false;
  bool inLayout_ = false;

  // Pointer state.
  QEvent* redispatching_ = nullptr;  // the event being handed on to Qt
  struct Press {
    bool down = false;
    std::weak_ptr<View> view;  // the view that took it; may be gone
  };
  Press presses_[kPressSlots];
  bool pressSwallowed_ = false;  // a monitor swallowed the last press
  bool pointerInside_ = false;
  Point lastPointer_;
  // Click counting.
  int clickCount_ = 0;
  int lastClickButton_ = -1;
  Point lastClickPoint_;
  unsigned long lastClickTime_ = 0;
  bool hasLastClick_ = false;
};

}  // namespace ui
