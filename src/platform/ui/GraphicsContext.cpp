#include "platform/ui/GraphicsContext.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

#include "platform/ui/AttributedString.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/Gradient.h"
#include "platform/ui/Image.h"
#include "platform/ui/QtGeometry.h"
#include "platform/ui/TextLines.h"

namespace ui {

namespace {

thread_local GraphicsContext* tCurrentContext = nullptr;

QPainter::CompositionMode compositionMode(CompositingOperation op) {
  switch (op) {
    case CompositingOperation::Clear:
      return QPainter::CompositionMode_Clear;
    case CompositingOperation::Copy:
      return QPainter::CompositionMode_Source;
    case CompositingOperation::SourceOver:
      return QPainter::CompositionMode_SourceOver;
    case CompositingOperation::SourceIn:
      return QPainter::CompositionMode_SourceIn;
    case CompositingOperation::SourceOut:
      return QPainter::CompositionMode_SourceOut;
    case CompositingOperation::SourceAtop:
      return QPainter::CompositionMode_SourceAtop;
    case CompositingOperation::DestinationOver:
      return QPainter::CompositionMode_DestinationOver;
    case CompositingOperation::DestinationIn:
      return QPainter::CompositionMode_DestinationIn;
    case CompositingOperation::DestinationOut:
      return QPainter::CompositionMode_DestinationOut;
    case CompositingOperation::DestinationAtop:
      return QPainter::CompositionMode_DestinationAtop;
    case CompositingOperation::XOR:
      return QPainter::CompositionMode_Xor;
    case CompositingOperation::PlusDarker:
      return QPainter::CompositionMode_Darken;
    case CompositingOperation::PlusLighter:
      return QPainter::CompositionMode_Plus;
  }
  return QPainter::CompositionMode_SourceOver;
}

Qt::PenCapStyle penCap(LineCapStyle s) {
  switch (s) {
    case LineCapStyle::Round:
      return Qt::RoundCap;
    case LineCapStyle::Square:
      return Qt::SquareCap;
    default:
      return Qt::FlatCap;
  }
}

Qt::PenJoinStyle penJoin(LineJoinStyle s) {
  switch (s) {
    case LineJoinStyle::Round:
      return Qt::RoundJoin;
    case LineJoinStyle::Bevel:
      return Qt::BevelJoin;
    default:
      return Qt::MiterJoin;
  }
}

// Makes the local y axis point down about the horizontal line at `y`, so
// that text and pictures come out upright in a y-up space.
void flipAbout(QPainter& p, double y) {
  p.translate(0, 2 * y);
  p.scale(1, -1);
}

}  // namespace

GraphicsContext::GraphicsContext(QPainter& painter, const Rect& bounds, bool flipped)
    : painter_(painter), bounds_(bounds.standardized()), flipped_(flipped), previous_(tCurrentContext) {
  painter_.save();
  if (flipped_) {
    painter_.translate(-bounds_.origin.x, -bounds_.origin.y);
  } else {
    painter_.translate(-bounds_.origin.x, bounds_.origin.y + bounds_.size.height);
    painter_.scale(1, -1);
  }
  painter_.setRenderHint(QPainter::Antialiasing, true);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
  tCurrentContext = this;
}

GraphicsContext::~GraphicsContext() {
  for (size_t i = 0; i < saved_.size(); ++i) painter_.restore();
  painter_.restore();
  tCurrentContext = previous_;
}

GraphicsContext* GraphicsContext::current() { return tCurrentContext; }

double GraphicsContext::deviceScale() const {
  const QTransform t = painter_.combinedTransform();
  const double linear = std::sqrt(std::abs(t.m11() * t.m22() - t.m12() * t.m21()));
  const double dpr = painter_.device() ? painter_.device()->devicePixelRatioF() : 1.0;
  return std::max(0.01, linear * dpr);
}

void GraphicsContext::saveGState() {
  saved_.push_back(state_);
  painter_.save();
}

void GraphicsContext::restoreGState() {
  if (saved_.empty()) return;
  state_ = std::move(saved_.back());
  saved_.pop_back();
  painter_.restore();
}

void GraphicsContext::translate(double dx, double dy) { painter_.translate(dx, dy); }

void GraphicsContext::rotate(double degrees) { painter_.rotate(degrees); }

void GraphicsContext::scale(double sx, double sy) { painter_.scale(sx, sy); }

void GraphicsContext::concat(double a, double b, double c, double d, double tx, double ty) {
  painter_.setWorldTransform(QTransform(a, b, c, d, tx, ty), true);
}

void GraphicsContext::setShouldAntialias(bool on) { painter_.setRenderHint(QPainter::Antialiasing, on); }

namespace {

QBrush brushFor(const Color& c, const GraphicsContext& ctx) {
  if (!c.pattern()) return QBrush(c.toQColor());
  const double s = ctx.deviceScale();
  QImage tile = c.pattern()->bitmap(s);
  if (tile.isNull()) return QBrush(Qt::transparent);
  QBrush brush(tile);
  // Texture pixels to user units; in a y-up space the tile stays upright,
  // with its bottom-left corner at the phase.
  QTransform t;
  t.translate(ctx.patternPhase().x, ctx.patternPhase().y);
  if (!ctx.isFlipped()) {
    t.translate(0, tile.height() / s);
    t.scale(1, -1);
  }
  t.scale(1 / s, 1 / s);
  brush.setTransform(t);
  return brush;
}

QPen penFor(const Color& c, const BezierPath& path, const GraphicsContext& ctx) {
  QPen pen(brushFor(c, ctx), std::max(0.0, path.lineWidth()), Qt::SolidLine, penCap(path.lineCapStyle()),
           penJoin(path.lineJoinStyle()));
  pen.setMiterLimit(5.0);
  const auto& dash = path.lineDash();
  const double unit = path.lineWidth() > 0 ? path.lineWidth() : 1.0;
  bool usable = !dash.empty() && std::all_of(dash.begin(), dash.end(), [](double d) { return d >= 0; }) &&
                std::any_of(dash.begin(), dash.end(), [](double d) { return d > 0; });
  if (usable) {
    // Qt counts dashes in line widths and wants on/off pairs: an odd
    // pattern repeats once more to pair up.
    QList<qreal> pattern;
    for (int rep = 0; rep < (dash.size() % 2 ? 2 : 1); ++rep)
      for (double d : dash) pattern << std::max(d / unit, 1e-3);
    pen.setDashPattern(pattern);
    pen.setDashOffset(path.lineDashPhase() / unit);
  }
  return pen;
}

}  // namespace

template <typename Draw>
void GraphicsContext::withShadow(Draw&& draw) {
  if (state_.shadow && state_.shadow->shadowColor.alphaComponent() > 0) {
    painter_.save();
    // The offset is in the base space: right and up on screen.
    painter_.setWorldTransform(painter_.worldTransform() *
                               QTransform::fromTranslate(state_.shadow->shadowOffset.width,
                                                         -state_.shadow->shadowOffset.height));
    draw(true);
    painter_.restore();
  }
  draw(false);
}

void GraphicsContext::fillRect(const Rect& r) { fillRect(r, CompositingOperation::SourceOver); }

void GraphicsContext::fillRect(const Rect& r, CompositingOperation op) {
  const QRectF rect = toQRectF(r);
  if (rect.isEmpty()) return;
  painter_.save();
  painter_.setCompositionMode(compositionMode(op));
  withShadow([&](bool shadowPass) {
    painter_.fillRect(rect, shadowPass ? QBrush(state_.shadow->shadowColor.toQColor()) : brushFor(state_.fill, *this));
  });
  painter_.restore();
}

void GraphicsContext::fillPath(const BezierPath& path) {
  if (path.isEmpty()) return;
  withShadow([&](bool shadowPass) {
    painter_.fillPath(path.qPath(),
                      shadowPass ? QBrush(state_.shadow->shadowColor.toQColor()) : brushFor(state_.fill, *this));
  });
}

void GraphicsContext::strokePath(const BezierPath& path) {
  if (path.isEmpty()) return;
  withShadow([&](bool shadowPass) {
    painter_.strokePath(path.qPath(), penFor(shadowPass ? state_.shadow->shadowColor : state_.stroke, path, *this));
  });
}

void GraphicsContext::clipToRect(const Rect& r) {
  painter_.setClipRect(toQRectF(r), painter_.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
}

void GraphicsContext::clipToPath(const BezierPath& path) {
  painter_.setClipPath(path.qPath(), painter_.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
}

void GraphicsContext::drawLinearGradient(const Gradient& g, Point from, Point to, const Rect* within) {
  QRectF area;
  if (within) {
    area = toQRectF(*within);
  } else {
    area = painter_.worldTransform().inverted().mapRect(QRectF(painter_.window()));
    if (painter_.hasClipping()) area = area.intersected(painter_.clipBoundingRect());
  }
  if (area.isEmpty()) return;
  QLinearGradient lg(QPointF(from.x, from.y), QPointF(to.x, to.y));
  lg.setColorAt(0, g.startingColor().toQColor());
  lg.setColorAt(1, g.endingColor().toQColor());
  lg.setSpread(QGradient::PadSpread);
  painter_.fillRect(area, QBrush(lg));
}

void GraphicsContext::drawImage(const Image& img, const Rect& dst, const Rect& src, CompositingOperation op,
                                double fraction) {
  const Rect d = dst.standardized();
  if (d.isEmpty() || img.size().width <= 0 || img.size().height <= 0 || fraction <= 0) return;
  painter_.save();
  painter_.setCompositionMode(compositionMode(op));
  painter_.setOpacity(painter_.opacity() * std::min(1.0, fraction));
  if (!flipped_) flipAbout(painter_, d.midY());
  const Rect whole{0, 0, img.size().width, img.size().height};
  const Rect s = src.isEmpty() ? whole : src.standardized();
  if (src.isEmpty() && img.hasCapInsets()) {
    // Nine parts: corners kept, edges stretched along one axis, the middle
    // along both. Insets larger than the destination are scaled down.
    const EdgeInsets in = img.capInsets();
    const double sw = whole.width(), sh = whole.height();
    const double kx = std::min(1.0, d.width() / std::max(1e-9, in.left + in.right));
    const double ky = std::min(1.0, d.height() / std::max(1e-9, in.top + in.bottom));
    const double srcX[4] = {0, in.left, sw - in.right, sw};
    const double srcY[4] = {0, in.top, sh - in.bottom, sh};  // from the top
    const double dstX[4] = {d.minX(), d.minX() + in.left * kx, d.maxX() - in.right * kx, d.maxX()};
    const double dstY[4] = {d.minY(), d.minY() + in.top * ky, d.maxY() - in.bottom * ky, d.maxY()};
    for (int row = 0; row < 3; ++row) {
      for (int col = 0; col < 3; ++col) {
        const Rect part{dstX[col], dstY[row], dstX[col + 1] - dstX[col], dstY[row + 1] - dstY[row]};
        // Source parts in y-up image points.
        const Rect from{srcX[col], sh - srcY[row + 1], srcX[col + 1] - srcX[col], srcY[row + 1] - srcY[row]};
        if (part.width() > 0 && part.height() > 0 && from.width() > 0 && from.height() > 0)
          drawImagePart(img, part, from);
      }
    }
  } else {
    drawImagePart(img, d, s);
  }
  painter_.restore();
}

// `dst` is in the upright local space set up by drawImage; `srcPoints` is
// y-up in the image's points.
void GraphicsContext::drawImagePart(const Image& img, const Rect& dst, const Rect& srcPoints) {
  // Half steps keep the number of cached bitmaps small; beyond 8 pixels a
  // point the picture is stretched rather than drawn larger.
  const double scale = std::clamp(std::ceil(deviceScale() * 2) / 2, 1.0, 8.0);
  const QImage& bmp = img.bitmap(scale);
  if (bmp.isNull()) return;
  const double px = bmp.width() / img.size().width;
  const double py = bmp.height() / img.size().height;
  const QRectF source(srcPoints.minX() * px, (img.size().height - srcPoints.maxY()) * py, srcPoints.width() * px,
                      srcPoints.height() * py);
  const QRectF target = toQRectF(dst);
  withShadow([&](bool shadowPass) {
    if (!shadowPass) {
      painter_.drawImage(target, bmp, source);
      return;
    }
    // The picture's shape in the shadow colour.
    QImage mask = bmp.copy(source.toAlignedRect()).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter mp(&mask);
    mp.setCompositionMode(QPainter::CompositionMode_SourceIn);
    mp.fillRect(mask.rect(), state_.shadow->shadowColor.toQColor());
    mp.end();
    painter_.drawImage(target, mask, QRectF(mask.rect()));
  });
}

void GraphicsContext::drawString(const AttributedString& text, const Rect& rect, unsigned options) {
  if (text.string.empty()) return;
  const Rect r = rect.standardized();
  const auto laid = detail::cachedLayout(text, r.width(), r.height(), options);
  if (laid->lines.empty()) return;
  painter_.save();
  painter_.setFont(laid->font);
  double top;
  if (options & UsesLineFragmentOrigin) {
    if (!flipped_) flipAbout(painter_, r.midY());
    top = r.minY();
  } else {
    // The origin is the first baseline's start.
    if (!flipped_) flipAbout(painter_, r.minY());
    top = r.minY() - laid->ascent;
  }
  withShadow([&](bool shadowPass) {
    painter_.setPen(shadowPass ? state_.shadow->shadowColor.toQColor() : text.foregroundColor.toQColor());
    for (const auto& line : laid->lines)
      if (line.shaped) line.shaped->draw(&painter_, QPointF(r.minX() + line.x, top + line.top));
  });
  painter_.restore();
}

}  // namespace ui
