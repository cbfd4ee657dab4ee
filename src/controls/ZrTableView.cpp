#include "controls/ZrTableView.h"

#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"

namespace {

std::shared_ptr<TitleLabel> listLabel(const std::string& sample) {
  auto l = ui::View::create<TitleLabel>();
  l->setDrawsBackground(false);
  l->setSelectable(false);
  l->setEditable(false);
  l->setBordered(false);
  l->setBezeled(false);
  l->setFont(ui::Font::systemFontOfSize(12));
  l->setTextColor(ui::Color::whiteColor());
  l->setLineBreakMode(ui::LineBreakMode::TruncatingTail);
  l->setStringValue(sample);
  return l;
}

// y-up: a label of its own height whose centre sits 1 below the cell's.
ui::Rect labelRow(const ui::View& cell, const ui::TextField& label, double left, double width) {
  const double h = label.font().lineHeight() + 2;
  const double cy = cell.bounds().midY() - 1;
  return {left, cy - h / 2, width, h};
}

}  // namespace

// ---- ZrTableRowView

ZrTableRowView::ZrTableRowView() : ZrTableRowView(ui::Rect()) {}

ZrTableRowView::ZrTableRowView(ui::Rect frame) : ui::TableRowView(frame) {
  setWantsLayer(true);
  selectColor = ui::Color::grayColor().withAlphaComponent(0.5);
}

void ZrTableRowView::updateTrackingAreas() {
  ui::TableRowView::updateTrackingAreas();
  if (area_) return;  // it follows the visible rectangle
  area_ = ui::TrackingArea::make(ui::Rect::zero(),
                                 ui::TrackingArea::MouseEnteredAndExited | ui::TrackingArea::ActiveInActiveApp |
                                     ui::TrackingArea::InVisibleRect,
                                 sharedFromThis());
  addTrackingArea(area_);
}

void ZrTableRowView::mouseEntered(ui::Event&) {
  if (isActionSelect != 1) setBackgroundColor(ui::Color::grayColor().withAlphaComponent(0.7));
}

void ZrTableRowView::mouseExited(ui::Event&) {
  if (isActionSelect != 1) setBackgroundColor(ui::Color::clearColor());
}

void ZrTableRowView::prepareForReuse() {
  ui::TableRowView::prepareForReuse();
  if (isActionSelect != 1) return;
  isActionSelect = 0;
  setBackgroundColor(ui::Color::clearColor());
}

void ZrTableRowView::drawSelectionInRect(ui::GraphicsContext& ctx, const ui::Rect&) {
  ctx.saveGState();
  ctx.setFillColor(ui::Color::rgb255(180, 180, 180, 0.5));
  ctx.fillRect(bounds().insetBy(1, 1));
  ctx.restoreGState();
}

// ---- ZrTableViewCell

ZrTableViewCell::ZrTableViewCell() : ZrTableViewCell(ui::Rect()) {}

ZrTableViewCell::ZrTableViewCell(ui::Rect frame) : ui::View(frame) {
  setWantsLayer(true);
  titleLabel_ = listLabel("test");
  addSubview(titleLabel_);
  resizeSubviewsWithOldSize(frame.size);
}

void ZrTableViewCell::resizeSubviewsWithOldSize(ui::Size oldSize) {
  ui::View::resizeSubviewsWithOldSize(oldSize);
  if (titleLabel_) titleLabel_->setFrame(labelRow(*this, *titleLabel_, 10, std::max(0.0, bounds().width() - 10)));
}

// ---- PresetListCell

PresetListCell::PresetListCell() : PresetListCell(ui::Rect()) {}

PresetListCell::PresetListCell(ui::Rect frame) : ui::View(frame) {
  setWantsLayer(true);
  titleLabel_ = listLabel("Name");
  numberLabel_ = listLabel("P01");
  addSubview(titleLabel_);
  addSubview(numberLabel_);
  place();
}

void PresetListCell::resizeSubviewsWithOldSize(ui::Size oldSize) {
  ui::View::resizeSubviewsWithOldSize(oldSize);
  place();
}

void PresetListCell::place() {
  if (!titleLabel_ || !numberLabel_) return;
  numberLabel_->setFrame(labelRow(*this, *numberLabel_, 10, 44));
  titleLabel_->setFrame(labelRow(*this, *titleLabel_, 44, std::max(0.0, bounds().width() - 44)));
}

// ---- ZrTabelCellView

