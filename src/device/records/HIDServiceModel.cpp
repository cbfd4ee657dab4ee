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

HIDServiceModel::HIDServiceModel(std::vector<int> data, std::vector<int> function, std::vector<int> volume)
    : dataArr(this, "dataArr", logIfEmpty(std::move(data)), logIfEmpty),
      FuncDataArr(this, "FuncDataArr", std::move(function)),
      ExpDataArr(this, "ExpDataArr", std::move(volume)) {}

std::shared_ptr<HIDServiceModel> HIDServiceModel::copy() const {
  // Nothing observes the new record yet: made with its words rather than set.
  return fnd::make<HIDServiceModel>(dataArr.get(), FuncDataArr.get(), ExpDataArr.get());
}
