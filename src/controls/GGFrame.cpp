#include "controls/GGFrame.h"

namespace {
double component(uint32_t packed, int shift) { return double(float(double((packed >> shift) & 0xFF) / 255.0)); }
}  // namespace

ui::Color colorWithRGB(uint32_t rgb) { return colorWithRGB(rgb, 1.0); }

ui::Color colorWithRGB(uint32_t rgb, double alpha) {
  return ui::Color::rgb(component(rgb, 16), component(rgb, 8), component(rgb, 0), double(float(alpha)));
}

ui::Color colorWithRGBA(uint32_t argb) { return colorWithRGB(argb & 0xFFFFFF, component(argb, 24)); }
