#include "platform/ui/AttributedString.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QStringList>
#include <QTextLayout>
#include <QTextOption>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <functional>
#include <list>
#include <unordered_map>

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/TextLines.h"

namespace ui {

namespace detail {

namespace {

// A line as broken, before truncation: where in which paragraph it starts.
struct Piece {
  QString text;
  int paragraph = 0;
  int start = 0;
  double width = 0;
  std::shared_ptr<const QTextLayout> shaped;
};

// One line of text shaped once: its advance, and the shaped text kept for
// drawing (the layout keeps its glyphs).
struct ShapedLine {
  double width = 0;
  std::shared_ptr<const QTextLayout> shaped;
};

ShapedLine shapeLine(const QString& text, const QFont& font) {
  if (text.isEmpty()) return {};
  auto layout = std::make_shared<QTextLayout>(text, font);
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  layout->setTextOption(option);
  layout->setCacheEnabled(true);
  layout->beginLayout();
  QTextLine line = layout->createLine();
  layout->endLayout();
  if (!line.isValid()) return {};
  return {line.horizontalAdvance(), std::move(layout)};
}

Piece pieceOf(const QString& text, int paragraph, int start, const QFont& font) {
  ShapedLine shaped = shapeLine(text, font);
  return {text, paragraph, start, shaped.width, std::move(shaped.shaped)};
}

bool wraps(LineBreakMode m) { return m == LineBreakMode::WordWrapping || m == LineBreakMode::CharWrapping; }

Qt::TextElideMode elideMode(LineBreakMode m) {
  switch (m) {
    case LineBreakMode::TruncatingHead:
      return Qt::ElideLeft;
    case LineBreakMode::TruncatingMiddle:
      return Qt::ElideMiddle;
    default:
      return Qt::ElideRight;
  }
}

double alignmentFactor(TextAlignment a) {
  switch (a) {
    case TextAlignment::Right:
      return 1.0;
    case TextAlignment::Center:
      return 0.5;
    default:
      return 0.0;
  }
}

std::vector<Piece> breakParagraph(const QString& p, int index, const QFont& font, double width, LineBreakMode mode) {
  std::vector<Piece> out;
  if (p.isEmpty() || width <= 0 || !wraps(mode)) {
    out.push_back(pieceOf(p, index, 0, font));
    return out;
  }
  QTextLayout layout(p, font);
  QTextOption option;
  option.setWrapMode(mode == LineBreakMode::CharWrapping ? QTextOption::WrapAnywhere
                                                         : QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    const QString text = p.mid(line.textStart(), line.textLength());
    // Trailing blanks at a break take no room.
    QString shown = text;
    while (!shown.isEmpty() && shown.back().isSpace()) shown.chop(1);
    out.push_back(pieceOf(shown, index, line.textStart(), font));
  }
  layout.endLayout();
  if (out.empty()) out.push_back({QString(), index, 0, 0, nullptr});
  return out;
}

}  // namespace

LaidOutText layOutText(const AttributedString& text, double width, double height, unsigned options) {
  LaidOutText out;
  out.font = text.font.toQFont();
  const QFontMetricsF fm(out.font);
  out.ascent = fm.ascent();
  out.lineHeight = text.font.lineHeight();
  const ParagraphStyle& style = text.paragraphStyle;
  const bool fragments = (options & UsesLineFragmentOrigin) != 0;
  const bool truncateLast = fragments && (options & TruncatesLastVisibleLine) != 0;
  const double wrapWidth = fragments ? width : 0;

  const QString all = QString::fromStdString(text.string);
  if (all.isEmpty()) return out;
  const QStringList paragraphs = all.split(QLatin1Char('\n'));

  std::vector<Piece> pieces;
  for (int i = 0; i < paragraphs.size(); ++i) {
    auto broken = breakParagraph(paragraphs[i], i, out.font, wrapWidth, style.lineBreakMode);
    pieces.insert(pieces.end(), broken.begin(), broken.end());
  }

  const double pitch = out.lineHeight + style.lineSpacing;
  size_t shown = pieces.size();
  bool cut = false;
  if (truncateLast && height > 0) {
    const double fit = std::floor((height + style.lineSpacing + 1e-6) / pitch);
    const size_t maxLines = std::max<size_t>(1, fit > 0 ? static_cast<size_t>(fit) : 0);
    if (pieces.size() > maxLines) {
      shown = maxLines;
      cut = true;
    }
  }

  const bool elideEach = width > 0 && !wraps(style.lineBreakMode) && style.lineBreakMode != LineBreakMode::Clipping;
  for (size_t i = 0; i < shown; ++i) {
    Piece& piece = pieces[i];
    QString lineText = piece.text;
    if (cut && i + 1 == shown) {
      // The rest of the text from this line on, run together, ends in an
      // ellipsis at the box's width.
      QString rest = paragraphs[piece.paragraph].mid(piece.start);
      for (int p = piece.paragraph + 1; p < paragraphs.size(); ++p) rest += QLatin1Char(' ') + paragraphs[p];
      lineText = fm.elidedText(rest, Qt::ElideRight, width > 0 ? width : 1e9);
    } else if ((elideEach || (truncateLast && i + 1 == shown)) && width > 0 && piece.width > width) {
      // A line that fits stays as it is: no second shaping to find that out.
      lineText = fm.elidedText(lineText, elideEach ? elideMode(style.lineBreakMode) : Qt::ElideRight, width);
    }
    TextLine line;
    line.text = lineText;
    if (lineText == piece.text) {
      line.width = piece.width;
      line.shaped = std::move(piece.shaped);
    } else {
      ShapedLine shaped = shapeLine(lineText, out.font);
      line.width = shaped.width;
      line.shaped = std::move(shaped.shaped);
    }
    line.top = static_cast<double>(i) * pitch;
    out.width = std::max(out.width, line.width);
    out.lines.push_back(std::move(line));
  }
  out.height = out.lines.empty() ? 0 : static_cast<double>(out.lines.size()) * pitch - style.lineSpacing;
  const double boxWidth = width > 0 ? width : out.width;
  const double factor = alignmentFactor(style.alignment);
  for (TextLine& line : out.lines) line.x = (boxWidth - line.width) * factor;
  return out;
}

namespace {

// Everything a layout depends on. A box side of 0 or less (or NaN) means
// unlimited, so all of those share one entry; only the option bits the
// layout reads take part.
struct LayoutKey {
  std::string text;
  std::string family;
  double size;
  bool bold;
  ParagraphStyle style;
  double width;
  double height;
  unsigned options;

