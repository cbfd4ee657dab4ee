// Window: pointer and key events. Qt's mouse events reach the window's
// event filter first (click counting, monitors, tracking areas) and are then
// handed on to Qt, whose widgets give them back through deliverMouse and
// deliverWheel; keys go to the first responder. The layout pass and the rest
// of the window are in Window.cpp.
#include "platform/ui/Window.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QStyleHints>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "platform/ui/Application.h"
#include "platform/ui/MainThreadCheck.h"
#include "platform/ui/TrackingArea.h"
#include "platform/ui/ViewWidget.h"

namespace ui {

namespace {
int buttonNumber(Qt::MouseButton b) {
  switch (b) {
    case Qt::LeftButton: return 0;
    case Qt::RightButton: return 1;
    case Qt::MiddleButton: return 2;
    default: return 3;
  }
}

// The view's handler of a mouse button's press, drag or release: the left
// button's (button 0), the right one's (1), or the one for any other.
enum class MousePhase { Down, Dragged, Up };

void handMouseTo(View& target, Event& ev, MousePhase phase) {
  using Handler = void (Responder::*)(Event&);
  static constexpr Handler kHandlers[3][3] = {
      {&Responder::mouseDown, &Responder::rightMouseDown, &Responder::otherMouseDown},
      {&Responder::mouseDragged, &Responder::rightMouseDragged, &Responder::otherMouseDragged},
      {&Responder::mouseUp, &Responder::rightMouseUp, &Responder::otherMouseUp},
  };
  (target.*kHandlers[static_cast<int>(phase)][std::clamp(ev.buttonNumber(), 0, 2)])(ev);
}

unsigned modifiersFrom(Qt::KeyboardModifiers m) {
  unsigned out = 0;
  if (m & Qt::ShiftModifier) out |= ShiftKeyMask;
  if (m & Qt::ControlModifier) out |= CommandKeyMask;
  if (m & Qt::AltModifier) out |= AlternateKeyMask;
  if (m & Qt::MetaModifier) out |= ControlKeyMask;
  return out;
}

unsigned short keyCodeFrom(int key) {
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return kKeyCodeReturn;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return kKeyCodeTab;
    case Qt::Key_Space: return kKeyCodeSpace;
    case Qt::Key_Backspace: return kKeyCodeDelete;
    case Qt::Key_Escape: return kKeyCodeEscape;
    case Qt::Key_Home: return kKeyCodeHome;
    case Qt::Key_Delete: return kKeyCodeForwardDelete;
    case Qt::Key_End: return kKeyCodeEnd;
    case Qt::Key_Left: return kKeyCodeLeft;
    case Qt::Key_Right: return kKeyCodeRight;
    case Qt::Key_Down: return kKeyCodeDown;
    case Qt::Key_Up: return kKeyCodeUp;
    default: return kKeyCodeOther;
  }
}

// Whether the buttons of a press slot (left, right, any other) are down.
bool held(Qt::MouseButtons buttons, int slot) {
  const Qt::MouseButtons mask = slot == 0   ? Qt::MouseButtons(Qt::LeftButton)
                                : slot == 1 ? Qt::MouseButtons(Qt::RightButton)
                                            : ~Qt::MouseButtons(Qt::LeftButton | Qt::RightButton);
  return (buttons & mask).toInt() != 0;
}

EventType downType(int button) {
  return button == 0 ? EventType::LeftMouseDown : button == 1 ? EventType::RightMouseDown : EventType::OtherMouseDown;
}
EventType upType(int button) {
  return button == 0 ? EventType::LeftMouseUp : button == 1 ? EventType::RightMouseUp : EventType::OtherMouseUp;
}
EventType dragType(int button) {
  return button == 0   ? EventType::LeftMouseDragged
         : button == 1 ? EventType::RightMouseDragged
                       : EventType::OtherMouseDragged;
}
}  // namespace

struct Window::AreaHit {
  std::shared_ptr<TrackingArea> area;
  std::shared_ptr<View> view;
  Rect pixels;  // of the window's widget (x right, y down)
};

// ---- first responder and key views

