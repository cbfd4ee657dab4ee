#include "device/records/HIDServiceModel.h"

#include "platform/foundation/Log.h"

namespace {

std::vector<int> logIfEmpty(std::vector<int> words) {
  if (words.empty()) fnd::log("[Class:%s Line:%d] dataArr set to an empty list", "HIDServiceModel", __LINE__);
  return words;
}

}  // namespace

HIDServiceModel::HIDServiceModel()
    : dataArr(this, "dataArr", {}, logIfEmpty), FuncDataArr(this, "FuncDataArr"), ExpDataArr(this, "ExpDataArr") {}

std::shared_ptr<HIDServiceModel> HIDServiceModel::copy() const {
  auto out = fnd::make<HIDServiceModel>();
  out->setDataArr(dataArr.get());
  out->setFuncDataArr(FuncDataArr.get());
  out->setExpDataArr(ExpDataArr.get());
  return out;
}
