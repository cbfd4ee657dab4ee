#include "platform/ui/View.h"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPainterPath>
#include <QPaintEvent>
#include <algorithm>
#include <cmath>

#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/MainThreadCheck.h"
#include "platform/ui/Menu.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TrackingArea.h"
#include "platform/ui/ViewWidget.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {
std::shared_ptr<LayoutEngineHooks>& engineSlot() {
  static std::shared_ptr<LayoutEngineHooks> hooks;
  return hooks;
}
}  // namespace

std::shared_ptr<LayoutEngineHooks> setLayoutEngineHooks(std::shared_ptr<LayoutEngineHooks> hooks) {
  std::swap(engineSlot(), hooks);
  return hooks;
}

LayoutEngineHooks* layoutEngineHooks() { return engineSlot().get(); }

// ---- Layer

void Layer::setBackgroundColor(std::optional<Color> c) {
  background_ = std::move(c);
  view_.setNeedsDisplay(true);
}
void Layer::setCornerRadius(double r) {
  cornerRadius_ = std::max(0.0, r);
  view_.setNeedsDisplay(true);
}
void Layer::setBorderWidth(double w) {
  borderWidth_ = std::max(0.0, w);
  view_.setNeedsDisplay(true);
}
void Layer::setBorderColor(const Color& c) {
  borderColor_ = c;
  view_.setNeedsDisplay(true);
}
void Layer::setContents(std::shared_ptr<Image> image) {
  contents_ = std::move(image);
  view_.setNeedsDisplay(true);
}
void Layer::setZPosition(double z) {
  if (z == zPosition_) return;
  zPosition_ = z;
  if (View* s = view_.superview()) s->restack();
}
void Layer::setMasksToBounds(bool m) {
  masksToBounds_ = m;
  view_.setNeedsDisplay(true);
}
double Layer::opacity() const { return view_.alphaValue(); }
void Layer::setOpacity(double o) { view_.setAlphaValue(o); }

// ---- View

View::View() { init(); }

View::View(Rect frame) : frame_(frame) { init(); }

void View::init() {
  UI_ASSERT_MAIN_THREAD();
  // A parentless widget stays unshown until a superview shows it.
  widget_ = new ViewWidget(this);
  placeWidget();
}

View::~View() {
  if (auto* hooks = layoutEngineHooks()) hooks->viewWillBeDestroyed(*this);
  // Constraints naming this view that others hold go with it.
  for (LayoutConstraint* c : std::vector<LayoutConstraint*>(namingConstraints_)) {
    c->itemWillGo(this);
    if (auto holder = c->holder())
      removeConstraint(*holder, std::static_pointer_cast<LayoutConstraint>(c->shared_from_this()));
  }
  namingConstraints_.clear();
  // Hidden first, so taking the subviews' widgets out repaints nothing.
  if (widget_) widget_->hide();
  // Subviews held elsewhere live on, detached: take their widgets out of ours
  // before ours goes.
  for (auto& sv : subviews_) {
    sv->superview_ = nullptr;
    sv->setWindowRecursive(nullptr);
    if (sv->widget_) {
      sv->widget_->hide();
      sv->widget_->setParent(nullptr);
    }
  }
  if (widget_) {
    widget_->detachView();
    widget_->hide();
    widget_->setParent(nullptr);
    ViewWidget::dispose(widget_);
    widget_ = nullptr;
  }
}

std::string View::description() const {
  std::string out = "<";
  out += className();
  out += " ";
  out += ui::describe(frame_);
  out += ">";
  return out;
}

QWidget* View::widget() const { return widget_; }

// ---- geometry

void View::setFrame(const Rect& frame) {
  UI_ASSERT_MAIN_THREAD();
  applyFrame(frame, false);
}

void View::setFrameOrigin(Point origin) { setFrame(Rect(origin, frame_.size)); }

void View::setFrameSize(Size size) { setFrame(Rect(frame_.origin, size)); }

void View::setFrameFromEngine(const Rect& frame) {
  UI_ASSERT_MAIN_THREAD();
  applyFrame(frame, true);
}

