// The question panel with fixed "NO" and "YES" buttons, each with its own
// block, for layouts: the message is drawn straight onto the panel, 18
// white, wrapped at 280 and centred in the left 280 points, 20 below the
// top; without a message a "reset" caption picture stands 25 below the top.
// The buttons are 68 × 28, 25 from the bottom corners. The panel is grey
// bordered (width 1, radius 4); its size is its creator's (configFrame gives
// 280 wide, tall enough for the message).
//
// Being a question panel, an overlay holding it is closed with the others
// when every open panel is closed at once.
//
// Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "controls/SettingResetView.h"
#include "platform/ui/ImageView.h"

class SettingResetFixedView : public SettingResetView {
public:
  static constexpr double kMessageWidth = 280;

  using PanelAction = std::function<void(SettingResetFixedView&)>;
  // An empty message shows the caption picture instead.
  static std::shared_ptr<SettingResetFixedView> initWithTitle(const std::string& message, ui::Rect frame = {});

  std::string className() const override { return "SettingResetFixedView"; }

  const std::string& message() const { return message_; }
  PanelAction ChooseConfirmAction;
  PanelAction ChooseCancelAction;
  const std::shared_ptr<GGCoustomButton>& cancelButton() const { return cancelButton_; }
  const std::shared_ptr<GGCoustomButton>& confirmButton() const { return confirmButton_; }
  const std::shared_ptr<ui::ImageView>& titleImageView() const { return titleImageView_; }

  void confirmIt();
  void cancelIt();
  void configFrame();
  // Where the message goes in a panel of this height.
  ui::Rect messageRect() const;

  void drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) override;
  void resizeSubviewsWithOldSize(ui::Size oldSize) override;

private:
  void prepareUI();
  void place();
  std::shared_ptr<GGCoustomButton> makeButton(const std::string& title, void (SettingResetFixedView::*answer)());
  std::string message_;
  std::shared_ptr<GGCoustomButton> cancelButton_;
  std::shared_ptr<GGCoustomButton> confirmButton_;
  std::shared_ptr<ui::ImageView> titleImageView_;
};
