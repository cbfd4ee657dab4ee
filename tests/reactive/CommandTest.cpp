#include <gtest/gtest.h>

#include <thread>

#include "KVOTestSupport.h"
#include "ReactiveTestSupport.h"
#include "reactive/RSCommand.h"
#include "reactive/RSSubject.h"

using rstest::Recorder;
using rstest::Values;

namespace {

// Records the values of a command's signal and whether all came on the main
// thread.
struct MainRecorder : Recorder {
  std::atomic<int> offMain{0};
  void watch(const RSSignalPtr& signal) {
    subscribe(signal->doNext([this](const fnd::Value&) {
      if (!dispatch::isMainThread()) offMain++;
    }));
  }
};

Values bools(std::initializer_list<bool> xs) {
  Values out;
  for (bool x : xs) out.emplace_back(x);
  return out;
}

}  // namespace

TEST(CommandTest, AnExecutionRunsTheBlockAndReportsItsStatesOnTheMainThread) {
  // Recorders outlive the command: its end still reaches them.
  MainRecorder executing, enabled;
  Recorder result;
  int calls = 0;
  fnd::Value input;
  auto command = RSCommand::initWithSignalBlock([&](const fnd::Value& value) {
    ++calls;
    input = value;
    return RSSignal::empty();
  });
  executing.watch(command->executing());
  enabled.watch(command->enabled());
  dispatch::drainMainQueue();
  EXPECT_EQ(enabled.values(), bools({true}));  // at once

  result.subscribe(command->execute(fnd::Value("button")));
  EXPECT_EQ(calls, 1);  // on the calling thread, before execute returned
  EXPECT_EQ(input, fnd::Value("button"));
  ASSERT_TRUE(rstest::pumpUntil([&] { return result.completed() && executing.values().size() == 3 && enabled.values().size() == 3; }));
  EXPECT_EQ(executing.values(), (Values{fnd::Value(false), fnd::Value(1), fnd::Value(0)}));
  EXPECT_EQ(enabled.values(), bools({true, false, true}));
  EXPECT_EQ(executing.offMain, 0);
  EXPECT_EQ(enabled.offMain, 0);
  command.reset();
  dispatch::drainMainQueue();
}

TEST(CommandTest, ASecondExecutionFailsUnlessConcurrencyIsAllowed) {
  Recorder first, second;
  auto refused = std::make_unique<Recorder>();  // its error holds the command
  MainRecorder executing;
  std::vector<RSSubjectPtr> works;
  auto command = RSCommand::initWithSignalBlock([&](const fnd::Value&) {
    works.push_back(RSSubject::subject());
    return works.back();
  });
  first.subscribe(command->execute(fnd::Value()));
  refused->subscribe(command->execute(fnd::Value()));
  ASSERT_TRUE(refused->failed());
  EXPECT_EQ(refused->error()->domain(), RSCommandErrorDomain);
  EXPECT_EQ(refused->error()->code(), RSCommandErrorNotEnabled);
  EXPECT_EQ(refused->error()->localizedDescription(), "The command is disabled and cannot be executed");
  EXPECT_EQ(refused->error()->userInfo()[RSUnderlyingCommandErrorKey].asObject(), command);
  EXPECT_EQ(works.size(), 1u);  // the block was not called

  command->setAllowsConcurrentExecution(true);
  EXPECT_TRUE(command->allowsConcurrentExecution());
  second.subscribe(command->execute(fnd::Value()));
  EXPECT_FALSE(second.failed());
  ASSERT_EQ(works.size(), 2u);
  dispatch::drainMainQueue();
  executing.watch(command->executing());
  works[0]->sendCompleted();
  dispatch::drainMainQueue();
  EXPECT_EQ(executing.values(), (Values{fnd::Value(1)}));  // one still runs
  works[1]->sendNext(fnd::Value("done"));
  works[1]->sendCompleted();
  dispatch::drainMainQueue();
  EXPECT_EQ(executing.values(), (Values{fnd::Value(1), fnd::Value(0)}));
  EXPECT_EQ(second.events(), (std::vector<std::string>{"next:done", "completed"}));
  refused.reset();
  command.reset();
  dispatch::drainMainQueue();
}

