// A row of the module editor's effect-type list: the type's name, and on a
// user-slot row a small add/delete pair (the "+" half imports a file into
// the slot, the "-" half asks to clear it).
//
// Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "controls/SWSTAnswerButton.h"
#include "controls/ZrTextField.h"
#include "platform/ui/View.h"

class EffectViewListCell : public ui::View {
public:
  EffectViewListCell() = default;
  explicit EffectViewListCell(ui::Rect frame) : ui::View(frame) {}
  std::string className() const override { return "EffectViewListCell"; }

  // A 50 x 20 cell, with the add/delete pair when isNeedButton.
  static std::shared_ptr<EffectViewListCell> createCellIsNeedButton(bool isNeedButton);
  void prepareUI();

  bool isNeedButton = false;
  std::shared_ptr<TitleLabel> title;
  // The add/delete pair (null without one); both carry the row in `index`.
  std::shared_ptr<SWSTAnswerButton> addButton;
  std::shared_ptr<SWSTAnswerButton> deleteButton;
  long index = -1;
  std::function<void(long)> AddActionBlock;
  std::function<void(long)> DeleteActionBlock;
  long indexTag = -1;
  std::string identifier;
};

using EffectViewListCellPtr = std::shared_ptr<EffectViewListCell>;
