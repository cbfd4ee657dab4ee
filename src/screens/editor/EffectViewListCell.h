// A row of the module editor's effect-type list: the type's name, and on a
// user-slot row the add/delete button (its plus half imports a file into the
// slot, its minus half asks to clear it).
//
// Main thread only.
#pragma once

#include <memory>
#include <string>

#include "controls/EffectInsertButton.h"
#include "controls/ZrTextField.h"
#include "platform/ui/View.h"

class EffectViewListCell : public ui::View {
public:
  EffectViewListCell() = default;
  explicit EffectViewListCell(ui::Rect frame) : ui::View(frame) {}
  std::string className() const override { return "EffectViewListCell"; }

  // A 50 x 20 cell, with the add/delete button when isNeedButton.
  static std::shared_ptr<EffectViewListCell> createCellIsNeedButton(bool isNeedButton);
  void prepareUI();

  bool isNeedButton = false;
  std::shared_ptr<TitleLabel> title;
  // Null without the button; its `index` is the row.
  std::shared_ptr<EffectInsertButton> opButton;
  long indexTag = -1;
  std::string identifier;
};

using EffectViewListCellPtr = std::shared_ptr<EffectViewListCell>;
