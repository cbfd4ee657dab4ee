#include "controls/DropCombox.h"

#include <algorithm>
#include <cmath>

#include "controls/GGFrame.h"
#include "controls/ZrTableView.h"
#include "controls/ZrTextField.h"
#include "platform/dispatch/Queue.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/Event.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/ViewController.h"

// ---- GGAngleButton

GGAngleButton::GGAngleButton() { prepareUI(); }

GGAngleButton::GGAngleButton(ui::Rect frame) : ui::Button(frame) { prepareUI(); }

void GGAngleButton::prepareUI() {
  isHorver_ = false;
  isPress_ = false;
  type_ = 0;
  typeIndex_ = 0;
  bottomSpace_ = kUnsetSpace;
  topSpace_ = kUnsetSpace;
  defaultHeight_ = 10.0;
  normalColor_ = ui::Color::whiteColor();
}

void GGAngleButton::setIsHorver(bool h) {
  isHorver_ = h;
  setNeedsDisplay(true);
}

void GGAngleButton::setIsPress(bool p) {
  isPress_ = p;
  setNeedsDisplay(true);
}

void GGAngleButton::setType(unsigned t) {
  type_ = t;
  setNeedsDisplay(true);
}

void GGAngleButton::setTypeIndex(long t) {
  typeIndex_ = t;
  setType(unsigned(t));
}

void GGAngleButton::setBottomSpace(double s) {
  bottomSpace_ = s;
  setNeedsDisplay(true);
}

void GGAngleButton::setTopSpace(double s) {
  topSpace_ = s;
  setNeedsDisplay(true);
}

void GGAngleButton::setDefaultHeight(double d) {
  defaultHeight_ = d;
  setNeedsDisplay(true);
}

void GGAngleButton::setNormalColor(const ui::Color& c) {
  normalColor_ = c;
  setNeedsDisplay(true);
}

double GGAngleButton::baseY() const {
  const double h = gg_height(*this), d = defaultHeight_;
  double y = bottomSpace_;
  if (topSpace_ != kUnsetSpace) y = h - d - topSpace_;
  if (y == kUnsetSpace) y = h / 2 - d / 2;
  return y;
}

void GGAngleButton::drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) {
  ui::Button::drawRect(ctx, dirty);
  const double w = gg_width(*this), d = defaultHeight_;
  const double y = baseY();
  const ui::Color colour = isPress_ ? pressColor : isHorver_ ? enterColor : normalColor_;
  ui::BezierPath path;
  switch (type_) {
    case 0:
    case 2:
    case 3:
      path.moveTo({w / 2 - d, y});
      path.lineTo({w / 2 + d, y});
      path.lineTo({w / 2, y + d});
      if (type_ != 0) path.lineTo({w / 2 - d, y});
      break;
    case 1:
      path.moveTo({w / 2, y});
      path.lineTo({w / 2 + d, y + d});
      path.lineTo({w / 2 - d, y + d});
      break;
    default:
      return;
  }
  ctx.saveGState();
  if (type_ <= 1) {
    ctx.strokePath(path);
    ctx.setFillColor(colour);
    ctx.fillPath(path);
  } else {
    ctx.setStrokeColor(colour);
    ctx.strokePath(path);
  }
  ctx.restoreGState();
}

void GGAngleButton::updateTrackingAreas() {
  // One area over the current bounds (the old one goes first).
  keepTrackingAreaOverBounds(area_, ui::TrackingArea::MouseEnteredAndExited | ui::TrackingArea::ActiveInKeyWindow | ui::TrackingArea::ActiveInActiveApp);
}

void GGAngleButton::removeFromSuperview() {
  if (area_) removeTrackingArea(area_);
  area_.reset();
  ui::Button::removeFromSuperview();
}

void GGAngleButton::mouseEntered(ui::Event&) { setIsHorver(true); }

void GGAngleButton::mouseExited(ui::Event&) {
  setIsHorver(false);
  setIsPress(false);
}

void GGAngleButton::mouseDown(ui::Event& e) {
  ui::Button::mouseDown(e);
  setIsPress(true);
}

void GGAngleButton::mouseUp(ui::Event& e) {
  ui::Button::mouseUp(e);
  setIsPress(false);
}

// ---- DropCombox

DropCombox::DropCombox() { initGComboBox(); }

DropCombox::DropCombox(ui::Rect frame) : ui::Control(frame) { initGComboBox(); }

DropCombox::~DropCombox() {
  if (popover_) {
    popover_->setDelegate({});
    popover_->close();
  }
}

void DropCombox::initGComboBox() {
  setWantsLayer(true);
  setEnabled(true);
  layer().setBackgroundColor(ui::Color::blackColor());
  layer().setCornerRadius(3.0);
  isEdit_ = false;
  itemArray_ = {"nil"};
  itemColorArray.clear();

  textLabel_ = ui::View::create<ui::TextField>();
  textLabel_->setCell(std::make_shared<ZrTextFieldCell>());
  textLabel_->setStringValue("item");
  textLabel_->setDrawsBackground(false);
  textLabel_->setBordered(false);
  textLabel_->setBezeled(false);
  textLabel_->setEditable(isEdit_);
  textLabel_->setSelectable(isEdit_);
  textLabel_->setAlignment(ui::TextAlignment::Center);
  textLabel_->setWantsLayer(true);
  textLabel_->setTextColor(ui::Color::whiteColor());
  addSubview(textLabel_);

  angleButton_ = ui::View::create<GGAngleButton>();
  angleButton_->setTypeIndex(2);
  angleButton_->setDefaultHeight(6.0);
  angleButton_->setBordered(false);
  angleButton_->setEnabled(false);  // its clicks go on to the box
  angleButton_->setWantsLayer(true);
  angleButton_->layer().setBorderColor(ui::Color::whiteColor());
  angleButton_->setNormalColor(ui::Color::whiteColor());
  angleButton_->setTitle("");
  addSubview(angleButton_);
  place();
}