void View::applyFrame(const Rect& frame, bool fromEngine) {
  if (frame.isNull()) return;
  const Rect old = frame_;
  if (old == frame && old.origin == frame.origin) return;
  frame_ = frame;
  const bool sized = !(old.size == frame.size);
  placeWidget();
  if (sized) {
    // Widgets of a y-up view hang from its top, which moved.
    if (!isFlipped()) placeSubviewWidgets();
    if (autoresizesSubviews_) resizeSubviewsWithOldSize(old.size);
    setNeedsLayout(true);
    setNeedsDisplay(true);
    updateTrackingAreasIfReady();
  }
  if (!fromEngine)
    if (auto* hooks = layoutEngineHooks()) hooks->viewDidChange(*this);
  if (postsFrameChanged_) {
    if (auto self = weak_from_this().lock()) {
      fnd::NotificationCenter::defaultCenter().post(kViewFrameDidChangeNotification, fnd::Value(self));
    }
  }
  if (superview_) superview_->subviewFrameDidChange(*this);
}

void View::setBoundsOrigin(Point origin) {
  UI_ASSERT_MAIN_THREAD();
  if (origin == boundsOrigin_) return;
  boundsOrigin_ = origin;
  placeSubviewWidgets();
  setNeedsDisplay(true);
}

void View::placeWidget() {
  if (!widget_) return;
  const Rect px = pixelsInSuperWidget(widgetVisualArea());
  widget_->setGeometry(int(px.origin.x), int(px.origin.y), int(px.size.width), int(px.size.height));
}

Point View::visualOriginInSuperWidget() const {
  const Rect f = frame_.standardized();
  if (!superview_) return {window_ ? 0 : f.minX(), 0};  // the content view fills its window
  const Rect sb = superview_->bounds();
  const Point parentOrigin = superview_->widgetOrigin();
  const double left = f.minX() - sb.origin.x;
  const double top = superview_->isFlipped() ? f.minY() - sb.origin.y : (sb.origin.y + sb.size.height) - f.maxY();
  return {left - parentOrigin.x, top - parentOrigin.y};
}

Rect View::widgetVisualArea() const {
  return widgetArea_.isNull() ? Rect(0, 0, frame_.width(), frame_.height()) : widgetArea_;
}

Rect View::pixelsInSuperWidget(const Rect& visual, Point o) {
  const double left = o.x + visual.minX();
  const double top = o.y + visual.minY();
  // Halves away from zero, as lround, without its call (the hit test runs
  // this at every press). A subview far outside its superview's band stays
  // far outside, within int; the part after the point is exact.
  auto pixel = [](double v) {
    v = std::clamp(v, -1e9, 1e9);
    const double whole = double(static_cast<long long>(v));
    const double part = v - whole;
    return part >= 0.5 ? whole + 1 : part <= -0.5 ? whole - 1 : whole;
  };
  const double x0 = pixel(left);
  const double y0 = pixel(top);
  const double x1 = pixel(left + visual.width());
  const double y1 = pixel(top + visual.height());
  return Rect(x0, y0, std::max(0.0, x1 - x0), std::max(0.0, y1 - y0));
}

Rect View::visualRect(const Rect& r) const {
  const Point a = toVisual({r.minX(), r.minY()});
  const Point b = toVisual({r.maxX(), r.maxY()});
  return Rect(std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y));
}

void View::setWidgetArea(const Rect& area) {
  if (area == widgetArea_) return;
  widgetArea_ = area;
  placeWidget();
  placeSubviewWidgets();
  widget_->update();
}

void View::placeSubviewWidgets() {
  for (auto& sv : subviews_) sv->placeWidget();
}

Point View::toVisual(Point p) const {
  const double x = p.x - boundsOrigin_.x;
  const double y = p.y - boundsOrigin_.y;
  return {x, isFlipped() ? y : frame_.size.height - y};
}

Point View::fromVisual(Point v) const {
  return {v.x + boundsOrigin_.x, (isFlipped() ? v.y : frame_.size.height - v.y) + boundsOrigin_.y};
}

Point View::toSuperview(Point p) const {
  const Point v = toVisual(p);
  const bool flippedBase = superview_ && superview_->isFlipped();
  return {frame_.origin.x + v.x, flippedBase ? frame_.origin.y + v.y : frame_.origin.y + frame_.size.height - v.y};
}

