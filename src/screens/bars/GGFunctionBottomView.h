// The module bar: nine module buttons along the signal chain, from the input
// ("FX") to the output ("REV"), over a signal line with an input chevron and
// an output arrow head. Each button shows its module's on/off word; the
// selected module's button is framed. Clicking another module selects it on
// the unit; clicking the selected one switches it on or off.
//
// Made with create() once the start-up read has filled the device records,
// and placed by its owner (80 × 100 buttons; about 800 × 100 in all).
//
// Main thread only; the view model's reports are carried over to the main
// queue before any button changes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/GGFunctionButton.h"
#include "platform/ui/View.h"
#include "screens/bars/GGFunctionViewModel.h"

class GGFunctionBottomView : public ui::View {
public:
  static constexpr double kButtonLength = 80;
  static constexpr double kButtonHeight = 100;
  static constexpr double kLeadSpacing = 30;
  static constexpr double kTailSpacing = 60;
  // The module names, in chain order; also the button pictures' names.
  static const std::vector<std::string>& moduleTitles();

  using Parts = GGFunctionViewModel::Parts;
  static std::shared_ptr<GGFunctionBottomView> create(Parts parts = {});

  GGFunctionBottomView();
  std::string className() const override { return "GGFunctionBottomView"; }

  // Kept for owners that want to hear of a selection; the bar never calls it.
  std::function<void(int64_t)> ChangeSelectIndexBlock;

  const std::vector<std::shared_ptr<GGFunctionButton>>& btns() const { return btns_; }
  const GGFunctionViewModelPtr& viewModel() const { return viewModel_; }
  int64_t didSelectedModule() const { return didSelectedModule_; }

  void prepareUI(Parts parts);
  void btnAction(GGFunctionButton& button);
  void drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) override;

private:
  void showModuleStatus(const std::vector<int>& status);
  void showSelection(int64_t index);

  std::vector<std::shared_ptr<GGFunctionButton>> btns_;
  GGFunctionViewModelPtr viewModel_;
  int64_t didSelectedModule_ = 0;
};

using GGFunctionBottomViewPtr = std::shared_ptr<GGFunctionBottomView>;
