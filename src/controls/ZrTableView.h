// The dark list pieces of the preset lists, the effect-type list and the
// drop-down box:
//
//  - ZrTableView: a table that swallows key presses (its owners change the
//    selection).
//  - ZrTableRowView: grey (0.5 at 0.7) while the pointer is over it, a flat
//    grey band 1 point inside its edges while selected; while isActionSelect
//    is 1 its owner's background stays whatever the pointer does (until the
//    table takes the view for another row).
//  - ZrTableViewCell (one label) and PresetListCell (a number column 44
//    wide, then the name): white system 12 labels, truncated at the tail.
//  - ZrTabelCellView: the drop-down row, black 10-point text, lit grey while
//    the pointer is over it unless isEnterColor is off.
//  - ZrScrollView: a scroll view that never scrolls sideways (the sideways
//    part of a wheel or swipe is dropped, the rest scrolls), with myScroller,
//    a flat 4-point overlay bar over a dark slot.
//
// Main thread only.
#pragma once

#include <memory>
#include <optional>

#include "controls/ZrTextField.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Scroller.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TrackingArea.h"

class ZrTableView : public ui::TableView {
public:
  using ui::TableView::TableView;
  std::string className() const override { return "ZrTableView"; }
  void keyDown(ui::Event&) override {}
};

class ZrTableRowView : public ui::TableRowView {
public:
  ZrTableRowView();
  explicit ZrTableRowView(ui::Rect frame);
  std::string className() const override { return "ZrTableRowView"; }

  long isActionSelect = 0;
  // Kept for the owners; the drawing uses fixed colours.
  std::optional<ui::Color> selectColor;
  std::optional<ui::Color> enterColor;
  bool isPreset = false;

  void updateTrackingAreas() override;
  void mouseEntered(ui::Event& e) override;
  void mouseExited(ui::Event& e) override;
  void drawSelectionInRect(ui::GraphicsContext& ctx, const ui::Rect& rect) override;
  // A hold belongs to the row it was put on: a view taken for another row
  // loses it and its colour.
  void prepareForReuse() override;

private:
  std::shared_ptr<ui::TrackingArea> area_;
};

class ZrTableViewCell : public ui::View {
public:
  ZrTableViewCell();
  explicit ZrTableViewCell(ui::Rect frame);
  std::string className() const override { return "ZrTableViewCell"; }
  const std::shared_ptr<TitleLabel>& titleLabel() const { return titleLabel_; }
  void resizeSubviewsWithOldSize(ui::Size oldSize) override;

private:
  std::shared_ptr<TitleLabel> titleLabel_;
};

class PresetListCell : public ui::View {
public:
  PresetListCell();
  explicit PresetListCell(ui::Rect frame);
  std::string className() const override { return "PresetListCell"; }
  const std::shared_ptr<TitleLabel>& numberLabel() const { return numberLabel_; }
  const std::shared_ptr<TitleLabel>& titleLabel() const { return titleLabel_; }
  void resizeSubviewsWithOldSize(ui::Size oldSize) override;

private:
  void place();
  std::shared_ptr<TitleLabel> numberLabel_;
  std::shared_ptr<TitleLabel> titleLabel_;
};

class ZrTabelCellView : public ui::View {
public:
  ZrTabelCellView();
  explicit ZrTabelCellView(ui::Rect frame);
  std::string className() const override { return "ZrTabelCellView"; }
  const std::shared_ptr<ui::TextField>& titleLabel() const { return titleLabel_; }
  bool isEnterColor = true;

  void updateTrackingAreas() override;
  void mouseEntered(ui::Event& e) override;
  void mouseExited(ui::Event& e) override;

private:
  std::shared_ptr<ui::TextField> titleLabel_;
  std::shared_ptr<ui::TrackingArea> area_;
};

class myScroller : public ui::Scroller {
public:
  using ui::Scroller::Scroller;
  std::string className() const override { return "myScroller"; }
  static double scrollerWidthForControlSize() { return 4.0; }
  double scrollerWidth() const override { return scrollerWidthForControlSize(); }
  std::optional<ui::Color> ssBgColor() const { return ssBgColor_; }
  void setSsBgColor(std::optional<ui::Color> c);
  void drawKnob(ui::GraphicsContext& ctx) override;
  void drawKnobSlotInRect(ui::GraphicsContext& ctx, const ui::Rect& slot, bool highlight) override;

private:
  std::optional<ui::Color> ssBgColor_;
};

class ZrScrollView : public ui::ScrollView {
public:
  ZrScrollView();
  explicit ZrScrollView(ui::Rect frame);
  std::string className() const override { return "ZrScrollView"; }
  const std::shared_ptr<myScroller>& ooScroller() const { return ooScroller_; }
  std::optional<ui::Color> ssBgColor() const { return ssBgColor_; }
  void setSsBgColor(std::optional<ui::Color> c);
  void scrollWheel(ui::Event& e) override;

private:
  void initScrollView();
  std::shared_ptr<myScroller> ooScroller_;
  std::optional<ui::Color> ssBgColor_;
};
