#pragma once
// ui::View: a rectangle of a window that draws itself and handles events.
//
//  - Owned by std::shared_ptr (made with View::create<T>()); a superview holds
//    its subviews strongly, a view holds its superview and window weakly, so a
//    view removed from its superview lives on while someone else holds it.
//  - Backed by one QWidget that paints it and delivers its events. Frames are
//    doubles in the superview's bounds coordinates; the widget gets rounded
//    edges in its superview's widget (so fractions round level by level),
//    and the hit test and tracking areas go by the pixels it covers. Views
//    are y-up unless isFlipped() says otherwise, for placing subviews and for
//    drawing alike.
//  - Drawing order: layer background, contents image, drawRect, border.
//  - Events climb the responder chain (Responder.h): view, superviews, window.
//    The view handling an event is held for the whole dispatch, and a widget
//    is never deleted inside its own event, so a view may remove itself (or
//    an ancestor) from its mouse-up.
//  - Associated objects and end-of-life hooks are fnd::Object's (lifetime()).
//
// Main thread only (checked at the entry points: MainThreadCheck.h).

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Responder.h"

class QWidget;

namespace ui {

class GraphicsContext;
class Image;
class LayoutConstraint;
class Menu;
class ScrollView;
class TrackingArea;
class ViewWidget;
class Window;

enum class WindowOrderingMode { Below = -1, Out = 0, Above = 1 };
enum class LayoutConstraintOrientation { Horizontal = 0, Vertical = 1 };

// Springs and struts: which margins and sizes follow the superview's size.
enum AutoresizingMask : unsigned {
  ViewNotSizable = 0,
  ViewMinXMargin = 1,
  ViewWidthSizable = 2,
  ViewMaxXMargin = 4,
  ViewMinYMargin = 8,
  ViewHeightSizable = 16,
  ViewMaxYMargin = 32,
};

inline constexpr double NoIntrinsicMetric = -1;
inline constexpr const char* kViewFrameDidChangeNotification = "ViewFrameDidChangeNotification";
inline constexpr float LayoutPriorityRequired = 1000;
inline constexpr float LayoutPriorityDefaultHigh = 750;
inline constexpr float LayoutPriorityDefaultLow = 250;

class View;

// Changes made through a view's animator run over the current animation
// group's duration (Animation.h).
class ViewAnimator {
public:
  explicit ViewAnimator(View& view) : view_(view) {}
  void setAlphaValue(double alpha);

private:
  View& view_;
};

// The look a view paints under and over its own drawing.
class Layer {
public:
  std::optional<Color> backgroundColor() const { return background_; }
  void setBackgroundColor(std::optional<Color> c);
  double cornerRadius() const { return cornerRadius_; }
  void setCornerRadius(double r);
  double borderWidth() const { return borderWidth_; }
  void setBorderWidth(double w);
  Color borderColor() const { return borderColor_; }
  void setBorderColor(const Color& c);
  std::shared_ptr<Image> contents() const { return contents_; }
  void setContents(std::shared_ptr<Image> image);
  // Siblings with a higher z are stacked above; equal z keeps subview order.
  double zPosition() const { return zPosition_; }
  void setZPosition(double z);
  // Clips the view's own painting to its (rounded) bounds.
  bool masksToBounds() const { return masksToBounds_; }
  void setMasksToBounds(bool m);
  double opacity() const;
  void setOpacity(double o);

private:
  friend class View;
  explicit Layer(View& v) : view_(v) {}
  View& view_;
  std::optional<Color> background_;
  double cornerRadius_ = 0;
  double borderWidth_ = 0;
  Color borderColor_ = Color::blackColor();
  std::shared_ptr<Image> contents_;
  double zPosition_ = 0;
  bool masksToBounds_ = false;
};

class View : public Responder {
public:
  template <class T = View, class... A>
  static std::shared_ptr<T> create(A&&... args) {
    return fnd::make<T>(std::forward<A>(args)...);
  }

  View();
  explicit View(Rect frame);
  ~View() override;

  std::string className() const override { return "View"; }
  std::string description() const override;

