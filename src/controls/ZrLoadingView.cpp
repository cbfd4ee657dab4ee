#include "controls/ZrLoadingView.h"

#include <cstdio>

#include "controls/AccentColor.h"
#include "controls/GGFrame.h"
#include "platform/dispatch/Queue.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/ImageView.h"

namespace {

std::shared_ptr<TitleLabel> makeLabel(ui::View& in) {
  auto l = ui::View::create<TitleLabel>();
  l->setBordered(false);
  l->setBezeled(false);
  l->setEditable(false);
  l->setSelectable(false);
  l->setBackgroundColor(ui::Color::clearColor());
  l->setWantsLayer(true);
  l->setDrawsBackground(false);
  l->layer().setBackgroundColor(ui::Color::clearColor());
  l->setTextColor(ui::Color::whiteColor());
  l->setFont(ui::Font::systemFontOfSize(20));
  l->setAlignment(ui::TextAlignment::Center);
  in.addSubview(l);
  return l;
}

// The stretched background with the track drawn over it (a track drawn by
// the panel itself would lie under this picture). Passes clicks on.
class Backdrop : public ui::ImageView {
public:
  using ui::ImageView::ImageView;
  ui::View* hitTest(ui::Point) override { return nullptr; }
  void drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) override {
    ui::ImageView::drawRect(ctx, dirty);
    auto* panel = dynamic_cast<ZrLoadingView*>(superview());
    if (!panel) return;
    if (const auto& track = panel->proImage()) ctx.drawImage(*track, panel->trackRect());
  }
};
}  // namespace

// ---- ZrLoadingMaskView

void ZrLoadingMaskView::setProgress(double p) {
  progress_ = p;
  setNeedsDisplay(true);
}

void ZrLoadingMaskView::drawRect(ui::GraphicsContext& ctx, const ui::Rect&) {
  // The whole view's share, whatever part is being repainted; the rounded
  // layer clips it to the pill.
  const ui::Rect b = bounds();
  if (!(progress_ > 0)) return;
  ctx.saveGState();
  ctx.setFillColor(accentColor().withAlphaComponent(0.8));
  ctx.fillRect(ui::Rect(0, 0, progress_ * b.width(), b.height()));
  ctx.restoreGState();
}

// ---- ZrLoadingView

std::shared_ptr<ZrLoadingView> ZrLoadingView::initWithType(unsigned type, ui::Rect frame) {
  auto v = ui::View::create<ZrLoadingView>(frame);
  v->setType(type);
  v->prepareUI();
  v->setProgress(0.0);
  return v;
}

const std::shared_ptr<ui::Image>& ZrLoadingView::proImage() {
  if (!proImage_) proImage_ = ui::Image::imageNamed("loadingprogress");
  return proImage_;
}

void ZrLoadingView::prepareUI() {
  auto background = ui::View::create<Backdrop>();
  background->setImage(ui::Image::imageNamed("loaddingbg"));
  background->setImageScaling(ui::ImageScaling::AxesIndependently);
  addSubview(background);
  background_ = background;

  maskView_ = ui::View::create<ZrLoadingMaskView>();
  maskView_->setWantsLayer(true);
  maskView_->layer().setMasksToBounds(true);
  maskView_->layer().setCornerRadius(13);
  addSubview(maskView_);

  statusLabel_ = makeLabel(*this);
  statusLabel_->setBgC(ui::Color::clearColor());
  progressLabel_ = makeLabel(*this);

  if (type_ == 1) {
    cancelButton_ = ui::View::create<SWSTAnswerButton>();
    cancelButton_->setHasBorder(true);
    cancelButton_->borderWidths[SWSTAnswerButton::Normal] = 1.0;
    cancelButton_->borderColors[SWSTAnswerButton::Normal] = ui::Color::whiteColor();
    cancelButton_->cornerRadii[SWSTAnswerButton::Normal] = 3.0;
    cancelButton_->borderColors[SWSTAnswerButton::Hover] = ui::Color::lightGrayColor();
    cancelButton_->borderColors[SWSTAnswerButton::Highlight] = accentColor();
    cancelButton_->titleColors[SWSTAnswerButton::Normal] = ui::Color::whiteColor();
    cancelButton_->titleColors[SWSTAnswerButton::Hover] = ui::Color::lightGrayColor();
    cancelButton_->titleColors[SWSTAnswerButton::Highlight] = accentColor();
    cancelButton_->setFont(ui::Font::systemFontOfSize(14));
    cancelButton_->setTitle("Cancel");
    cancelButton_->updateButtonApperaceWithState(SWSTAnswerButton::Normal);
    addSubview(cancelButton_);
    statusLabel_->setHidden(true);
  }
  place();
}

void ZrLoadingView::resizeSubviewsWithOldSize(ui::Size oldSize) {
  ui::View::resizeSubviewsWithOldSize(oldSize);
  place();
}

void ZrLoadingView::place() {
  if (!maskView_) return;
  const ui::Rect b = bounds();
  background_->setFrame(b);
  // y-up: "above the fill" is a larger y.
  const ui::Rect fill(23, b.midY() - kBandHeight / 2, std::max(0.0, b.width() - 23 - 15), kBandHeight);
  maskView_->setFrame(fill);
  const double cx = fill.midX();
  if (type_ == 1) {
    statusLabel_->setFrame(ui::Rect(cx, fill.maxY(), 0, 0));
    progressLabel_->setFrame(ui::Rect(cx - 65, fill.maxY() + 10, 130, 24));
    cancelButton_->setFrame(ui::Rect(cx - 45, fill.minY() - 20 - 30, 90, 30));
  } else {
    statusLabel_->setFrame(ui::Rect(cx - 65, fill.maxY() + 10, 130, 24));
    progressLabel_->setFrame(ui::Rect(cx - 65, fill.minY() - 10 - 25, 130, 25));
  }
}

std::string ZrLoadingView::statusText(double p, const std::string& title) {
  if (p >= 0.99) return "Success!";
  return title.empty() ? "Loading..." : title;
}

std::string ZrLoadingView::percentText(double p) {
  char text[64];
  std::snprintf(text, sizeof text, "%.0f%%", p * 100);
  return text;
}

void ZrLoadingView::setProgress(double p) {
  progress_.store(p);
  auto self = std::static_pointer_cast<ZrLoadingView>(sharedFromThis());
  dispatch::mainQueue()->async([self] {
    const double now = self->progress_.load();
    self->statusLabel_->ui::TextField::setStringValue(statusText(now, self->loadingTitle_));
    self->progressLabel_->ui::TextField::setStringValue(percentText(now));
    self->maskView_->setProgress(now);
  });
}

ui::Rect ZrLoadingView::trackRect() const { return ui::Rect(15, gg_height(*this) / 2 - kBandHeight / 2, 498, kBandHeight); }
