// A drop-down choice box and the triangle button it draws its arrow with.
//
//  - DropCombox shows the chosen item's text ("item" until one is chosen) in
//    a dark rounded field with a triangle at its right end. A click opens the
//    list right below the box, in a borderless popup over the box's window:
//    rows 20 high, at most ten shown (200 high, then it scrolls). Picking a
//    row closes the list, shows the item (coloured by itemColorArray when it
//    has one colour per item) and sends the action to the target on a later
//    turn of the main queue; with no target set nothing is sent. A click
//    outside the open list only closes it.
//  - An index outside the items selects 0, and an empty list shows no text.
//    Field and arrow follow the box's size.
//  - GGAngleButton draws a triangle 2d wide and d high (d = defaultHeight):
//    types 0 and 1 filled (1 points up), 2 and 3 outlined; in normalColor,
//    enterColor while hovered, pressColor while pressed. Its base sits on
//    bottomSpace, or topSpace below the top, or is centred when neither is
//    set (kUnsetSpace).
//
// Main thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "controls/AccentColor.h"
#include "platform/ui/Button.h"
#include "platform/ui/Control.h"
#include "platform/ui/Popover.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TrackingArea.h"

class GGAngleButton : public ui::Button {
public:
  static constexpr double kUnsetSpace = 1.111;

  GGAngleButton();
  explicit GGAngleButton(ui::Rect frame);
  std::string className() const override { return "GGAngleButton"; }

  bool isHorver() const { return isHorver_; }
  void setIsHorver(bool h);
  bool isPress() const { return isPress_; }
  void setIsPress(bool p);
  unsigned type() const { return type_; }
  void setType(unsigned t);
  long typeIndex() const { return typeIndex_; }
  void setTypeIndex(long t);
  double bottomSpace() const { return bottomSpace_; }
  void setBottomSpace(double s);
  double topSpace() const { return topSpace_; }
  void setTopSpace(double s);
  double defaultHeight() const { return defaultHeight_; }
  void setDefaultHeight(double d);
  const ui::Color& normalColor() const { return normalColor_; }
  void setNormalColor(const ui::Color& c);
  ui::Color enterColor = accentColor();
  ui::Color pressColor = accentColor();

  // The y of the triangle's base line (its apex is d further down).
  double baseY() const;
  void drawRect(ui::GraphicsContext& ctx, const ui::Rect& dirty) override;
  void updateTrackingAreas() override;
  void removeFromSuperview() override;
  void mouseEntered(ui::Event& e) override;
  void mouseExited(ui::Event& e) override;
  void mouseDown(ui::Event& e) override;
  void mouseUp(ui::Event& e) override;

private:
  void prepareUI();
  bool isHorver_ = false;
  bool isPress_ = false;
  unsigned type_ = 0;
  long typeIndex_ = 0;
  double bottomSpace_ = kUnsetSpace;
  double topSpace_ = kUnsetSpace;
  double defaultHeight_ = 10.0;
  ui::Color normalColor_ = ui::Color::whiteColor();
  std::shared_ptr<ui::TrackingArea> area_;
};

class DropCombox : public ui::Control,
                   public ui::TableViewDataSource,
                   public ui::TableViewDelegate,
                   public ui::PopoverDelegate {
public:
  static constexpr double kRowHeight = 20;
  static constexpr long kVisibleRows = 10;

  DropCombox();
  explicit DropCombox(ui::Rect frame);
  ~DropCombox() override;
  std::string className() const override { return "DropCombox"; }

  const std::vector<std::string>& itemArray() const { return itemArray_; }
  void setItemArray(std::vector<std::string> items);
  std::vector<ui::Color> itemColorArray;
  long indexOfSelectedItem() const { return indexOfSelectedItem_; }
  void setIndexOfSelectedItem(long index);
  bool isEdit() const { return isEdit_; }
  void setIsEdit(bool e) { isEdit_ = e; }
  bool isShow() const { return isShow_; }
  // Height of the list for the current items.
  double listHeight() const;

  const std::shared_ptr<ui::TextField>& textLabel() const { return textLabel_; }
  const std::shared_ptr<GGAngleButton>& angleButton() const { return angleButton_; }
  // Made at the first opening; its window is the list's while it is open.
  const std::shared_ptr<ui::Popover>& showPopover() const { return popover_; }
  const std::shared_ptr<ui::TableView>& tableView() const { return tableView_; }
  const std::shared_ptr<ui::ScrollView>& scrollView() const { return scrollView_; }

  void mouseDown(ui::Event& e) override;
  // The box's own press: its drags and release go no further (an overlay
  // holding the box would take the release as a dismissal).
  void mouseDragged(ui::Event& e) override;
  void mouseUp(ui::Event& e) override;
  void resizeSubviewsWithOldSize(ui::Size oldSize) override;
  void closeList();

  // List data and picking.
  long numberOfRowsInTableView(ui::TableView&) override { return long(itemArray_.size()); }
  double heightOfRow(ui::TableView&, long) override { return kRowHeight; }
  std::shared_ptr<ui::View> viewForTableColumn(ui::TableView& table, ui::TableColumn* column, long row) override;
  bool shouldSelectRow(ui::TableView& table, long row) override;
  void popoverDidClose(ui::Popover&) override;

private:
  void initGComboBox();
  void place();
  void buildList();
  void showItem(long index);
  bool colorsMatch() const { return !itemColorArray.empty() && itemColorArray.size() == itemArray_.size(); }
  std::vector<std::string> itemArray_;
  long indexOfSelectedItem_ = 0;
  bool isEdit_ = false;
  bool isShow_ = false;
  std::shared_ptr<ui::TextField> textLabel_;
  std::shared_ptr<GGAngleButton> angleButton_;
  std::shared_ptr<ui::Popover> popover_;
  std::shared_ptr<ui::ScrollView> scrollView_;
  std::shared_ptr<ui::TableView> tableView_;
  std::shared_ptr<ui::TableColumn> column_;
};