Point View::visualFromSuperview(Point p) const {
  const bool flippedBase = superview_ && superview_->isFlipped();
  return {p.x - frame_.origin.x, flippedBase ? p.y - frame_.origin.y : frame_.origin.y + frame_.size.height - p.y};
}

Point View::fromSuperview(Point p) const { return fromVisual(visualFromSuperview(p)); }

Point View::toBase(Point p) const {
  for (const View* v = this; v; v = v->superview_) p = v->toSuperview(p);
  return p;
}

Point View::fromBase(Point p) const {
  // From the root down to this view.
  if (superview_) p = superview_->fromBase(p);
  return fromSuperview(p);
}

Point View::convertPointFromView(Point p, const View* view) const {
  return fromBase(view ? view->toBase(p) : p);
}

Point View::convertPointToView(Point p, const View* view) const {
  const Point base = toBase(p);
  return view ? view->fromBase(base) : base;
}

Rect View::convertRectFromView(const Rect& r, const View* view) const {
  if (r.isNull()) return r;
  const Point a = convertPointFromView({r.minX(), r.minY()}, view);
  const Point b = convertPointFromView({r.maxX(), r.maxY()}, view);
  return Rect(std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y));
}

Rect View::convertRectToView(const Rect& r, const View* view) const {
  if (r.isNull()) return r;
  const Point a = convertPointToView({r.minX(), r.minY()}, view);
  const Point b = convertPointToView({r.maxX(), r.maxY()}, view);
  return Rect(std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y));
}

Rect View::visibleRect() const {
  if (isHiddenOrHasHiddenAncestor()) return Rect::zero();
  Rect r = bounds();
  const View* cur = this;
  // Clip by each ancestor's bounds, carrying the rectangle in base coordinates.
  Rect base = convertRectToView(r, nullptr);
  for (const View* s = cur->superview_; s; s = s->superview_) {
    base = base.intersection(s->convertRectToView(s->bounds(), nullptr));
    if (base.isNull()) return Rect::zero();
  }
  return convertRectFromView(base, nullptr);
}

// ---- hierarchy

void View::addSubview(std::shared_ptr<View> view) {
  if (!view) return;
  addSubview(std::move(view), WindowOrderingMode::Above, nullptr);
}

void View::addSubview(std::shared_ptr<View> view, WindowOrderingMode place, const View* relativeTo) {
  UI_ASSERT_MAIN_THREAD();
  if (!view || view.get() == this || isDescendantOf(view.get())) {
    if (view) fnd::log("View: refusing to add %s inside itself", view->className().c_str());
    return;
  }
  size_t index = subviews_.size();
  if (relativeTo) {
    for (size_t i = 0; i < subviews_.size(); ++i)
      if (subviews_[i].get() == relativeTo) index = place == WindowOrderingMode::Below ? i : i + 1;
  } else if (place == WindowOrderingMode::Below) {
    index = 0;
  }
  if (view->superview_ == this) {
    // Moving within the same superview: only the order changes.
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    const size_t from = size_t(it - subviews_.begin());
    subviews_.erase(it);
    if (index > from) --index;
    subviews_.insert(subviews_.begin() + std::ptrdiff_t(std::min(index, subviews_.size())), view);
    restack();
    return;
  }
  insertSubview(std::move(view), index);
}

void View::insertSubview(std::shared_ptr<View> view, size_t index) {
  auto keep = view;  // the old superview may hold the only other reference
  if (view->superview_) view->removeFromSuperview();
  view->viewWillMoveToSuperview(this);
  if (view->window_ != window_) view->notifyWillMoveToWindow(window_);
  index = std::min(index, subviews_.size());
  subviews_.insert(subviews_.begin() + std::ptrdiff_t(index), view);
  view->superview_ = this;
  view->widget_->setParent(widget_);
  view->placeWidget();
  view->widget_->setVisible(!view->hidden_);
  const bool atTop = index + 1 == subviews_.size();
  // A widget given a parent is stacked on top already.
  if (!atTop || !std::all_of(subviews_.begin(), subviews_.end() - 1, [&](const auto& s) {
        return s->layer_.zPosition_ <= view->layer_.zPosition_;
      })) {
    restack();
  }
  const bool windowChanged = view->window_ != window_;
  if (windowChanged) view->setWindowRecursive(window_);
  view->viewDidMoveToSuperview();
  if (windowChanged) view->notifyDidMoveToWindow();
  didAddSubview(view.get());
  if (auto* hooks = layoutEngineHooks()) hooks->viewDidChange(*view);
  setNeedsLayout(true);
}

