// Line breaking shared by text drawing and measuring (in this folder only).
#pragma once

#include <QFont>
#include <QString>
#include <vector>

#include "platform/ui/AttributedString.h"

namespace ui::detail {

struct TextLine {
  QString text;
  double x = 0;      // offset from the left of the layout box (alignment)
  double top = 0;    // from the top of the first line
  double width = 0;  // advance of the text
};

struct LaidOutText {
  QFont font;
  double ascent = 0;
  double lineHeight = 0;
  double width = 0;   // the widest line
  double height = 0;  // top of the first line to the bottom of the last
  std::vector<TextLine> lines;
};

// Lays out `text` in a box `width` wide and `height` high (0 or less:
// unlimited), following the paragraph style and the drawing options.
LaidOutText layOutText(const AttributedString& text, double width, double height, unsigned options);

}  // namespace ui::detail