bool Window::makeFirstResponder(Responder* responder) {
  UI_ASSERT_MAIN_THREAD();
  auto current = firstResponderRef_.lock();
  if (responder && responder == current.get()) return true;
  const bool toWindow = !responder || responder == this;
  // A responder that does not accept leaves the current one in place.
  if (!toWindow && !responder->acceptsFirstResponder()) return false;
  // Resigning may end an edit whose action runs a dialog's loop, in which
  // this window or the new responder can be let go: the window is not kept
  // for it (a dialog over a window let go ends as cancelled), the responder
  // is.
  const std::weak_ptr<Window> self = weakFromThis();
  const std::shared_ptr<fnd::Object> keepResponder = toWindow ? nullptr : responder->shared_from_this();
  if (current && !current->resignFirstResponder()) return false;
  if (self.expired()) return false;
  firstResponderRef_.reset();
  if (toWindow) {
    widget()->setFocus();
    return true;
  }
  // One that refuses to become first responder leaves the window as it.
  if (!responder->becomeFirstResponder()) {
    widget()->setFocus();
    return false;
  }
  firstResponderRef_ = std::static_pointer_cast<Responder>(responder->shared_from_this());
  if (auto* v = dynamic_cast<View*>(responder)) {
    v->widget_->setFocusPolicy(Qt::ClickFocus);
    v->widget_->setFocus();
  }
  return true;
}

namespace {
void keyViews(View& v, std::vector<View*>& out) {
  if (v.isHidden()) return;
  if (v.canBecomeKeyView()) out.push_back(&v);
  for (auto& s : v.subviews()) keyViews(*s, out);
}

// The key view one step (1 or -1) from the first responder among the key
// views under `content` in tree order, wrapping round; the first (going
// back, the last) when the first responder is none of them; null when
// there are none.
View* keyViewFrom(View& content, Responder* first, int step) {
  std::vector<View*> views;
  keyViews(content, views);
  if (views.empty()) return nullptr;
  const auto it = std::find(views.begin(), views.end(), dynamic_cast<View*>(first));
  if (it == views.end()) return step > 0 ? views.front() : views.back();
  const auto n = static_cast<long>(views.size());
  return views[static_cast<size_t>(((it - views.begin()) + step + n) % n)];
}
}  // namespace

void Window::selectNextKeyView() {
  UI_ASSERT_MAIN_THREAD();
  if (View* next = contentView_ ? keyViewFrom(*contentView_, firstResponder(), 1) : nullptr) makeFirstResponder(next);
}

void Window::selectPreviousKeyView() {
  UI_ASSERT_MAIN_THREAD();
  if (View* prev = contentView_ ? keyViewFrom(*contentView_, firstResponder(), -1) : nullptr) makeFirstResponder(prev);
}

void Window::keyDown(Event& e) {
  if (e.keyCode() == kKeyCodeTab) {
    (e.modifierFlags() & ShiftKeyMask) ? selectPreviousKeyView() : selectNextKeyView();
  }
}

// ---- events

Point Window::windowPointFromWidget(const QWidget* w, double x, double y) const {
  QPointF p(x, y);
  if (w && w != widget()) p = QPointF(w->mapTo(widget(), QPoint(0, 0))) + p;
  return {p.x(), double(widget()->height()) - p.y()};
}

Event Window::mouseEventFrom(QMouseEvent& e) const {
  const Point loc{e.scenePosition().x(), double(widget()->height()) - e.scenePosition().y()};
  EventType type = EventType::MouseMoved;
  int button = buttonNumber(e.button());
  switch (e.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: type = downType(button); break;
    case QEvent::MouseButtonRelease: type = upType(button); break;
    default:
      if (const int dragging = dragButton(); dragging >= 0) {
        button = dragging;
        type = dragType(button);
      }
      break;
  }
  Event ev(type, loc, const_cast<Window*>(this));
  ev.setButtonNumber(button);
  ev.setModifierFlags(modifiersFrom(e.modifiers()));
  ev.setTimestamp(double(e.timestamp()) / 1000.0);
  if (e.type() != QEvent::MouseMove) ev.setClickCount(clickCount_);
  return ev;
}

