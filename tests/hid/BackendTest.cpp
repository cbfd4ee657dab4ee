// Backend selection by QV450_SIMULATOR, and the hidapi backend on a machine
// without the unit and with device strings that are not UTF-32.
#include "platform/hid/Backend.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/foundation/Log.h"
#include "platform/foundation/Utf8.h"
#include "platform/hid/HidapiBackend.h"
#include "sim/SimBackend.h"

namespace {

using namespace std::chrono_literals;

// Sets or clears QV450_SIMULATOR for one test and puts the old value back.
class SimulatorVariable {
public:
  SimulatorVariable() {
    const char* v = std::getenv(hid::kSimulatorVariable);
    had_ = v != nullptr;
    if (had_) old_ = v;
  }
  ~SimulatorVariable() {
    if (had_) ::setenv(hid::kSimulatorVariable, old_.c_str(), 1);
    else ::unsetenv(hid::kSimulatorVariable);
  }
  void set(const char* value) {
    if (value) ::setenv(hid::kSimulatorVariable, value, 1);
    else ::unsetenv(hid::kSimulatorVariable);
  }

private:
  bool had_ = false;
  std::string old_;
};

uint8_t identifiedMode(const std::shared_ptr<hid::Backend>& backend) {
  EXPECT_TRUE(backend->init());
  const auto units = backend->enumerate(0x0483, 0x5703, 200);
  EXPECT_EQ(units.size(), 1u);
  if (units.empty()) return 0;
  auto device = backend->open(units[0]).device;
  hid::Report r{};
  r[0] = 7;
  const uint8_t request[] = {0xAA, 0x55, 0x01, 0x00, 0x00, 0xC8, 0xCF};
  std::copy(std::begin(request), std::end(request), r.begin() + 1);
  EXPECT_TRUE(device->write(r));
  EXPECT_EQ(device->read(r, 1s), 64);
  return r[59];
}

TEST(BackendTest, QV450SimulatorSelectsTheSimulatedUnit) {
  SimulatorVariable env;
  auto previousFactory = hid::setSimulatorFactory(nullptr);
  std::vector<std::string> logs;
  auto previousSink = fnd::setLogSink([&](const std::string& l) { logs.push_back(l); });

  env.set(nullptr);
  EXPECT_EQ(hid::createBackend()->name(), "hidapi-hidraw");

  // Set, but the program has no simulated unit: USB, and a line saying so.
  env.set("app");
  EXPECT_EQ(hid::createBackend()->name(), "hidapi-hidraw");
  ASSERT_FALSE(logs.empty());
  EXPECT_NE(logs.back().find("without the simulated unit"), std::string::npos);

  sim::installAsSimulator();
  auto app = hid::createBackend();
  EXPECT_EQ(app->name(), "simulator");
  EXPECT_EQ(identifiedMode(app), 'A');
  env.set("boot");
  EXPECT_EQ(identifiedMode(hid::createBackend()), 'B');
  // Empty or "off": the real unit, with a simulator at hand.
  for (const char* real : {"", "off"}) {
    env.set(real);
    EXPECT_EQ(hid::createBackend()->name(), "hidapi-hidraw") << real;
  }

  hid::setSimulatorFactory(previousFactory);
  fnd::setLogSink(previousSink);
}

TEST(BackendTest, HidapiBackendWithoutTheUnit) {
  auto backend = hid::createHidapiBackend();
  ASSERT_TRUE(backend->init());
  // No vendor uses product 0 with release 0xFFFF: nothing is listed.
  EXPECT_TRUE(backend->enumerate(0x0483, 0x0000, 0xFFFF).empty());
  hid::DeviceInfo missing;
  missing.path = "/dev/hidraw-qv450-none";
  const hid::OpenResult r = backend->open(missing);
  EXPECT_EQ(r.device, nullptr);
  EXPECT_EQ(r.error, hid::OpenError::Failed);
  EXPECT_FALSE(r.message.empty());
}

TEST(BackendTest, DeviceStringsBecomeValidUtf8) {
  const wchar_t surrogates[] = {L'V', 0xD83C, L'-', 0xDFB8, 0};  // the halves of a UTF-16 pair, apart
  const wchar_t tooLarge[] = {0x110000, 0};
  const wchar_t surrogateEdges[] = {0xD7FF, 0xD800, 0xDFFF, 0xE000, 0};  // the first and last surrogate, beside others
  for (auto [wide, utf8] : {std::pair<const wchar_t*, std::string>{L"Caf\u00E9 \U0001F3B8", "Caf\xC3\xA9 \xF0\x9F\x8E\xB8"},
                            {surrogates, "V\xEF\xBF\xBD-\xEF\xBF\xBD"},
                            {tooLarge, "\xEF\xBF\xBD"},
                            {surrogateEdges, "\xED\x9F\xBF\xEF\xBF\xBD\xEF\xBF\xBD\xEE\x80\x80"},
                            {nullptr, ""}}) {
    const std::string name = hid::utf8FromDeviceString(wide);
    EXPECT_EQ(name, utf8);
    EXPECT_TRUE(fnd::utf8::isValid(name)) << name;
  }
}

TEST(BackendTest, LogTextsNameTheDeviceAndTheUdevRule) {
  hid::DeviceInfo info;
  info.path = "/dev/hidraw3";
  info.vendorId = 0x0483;
  info.productId = 0x5703;
  info.releaseNumber = 200;
  info.product = "VLTfx Rig";
  EXPECT_EQ(info.description(), "HID device /dev/hidraw3 0483:5703 release 200 \"VLTfx Rig\"");
  const std::string hint = hid::permissionHint(info.path);
  EXPECT_NE(hint.find("/dev/hidraw3"), std::string::npos);
  EXPECT_NE(hint.find("permission denied"), std::string::npos);
  EXPECT_NE(hint.find("packaging/60-qv450.rules"), std::string::npos);
}

}  // namespace
