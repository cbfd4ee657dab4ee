#include "platform/ui/Popover.h"

#include <QWidget>
#include <cmath>

#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace ui {

Popover::~Popover() {
  if (window_) {
    window_->willClose = nullptr;
    window_->orderOut();
  }
}

void Popover::setContentViewController(std::shared_ptr<ViewController> vc) {
  content_ = std::move(vc);
  if (shown_ && window_ && content_) window_->setContentView(content_->view());
}

void Popover::setContentSize(Size s) {
  size_ = s;
  if (window_) window_->setContentSize(s);
}

void Popover::showRelativeToRect(const Rect& rect, View& view, RectEdge preferredEdge) {
  if (!view.window()) return;
  auto keep = std::static_pointer_cast<Popover>(shared_from_this());
  auto viewKeep = view.sharedFromThis();
  if (shown_) close();
  if (auto d = delegate_.lock()) d->popoverWillShow(*this);
  // The delegates told may have closed the view's window or moved the view.
  const std::shared_ptr<Window> parentKeep = view.window() ? view.window()->weakFromThis().lock() : nullptr;
  Window* parent = parentKeep.get();
  if (!parent || shown_) return;

  const Rect anchor = rect.isNull() || rect.isEmpty() ? view.bounds() : rect;
  // The anchor in the parent's top-down widget coordinates, then on screen.
  const Rect inWindow = view.convertRectToView(anchor, nullptr);
  QWidget* top = parent->widget();
  const double topY = top->height() - inWindow.maxY();
  const QPoint corner = top->mapToGlobal(QPoint(int(std::lround(inWindow.minX())), int(std::lround(topY))));
  const double ax = corner.x();
  const double ay = corner.y();
  const double aw = inWindow.width();
  const double ah = inWindow.height();
  Point origin;
  switch (preferredEdge) {
    case RectEdge::MaxX: origin = {ax + aw, ay + (ah - size_.height) / 2}; break;
    case RectEdge::MinX: origin = {ax - size_.width, ay + (ah - size_.height) / 2}; break;
    case RectEdge::MaxY: origin = {ax + (aw - size_.width) / 2, ay - size_.height}; break;  // above: views are y-up
    case RectEdge::MinY: origin = {ax + (aw - size_.width) / 2, ay + ah}; break;
  }
  lastOrigin_ = origin;

  window_ = Window::create(Rect(0, 0, size_.width, size_.height), Window::Borderless);
  if (content_) window_->setContentView(content_->view());
  std::weak_ptr<Popover> weak = keep;
  window_->willClose = [weak](Window&) {
    if (auto p = weak.lock()) p->finishClose();
  };
  // Shown before it pops up: showing it may already close it (finishClose
  // then tells the delegate and lets the window go).
  shown_ = true;
  auto window = window_;
  // Only a transient popover goes away on a click elsewhere.
  window->popUp(parent, origin, behavior_ == PopoverBehavior::Transient);
  if (shown_ && window_ == window)
    if (auto d = delegate_.lock()) d->popoverDidShow(*this);
}

void Popover::close() {
  if (!shown_ || closing_) return;
  auto keep = std::static_pointer_cast<Popover>(shared_from_this());
  if (window_) window_->close();  // tells finishClose through willClose
  finishClose();
}

void Popover::finishClose() {
  if (!shown_ || closing_) return;
  auto keep = std::static_pointer_cast<Popover>(shared_from_this());
  closing_ = true;
  if (auto d = delegate_.lock()) d->popoverWillClose(*this);
  shown_ = false;
  auto w = std::move(window_);
  if (w) {
    w->willClose = nullptr;
    if (w->isVisible()) w->orderOut();
    w->setContentView(nullptr);  // the content view can be shown again elsewhere
  }
  closing_ = false;
  if (auto d = delegate_.lock()) d->popoverDidClose(*this);
}

}  // namespace ui