int Window::pressSlot(int button) { return std::clamp(button, 0, kPressSlots - 1); }

int Window::dragButton() const {
  for (int b = 0; b < kPressSlots; ++b)
    if (presses_[b].down) return b;
  return -1;
}

Point Window::pixelAt(Point locationInWindow) const {
  // Qt gives the event to the widget covering the pixel the point rounds to.
  const QPoint pixel = QPointF(locationInWindow.x, widget()->height() - locationInWindow.y).toPoint();
  return {pixel.x() + 0.5, pixel.y() + 0.5};
}

std::shared_ptr<View> Window::viewAt(Point locationInWindow) const {
  if (!contentView_) return nullptr;
  // The hit test looks at the pixel's centre. At its corner, where the event
  // is, a y-up view's top pixel row lies on its frame's top edge, which the
  // frame leaves out, and the row below the view on its bottom edge, which
  // the frame takes in.
  const Point pixel = pixelAt(locationInWindow);
  View* hit = contentView_->hitTest({pixel.x, widget()->height() - pixel.y});
  return hit ? hit->sharedFromThis() : nullptr;
}

bool Window::filterWindowEvent(QWindow* qwindow, QEvent* e) {
  UI_ASSERT_MAIN_THREAD();
  // The monitors and the views' handlers may close this window or others:
  // the window lasts out the event, and Qt gets it only while the window of
  // the windowing system it came to is still this one's.
  auto keep = weakFromThis().lock();
  if (!keep) return false;
  const QPointer<QWindow> target(qwindow);
  const auto stillOurs = [&] { return target && widget()->windowHandle() == target; };
  switch (e->type()) {
    case QEvent::MouseButtonDblClick:
      // Qt makes the second press of a double click into this event: the
      // press itself came through here first (counted and shown to the
      // monitors) but reaches no widget. Widgets take this one as that press.
      return pressSwallowed_;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove: {
      if (e == redispatching_) return false;
      auto* me = static_cast<QMouseEvent*>(e);
      const int eventButton = pressSlot(buttonNumber(me->button()));
      // A press whose release went elsewhere (to a menu's or a drag's own
      // loop, say) is over: its button is up, or pressed anew.
      for (int b = 0; b < kPressSlots; ++b) {
        if (!presses_[b].down) continue;
        const bool thisButton = eventButton == b && e->type() != QEvent::MouseMove;
        const bool up = !held(me->buttons(), b) && !(thisButton && e->type() == QEvent::MouseButtonRelease);
        if (up || (thisButton && e->type() == QEvent::MouseButtonPress)) presses_[b] = {};
      }
      const Point loc{me->scenePosition().x(), double(widget()->height()) - me->scenePosition().y()};
      if (e->type() == QEvent::MouseButtonPress) {
        const int button = buttonNumber(me->button());
        const auto* hints = QGuiApplication::styleHints();
        const double dist = std::hypot(loc.x - lastClickPoint_.x, loc.y - lastClickPoint_.y);
        const bool again = hasLastClick_ && button == lastClickButton_ &&
                           me->timestamp() - lastClickTime_ <= unsigned(hints->mouseDoubleClickInterval()) &&
                           dist <= hints->mouseDoubleClickDistance();
        clickCount_ = again ? clickCount_ + 1 : 1;
        lastClickButton_ = button;
        lastClickPoint_ = loc;
        lastClickTime_ = me->timestamp();
        hasLastClick_ = true;
      }
      Event ev = mouseEventFrom(*me);
      const bool pass = Application::shared().runMonitors(ev);
      if (e->type() == QEvent::MouseButtonPress) pressSwallowed_ = !pass;
      if (!pass || !stillOurs()) return true;
      const bool dragging = dragButton() >= 0 || me->buttons() != Qt::NoButton;
      if (e->type() == QEvent::MouseMove) trackPointer(loc, true, dragging, &ev);
      if (!stillOurs()) return true;
      QEvent* outer = redispatching_;
      redispatching_ = e;
      QCoreApplication::sendEvent(qwindow, e);
      redispatching_ = outer;
      if (e->type() == QEvent::MouseButtonRelease) {
        // Also when no view of ours took the release (a Qt editor did).
        presses_[eventButton] = {};
        if (me->buttons() == Qt::NoButton) finishPendingEntries(loc);
      }
      return true;
    }
    case QEvent::Leave:
      trackPointer(lastPointer_, false, dragButton() >= 0, nullptr);
      return !stillOurs();
    case QEvent::WindowUnblocked:
      // A dialog's modal loop over the window ended. Its start made the
      // pointer leave the window, and the pointer may be back over it
      // without moving (an alert closed with a key): no event says so.
      trackPointerWhereTheCursorIs();
      return !stillOurs();
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      QWidget* focus = QApplication::focusWidget();
      if (focus && focus != widget() && !dynamic_cast<ViewWidget*>(focus) && focus->window() == widget()) {
        return false;  // a Qt editor of its own (a text field's line edit)
      }
      dispatchKey(e);
      return true;
    }
    default:
      return false;
  }
}