  friend bool operator==(const LayoutKey&, const LayoutKey&) = default;
};

double boxSide(double v) { return v > 0 ? v : 0; }

LayoutKey keyFor(const AttributedString& text, double width, double height, unsigned options) {
  return {text.string,
          text.font.familyName(),
          text.font.pointSize(),
          text.font.isBold(),
          text.paragraphStyle,
          boxSide(width),
          boxSide(height),
          options & (UsesLineFragmentOrigin | TruncatesLastVisibleLine)};
}

struct LayoutKeyHash {
  size_t operator()(const LayoutKey& k) const {
    size_t h = std::hash<std::string>()(k.text);
    const auto mix = [&h](size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
    mix(std::hash<std::string>()(k.family));
    mix(std::hash<double>()(k.size));
    mix(std::hash<double>()(k.width));
    mix(std::hash<double>()(k.height));
    mix(std::hash<double>()(k.style.lineSpacing));
    mix((size_t(k.bold) << 16) ^ (size_t(k.style.alignment) << 8) ^ size_t(k.style.lineBreakMode) ^
        (size_t(k.options) << 20));
    return h;
  }
};

// Least recently used first out.
class LayoutCache {
public:
  std::shared_ptr<const LaidOutText> get(const AttributedString& text, double width, double height,
                                         unsigned options) {
    LayoutKey key = keyFor(text, width, height, options);
    if (auto it = index_.find(key); it != index_.end()) {
      order_.splice(order_.begin(), order_, it->second);
      return it->second->second;
    }
    auto laid = std::make_shared<const LaidOutText>(layOutText(text, key.width, key.height, key.options));
    if (index_.size() >= kLayoutCacheCapacity) {
      index_.erase(order_.back().first);
      order_.pop_back();
    }
    if (order_.empty()) releaseWithTheApplication();
    order_.emplace_front(std::move(key), laid);
    index_.emplace(order_.front().first, order_.begin());
    return laid;
  }

  void clear() {
    index_.clear();
    order_.clear();
  }

private:
  // The layouts hold fonts and shaped glyphs, which must go before the
  // application tears down the font machinery, not at the thread's exit.
  static void releaseWithTheApplication();

  using Entry = std::pair<LayoutKey, std::shared_ptr<const LaidOutText>>;
  std::list<Entry> order_;
  std::unordered_map<LayoutKey, std::list<Entry>::iterator, LayoutKeyHash> index_;
};

LayoutCache& threadCache() {
  thread_local LayoutCache cache;
  return cache;
}

void LayoutCache::releaseWithTheApplication() {
  const QCoreApplication* app = QCoreApplication::instance();
  if (app && app->thread() == QThread::currentThread()) qAddPostRoutine([] { threadCache().clear(); });
}

}  // namespace

std::shared_ptr<const LaidOutText> cachedLayout(const AttributedString& text, double width, double height,
                                                unsigned options) {
  return threadCache().get(text, width, height, options);
}

}  // namespace detail

AttributedString AttributedString::withString(std::string text) const {
  AttributedString copy = *this;
  copy.string = std::move(text);
  return copy;
}

Size AttributedString::size() const {
  const auto laid = detail::cachedLayout(*this, 0, 0, UsesLineFragmentOrigin);
  return {laid->width, laid->height};
}

Rect AttributedString::boundingRect(Size size, unsigned options) const {
  const auto laid = detail::cachedLayout(*this, size.width, size.height, options);
  if (options & UsesLineFragmentOrigin) return {0, 0, laid->width, laid->height};
  // The first baseline is at the origin; the line's descent lies below it.
  const double descent = laid->lines.empty() ? 0 : laid->lineHeight - laid->ascent;
  return {0, -descent, laid->width, laid->lines.empty() ? 0 : laid->lineHeight};
}

void AttributedString::drawInRect(const Rect& rect, unsigned options) const {
  if (auto* ctx = GraphicsContext::current()) ctx->drawString(*this, rect, options);
}

void AttributedString::drawAtPoint(Point point) const {
  const Size s = size();
  // A little room beyond the measured width, so rounding never wraps the
  // last word of a line.
  drawInRect({point, {s.width + 1, s.height}}, UsesLineFragmentOrigin);
}

}  // namespace ui
