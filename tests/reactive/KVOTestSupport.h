// Observable objects for the key-path, channel, binding and command tests.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/Queue.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Property.h"

namespace rstest {

// A record with a plain value, a strong and a weak child, and a setter count.
class Node : public fnd::Object {
public:
  fnd::Property<fnd::Value> value{this, "value", fnd::Value(), [this](fnd::Value v) {
                                    ++valueWrites;
                                    return v;
                                  }};
  fnd::Property<std::shared_ptr<fnd::Object>> child{this, "child"};
  fnd::WeakProperty<fnd::Object> weakChild{this, "weakChild"};
  fnd::ReadonlyProperty<fnd::Value> fixed{this, "fixed"};
  std::atomic<int> valueWrites{0};
};

// Stands in for a view: written on the main thread only. Records the threads
// its value was written on.
class MainThreadNode : public Node {
public:
  bool requiresMainThread() const override { return true; }
  MainThreadNode() {
    observer_ = addObserver("value", fnd::KVONew, [this](const fnd::KVOChange&) {
      if (!dispatch::isMainThread()) offMainWrites++;
    });
  }
  std::atomic<int> offMainWrites{0};

private:
  fnd::KVOToken observer_;
};

// The shape of the unit's current-preset and module records.
class PresetRecord : public fnd::Object {
public:
  fnd::Property<std::optional<int>> selectedPreset{this, "selectedPreset"};
  fnd::Property<std::vector<int>> dataArr{this, "dataArr"};
};

// A screen-side object bound to the record.
class PresetScreen : public fnd::Object {
public:
  fnd::Property<fnd::Value> selectRow{this, "selectRow", fnd::Value(), [this](fnd::Value v) {
                                        ++selectRowWrites;
                                        return v;
                                      }};
  fnd::Property<fnd::Value> moduleStatus{this, "moduleStatus"};
  std::atomic<int> selectRowWrites{0};
};

// Runs the function on a plain thread (no current scheduler) and waits.
template <class F>
void onPlainThread(F&& f) {
  std::thread thread(std::forward<F>(f));
  thread.join();
}

}  // namespace rstest
