#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "KVOTestSupport.h"
#include "ReactiveTestSupport.h"
#include "reactive/RSUserDefaultsChannel.h"
#include "support/TempFolder.h"

using rstest::Recorder;

namespace {

class UserDefaultsChannelTest : public ::testing::Test {
protected:
  void SetUp() override { defaults_ = fnd::UserDefaults::withFile(dir_ / "defaults.json"); }
  void TearDown() override { defaults_.reset(); }
  TempFolder dir_;
  Recorder recorder;  // outlives the defaults, whose end completes the channel
  std::shared_ptr<fnd::UserDefaults> defaults_;
};

}  // namespace

TEST_F(UserDefaultsChannelTest, CurrentValueAtOnceOwnWritesStoredButNotEchoed) {
  defaults_->setObjectForKey("theme", fnd::Value("dark"));
  auto terminal = rs_channelTerminalForKey(defaults_, "theme");
  recorder.subscribe(terminal);
  EXPECT_EQ(recorder.values(), (rstest::Values{"dark"}));

  // Observers are told in the order they came, so once this one has heard of
  // the channel's own writes, the channel has handled them too.
  std::atomic<int> changes{0};
  fnd::KVOToken token = defaults_->addObserver("theme", fnd::KVONew, [&](const fnd::KVOChange&) { ++changes; });
  terminal->sendNext(fnd::Value("light"));
  ASSERT_TRUE(rstest::waitUntil([&] { return changes == 1; }));
  EXPECT_EQ(defaults_->objectForKey("theme"), fnd::Value("light"));
  terminal->sendNext(fnd::Value());  // nil removes the key
  ASSERT_TRUE(rstest::waitUntil([&] { return changes == 2; }));
  defaults_->removeObserver(token);
  EXPECT_TRUE(defaults_->objectForKey("theme").isNil());
  EXPECT_EQ(recorder.values(), (rstest::Values{"dark"}));
}

TEST_F(UserDefaultsChannelTest, ExternalWritesAreSentOnceOnTheWritingThread) {
  auto terminal = rs_channelTerminalForKey(defaults_, "volume");
  recorder.subscribe(terminal);
  std::thread::id writer, deliveredOn;
  RSDisposablePtr threadCheck = terminal->subscribeNext([&](const fnd::Value& value) {
    if (value == fnd::Value(3)) deliveredOn = std::this_thread::get_id();
  });
  rstest::onPlainThread([&] {
    writer = std::this_thread::get_id();
    defaults_->setObjectForKey("volume", fnd::Value(3));
    defaults_->setObjectForKey("volume", fnd::Value(3));  // the same again: nothing
    defaults_->setObjectForKey("other", fnd::Value(1));
  });
  EXPECT_EQ(recorder.values(), (rstest::Values{fnd::Value(), 3}));
  EXPECT_EQ(deliveredOn, writer);
  threadCheck->dispose();
}

// After the channel itself stored "b", somebody else putting the old value
// back is a change and must come out.
TEST_F(UserDefaultsChannelTest, AnExternalWriteOfThePreviousValueAfterAnOwnWriteIsSent) {
  defaults_->setObjectForKey("mode", fnd::Value("a"));
  auto terminal = rs_channelTerminalForKey(defaults_, "mode");
  recorder.subscribe(terminal);
  std::atomic<int> changes{0};  // as above
  fnd::KVOToken token = defaults_->addObserver("mode", fnd::KVONew, [&](const fnd::KVOChange&) { ++changes; });
  terminal->sendNext(fnd::Value("b"));
  ASSERT_TRUE(rstest::waitUntil([&] { return changes == 1; }));
  defaults_->removeObserver(token);
  EXPECT_EQ(defaults_->objectForKey("mode"), fnd::Value("b"));
  defaults_->setObjectForKey("mode", fnd::Value("b"));  // what is stored already
  defaults_->setObjectForKey("mode", fnd::Value("a"));
  EXPECT_EQ(recorder.values(), (rstest::Values{"a", "a"}));
}

// Own writes on the channel's queue while another thread writes the same key
// (ThreadSanitizer watches the shared state); the channel completes when the
// defaults end.
TEST_F(UserDefaultsChannelTest, ConcurrentWritersAndCompletionWithTheDefaults) {
  auto terminal = rs_channelTerminalForKey(defaults_, "n");
  recorder.subscribe(terminal);
  std::thread external([this] {
    for (int i = 0; i < 20; ++i) defaults_->setObjectForKey("n", fnd::Value(1000 + i));
  });
  for (int i = 0; i < 20; ++i) terminal->sendNext(fnd::Value(i));
  external.join();
  auto storedBy = [this](int last) { return defaults_->objectForKey("n") == fnd::Value(last); };
  ASSERT_TRUE(rstest::waitUntil([&] { return storedBy(19) || storedBy(1019); }));
  EXPECT_LE(recorder.values().size(), 21u);
  std::weak_ptr<fnd::UserDefaults> weak = defaults_;
  defaults_.reset();
  // The channel's queue may still hold the defaults for a moment.
  EXPECT_TRUE(rstest::waitUntil([&] { return recorder.completed() && weak.expired(); }));
}
