#include "screens/bars/GGFunctionBottomView.h"

#include "controls/GGFrame.h"
#include "layout/LCConstraintMaker.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"

const std::vector<std::string>& GGFunctionBottomView::moduleTitles() {
  static const std::vector<std::string> titles{"FX", "DS", "AMP", "CAB", "NS", "EQ", "MOD", "DELAY", "REV"};
  return titles;
}

std::shared_ptr<GGFunctionBottomView> GGFunctionBottomView::create(Parts parts) {
  auto bar = ui::View::create<GGFunctionBottomView>();
  bar->prepareUI(std::move(parts));
  return bar;
}

GGFunctionBottomView::GGFunctionBottomView() = default;

void GGFunctionBottomView::prepareUI(Parts parts) {
  btns_.clear();
  auto self = std::static_pointer_cast<GGFunctionBottomView>(sharedFromThis());
  std::weak_ptr<GGFunctionBottomView> weak = self;
  const auto& titles = moduleTitles();
  std::vector<std::shared_ptr<ui::View>> views;
  for (size_t i = 0; i < titles.size(); ++i) {
    auto button = GGFunctionButton::initWithTitle(titles[i], titles[i], self, [weak](GGFunctionButton& b) {
      if (auto bar = weak.lock()) bar->btnAction(b);
    });
    addSubview(button);
    button->index = static_cast<int64_t>(i);
    btns_.push_back(button);
    views.push_back(button);
  }
  lc_distributeViewsAlongAxisWithFixedItemLength(views, 0, kButtonLength, kLeadSpacing, kTailSpacing);
  const std::shared_ptr<ui::View> barView = self;
  lc_makeConstraints(views, [&](LCConstraintMaker& make) {
    make.centerY().equalTo(barView).offset(-2);
    make.height().equalTo(kButtonHeight);
  });
  btns_[0]->setIsSelect(true);

  viewModel_ = GGFunctionViewModel::create(std::move(parts));
  viewModel_->initWithBlock(
      [weak](const fnd::Value& value) {
        const std::vector<int> status = fnd::fromValue<std::vector<int>>(value);
        dispatch::Queue::main()->async([weak, status] {
          if (auto bar = weak.lock()) bar->showModuleStatus(status);
        });
      },
      [weak](const fnd::Value& value) {
        if (value.isNilOrNull()) return;
        const int64_t index = value.intValue();
        dispatch::Queue::main()->async([weak, index] {
          if (auto bar = weak.lock()) bar->showSelection(index);
        });
      });
  viewModel_->getNowModuleStatus();
}

void GGFunctionBottomView::showModuleStatus(const std::vector<int>& status) {
  for (size_t i = 0; i < btns_.size(); ++i) {
    if (i >= status.size()) {
      FND_LOG_AT("GGFunctionBottomView", "no on/off word for module %zu", i);
      continue;
    }
    // The unit's on/off word is 1 or 0; only its low byte counts.
    btns_[i]->setIsOn((status[i] & 0xFF) != 0);
  }
}

void GGFunctionBottomView::showSelection(int64_t index) {
  if (index < 0 || index >= static_cast<int64_t>(btns_.size())) {
    FND_LOG_AT("GGFunctionBottomView", "no module %lld to select", static_cast<long long>(index));
    return;
  }
  btns_[static_cast<size_t>(didSelectedModule_)]->setIsSelect(false);
  btns_[static_cast<size_t>(index)]->setIsSelect(true);
  didSelectedModule_ = index;
}

void GGFunctionBottomView::btnAction(GGFunctionButton& button) {
  if (!button.isSelect()) {
    showSelection(button.index);
    viewModel_->changePage(button.index);
    return;
  }
  if (viewModel_->moduleStatus.get().empty()) return;  // nothing to switch yet
  button.setIsOn(!button.isOn());
  viewModel_->changeModuleStatus(button.isOn());
}

void GGFunctionBottomView::drawRect(ui::GraphicsContext& ctx, const ui::Rect&) {
  const double y = gg_height(*this) / 2, w = gg_width(*this);
  ui::BezierPath path;
  path.moveTo({0, y - 10});
  path.lineTo({10, y});
  path.lineTo({0, y + 10});
  path.moveTo({10, y});
  path.lineTo({w - 50, y});
  path.lineTo({w - 60, y + 10});
  path.moveTo({w - 50, y});
  path.lineTo({w - 60, y - 10});
  path.setLineCapStyle(ui::LineCapStyle::Round);
  path.setLineWidth(1.2);
  ctx.saveGState();
  ctx.setStrokeColor(ui::Color::blackColor());
  ctx.strokePath(path);
  ctx.restoreGState();
}