TEST(CommandTest, TheEnabledInputGatesExecution) {
  MainRecorder enabled;
  Recorder first;
  auto refused = std::make_unique<Recorder>();  // its error holds the command
  auto gate = RSSubject::subject();
  auto command = RSCommand::initWithEnabled(gate, [](const fnd::Value&) { return RSSignal::empty(); });
  enabled.watch(command->enabled());
  gate->sendNext(fnd::Value(false));
  dispatch::drainMainQueue();
  EXPECT_EQ(enabled.values(), bools({true, false}));
  refused->subscribe(command->execute(fnd::Value()));
  EXPECT_TRUE(refused->failed());
  gate->sendNext(fnd::Value());  // nil counts as not enabled
  dispatch::drainMainQueue();
  EXPECT_EQ(enabled.values(), bools({true, false}));

  // A command made while its input already says no is disabled from its
  // first value.
  auto no = RSCommand::initWithEnabled(RSSignal::return_(fnd::Value(false)), [](const fnd::Value&) {
    return RSSignal::empty();
  });
  first.subscribe(no->enabled());
  EXPECT_EQ(first.values(), bools({false}));
  refused.reset();
  command.reset();
  no.reset();
  dispatch::drainMainQueue();
}

TEST(CommandTest, AFailedExecutionIsReportedInErrorsAndEndsRunning) {
  MainRecorder errors, executing;
  Recorder result;
  std::vector<std::shared_ptr<Recorder>> inner;
  auto command = RSCommand::initWithSignalBlock([](const fnd::Value&) { return RSSignal::error(rstest::testError(42)); });
  errors.watch(command->errors());
  executing.watch(command->executing());
  command->executionSignals()->subscribeNext([&](const fnd::Value& value) {
    inner.push_back(std::make_shared<Recorder>());
    inner.back()->subscribe(value.asObject<RSSignal>());
  });
  result.subscribe(command->execute(fnd::Value()));
  ASSERT_TRUE(rstest::pumpUntil([&] { return result.failed() && !errors.values().empty() && executing.values().size() == 3; }));
  EXPECT_EQ(result.error()->code(), 42);
  EXPECT_EQ(errors.values().size(), 1u);
  EXPECT_EQ(errors.offMain, 0);
  ASSERT_EQ(inner.size(), 1u);
  EXPECT_TRUE(rstest::pumpUntil([&] { return inner[0]->completed(); }));  // shown as completing
  EXPECT_EQ(executing.values().back(), fnd::Value(0));
  command.reset();
  dispatch::drainMainQueue();
}

TEST(CommandTest, ExecutesFromAnotherThread) {
  auto result = std::make_shared<Recorder>();
  auto command = RSCommand::initWithSignalBlock([](const fnd::Value& input) { return RSSignal::return_(input); });
  std::thread worker([&] { result->subscribe(command->execute(fnd::Value(3))); });
  worker.join();
  ASSERT_TRUE(rstest::pumpUntil([&] { return result->completed(); }));
  EXPECT_EQ(result->values(), (Values{fnd::Value(3)}));
  command.reset();
  dispatch::drainMainQueue();
}

TEST(CommandTest, ItsSignalsEndWithTheCommand) {
  Recorder executions, immediate;
  auto command = RSCommand::initWithSignalBlock([](const fnd::Value&) { return RSSignal::empty(); });
  executions.subscribe(command->executionSignals());
  immediate.subscribe(command->immediateEnabled());
  std::weak_ptr<RSCommand> weak = command;
  command.reset();
  EXPECT_TRUE(weak.expired());
  EXPECT_TRUE(immediate.completed());
  EXPECT_TRUE(rstest::pumpUntil([&] { return executions.completed(); }));
}
