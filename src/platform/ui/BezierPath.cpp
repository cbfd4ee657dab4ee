#include "platform/ui/BezierPath.h"

#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/QtGeometry.h"

namespace ui {

namespace {

// Setting the fill rule on an empty QPainterPath would add a move to (0, 0),
// so the rule is set once the path has elements (see changed()).
std::unique_ptr<QPainterPath> newPath() { return std::make_unique<QPainterPath>(); }

}  // namespace

BezierPath::BezierPath() : path_(newPath()) {}
BezierPath::~BezierPath() = default;
BezierPath::BezierPath(const BezierPath& o)
    : path_(std::make_unique<QPainterPath>(*o.path_)),
      lineWidth_(o.lineWidth_),
      cap_(o.cap_),
      join_(o.join_),
      dash_(o.dash_),
      dashPhase_(o.dashPhase_) {}
BezierPath& BezierPath::operator=(const BezierPath& o) {
  if (this != &o) {
    *path_ = *o.path_;
    lineWidth_ = o.lineWidth_;
    cap_ = o.cap_;
    join_ = o.join_;
    dash_ = o.dash_;
    dashPhase_ = o.dashPhase_;
  }
  return *this;
}
BezierPath::BezierPath(BezierPath&& o) noexcept : BezierPath() { *this = std::move(o); }
BezierPath& BezierPath::operator=(BezierPath&& o) noexcept {
  std::swap(path_, o.path_);
  lineWidth_ = o.lineWidth_;
  cap_ = o.cap_;
  join_ = o.join_;
  dash_ = std::move(o.dash_);
  dashPhase_ = o.dashPhase_;
  return *this;
}

BezierPath BezierPath::bezierPathWithRect(const Rect& r) {
  BezierPath p;
  p.appendRect(r);
  return p;
}

BezierPath BezierPath::bezierPathWithOvalInRect(const Rect& r) {
  BezierPath p;
  p.appendOval(r);
  return p;
}

BezierPath BezierPath::bezierPathWithRoundedRect(const Rect& r, double xRadius, double yRadius) {
  BezierPath p;
  p.appendRoundedRect(r, xRadius, yRadius);
  return p;
}

void BezierPath::fillRect(const Rect& r) { bezierPathWithRect(r).fill(); }

void BezierPath::strokeRect(const Rect& r) { bezierPathWithRect(r).stroke(); }

void BezierPath::strokeLine(Point from, Point to) {
  BezierPath p;
  p.moveTo(from);
  p.lineTo(to);
  p.stroke();
}

void BezierPath::moveTo(Point p) {
  path_->moveTo(toQPointF(p));
  changed();
}

void BezierPath::lineTo(Point p) {
  if (path_->elementCount() == 0)
    path_->moveTo(toQPointF(p));
  else
    path_->lineTo(toQPointF(p));
  changed();
}

void BezierPath::curveTo(Point end, Point control1, Point control2) {
  if (path_->elementCount() == 0) path_->moveTo(toQPointF(control1));
  path_->cubicTo(toQPointF(control1), toQPointF(control2), toQPointF(end));
  changed();
}

void BezierPath::closePath() { path_->closeSubpath(); }

void BezierPath::changed() {
  if (path_->elementCount() > 0) path_->setFillRule(Qt::WindingFill);
}

void BezierPath::appendRect(const Rect& r) {
  path_->addRect(toQRectF(r));
  changed();
}

void BezierPath::appendOval(const Rect& r) {
  path_->addEllipse(toQRectF(r));
  changed();
}

void BezierPath::appendRoundedRect(const Rect& r, double xRadius, double yRadius) {
  const QRectF q = toQRectF(r);
  const double rx = std::clamp(xRadius, 0.0, q.width() / 2);
  const double ry = std::clamp(yRadius, 0.0, q.height() / 2);
  if (rx <= 0 || ry <= 0)
    path_->addRect(q);
  else
    path_->addRoundedRect(q, rx, ry);
  changed();
}

void BezierPath::appendArc(Point center, double radius, double startDegrees, double endDegrees, bool clockwise) {
  double sweep = clockwise ? startDegrees - endDegrees : endDegrees - startDegrees;
  sweep = std::fmod(sweep, 360.0);
  if (sweep <= 0) sweep += 360.0;
  if (clockwise) sweep = -sweep;
  const double a = startDegrees * M_PI / 180.0;
  const QPointF start(center.x + radius * std::cos(a), center.y + radius * std::sin(a));
  if (path_->elementCount() == 0)
    path_->moveTo(start);
  else
    path_->lineTo(start);
  // Qt measures angles with y pointing down; our y points up, so both the
  // start angle and the sweep change sign.
  const QRectF box(center.x - radius, center.y - radius, 2 * radius, 2 * radius);
  path_->arcTo(box, -startDegrees, -sweep);
  changed();
}

void BezierPath::appendPath(const BezierPath& other) {
  path_->addPath(*other.path_);
  changed();
}

void BezierPath::removeAllPoints() { path_ = newPath(); }

bool BezierPath::isEmpty() const { return path_->elementCount() == 0; }

Point BezierPath::currentPoint() const {
  const QPointF p = path_->currentPosition();
  return {p.x(), p.y()};
}

Rect BezierPath::bounds() const {
  if (isEmpty()) return Rect::zero();
  const QRectF b = path_->boundingRect();
  return {b.x(), b.y(), b.width(), b.height()};
}

bool BezierPath::containsPoint(Point p) const { return path_->contains(toQPointF(p)); }

void BezierPath::setLineDash(std::vector<double> pattern, double phase) {
  dash_ = std::move(pattern);
  dashPhase_ = phase;
}

void BezierPath::fill() const {
  if (auto* ctx = GraphicsContext::current()) ctx->fillPath(*this);
}

void BezierPath::stroke() const {
  if (auto* ctx = GraphicsContext::current()) ctx->strokePath(*this);
}

void BezierPath::addClip() const {
  if (auto* ctx = GraphicsContext::current()) ctx->clipToPath(*this);
}

}  // namespace ui
