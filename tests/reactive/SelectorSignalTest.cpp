#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ReactiveTestSupport.h"
#include "reactive/RSDelegateProxy.h"
#include "reactive/RSSelectorSignal.h"

using rstest::Recorder;

namespace {

// A class that offers its calls as signals.
class Counter : public fnd::Object {
public:
  int add(int amount, const std::string& reason) {
    RS_SELECTOR_SOURCE("add", amount, reason);
    total_ += amount;
    journal.push_back("add " + reason);
    amount = 0;  // the tuple keeps what the caller passed
    return total_;
  }
  void reset() {
    RS_SELECTOR_SOURCE("reset");
    total_ = 0;
    journal.push_back("reset");
  }
  void fail(int code) {
    RS_SELECTOR_SOURCE("fail", code);
    throw std::runtime_error("failed");
  }
  std::vector<std::string> journal;

private:
  int total_ = 0;
};

}  // namespace

TEST(SelectorSignalTest, SendsTheArgumentsAfterTheBodyAndKeepsItsResult) {
  std::vector<std::string> seenJournal;
  Recorder recorder;  // outlives the counter, whose end completes the signal
  auto counter = fnd::make<Counter>();
  auto signal = rs_signalForSelector(counter, "add");
  signal->subscribeNext([&](const fnd::Value&) { seenJournal = counter->journal; });
  recorder.subscribe(signal);

  EXPECT_EQ(counter->add(2, "first"), 2);
  EXPECT_EQ(counter->add(3, "second"), 5);
  ASSERT_EQ(recorder.values().size(), 2u);
  EXPECT_EQ(rstest::tupleValues(recorder.values()[1]), (rstest::Values{3, "second"}));
  // The subscriber saw the body's effect of the same call.
  EXPECT_EQ(seenJournal, (std::vector<std::string>{"add first", "add second"}));
  EXPECT_EQ(rs_signalForSelector(counter, "add"), signal);  // one subject per method
}

TEST(SelectorSignalTest, NoArgumentsGiveAnEmptyTupleAndOtherMethodsStaySilent) {
  Recorder resets;
  auto counter = fnd::make<Counter>();
  resets.subscribe(rs_signalForSelector(counter, "reset"));
  counter->add(1, "unobserved");
  counter->reset();
  ASSERT_EQ(resets.values().size(), 1u);
  auto tuple = resets.values()[0].asObject<RSTuple>();
  ASSERT_NE(tuple, nullptr);
  EXPECT_EQ(tuple->count(), 0u);
}

TEST(SelectorSignalTest, ACallThatThrowsSendsNothing) {
  Recorder recorder;
  auto counter = fnd::make<Counter>();
  recorder.subscribe(rs_signalForSelector(counter, "fail"));
  EXPECT_THROW(counter->fail(1), std::runtime_error);
  EXPECT_TRUE(recorder.events().empty());
}

TEST(SelectorSignalTest, CompletesWhenTheObjectEndsAlsoOnAnotherThread) {
  Recorder add, reset, late;
  auto counter = fnd::make<Counter>();
  add.subscribe(rs_signalForSelector(counter, "add"));
  reset.subscribe(rs_signalForSelector(counter, "reset"));
  std::thread caller([counter = std::move(counter)]() mutable {
    for (int i = 0; i < 100; ++i) counter->add(1, "loop");
    counter.reset();
  });
  caller.join();
  EXPECT_EQ(add.values().size(), 100u);
  EXPECT_TRUE(add.completed());
  EXPECT_TRUE(reset.completed());

  // Asked for after the end: nothing is kept, so calls send nothing.
  auto ended = fnd::make<Counter>();
  fnd::Lifetime& lifetime = ended->lifetime();
  lifetime.end();
  late.subscribe(rs_signalForSelector(ended, "add"));
  ended->add(1, "after the end");
  EXPECT_TRUE(late.values().empty());
}

// ------------------------------------------------------------ delegate proxy

namespace {

class PickerDelegate {
public:
  virtual ~PickerDelegate() = default;
  virtual bool shouldSelect(int row) = 0;
  virtual void didSelect(int row, const std::string& title) = 0;
  virtual std::string titleFor(int row) const = 0;
};

class PickerDelegateProxy : public RSDelegateProxy<PickerDelegate> {
public:
  bool shouldSelect(int row) override { return rs_forward("shouldSelect", &PickerDelegate::shouldSelect, row); }
  void didSelect(int row, const std::string& title) override {
    rs_forward("didSelect", &PickerDelegate::didSelect, row, title);
  }
  std::string titleFor(int row) const override { return rs_forward("titleFor", &PickerDelegate::titleFor, row); }
};

class RealDelegate : public PickerDelegate {
public:
  bool shouldSelect(int row) override { return row % 2 == 0; }
  void didSelect(int row, const std::string& title) override { selections.push_back(std::to_string(row) + title); }
  std::string titleFor(int row) const override { return "row " + std::to_string(row); }
  std::vector<std::string> selections;
};

}  // namespace

TEST(DelegateProxyTest, ForwardsWhatItDoesNotTurnIntoSignals) {
  Recorder selections;
  auto proxy = fnd::make<PickerDelegateProxy>();
  auto real = std::make_shared<RealDelegate>();
  proxy->setRs_proxiedDelegate(real);
  PickerDelegate& delegate = *proxy;  // what the delegating object holds

  selections.subscribe(proxy->signalForSelector("didSelect"));
  EXPECT_TRUE(delegate.shouldSelect(2));
  EXPECT_FALSE(delegate.shouldSelect(3));
  EXPECT_EQ(delegate.titleFor(4), "row 4");
  delegate.didSelect(4, "x");

  // The observed message went only to the signal.
  EXPECT_TRUE(real->selections.empty());
  ASSERT_EQ(selections.values().size(), 1u);
  EXPECT_EQ(rstest::tupleValues(selections.values()[0]), (rstest::Values{4, "x"}));
  EXPECT_TRUE(proxy->isProxy());
  EXPECT_TRUE(proxy->respondsToSelector("titleFor"));
}

TEST(DelegateProxyTest, HoldsTheRealDelegateWeaklyAndAnswersDefaultsWithoutOne) {
  Recorder should;
  auto proxy = fnd::make<PickerDelegateProxy>();
  auto real = std::make_shared<RealDelegate>();
  proxy->setRs_proxiedDelegate(real);
  real.reset();
  EXPECT_EQ(proxy->rs_proxiedDelegate(), nullptr);
  EXPECT_FALSE(proxy->shouldSelect(2));
  EXPECT_EQ(proxy->titleFor(1), "");
  EXPECT_FALSE(proxy->respondsToSelector("shouldSelect"));

  // An observed message still answers the default, and its signal completes
  // with the proxy.
  should.subscribe(proxy->signalForSelector("shouldSelect"));
  EXPECT_TRUE(proxy->respondsToSelector("shouldSelect"));
  EXPECT_FALSE(proxy->shouldSelect(2));
  proxy.reset();
  EXPECT_EQ(should.values().size(), 1u);
  EXPECT_TRUE(should.completed());
}