void Window::dispatchKey(QEvent* e) {
  auto* ke = static_cast<QKeyEvent*>(e);
  Event ev(e->type() == QEvent::KeyPress ? EventType::KeyDown : EventType::KeyUp, lastPointer_, this);
  ev.setModifierFlags(modifiersFrom(ke->modifiers()));
  ev.setKey(keyCodeFrom(ke->key()), ke->text().toStdString(), ke->isAutoRepeat());
  ev.setTimestamp(double(ke->timestamp()) / 1000.0);
  if (!Application::shared().runMonitors(ev)) return;
  std::shared_ptr<Responder> target = firstResponderRef_.lock();
  Responder* r = target ? target.get() : this;
  Application::CurrentEventScope scope(&ev);
  if (ev.type() == EventType::KeyDown) {
    r->keyDown(ev);
  } else {
    r->keyUp(ev);
  }
}

void Window::deliverMouse(View&, QMouseEvent& e) {
  // Qt hands the event to the widget under the pointer (or to the one that
  // took the press); the window decides which view gets it: a press goes to
  // the view the content's hitTest names there, drags and the release to the
  // view that took the press of their button, whatever widget Qt chose.
  auto keep = weakFromThis().lock();
  Event ev = mouseEventFrom(e);
  Application::CurrentEventScope scope(&ev);
  const int button = ev.buttonNumber();
  Press& press = presses_[pressSlot(button)];
  switch (e.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      if (press.down) return;  // this button's press was handed on already
      std::shared_ptr<View> target = viewAt(ev.locationInWindow());
      if (!target) return;
      press.down = true;
      press.view = target;
      handMouseTo(*target, ev, MousePhase::Down);
      break;
    }
    case QEvent::MouseMove: {
      const int dragging = dragButton();
      if (dragging < 0) return;
      std::shared_ptr<View> target = presses_[dragging].view.lock();
      if (!target) return;
      handMouseTo(*target, ev, MousePhase::Dragged);  // the event names the dragging button
      break;
    }
    case QEvent::MouseButtonRelease: {
      if (!press.down) return;
      std::shared_ptr<View> target = press.view.lock();
      press = {};
      if (!target) return;
      handMouseTo(*target, ev, MousePhase::Up);
      break;
    }
    default:
      break;
  }
}

void Window::deliverWheel(View& view, QWheelEvent& e) {
  auto keep = weakFromThis().lock();
  Event ev(EventType::ScrollWheel, windowPointFromWidget(view.widget(), e.position().x(), e.position().y()), this);
  ev.setModifierFlags(modifiersFrom(e.modifiers()));
  ev.setTimestamp(double(e.timestamp()) / 1000.0);
  // Deltas are y-up: a wheel turned away from the user scrolls content up.
  // A touchpad's are points; a wheel's are lines, the system's lines a notch
  // (a notch is 120), which the scroll view under the pointer turns into its
  // own line height.
  if (!e.pixelDelta().isNull()) {
    ev.setDeltas(e.pixelDelta().x(), e.pixelDelta().y(), true);
  } else {
    const double linesPerUnit = QGuiApplication::styleHints()->wheelScrollLines() / 120.0;
    ev.setDeltas(e.angleDelta().x() * linesPerUnit, e.angleDelta().y() * linesPerUnit, false);
  }
  if (!Application::shared().runMonitors(ev)) return;
  std::shared_ptr<View> target = viewAt(ev.locationInWindow());
  if (!target) return;
  Application::CurrentEventScope scope(&ev);
  target->scrollWheel(ev);
}