  // ---- geometry
  Rect frame() const { return frame_; }
  virtual void setFrame(const Rect& frame);
  void setFrameOrigin(Point origin);
  virtual void setFrameSize(Size size);
  Rect bounds() const { return Rect(boundsOrigin_, frame_.size); }
  virtual void setBoundsOrigin(Point origin);
  virtual bool isFlipped() const { return false; }
  // A null `view` means window coordinates (y-up, from the content's lower left).
  Point convertPointFromView(Point p, const View* view) const;
  Point convertPointToView(Point p, const View* view) const;
  Rect convertRectFromView(const Rect& r, const View* view) const;
  Rect convertRectToView(const Rect& r, const View* view) const;
  // The part of the bounds not clipped by an ancestor; empty when detached or
  // hidden.
  Rect visibleRect() const;

  // ---- hierarchy
  View* superview() const { return superview_; }
  const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
  void addSubview(std::shared_ptr<View> view);
  void addSubview(std::shared_ptr<View> view, WindowOrderingMode place, const View* relativeTo);
  virtual void removeFromSuperview();
  Window* window() const { return window_; }
  ScrollView* enclosingScrollView() const;
  bool isDescendantOf(const View* view) const;
  // The closest view that both this view and `view` are in (either may be it).
  View* ancestorSharedWith(const View* view) const;
  std::shared_ptr<View> sharedFromThis() { return std::static_pointer_cast<View>(shared_from_this()); }

  // Hooks around moves; the default implementations do nothing.
  virtual void viewWillMoveToSuperview(View* newSuperview);
  virtual void viewDidMoveToSuperview();
  virtual void viewWillMoveToWindow(Window* newWindow);
  virtual void viewDidMoveToWindow();
  virtual void didAddSubview(View* subview);
  virtual void willRemoveSubview(View* subview);
  // A subview's frame changed (after its own effects).
  virtual void subviewFrameDidChange(View& subview);
  // Called by layout builders once outlets are set.
  virtual void awakeFromNib();

  // ---- appearance
  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden);
  bool isHiddenOrHasHiddenAncestor() const;
  double alphaValue() const { return alpha_; }
  void setAlphaValue(double alpha);
  ViewAnimator animator() { return ViewAnimator(*this); }
  bool wantsLayer() const { return wantsLayer_; }
  void setWantsLayer(bool w) { wantsLayer_ = w; }
  Layer& layer() { return layer_; }
  const Layer& layer() const { return layer_; }

