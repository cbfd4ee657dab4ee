// One effect module of one preset: its words in the unit's order and the
// preset's EXP words.
#pragma once

#include <memory>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/Property.h"

class HIDServiceModel : public fnd::Object {
public:
  HIDServiceModel();
  // A record holding these words from the start (an empty dataArr is logged,
  // as by the setter).
  HIDServiceModel(std::vector<int> data, std::vector<int> function, std::vector<int> volume);

  // Word 0 on/off, word 1 effect type, then the parameter values; as many
  // words as the module's byte length / 2. An empty list is stored (and
  // logged).
  fnd::Property<std::vector<int>> dataArr;
  // EXP pedal assignment: module index, flattened parameter index, on/off.
  fnd::Property<std::vector<int>> FuncDataArr;
  // EXP volume: on/off, minimum, maximum.
  fnd::Property<std::vector<int>> ExpDataArr;

  void setDataArr(std::vector<int> words) { dataArr.set(std::move(words)); }
  void setFuncDataArr(std::vector<int> words) { FuncDataArr.set(std::move(words)); }
  void setExpDataArr(std::vector<int> words) { ExpDataArr.set(std::move(words)); }

  // A new, independent record with the same words.
  std::shared_ptr<HIDServiceModel> copy() const;
  std::shared_ptr<HIDServiceModel> mutableCopy() const { return copy(); }

  std::string className() const override { return "HIDServiceModel"; }
};

using HIDServiceModelPtr = std::shared_ptr<HIDServiceModel>;
