#include "platform/ui/LayoutRegistry.h"

#include "platform/foundation/Log.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

namespace ui {

LayoutRegistry& LayoutRegistry::shared() {
  static auto* r = new LayoutRegistry();
  return *r;
}

void LayoutRegistry::registerBuilder(const std::string& name, Builder builder) {
  builders_[name] = std::move(builder);
}

bool LayoutRegistry::hasBuilder(const std::string& name) const { return builders_.count(name) > 0; }

std::optional<std::vector<std::shared_ptr<fnd::Object>>> LayoutRegistry::loadTopLevelObjects(const std::string& name,
                                                                                             fnd::Object* owner) {
  auto it = builders_.find(name);
  if (it == builders_.end()) {
    fnd::log("LayoutRegistry: no layout named \"%s\"", name.c_str());
    return std::nullopt;
  }
  LayoutLoad load(owner);
  const Builder builder = it->second;  // a builder may register others
  builder(load);
  for (auto& obj : load.made()) {
    if (auto* v = dynamic_cast<View*>(obj.get())) {
      v->awakeFromNib();
    } else if (auto* vc = dynamic_cast<ViewController*>(obj.get())) {
      vc->awakeFromNib();
    } else if (auto* wc = dynamic_cast<WindowController*>(obj.get())) {
      wc->awakeFromNib();
    }
  }
  return load.topLevelObjects();
}

}  // namespace ui