// ---- tracking areas

bool Window::areaActive(const TrackingArea& a, const View& owner) const {
  const unsigned o = a.options();
  if (o & TrackingArea::ActiveAlways) return true;
  if ((o & TrackingArea::ActiveInActiveApp) && Application::shared().isActive()) return true;
  if ((o & TrackingArea::ActiveInKeyWindow) && isKeyWindow()) return true;
  if ((o & TrackingArea::ActiveWhenFirstResponder) && isKeyWindow() && firstResponder() == &owner) return true;
  return false;
}

void Window::collectAreas(View& v, Point superWidget, const Rect& clip, std::vector<AreaHit>& out) {
  // Run on every move of the pointer, over the whole tree: a leaf without
  // areas (most views) costs nothing.
  if (v.isHidden() || (v.trackingAreas().empty() && v.subviews().empty())) return;
  // An area takes the pixels its rectangle covers rounded as the view's
  // widget is: over the bounds, those of the widget.
  const auto pixels = [&](const Rect& visual) {
    Rect r = v.pixelsInSuperWidget(visual);
    r.origin = {r.origin.x + superWidget.x, r.origin.y + superWidget.y};
    return r;
  };
  const Rect whole = v.visualRect(v.bounds());
  const Rect wholePixels = pixels(whole);
  const Rect visible = wholePixels.intersection(clip);
  for (auto& a : v.trackingAreas()) {
    const bool inVisible = a->options() & TrackingArea::InVisibleRect;
    out.push_back({a, v.sharedFromThis(), inVisible ? visible : pixels(v.visualRect(a->rect()))});
  }
  if (v.subviews().empty()) return;
  // A rectangle's corner pixel depends on its corner alone.
  const Rect area = v.widgetVisualArea();
  const Point widgetCorner = area.origin == whole.origin ? wholePixels.origin : pixels(area).origin;
  for (auto& s : v.subviews()) collectAreas(*s, widgetCorner, visible, out);
}

void Window::collectAreas(std::vector<AreaHit>& out) {
  if (contentView_) collectAreas(*contentView_, {}, Rect(-1e9, -1e9, 2e9, 2e9), out);
}

void Window::trackPointer(Point location, bool inside, bool dragging, const Event* source) {
  pointerInside_ = inside;
  if (inside) lastPointer_ = location;
  if (!contentView_) return;
  std::vector<AreaHit> hits;
  collectAreas(hits);
  const Point pixel = pixelAt(location);
  std::vector<AreaHit> exits, entries, moves;
  for (auto& h : hits) {
    if (!areaActive(*h.area, *h.view)) continue;
    const bool in = inside && h.pixels.contains(pixel);
    TrackingArea& a = *h.area;
    if (in && !a.inside_) {
      if (dragging) {
        a.entryPending_ = true;
      } else {
        a.inside_ = true;
        entries.push_back(h);
      }
    } else if (!in && a.inside_) {
      a.inside_ = false;
      exits.push_back(h);
    } else if (!in) {
      a.entryPending_ = false;
    } else if (in && a.inside_ && source && (a.options() & TrackingArea::MouseMoved)) {
      moves.push_back(h);
    }
  }
  auto send = [&](const AreaHit& h, EventType type) {
    auto owner = h.area->owner();
    if (!owner) return;
    if (type != EventType::MouseMoved && !(h.area->options() & TrackingArea::MouseEnteredAndExited)) return;
    Event ev(type, location, this);
    if (source) ev.setModifierFlags(source->modifierFlags());
    ev.setTrackingArea(h.area);
    Application::CurrentEventScope scope(&ev);
    if (type == EventType::MouseEntered) {
      owner->mouseEntered(ev);
    } else if (type == EventType::MouseExited) {
      owner->mouseExited(ev);
    } else {
      owner->mouseMoved(ev);
    }
  };
  for (auto& h : exits) send(h, EventType::MouseExited);
  for (auto& h : entries) send(h, EventType::MouseEntered);
  for (auto& h : moves) send(h, EventType::MouseMoved);
}

