// Line breaking shared by text drawing and measuring (in this folder only).
#pragma once

#include <QFont>
#include <QString>
#include <QTextLayout>
#include <memory>
#include <vector>

#include "platform/ui/AttributedString.h"

namespace ui::detail {

struct TextLine {
  QString text;
  double x = 0;      // offset from the left of the layout box (alignment)
  double top = 0;    // from the top of the first line
  double width = 0;  // advance of the text
  // The text shaped once, when the line was measured, and kept for drawing
  // from the top left of the line; none for an empty line.
  std::shared_ptr<const QTextLayout> shaped;
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

// The same, from a small per-thread cache of recent layouts keyed by
// everything the layout depends on (the text, the font, the paragraph style,
// the box and the options; not the colour), so that drawing and measuring
// the same label again costs a look-up. The layout stays valid while it is
// held, whatever the cache evicts meanwhile.
std::shared_ptr<const LaidOutText> cachedLayout(const AttributedString& text, double width, double height,
                                                unsigned options);
// How many layouts the cache holds at most.
inline constexpr size_t kLayoutCacheCapacity = 1024;

}  // namespace ui::detail
