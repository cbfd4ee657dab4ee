// Short frame accessors of views (GGFrame) and colours from packed integers
// (hex): 0xRRGGBB, with a separate alpha or 0xAARRGGBB. Components are
// divided by 255.
#pragma once

#include <cstdint>

#include "platform/ui/Color.h"
#include "platform/ui/View.h"

// The frame's origin and size, in the superview's coordinates.
inline double gg_x(const ui::View& v) { return v.frame().origin.x; }
inline double gg_y(const ui::View& v) { return v.frame().origin.y; }
inline double gg_width(const ui::View& v) { return v.frame().size.width; }
inline double gg_height(const ui::View& v) { return v.frame().size.height; }
inline double gg_centerX(const ui::View& v) { return v.frame().midX(); }
inline double gg_centerY(const ui::View& v) { return v.frame().midY(); }
inline ui::Point gg_centerPoint(const ui::View& v) { return {v.frame().midX(), v.frame().midY()}; }

ui::Color colorWithRGB(uint32_t rgb);
ui::Color colorWithRGB(uint32_t rgb, double alpha);
ui::Color colorWithRGBA(uint32_t argb);