void View::removeFromSuperview() {
  UI_ASSERT_MAIN_THREAD();
  View* s = superview_;
  if (!s) return;
  auto keep = sharedFromThis();  // alive until the end, even if only the superview held it
  auto it = std::find_if(s->subviews_.begin(), s->subviews_.end(), [&](const auto& v) { return v.get() == this; });
  if (it == s->subviews_.end()) return;
  s->removeSubviewAt(size_t(it - s->subviews_.begin()));
}

void View::removeSubviewAt(size_t index) {
  auto view = subviews_[index];
  willRemoveSubview(view.get());
  if (auto* hooks = layoutEngineHooks()) hooks->viewDidChange(*view);
  view->viewWillMoveToSuperview(nullptr);
  if (view->window_) {
    view->notifyWillMoveToWindow(nullptr);
    view->window_->viewWillLeave(*view);
  }
  // The list may have changed in the hooks.
  auto it = std::find(subviews_.begin(), subviews_.end(), view);
  if (it != subviews_.end()) subviews_.erase(it);
  view->superview_ = nullptr;
  view->dropConstraintsHeldOutside();
  view->widget_->hide();
  view->widget_->setParent(nullptr);
  const bool hadWindow = view->window_ != nullptr;
  view->setWindowRecursive(nullptr);
  view->viewDidMoveToSuperview();
  if (hadWindow) view->notifyDidMoveToWindow();
  setNeedsLayout(true);
}

void View::dropConstraintsHeldOutside() {
  std::vector<std::shared_ptr<LayoutConstraint>> out;
  std::vector<View*> stack{this};
  while (!stack.empty()) {
    View* v = stack.back();
    stack.pop_back();
    for (LayoutConstraint* c : v->namingConstraints_) {
      auto holder = c->holder();
      if (holder && !holder->isDescendantOf(this))
        out.push_back(std::static_pointer_cast<LayoutConstraint>(c->shared_from_this()));
    }
    for (auto& s : v->subviews_) stack.push_back(s.get());
  }
  for (auto& c : out)
    if (auto holder = c->holder()) removeConstraint(*holder, c);
}

void View::restack() {
  std::vector<View*> order;
  order.reserve(subviews_.size());
  for (auto& s : subviews_) order.push_back(s.get());
  std::stable_sort(order.begin(), order.end(),
                   [](View* a, View* b) { return a->layer_.zPosition_ < b->layer_.zPosition_; });
  for (View* v : order) v->widget_->raise();
}

void View::setWindowRecursive(Window* w) {
  window_ = w;
  if (!w) trackingReady_ = false;
  for (auto& s : subviews_) s->setWindowRecursive(w);
}

void View::notifyWillMoveToWindow(Window* w) {
  viewWillMoveToWindow(w);
  for (auto& s : std::vector<std::shared_ptr<View>>(subviews_)) s->notifyWillMoveToWindow(w);
}

void View::notifyDidMoveToWindow() {
  viewDidMoveToWindow();
  if (window_) {
    updateTrackingAreasIfReady();
    if (needsLayout_) window_->setNeedsLayoutPass();
  }
  for (auto& s : std::vector<std::shared_ptr<View>>(subviews_)) s->notifyDidMoveToWindow();
}

ScrollView* View::enclosingScrollView() const {
  for (View* s = superview_; s; s = s->superview_)
    if (auto* sv = dynamic_cast<ScrollView*>(s)) return sv;
  return nullptr;
}

bool View::isDescendantOf(const View* view) const {
  for (const View* v = this; v; v = v->superview_)
    if (v == view) return true;
  return false;
}

View* View::ancestorSharedWith(const View* view) const {
  if (!view) return nullptr;
  for (const View* v = this; v; v = v->superview_)
    if (view->isDescendantOf(v)) return const_cast<View*>(v);
  return nullptr;
}

