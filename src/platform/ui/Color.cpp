#include "platform/ui/Color.h"

#include <QColor>
#include <algorithm>

#include "platform/ui/GraphicsContext.h"

namespace ui {

namespace {

double clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

double byteComponent(uint32_t v) { return static_cast<double>(static_cast<float>(v & 0xFFu) / 255.0f); }

}  // namespace

Color::Color(double r, double g, double b, double a) : r_(clamp01(r)), g_(clamp01(g)), b_(clamp01(b)), a_(clamp01(a)) {}

Color Color::rgb255(int r, int g, int b, double a) { return {r / 255.0, g / 255.0, b / 255.0, a}; }

Color Color::patternImage(std::shared_ptr<Image> image) {
  if (!image) return clearColor();
  Color c{0, 0, 0, 1};
  c.pattern_ = std::move(image);
  return c;
}

Color Color::fromQColor(const QColor& c) {
  const QColor s = c.toRgb();
  return {s.redF(), s.greenF(), s.blueF(), s.alphaF()};
}

Color Color::withAlphaComponent(double a) const {
  Color c = *this;
  c.a_ = clamp01(a);
  return c;
}

QColor Color::toQColor() const { return QColor::fromRgbF(float(r_), float(g_), float(b_), float(a_)); }

void Color::set() const {
  if (auto* ctx = GraphicsContext::current()) {
    ctx->setFillColor(*this);
    ctx->setStrokeColor(*this);
  }
}

void Color::setFill() const {
  if (auto* ctx = GraphicsContext::current()) ctx->setFillColor(*this);
}

void Color::setStroke() const {
  if (auto* ctx = GraphicsContext::current()) ctx->setStrokeColor(*this);
}

bool Color::operator==(const Color& o) const {
  return r_ == o.r_ && g_ == o.g_ && b_ == o.b_ && a_ == o.a_ && pattern_ == o.pattern_;
}

Color colorWithRGB(uint32_t rgb) { return colorWithRGB(rgb, 1.0); }

Color colorWithRGB(uint32_t rgb, double alpha) {
  return {byteComponent(rgb >> 16), byteComponent(rgb >> 8), byteComponent(rgb), alpha};
}

Color colorWithRGBA(uint32_t argb) {
  return {byteComponent(argb >> 16), byteComponent(argb >> 8), byteComponent(argb), byteComponent(argb >> 24)};
}

}  // namespace ui