void DropCombox::resizeSubviewsWithOldSize(ui::Size oldSize) {
  ui::Control::resizeSubviewsWithOldSize(oldSize);
  place();
}

void DropCombox::place() {
  if (!textLabel_) return;
  const double w = gg_width(*this), h = gg_height(*this);
  textLabel_->setFrame(ui::Rect(0, 0, std::max(0.0, w - h), h));
  angleButton_->setFrame(ui::Rect(std::max(0.0, w - h), 0, h, h));
}

double DropCombox::listHeight() const {
  const long n = long(itemArray_.size());
  return n < kVisibleRows ? kRowHeight * double(n) : kRowHeight * double(kVisibleRows);
}

void DropCombox::showItem(long index) {
  const bool valid = index >= 0 && index < long(itemArray_.size());
  textLabel_->setStringValue(valid ? itemArray_[size_t(index)] : "");
  if (valid && colorsMatch()) textLabel_->layer().setBackgroundColor(itemColorArray[size_t(index)]);
}

void DropCombox::setItemArray(std::vector<std::string> items) {
  itemArray_ = std::move(items);
  if (indexOfSelectedItem_ < 0 || indexOfSelectedItem_ >= long(itemArray_.size())) indexOfSelectedItem_ = 0;
  showItem(indexOfSelectedItem_);
  if (popover_) {
    popover_->setContentSize({gg_width(*this), listHeight()});
    tableView_->reloadData();
  }
}

void DropCombox::setIndexOfSelectedItem(long index) {
  if (index < 0 || index >= long(itemArray_.size())) index = 0;
  indexOfSelectedItem_ = index;
  showItem(index);
  if (tableView_ && index < tableView_->numberOfRows()) tableView_->selectRowIndexes({index}, false);
}

void DropCombox::buildList() {
  const double w = gg_width(*this);
  scrollView_ = ui::View::create<ui::ScrollView>(ui::Rect(0, 0, w, listHeight()));
  scrollView_->setHasVerticalScroller(true);
  scrollView_->setAutoresizingMask(ui::ViewWidthSizable | ui::ViewHeightSizable);
  tableView_ = ui::View::create<ui::TableView>(ui::Rect(0, 0, w, listHeight()));
  column_ = std::make_shared<ui::TableColumn>("test");
  tableView_->addTableColumn(column_);
  tableView_->setRowHeight(kRowHeight);
  auto self = std::static_pointer_cast<DropCombox>(sharedFromThis());
  tableView_->setDataSource(std::static_pointer_cast<ui::TableViewDataSource>(self));
  tableView_->setDelegate(std::static_pointer_cast<ui::TableViewDelegate>(self));
  scrollView_->setDocumentView(tableView_);
  auto content = std::make_shared<ui::ViewController>();
  content->setView(scrollView_);
  // Transient: a click outside the list closes it and goes no further.
  popover_ = std::make_shared<ui::Popover>();
  popover_->setBehavior(ui::PopoverBehavior::Transient);
  popover_->setContentViewController(content);
  popover_->setDelegate(std::static_pointer_cast<ui::PopoverDelegate>(self));
}

void DropCombox::mouseDown(ui::Event& e) {
  if (!isEnabled()) {
    ui::Control::mouseDown(e);
    return;
  }
  if (isShow_) {
    closeList();
    return;
  }
  if (!window()) return;
  if (!popover_) buildList();
  const double w = gg_width(*this);
  column_->setWidth(std::max(0.0, w - 17));
  popover_->setContentSize({w, listHeight()});
  tableView_->reloadData();
  isShow_ = true;
  // Right below the box, as wide as the box.
  popover_->showRelativeToRect(bounds(), *this, ui::RectEdge::MinY);
  if (!popover_->isShown()) isShow_ = false;
}

void DropCombox::mouseDragged(ui::Event& e) {
  if (!isEnabled()) ui::Control::mouseDragged(e);
}

void DropCombox::mouseUp(ui::Event& e) {
  if (!isEnabled()) ui::Control::mouseUp(e);
}

void DropCombox::closeList() {
  isShow_ = false;
  if (popover_ && popover_->isShown()) popover_->close();
}

void DropCombox::popoverDidClose(ui::Popover&) { isShow_ = false; }

std::shared_ptr<ui::View> DropCombox::viewForTableColumn(ui::TableView& table, ui::TableColumn*, long row) {
  if (row < 0 || row >= long(itemArray_.size())) return nullptr;
  auto cell = ui::View::create<ZrTabelCellView>(ui::Rect(0, 0, gg_width(table), kRowHeight));
  cell->titleLabel()->setStringValue(itemArray_[size_t(row)]);
  if (colorsMatch()) {
    cell->setWantsLayer(true);
    cell->layer().setBackgroundColor(itemColorArray[size_t(row)]);
    cell->isEnterColor = false;
  }
  return cell;
}

bool DropCombox::shouldSelectRow(ui::TableView&, long row) {
  if (row < 0 || row >= long(itemArray_.size())) return false;
  closeList();
  showItem(row);
  indexOfSelectedItem_ = row;
  if (hasTarget()) {
    std::weak_ptr<DropCombox> weak = std::static_pointer_cast<DropCombox>(sharedFromThis());
    dispatch::mainQueue()->async([weak] {
      if (auto box = weak.lock()) box->sendAction();
    });
  }
  return true;
}