void View::viewWillMoveToSuperview(View*) {}
void View::viewDidMoveToSuperview() {}
void View::viewWillMoveToWindow(Window*) {}
void View::viewDidMoveToWindow() {}
void View::didAddSubview(View*) {}
void View::willRemoveSubview(View*) {}
void View::subviewFrameDidChange(View&) {}
void View::awakeFromNib() {}

// ---- appearance

void View::setHidden(bool hidden) {
  UI_ASSERT_MAIN_THREAD();
  if (hidden == hidden_) return;
  if (hidden && window_) window_->viewWillLeave(*this);
  hidden_ = hidden;
  if (widget_->parentWidget()) widget_->setVisible(!hidden);
  if (!hidden) updateTrackingAreasIfReady();
}

bool View::isHiddenOrHasHiddenAncestor() const {
  for (const View* v = this; v; v = v->superview_)
    if (v->hidden_) return true;
  return false;
}

void View::setAlphaValue(double alpha) {
  UI_ASSERT_MAIN_THREAD();
  alpha = std::clamp(alpha, 0.0, 1.0);
  if (alpha == alpha_) return;
  alpha_ = alpha;
  if (alpha >= 1) {
    widget_->setGraphicsEffect(nullptr);
    return;
  }
  auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget_->graphicsEffect());
  if (!effect) {
    effect = new QGraphicsOpacityEffect(widget_);
    widget_->setGraphicsEffect(effect);
  }
  effect->setOpacity(alpha);
}

// ---- autoresizing

void View::resizeSubviewsWithOldSize(Size oldSize) {
  for (auto& s : std::vector<std::shared_ptr<View>>(subviews_))
    if (s->translatesMask_) s->resizeWithOldSuperviewSize(oldSize);
}

namespace {
// Shares `delta` among the flexible parts of one axis in proportion to their
// sizes (equally when they are all zero).
void share(double delta, bool flex[3], double part[3]) {
  double total = 0;
  int count = 0;
  for (int i = 0; i < 3; ++i)
    if (flex[i]) {
      total += part[i];
      ++count;
    }
  if (count == 0) return;
  for (int i = 0; i < 3; ++i)
    if (flex[i]) part[i] += total != 0 ? delta * part[i] / total : delta / count;
}
}  // namespace

void View::resizeWithOldSuperviewSize(Size oldSize) {
  if (!superview_ || autoresizingMask_ == 0) return;
  const Size now = superview_->frame_.size;
  Rect f = frame_;
  {
    bool flex[3] = {bool(autoresizingMask_ & ViewMinXMargin), bool(autoresizingMask_ & ViewWidthSizable),
                    bool(autoresizingMask_ & ViewMaxXMargin)};
    double part[3] = {f.origin.x, f.size.width, oldSize.width - f.origin.x - f.size.width};
    share(now.width - oldSize.width, flex, part);
    f.origin.x = part[0];
    f.size.width = std::max(0.0, part[1]);
  }
  {
    bool flex[3] = {bool(autoresizingMask_ & ViewMinYMargin), bool(autoresizingMask_ & ViewHeightSizable),
                    bool(autoresizingMask_ & ViewMaxYMargin)};
    double part[3] = {f.origin.y, f.size.height, oldSize.height - f.origin.y - f.size.height};
    share(now.height - oldSize.height, flex, part);
    f.origin.y = part[0];
    f.size.height = std::max(0.0, part[1]);
  }
  setFrame(f);
}

// ---- constraint hooks

void View::setTranslatesAutoresizingMaskIntoConstraints(bool t) {
  if (t == translatesMask_) return;
  translatesMask_ = t;
  if (auto* hooks = layoutEngineHooks()) hooks->viewDidChange(*this);
  setNeedsLayout(true);
}

void View::invalidateIntrinsicContentSize() {
  if (auto* hooks = layoutEngineHooks()) hooks->viewDidChange(*this);
  if (superview_) superview_->setNeedsLayout(true);
}

void View::setContentHuggingPriority(float p, LayoutConstraintOrientation o) {
  hugging_[int(o)] = p;
  invalidateIntrinsicContentSize();
}

void View::setContentCompressionResistancePriority(float p, LayoutConstraintOrientation o) {
  compression_[int(o)] = p;
  invalidateIntrinsicContentSize();
}