void Window::trackPointerWhereTheCursorIs() {
  QWidget* w = widget();
  const QPoint global = QCursor::pos();
  const QPoint local = w->mapFromGlobal(global);
  const bool inside = w->isVisible() && w->rect().contains(local) && w->windowHandle() &&
                      QGuiApplication::topLevelAt(global) == w->windowHandle();
  trackPointer({double(local.x()), double(w->height() - local.y())}, inside, dragButton() >= 0, nullptr);
}

void Window::finishPendingEntries(Point location) {
  std::vector<AreaHit> hits;
  collectAreas(hits);
  const Point pixel = pixelAt(location);
  for (auto& h : hits) {
    if (!h.area->entryPending_) continue;
    h.area->entryPending_ = false;
    if (h.area->inside_ || !areaActive(*h.area, *h.view) || !h.pixels.contains(pixel)) continue;
    h.area->inside_ = true;
    auto owner = h.area->owner();
    if (!owner || !(h.area->options() & TrackingArea::MouseEnteredAndExited)) continue;
    Event ev(EventType::MouseEntered, location, this);
    ev.setTrackingArea(h.area);
    Application::CurrentEventScope scope(&ev);
    owner->mouseEntered(ev);
  }
}

void Window::areaAdded(TrackingArea& area, View& owner) {
  // An area made again (after a resize or a scroll) takes over the state of
  // the one its owner dropped, so the owner hears one entry and one exit
  // however often it remakes its areas; the next look at the pointer tells
  // what changed.
  if (owner.droppedInsideArea_) {
    area.inside_ = true;
    owner.droppedInsideArea_ = false;
  }
}

void Window::refreshTracking() {
  auto keep = weakFromThis().lock();  // an area's owner may close the window
  if (pointerInside_) trackPointer(lastPointer_, true, dragButton() >= 0, nullptr);
}

void Window::exitAreasOf(View& subtree) {
  std::vector<AreaHit> hits;
  // Hidden views are skipped by collectAreas; this subtree is about to hide.
  for (auto& a : subtree.trackingAreas()) hits.push_back({a, subtree.sharedFromThis(), Rect()});
  std::vector<View*> stack;
  for (auto& s : subtree.subviews()) stack.push_back(s.get());
  while (!stack.empty()) {
    View* v = stack.back();
    stack.pop_back();
    for (auto& a : v->trackingAreas()) hits.push_back({a, v->sharedFromThis(), Rect()});
    for (auto& s : v->subviews()) stack.push_back(s.get());
  }
  for (auto& h : hits) {
    h.area->entryPending_ = false;
    if (!h.area->inside_) continue;
    h.area->inside_ = false;
    auto owner = h.area->owner();
    if (!owner || !(h.area->options() & TrackingArea::MouseEnteredAndExited)) continue;
    Event ev(EventType::MouseExited, lastPointer_, this);
    ev.setTrackingArea(h.area);
    owner->mouseExited(ev);
  }
}

void Window::viewWillLeave(View& view) {
  auto keep = view.sharedFromThis();
  auto keepWindow = weakFromThis().lock();  // the handlers told may close the window
  for (int b = 0; b < kPressSlots; ++b) {
    auto pressed = presses_[b].view.lock();
    if (!presses_[b].down || !pressed || !pressed->isDescendantOf(&view)) continue;
    presses_[b] = {};
    Event ev(upType(b), lastPointer_, this);
    ev.setButtonNumber(b);
    pressed->mouseCancelled(ev);
  }
  exitAreasOf(view);
  auto current = firstResponderRef_.lock();
  if (auto* fr = dynamic_cast<View*>(current.get()); fr && fr->isDescendantOf(&view)) {
    firstResponderRef_.reset();
    fr->resignFirstResponder();
  }
}

}  // namespace ui
