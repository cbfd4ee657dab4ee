// A colour: red, green, blue and alpha as doubles in [0, 1], all in sRGB.
// The calibrated and device factories exist so drawing code can say what it
// means; they all give the same sRGB values. A colour can also carry a pattern
// image, which fills as a tiled picture instead of a flat colour.
#pragma once

#include <cstdint>
#include <memory>

class QColor;

namespace ui {

class Image;
class GraphicsContext;

class Color {
public:
  // Opaque black.
  Color() = default;
  Color(double r, double g, double b, double a = 1.0);

  static Color rgb(double r, double g, double b, double a = 1.0) { return {r, g, b, a}; }
  static Color srgb(double r, double g, double b, double a = 1.0) { return {r, g, b, a}; }
  static Color calibratedRGB(double r, double g, double b, double a = 1.0) { return {r, g, b, a}; }
  static Color calibratedWhite(double w, double a = 1.0) { return {w, w, w, a}; }
  static Color deviceWhite(double w, double a = 1.0) { return {w, w, w, a}; }
  // Components 0-255.
  static Color rgb255(int r, int g, int b, double a = 1.0);
  // A tile that fills a region repeatedly; a null image gives clear.
  static Color patternImage(std::shared_ptr<Image> image);
  static Color fromQColor(const QColor& c);

  static Color clearColor() { return {0, 0, 0, 0}; }
  static Color whiteColor() { return {1, 1, 1}; }
  static Color blackColor() { return {0, 0, 0}; }
  static Color grayColor() { return {0.5, 0.5, 0.5}; }
  static Color lightGrayColor() { return {2.0 / 3, 2.0 / 3, 2.0 / 3}; }
  static Color darkGrayColor() { return {1.0 / 3, 1.0 / 3, 1.0 / 3}; }
  static Color redColor() { return {1, 0, 0}; }
  static Color greenColor() { return {0, 1, 0}; }
  static Color blueColor() { return {0, 0, 1}; }
  static Color yellowColor() { return {1, 1, 0}; }
  static Color brownColor() { return {0.6, 0.4, 0.2}; }
  static Color purpleColor() { return {0.5, 0, 0.5}; }

  double redComponent() const { return r_; }
  double greenComponent() const { return g_; }
  double blueComponent() const { return b_; }
  double alphaComponent() const { return a_; }
  Color withAlphaComponent(double a) const;

  const std::shared_ptr<Image>& pattern() const { return pattern_; }

  QColor toQColor() const;

  // Both the fill and the stroke colour of the current drawing context.
  void set() const;
  void setFill() const;
  void setStroke() const;

  // Equal when all four components are (a pattern colour only equals the
  // same pattern).
  bool operator==(const Color& o) const;
  bool operator!=(const Color& o) const { return !(*this == o); }

private:
  double r_ = 0, g_ = 0, b_ = 0, a_ = 1;
  std::shared_ptr<Image> pattern_;
};

// Packed forms: 0xRRGGBB, optionally with an alpha, and 0xAARRGGBB. Each
// component is divided by 255 in single precision, as the stored colours of
// the controls were computed.
Color colorWithRGB(uint32_t rgb);
Color colorWithRGB(uint32_t rgb, double alpha);
Color colorWithRGBA(uint32_t argb);

}  // namespace ui