ZrTabelCellView::ZrTabelCellView() : ZrTabelCellView(ui::Rect()) {}

ZrTabelCellView::ZrTabelCellView(ui::Rect frame) : ui::View(frame) {
  titleLabel_ = ui::View::create<ui::TextField>(ui::Rect(6, 0, std::max(0.0, frame.width() - 6), frame.height()));
  titleLabel_->setCell(std::make_shared<ZrTextFieldCell>());
  titleLabel_->setStringValue("P001 PRESET1");
  titleLabel_->setLineBreakMode(ui::LineBreakMode::TruncatingTail);
  titleLabel_->setAutoresizingMask(ui::ViewWidthSizable | ui::ViewHeightSizable);
  titleLabel_->setEditable(false);
  titleLabel_->setDrawsBackground(false);
  titleLabel_->setBordered(false);
  titleLabel_->setBezeled(false);
  titleLabel_->setSelectable(false);
  titleLabel_->setAlignment(ui::TextAlignment::Left);
  titleLabel_->setFont(ui::Font::fontWithName("SourceHanSansCN-Regular", 10).value_or(ui::Font::systemFontOfSize(10)));
  titleLabel_->setTextColor(ui::Color::blackColor());
  addSubview(titleLabel_);
}

void ZrTabelCellView::updateTrackingAreas() {
  ui::View::updateTrackingAreas();
  if (area_) return;  // it follows the visible rectangle
  area_ = ui::TrackingArea::make(bounds(),
                                 ui::TrackingArea::MouseEnteredAndExited | ui::TrackingArea::MouseMoved |
                                     ui::TrackingArea::ActiveInActiveApp | ui::TrackingArea::InVisibleRect,
                                 sharedFromThis());
  addTrackingArea(area_);
}

void ZrTabelCellView::mouseEntered(ui::Event& e) {
  ui::View::mouseEntered(e);
  if (isEnterColor) {
    setWantsLayer(true);
    layer().setBackgroundColor(ui::Color::srgb(102 / 255.0, 102 / 255.0, 102 / 255.0));
  }
}

void ZrTabelCellView::mouseExited(ui::Event& e) {
  ui::View::mouseExited(e);
  if (isEnterColor) layer().setBackgroundColor(ui::Color::clearColor());
}

// ---- myScroller

void myScroller::setSsBgColor(std::optional<ui::Color> c) {
  ssBgColor_ = c;
  setNeedsDisplay(true);
}

void myScroller::drawKnob(ui::GraphicsContext& ctx) {
  ui::Rect knob = rectForPart(ui::ScrollerPart::Knob);
  if (knob.isEmpty()) return;
  knob.origin.x = 0;
  knob.size.width = 4;
  ui::BezierPath bar;
  bar.appendRoundedRect(knob, 2, 2);
  ctx.saveGState();
  ctx.setFillColor(ui::Color::srgb(106 / 255.0, 106 / 255.0, 106 / 255.0));
  ctx.fillPath(bar);
  ctx.restoreGState();
}

void myScroller::drawKnobSlotInRect(ui::GraphicsContext& ctx, const ui::Rect& slot, bool) {
  ctx.saveGState();
  ctx.setFillColor(ssBgColor_ ? *ssBgColor_ : ui::Color::rgb255(3, 1, 1));
  ctx.fillRect(slot);
  ctx.restoreGState();
}

// ---- ZrScrollView

ZrScrollView::ZrScrollView() { initScrollView(); }

ZrScrollView::ZrScrollView(ui::Rect frame) : ui::ScrollView(frame) { initScrollView(); }

void ZrScrollView::initScrollView() {
  ooScroller_ = ui::View::create<myScroller>();
  ooScroller_->setSsBgColor(ssBgColor_);
  ooScroller_->setScrollerStyle(ui::ScrollerStyle::Overlay);
  ooScroller_->setKnobStyle(ui::ScrollerKnobStyle::Dark);
  setVerticalScroller(ooScroller_);
}

void ZrScrollView::setSsBgColor(std::optional<ui::Color> c) {
  ssBgColor_ = c;
  if (ooScroller_) ooScroller_->setSsBgColor(c);
}

void ZrScrollView::scrollWheel(ui::Event& e) {
  // Never sideways; but a swipe that is not quite vertical still scrolls.
  ui::Event vertical = e;
  vertical.setDeltas(0, e.deltaY(), e.hasPreciseScrollingDeltas());
  ui::ScrollView::scrollWheel(vertical);
}
