// What the benchmarks of views share: the main() that runs them offscreen,
// and the item model the comparisons with Qt's own views read from.
#pragma once

#include <benchmark/benchmark.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <chrono>
#include <cstdlib>

#include "controls/GGPopView.h"
#include "platform/dispatch/MainQueueDriver.h"
#include "platform/dispatch/Queue.h"
#include "platform/ui/QtMainQueueDriver.h"
#include "platform/ui/Style.h"

namespace bench {

enum class Platform {
  Views,    // views alone: the application object is all they need
  Program,  // the program's screens: its style, main queue and pop-up service as well
};

// Runs the benchmarks named on the command line on the offscreen platform
// (unless another is asked for); the body of a benchmark's main().
inline int runOffscreen(int argc, char** argv, Platform platform) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (!std::getenv("XDG_RUNTIME_DIR")) setenv("XDG_RUNTIME_DIR", "/tmp", 0);
  QApplication app(argc, argv);
  if (platform == Platform::Program) {
    ui::applyApplicationStyle();
    dispatch::setMainThread();
    ui::installQtMainQueueDriver();
    GGPopView::installAsPopUpService();
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (platform == Platform::Program) {
    dispatch::shutdown(std::chrono::seconds(5));
    dispatch::setMainQueueDriver(nullptr);
  }
  return 0;
}

// A Qt item model of `count` rows (a list model, or a table model with its
// columns added), counted again with a model reset as Qt's views expect.
template <class Base>
class CountedRowsModel : public Base {
public:
  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : count; }
  void setCount(int n) {
    this->beginResetModel();
    count = n;
    this->endResetModel();
  }
  int count = 0;
};

}  // namespace bench