void View::setNeedsLayout(bool needs) {
  UI_ASSERT_MAIN_THREAD();
  needsLayout_ = needs;
  if (needs && window_) window_->setNeedsLayoutPass();
}

void View::layout() {}

void View::layoutSubtreeIfNeeded() {
  UI_ASSERT_MAIN_THREAD();
  if (window_) {
    window_->layoutIfNeeded();
    return;
  }
  View* root = this;
  while (root->superview_) root = root->superview_;
  Window::runLayoutPass(*root);
}

// ---- display

void View::setNeedsDisplay(bool needs) {
  UI_ASSERT_MAIN_THREAD();
  needsDisplay_ = needs;
  if (needs) widget_->update();
}

void View::setNeedsDisplayInRect(const Rect& rect) {
  UI_ASSERT_MAIN_THREAD();
  needsDisplay_ = true;
  const Rect r = rect.intersection(bounds());
  if (r.isNull()) return;
  const Point o = widgetOrigin();
  const Point a = toVisual({r.minX(), r.minY()});
  const Point b = toVisual({r.maxX(), r.maxY()});
  const double x0 = std::floor(std::min(a.x, b.x) - o.x);
  const double y0 = std::floor(std::min(a.y, b.y) - o.y);
  widget_->update(int(x0), int(y0), int(std::ceil(std::max(a.x, b.x) - o.x) - x0),
                  int(std::ceil(std::max(a.y, b.y) - o.y) - y0));
}

void View::drawRect(GraphicsContext&, const Rect&) {}

void View::displayIfNeeded() {
  UI_ASSERT_MAIN_THREAD();
  if (needsDisplay_) widget_->repaint();
}

void View::paint(ViewWidget& w, const Rect& dirtyInWidget) {
  needsDisplay_ = false;
  QPainter p(&w);
  p.setRenderHint(QPainter::Antialiasing);
  // The widget may cover only a band of the view: paint in the view's own
  // visual coordinates.
  const Point origin = widgetOrigin();
  p.translate(-origin.x, -origin.y);
  const QRectF box(0, 0, frame_.size.width, frame_.size.height);
  const double radius = std::min({layer_.cornerRadius_, box.width() / 2, box.height() / 2});
  const bool hasBackground = layer_.background_ && layer_.background_->alphaComponent() > 0;
  if (radius > 0 && (hasBackground || layer_.masksToBounds_)) {
    QPainterPath rounded;
    rounded.addRoundedRect(box, radius, radius);
    if (layer_.masksToBounds_) p.setClipPath(rounded);
    if (hasBackground) p.fillPath(rounded, layer_.background_->toQColor());
  } else if (hasBackground) {
    p.fillRect(box, layer_.background_->toQColor());
  }
  // Dirty rectangle in bounds coordinates.
  const Point a = fromVisual({dirtyInWidget.minX() + origin.x, dirtyInWidget.minY() + origin.y});
  const Point b = fromVisual({dirtyInWidget.maxX() + origin.x, dirtyInWidget.maxY() + origin.y});
  const Rect dirty(std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y));
  {
    GraphicsContext ctx(p, bounds(), isFlipped());
    if (layer_.contents_) ctx.drawImage(*layer_.contents_, bounds());
    drawRect(ctx, dirty);
  }
  if (layer_.borderWidth_ > 0) {
    const double half = layer_.borderWidth_ / 2;
    QPen pen(layer_.borderColor_.toQColor(), layer_.borderWidth_);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QRectF inner = box.adjusted(half, half, -half, -half);
    const double r = std::max(0.0, radius - half);
    p.drawRoundedRect(inner, r, r);
  }
}

// ---- events

Responder* View::nextResponder() const {
  if (auto r = nextResponderOverride_.lock()) return r.get();
  if (superview_) return superview_;
  return window_ && window_->contentView().get() == this ? window_ : nullptr;
}