  // ---- autoresizing
  unsigned autoresizingMask() const { return autoresizingMask_; }
  void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }
  bool autoresizesSubviews() const { return autoresizesSubviews_; }
  void setAutoresizesSubviews(bool a) { autoresizesSubviews_ = a; }
  virtual void resizeSubviewsWithOldSize(Size oldSize);
  virtual void resizeWithOldSuperviewSize(Size oldSize);

  // ---- constraint layout: storage and hooks the constraint engine uses
  bool translatesAutoresizingMaskIntoConstraints() const { return translatesMask_; }
  void setTranslatesAutoresizingMaskIntoConstraints(bool t);
  // Constraints held by this view, in the order they were added. A view
  // taken out of its superview takes with it every constraint that names it
  // or a view inside it and is held by a view outside it (those it holds
  // itself, or views inside it hold, stay); a view that goes leaves no
  // constraint naming it behind.
  const std::vector<std::shared_ptr<LayoutConstraint>>& constraints() const { return constraints_; }
  std::vector<std::shared_ptr<LayoutConstraint>>& constraintStorage() { return constraints_; }
  virtual Size intrinsicContentSize() const { return {NoIntrinsicMetric, NoIntrinsicMetric}; }
  void invalidateIntrinsicContentSize();
  float contentHuggingPriority(LayoutConstraintOrientation o) const { return hugging_[int(o)]; }
  void setContentHuggingPriority(float p, LayoutConstraintOrientation o);
  float contentCompressionResistancePriority(LayoutConstraintOrientation o) const { return compression_[int(o)]; }
  void setContentCompressionResistancePriority(float p, LayoutConstraintOrientation o);
  virtual double baselineOffsetFromBottom() const { return 0; }
  // Sets the frame from a solve: the same effects as setFrame, but tells the
  // engine's observer nothing.
  void setFrameFromEngine(const Rect& frame);

  bool needsLayout() const { return needsLayout_; }
  void setNeedsLayout(bool needs);
  // Lays out subviews; the default does nothing (frames come from
  // autoresizing or the constraint engine).
  virtual void layout();
  // Runs the layout pass of this view's window, or of its detached tree.
  void layoutSubtreeIfNeeded();

  // ---- display
  bool needsDisplay() const { return needsDisplay_; }
  void setNeedsDisplay(bool needs);
  virtual void setNeedsDisplayInRect(const Rect& rect);
  // Paints the view's content; `dirty` is in bounds coordinates. The context
  // is y-up unless the view is flipped.
  virtual void drawRect(GraphicsContext& ctx, const Rect& dirty);
  // Paints now, without waiting for the event loop.
  void displayIfNeeded();

  // ---- events
  Responder* nextResponder() const override;
  void setNextResponder(std::weak_ptr<Responder> r) { nextResponderOverride_ = std::move(r); }
  // The deepest visible view under `p` (in the superview's coordinates): a
  // view takes the pixels its widget covers, and a subview is asked at the
  // point where this view's widget draws `p`.
  virtual View* hitTest(Point p);
  virtual bool canBecomeKeyView() const;
  // Sent when the press this view holds ends without a release: the view was
  // hidden or left its window.
  virtual void mouseCancelled(Event& e);
  void rightMouseDown(Event& e) override;
  virtual std::shared_ptr<Menu> menuForEvent(Event& e);
  std::shared_ptr<Menu> menu() const { return menu_; }
  // As a scroll view's document: the height of the line a wheel's line
  // scrolls it by (a row of a list); 0 leaves it to the scroll view.
  virtual double lineScrollHeight() const { return 0; }
  void setMenu(std::shared_ptr<Menu> m) { menu_ = std::move(m); }

  // ---- tracking areas
  void addTrackingArea(std::shared_ptr<TrackingArea> area);
  void removeTrackingArea(const std::shared_ptr<TrackingArea>& area);
  // Keeps one tracking area with `options` over the bounds in `area`: made
  // again (the old one removed first) only when the bounds or the options
  // changed, so areas never pile up however often a view calls it.
  void keepTrackingAreaOverBounds(std::shared_ptr<TrackingArea>& area, unsigned options);
  const std::vector<std::shared_ptr<TrackingArea>>& trackingAreas() const { return trackingAreas_; }
  // Called when the view is in a window with a non-empty size, after size
  // changes and window moves; subclasses make their areas here.
  virtual void updateTrackingAreas();

  // Posts kViewFrameDidChangeNotification (the view as object) on the
  // default notification centre after each change of its frame.
  bool postsFrameChangedNotifications() const { return postsFrameChanged_; }
  void setPostsFrameChangedNotifications(bool p) { postsFrameChanged_ = p; }

  // ---- the Qt side
  QWidget* widget() const;

