// Views, controls, windows and tables are used on the main thread only: a
// call from another thread reaches the violation handler before it acts (by
// default the process dies, naming the entry point).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <functional>
#include <string>
#include <thread>

#include "platform/ui/Control.h"
#include "platform/ui/MainThreadCheck.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"

namespace ui {
namespace {

struct Caught {
  std::string entryPoint;
};

[[noreturn]] void throwCaught(const char* entryPoint) { throw Caught{entryPoint}; }

// The entry point a call made on another thread was caught at; "" when the
// call went through.
std::string callOffMainThread(const std::function<void()>& call) {
  std::string caught;
  std::thread([&] {
    try {
      call();
    } catch (const Caught& c) {
      caught = c.entryPoint;
    }
  }).join();
  return caught;
}

struct HandlerScope {
  explicit HandlerScope(MainThreadViolationHandler h) : previous(setMainThreadViolationHandler(h)) {}
  ~HandlerScope() { setMainThreadViolationHandler(previous); }
  MainThreadViolationHandler previous;
};

TEST(MainThreadCheck, ACallFromAnotherThreadIsCaughtBeforeItActs) {
  if (!QV450_UI_CHECKS_MAIN_THREAD) GTEST_SKIP() << "the check is compiled out of this build";
  auto window = Window::create(Rect(0, 0, 200, 200));
  auto view = View::create(Rect(0, 0, 50, 50));
  auto control = View::create<Control>(Rect(0, 50, 50, 20));
  auto table = View::create<TableView>(Rect(50, 0, 100, 100));
  auto child = View::create(Rect(0, 0, 5, 5));
  for (auto& v : std::vector<std::shared_ptr<View>>{view, control, table}) window->contentView()->addSubview(v);

  {
    HandlerScope handler(throwCaught);
    const struct {
      const char* entryPoint;
      std::function<void()> call;
    } cases[] = {
        {"View::setFrame", [&] { view->setFrame(Rect(5, 5, 40, 40)); }},
        {"View::init", [&] { View::create(Rect(0, 0, 5, 5)); }},  // a new view
        {"View::addSubview", [&] { view->addSubview(child); }},
        {"View::removeFromSuperview", [&] { control->removeFromSuperview(); }},
        {"View::setNeedsDisplay", [&] { view->setNeedsDisplay(true); }},
        {"Control::setEnabled", [&] { control->setEnabled(false); }},
        {"Window::setContentSize", [&] { window->setContentSize({300, 300}); }},
        {"TableView::reloadData", [&] { table->reloadData(); }},
        {"TableView::selectRowIndexes", [&] { table->selectRowIndexes({0}, false); }},
    };
    for (const auto& c : cases) {
      EXPECT_THAT(callOffMainThread(c.call), ::testing::HasSubstr(c.entryPoint));
    }
    // Nothing changed, and the same calls on the main thread go through.
    EXPECT_EQ(view->frame(), Rect(0, 0, 50, 50));
    EXPECT_EQ(child->superview(), nullptr);
    EXPECT_EQ(control->superview(), window->contentView().get());
    EXPECT_TRUE(control->isEnabled());
    for (const auto& c : cases) c.call();
    EXPECT_EQ(view->frame(), Rect(5, 5, 40, 40));
  }

  // Without a handler of the test's own, the process stops and says where.
  EXPECT_DEATH(callOffMainThread([&] { view->setNeedsDisplay(true); }),
               "UI used off the main thread: .*View::setNeedsDisplay");
  window->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace
}  // namespace ui
