// The question panel: a message and one or two buttons with the caller's
// titles, shown in an overlay of the pop-up service. The pressed button goes
// to btnAction, where the caller tells the answers apart by its defaultTitle
// or flagIndex (1 for the first title, 2 for the second) and closes the
// overlay itself. The panel sizes itself to its message:
//
//   W = message width − 10, held in [200, 260]; width = W + 30
//   text height = message laid out as the label lays it out (at W less the
//                 label's inset), + 8; height = text height + 108
//   label 28 below the top; one 88 × 34 button centred 20 above the bottom,
//   or two 68 × 28 buttons 28 from the bottom corners
//
// It swallows its own clicks, so only the dimmed area around it closes an
// overlay that may be closed by a click. Overlays holding one are registered
// so that every open panel can be closed at once.
//
// Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/GGCoustomButton.h"
#include "controls/GGPopView.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TrackingArea.h"

class SettingResetView : public ui::View, public GGConfirmPanel {
public:
  static constexpr double kFontSize = 18;
  static constexpr double kMinTextWidth = 200;
  static constexpr double kMaxTextWidth = 260;

  using ButtonAction = std::function<void(GGCoustomButton&)>;
  static std::shared_ptr<SettingResetView> initWithTitle(const std::string& title,
                                                         const std::vector<std::string>& btnTitles,
                                                         ButtonAction btnAction);
  static double heightForString(const std::string& text, const ui::Font& font, double width);

  std::string className() const override { return "SettingResetView"; }

  const std::string& title() const { return title_; }
  const std::vector<std::string>& btnTitles() const { return btnTitles_; }
  ButtonAction btnAction;
  const std::shared_ptr<ui::TextField>& titleLabel() const { return titleLabel_; }
  // The buttons, left to right (none for a title count other than 1 or 2).
  const std::vector<std::shared_ptr<GGCoustomButton>>& buttons() const { return buttons_; }
  std::shared_ptr<ui::Image> backImage();

  void styleBtnAction(GGCoustomButton& button);

  void drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) override;
  void updateTrackingAreas() override;
  void mouseUp(ui::Event& e) override;
  void mouseEntered(ui::Event& e) override;
  void mouseDown(ui::Event& e) override;
  void mouseDragged(ui::Event& e) override;
  void rightMouseDown(ui::Event& e) override;
  void rightMouseUp(ui::Event& e) override;
  void rightMouseDragged(ui::Event& e) override;

private:
  void configUI();
  std::shared_ptr<GGCoustomButton> configBtnWithTitle(const std::string& title, int64_t index);

  std::string title_;
  std::vector<std::string> btnTitles_;
  std::shared_ptr<ui::TextField> titleLabel_;
  std::vector<std::shared_ptr<GGCoustomButton>> buttons_;
  std::shared_ptr<ui::Image> backImage_;
  std::shared_ptr<ui::TrackingArea> area_;
};
