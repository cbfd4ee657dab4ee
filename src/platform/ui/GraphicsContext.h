// The drawing context handed to a view's drawing hook: a QPainter set up for
// the view's coordinates, plus the graphics state the drawing code expects
// (fill and stroke colours, a shadow, the pattern phase) saved and restored
// with the painter's own.
//
// A non-flipped view draws with y up: (0, 0) is the bottom-left corner of its
// bounds. Text and images are always drawn upright inside their rectangles,
// in flipped and non-flipped views alike.
//
// Contexts form a stack per thread: current() is the innermost context being
// drawn, the one Color::set(), BezierPath::fill() and friends draw into.
#pragma once

#include <optional>
#include <vector>

#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Shadow.h"

class QPainter;

namespace ui {

struct AttributedString;
class BezierPath;
class Gradient;
class Image;

enum class CompositingOperation {
  Clear = 0,
  Copy = 1,
  SourceOver = 2,
  SourceIn = 3,
  SourceOut = 4,
  SourceAtop = 5,
  DestinationOver = 6,
  DestinationIn = 7,
  DestinationOut = 8,
  DestinationAtop = 9,
  XOR = 10,
  PlusDarker = 11,
  PlusLighter = 13,
};

class GraphicsContext {
public:
  // Draws with `painter` in a view whose bounds are `bounds`; the painter's
  // current transform maps the bounds' top-left corner's place. The painter's
  // state is restored when the context ends.
  GraphicsContext(QPainter& painter, const Rect& bounds, bool flipped);
  ~GraphicsContext();
  GraphicsContext(const GraphicsContext&) = delete;
  GraphicsContext& operator=(const GraphicsContext&) = delete;

  // The innermost context being drawn on this thread, or null.
  static GraphicsContext* current();

  QPainter& painter() { return painter_; }
  bool isFlipped() const { return flipped_; }
  const Rect& bounds() const { return bounds_; }
  // Device pixels per user unit under the current transform.
  double deviceScale() const;

  void saveGState();
  // Unbalanced restores are ignored.
  void restoreGState();

  void translate(double dx, double dy);
  // Counter-clockwise in y-up terms.
  void rotate(double degrees);
  void scale(double sx, double sy);
  // x' = a·x + c·y + tx, y' = b·x + d·y + ty, applied before the current
  // transform.
  void concat(double a, double b, double c, double d, double tx, double ty);

  const Color& fillColor() const { return state_.fill; }
  const Color& strokeColor() const { return state_.stroke; }
  void setFillColor(const Color& c) { state_.fill = c; }
  void setStrokeColor(const Color& c) { state_.stroke = c; }
  const std::optional<Shadow>& shadow() const { return state_.shadow; }
  void setShadow(std::optional<Shadow> s) { state_.shadow = std::move(s); }
  // Where pattern colours start their tiles, in user coordinates.
  void setPatternPhase(Point phase) { state_.patternPhase = phase; }
  Point patternPhase() const { return state_.patternPhase; }
  void setShouldAntialias(bool on);

  // With the fill colour, composited over what is there: a clear colour
  // changes nothing.
  void fillRect(const Rect& r);
  void fillRect(const Rect& r, CompositingOperation op);
  void fillPath(const BezierPath& path);
  void strokePath(const BezierPath& path);
  void clipToRect(const Rect& r);
  void clipToPath(const BezierPath& path);

  // Fills the clip, or `within` when given, with the gradient from `from` to
  // `to`.
  void drawLinearGradient(const Gradient& g, Point from, Point to, const Rect* within);

  // Draws the part `src` of the image (in its points, y-up from its
  // bottom-left; an empty rectangle means the whole image) into `dst`,
  // upright, at `fraction` opacity. A whole image with cap insets keeps its
  // edges and stretches the middle (nine-slice).
  void drawImage(const Image& img, const Rect& dst, const Rect& src = Rect::zero(),
                 CompositingOperation op = CompositingOperation::SourceOver, double fraction = 1.0);

  void drawString(const AttributedString& text, const Rect& rect, unsigned options);

private:
  struct State {
    Color fill;
    Color stroke;
    std::optional<Shadow> shadow;
    Point patternPhase;
  };

  template <typename Draw>
  void withShadow(Draw&& draw);
  void drawImagePart(const Image& img, const Rect& dst, const Rect& srcPoints);

  QPainter& painter_;
  Rect bounds_;
  bool flipped_;
  State state_;
  std::vector<State> saved_;
  GraphicsContext* previous_ = nullptr;
};

}  // namespace ui