View* View::hitTest(Point p) {
  if (hidden_) return nullptr;
  Point local = p;
  if (superview_ || window_) {
    // Most views are far from the point: their widget's pixels lie within
    // the frame (the widget's area is part of it), each edge rounded by at
    // most half a pixel.
    if (superview_) {
      const double x = p.x - frame_.origin.x;
      const double y = p.y - frame_.origin.y;
      const double w = frame_.size.width;
      const double h = frame_.size.height;
      if (x < std::min(0.0, w) - 1 || x > std::max(0.0, w) + 1 || y < std::min(0.0, h) - 1 || y > std::max(0.0, h) + 1)
        return nullptr;
    }
    // The view takes the pixels its widget covers, those Qt gives it the
    // events of, and a point there lies in the view where the widget draws
    // it: subviews are tested against that, not against the fractional
    // frame, from which the widget's rounded edges and the rounding of each
    // widget above it may stray.
    const Point o = visualOriginInSuperWidget();
    const Point v = visualFromSuperview(p);
    const Point inSuperWidget{o.x + v.x, o.y + v.y};
    const Rect pixels = pixelsInSuperWidget(widgetVisualArea(), o);
    if (!pixels.contains(inSuperWidget)) return nullptr;
    const Point band = widgetOrigin();
    local = fromVisual({inSuperWidget.x - pixels.origin.x + band.x, inSuperWidget.y - pixels.origin.y + band.y});
  }
  // Frontmost first: the last subview of the highest z position. Subviews all
  // at one z position (the usual case) are taken in reverse as they stand.
  const bool oneLevel = std::all_of(subviews_.begin(), subviews_.end(), [this](const std::shared_ptr<View>& s) {
    return s->layer_.zPosition_ == subviews_.front()->layer_.zPosition_;
  });
  if (oneLevel) {
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it)
      if (View* hit = (*it)->hitTest(local)) return hit;
    return this;
  }
  std::vector<View*> order;
  for (auto& s : subviews_) order.push_back(s.get());
  std::stable_sort(order.begin(), order.end(),
                   [](View* a, View* b) { return a->layer_.zPosition_ < b->layer_.zPosition_; });
  for (auto it = order.rbegin(); it != order.rend(); ++it)
    if (View* hit = (*it)->hitTest(local)) return hit;
  return this;
}

bool View::canBecomeKeyView() const {
  return acceptsFirstResponder() && !isHiddenOrHasHiddenAncestor() && window_;
}

void View::mouseCancelled(Event&) {}

void View::rightMouseDown(Event& e) {
  for (View* v = this; v; v = v->superview_) {
    if (auto m = v->menuForEvent(e)) {
      Menu::popUpContextMenu(m, e, *v);
      return;
    }
  }
  Responder::rightMouseDown(e);
}

std::shared_ptr<Menu> View::menuForEvent(Event&) { return menu_; }

// ---- tracking areas

void View::addTrackingArea(std::shared_ptr<TrackingArea> area) {
  UI_ASSERT_MAIN_THREAD();
  if (!area) return;
  if (std::find(trackingAreas_.begin(), trackingAreas_.end(), area) != trackingAreas_.end()) return;
  if (window_) window_->areaAdded(*area, *this);
  trackingAreas_.push_back(std::move(area));
}

void View::removeTrackingArea(const std::shared_ptr<TrackingArea>& area) {
  UI_ASSERT_MAIN_THREAD();
  if (area && area->inside_ && std::find(trackingAreas_.begin(), trackingAreas_.end(), area) != trackingAreas_.end())
    droppedInsideArea_ = true;
  trackingAreas_.erase(std::remove(trackingAreas_.begin(), trackingAreas_.end(), area), trackingAreas_.end());
}

void View::keepTrackingAreaOverBounds(std::shared_ptr<TrackingArea>& area, unsigned options) {
  const Rect rect = bounds();
  if (area && area->rect() == rect && area->options() == options) return;
  if (area) removeTrackingArea(area);
  area = TrackingArea::make(rect, options, sharedFromThis());
  addTrackingArea(area);
}

void View::updateTrackingAreas() {}

void View::visibleRectDidChange() {
  if (window_ && !isHiddenOrHasHiddenAncestor() && !trackingAreas_.empty()) updateTrackingAreasIfReady();
  for (auto& s : std::vector<std::shared_ptr<View>>(subviews_)) s->visibleRectDidChange();
}

void View::updateTrackingAreasIfReady() {
  if (!window_ || frame_.size.width <= 0 || frame_.size.height <= 0) return;
  trackingReady_ = true;
  updateTrackingAreas();
}

}  // namespace ui
