#pragma once
// Interface layouts as code: a builder registered under a layout's name makes
// its objects, connects them to each other and to the owner (the object that
// loads the layout), and hands them to the load. Once the builder returns,
// awakeFromNib runs on every object made, in the order they were made.
//
// Main thread only.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Object.h"

namespace ui {

// Constructor tag of classes that set themselves up differently when a
// layout builder makes them than when code does.
struct FromLayout {};

class LayoutLoad {
public:
  explicit LayoutLoad(fnd::Object* owner) : owner_(owner) {}
  // The object loading the layout (may be null).
  fnd::Object* owner() const { return owner_; }
  // Records an object the builder made; top-level objects are returned by
  // the load.
  template <class T>
  std::shared_ptr<T> add(std::shared_ptr<T> object, bool topLevel = false) {
    made_.push_back(object);
    if (topLevel) topLevel_.push_back(object);
    return object;
  }
  const std::vector<std::shared_ptr<fnd::Object>>& made() const { return made_; }
  const std::vector<std::shared_ptr<fnd::Object>>& topLevelObjects() const { return topLevel_; }

private:
  fnd::Object* owner_;
  std::vector<std::shared_ptr<fnd::Object>> made_;
  std::vector<std::shared_ptr<fnd::Object>> topLevel_;
};

class LayoutRegistry {
public:
  using Builder = std::function<void(LayoutLoad&)>;

  static LayoutRegistry& shared();
  void registerBuilder(const std::string& name, Builder builder);
  bool hasBuilder(const std::string& name) const;
  // Runs the builder and the awakeFromNib calls; nothing when no builder has
  // that name (logged).
  std::optional<std::vector<std::shared_ptr<fnd::Object>>> loadTopLevelObjects(const std::string& name,
                                                                               fnd::Object* owner);

private:
  std::map<std::string, Builder> builders_;
};

}  // namespace ui