private:
  friend class ViewWidget;
  friend class Window;
  friend class Layer;

  void init();
  void applyFrame(const Rect& frame, bool fromEngine);
  void placeWidget();
  void placeSubviewWidgets();
  void restack();
  void setWindowRecursive(Window* w);
  void notifyWillMoveToWindow(Window* w);
  void notifyDidMoveToWindow();
  void updateTrackingAreasIfReady();
  // After a scroll: views with areas in this subtree make them again.
  void visibleRectDidChange();
  friend class ClipView;
  // The part of the view its widget covers, in visual coordinates; null (the
  // default) is the whole view. Qt caps a widget at 16,777,215 pixels a
  // side, so a clip view gives a longer document's widget only the band
  // around what it shows. Subview widgets are placed relative to the band.
  void setWidgetArea(const Rect& area);
  Point widgetOrigin() const { return widgetArea_.isNull() ? Point{} : widgetArea_.origin; }
  // The part of the view its widget covers (the band, or the whole view).
  Rect widgetVisualArea() const;
  // Which pixels of its superview's widget (the window's, for the content
  // view) a view takes: those under a rectangle of its visual coordinates,
  // its edges rounded to whole pixels there, as the widget's own edges are
  // (widgetVisualArea() gives the widget's geometry). The one rule for
  // placing widgets, the hit test and tracking areas, so that a pixel
  // belongs to the view whose widget Qt gives its events to.
  Rect pixelsInSuperWidget(const Rect& visual) const { return pixelsInSuperWidget(visual, visualOriginInSuperWidget()); }
  // The same with visualOriginInSuperWidget() already at hand.
  static Rect pixelsInSuperWidget(const Rect& visual, Point origin);
  // Where the view's visual top-left lies in its superview's widget, before
  // rounding.
  Point visualOriginInSuperWidget() const;
  // A rectangle of the view's coordinates in its visual ones.
  Rect visualRect(const Rect& r) const;
  void insertSubview(std::shared_ptr<View> view, size_t index);
  void removeSubviewAt(size_t index);
  // Deactivates the constraints naming this view or a view inside it that a
  // view outside it holds.
  void dropConstraintsHeldOutside();
  void paint(ViewWidget& w, const Rect& dirtyInWidget);
  // Visual top-left coordinates of the view (x right, y down) from bounds.
  Point toVisual(Point p) const;
  Point fromVisual(Point v) const;
  // One step up or down the tree (a detached or content view's "superview"
  // is a y-up base, as a window is).
  Point toSuperview(Point p) const;
  Point fromSuperview(Point p) const;
  Point visualFromSuperview(Point p) const;
  Point toBase(Point p) const;
  Point fromBase(Point p) const;

  Rect frame_;
  Point boundsOrigin_;
  Rect widgetArea_ = Rect::null();
  View* superview_ = nullptr;
  Window* window_ = nullptr;
  std::vector<std::shared_ptr<View>> subviews_;
  ViewWidget* widget_ = nullptr;
  Layer layer_{*this};
  bool hidden_ = false;
  double alpha_ = 1;
  bool wantsLayer_ = false;
  unsigned autoresizingMask_ = 0;
  bool autoresizesSubviews_ = true;
  bool translatesMask_ = true;
  std::vector<std::shared_ptr<LayoutConstraint>> constraints_;
  // The active constraints (held by any view) that name this view as an
  // item, kept by addConstraint and removeConstraint; unordered.
  friend class LayoutConstraint;
  std::vector<LayoutConstraint*> namingConstraints_;
  float hugging_[2] = {LayoutPriorityDefaultLow, LayoutPriorityDefaultLow};
  float compression_[2] = {LayoutPriorityDefaultHigh, LayoutPriorityDefaultHigh};
  bool needsLayout_ = false;
  bool needsDisplay_ = false;
  bool trackingReady_ = false;
  bool droppedInsideArea_ = false;  // an area the pointer was in was removed
  bool postsFrameChanged_ = true;
  std::vector<std::shared_ptr<TrackingArea>> trackingAreas_;
  std::weak_ptr<Responder> nextResponderOverride_;
  std::shared_ptr<Menu> menu_;
};

// The constraint engine plugs in here (it is not part of this layer): it is
// told about changes that may need a new solve, and solves a window's tree or
// a detached tree on request.
class LayoutEngineHooks {
public:
  virtual ~LayoutEngineHooks() = default;
  // True when constraints must be solved before frames are right.
  virtual bool needsSolve(View& root) = 0;
  // Solves the tree under `root` and sets frames top-down with setFrameFromEngine.
  virtual void solve(View& root) = 0;
  // Something the last solve may depend on changed.
  virtual void viewDidChange(View& view) = 0;
  // `view` is being destroyed: what was kept for the tree it is the root of
  // (a closed window's content view) goes now.
  virtual void viewWillBeDestroyed(const View& view) = 0;
};
// Installs the engine (nullptr removes it). Returns the previous one.
std::shared_ptr<LayoutEngineHooks> setLayoutEngineHooks(std::shared_ptr<LayoutEngineHooks> hooks);
LayoutEngineHooks* layoutEngineHooks();

}  // namespace ui
