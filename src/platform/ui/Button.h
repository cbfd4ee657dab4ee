#pragma once
// ui::Button and its ButtonCell: a push button or toggle that draws an image
// and a title, flipped (y down).
//
// Click tracking: a press highlights; dragging out removes the highlight and
// dragging back in restores it; a release inside flips the state of toggling
// kinds and sends the action. A disabled button passes its presses on.
// Subclasses overriding the mouse handlers without calling these replace the
// tracking altogether.
//
// Main thread only.

#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Control.h"
#include "platform/ui/Image.h"

namespace ui {

enum class ImageScaling { ProportionallyDown = 0, AxesIndependently = 1, None = 2, ProportionallyUpOrDown = 3 };
enum class ImagePosition { NoImage = 0, ImageOnly = 1, ImageLeft = 2 };
enum class ButtonType {
  MomentaryLight = 0,
  PushOnPushOff = 1,
  Toggle = 2,
  Switch = 3,
  Radio = 4,
  MomentaryChange = 5,
  OnOff = 6,
  MomentaryPushIn = 7,
};
enum class BezelStyle { Rounded = 1, RegularSquare = 2, ShadowlessSquare = 6, TexturedSquare = 8 };
enum CellStyleMask : unsigned { NoCellMask = 0, ContentsCellMask = 1, PushInCellMask = 2, ChangeGrayCellMask = 4,
                                ChangeBackgroundCellMask = 8 };
enum ControlState { OffState = 0, OnState = 1, MixedState = -1 };

// The image placed in `frame` as the scaling says, centred.
Rect scaledImageRect(Size image, const Rect& frame, ImageScaling scaling);

class ButtonCell : public Cell {
public:
  ButtonCell();

  const std::string& title() const { return stringValue(); }
  // Drops an attributed title.
  void setTitle(std::string t);
  // The attributed title, or the title with the cell's font, centred.
  AttributedString attributedTitle() const;
  void setAttributedTitle(AttributedString t);
  const std::shared_ptr<Image>& image() const { return image_; }
  void setImage(std::shared_ptr<Image> i);
  ImageScaling imageScaling() const { return scaling_; }
  void setImageScaling(ImageScaling s) { scaling_ = s; }
  bool isBordered() const { return bordered_; }
  void setBordered(bool b) { bordered_ = b; }
  ButtonType buttonType() const { return type_; }
  void setButtonType(ButtonType t) { type_ = t; }
  BezelStyle bezelStyle() const { return bezel_; }
  void setBezelStyle(BezelStyle b) { bezel_ = b; }
  unsigned highlightsBy() const { return highlightsBy_; }
  void setHighlightsBy(unsigned mask) { highlightsBy_ = mask; }
  int state() const { return state_; }
  void setState(int s);
  // Whether a click flips the state.
  bool toggles() const;

  void drawWithFrame(GraphicsContext& ctx, const Rect& frame, View& view) override;
  virtual void drawBezelWithFrame(GraphicsContext& ctx, const Rect& frame, View& view);
  virtual void drawImage(GraphicsContext& ctx, const Image& image, const Rect& frame, View& view);
  virtual void drawTitle(GraphicsContext& ctx, const AttributedString& title, const Rect& frame, View& view);

private:
  std::optional<AttributedString> attributedTitle_;
  std::shared_ptr<Image> image_;
  ImageScaling scaling_ = ImageScaling::ProportionallyDown;
  bool bordered_ = true;
  ButtonType type_ = ButtonType::MomentaryPushIn;
  BezelStyle bezel_ = BezelStyle::Rounded;
  unsigned highlightsBy_ = PushInCellMask | ChangeGrayCellMask;
  int state_ = OffState;
};

class Button : public Control {
public:
  Button();
  explicit Button(Rect frame);
  static std::shared_ptr<Button> buttonWithTitle(const std::string& title, Control::ActionFn action);

  std::string className() const override { return "Button"; }
  bool isFlipped() const override { return true; }
  ButtonCell& buttonCell() const;

  std::string title() const { return buttonCell().title(); }
  void setTitle(const std::string& t);
  AttributedString attributedTitle() const { return buttonCell().attributedTitle(); }
  void setAttributedTitle(const AttributedString& t);
  std::shared_ptr<Image> image() const { return buttonCell().image(); }
  void setImage(std::shared_ptr<Image> i);
  ImageScaling imageScaling() const { return buttonCell().imageScaling(); }
  void setImageScaling(ImageScaling s);
  bool isBordered() const { return buttonCell().isBordered(); }
  void setBordered(bool b);
  void setButtonType(ButtonType t) { buttonCell().setButtonType(t); }
  void setBezelStyle(BezelStyle b);
  int state() const { return buttonCell().state(); }
  void setState(int s) { buttonCell().setState(s); }
  bool isHighlighted() const { return buttonCell().isHighlighted(); }
  void highlight(bool h) { buttonCell().setHighlighted(h); }
  // Clicks the button as a user would (highlight, state, action).
  void performClick();

  Size intrinsicContentSize() const override;

  void mouseDown(Event& e) override;
  void mouseDragged(Event& e) override;
  void mouseUp(Event& e) override;
  void mouseCancelled(Event& e) override;

private:
  bool tracking_ = false;
};

}  // namespace ui
