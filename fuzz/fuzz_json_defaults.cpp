// JSON text and user defaults over arbitrary bytes.
//
// JSON: what parses is written and parsed again and gives the same value;
// writing it once more gives the same text.
// User defaults: the input is a defaults file; whatever loads is saved and
// loaded again unchanged, and a string of arbitrary bytes (the input's tail,
// as a folder's path may be) set under a key comes back byte for byte after
// a restart.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/foundation/Files.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"

namespace fs = std::filesystem;

namespace {

void require(bool ok) {
  if (!ok) std::abort();
}

// Files are written with a flush to disk each time: in memory when possible.
// The folder goes when the process ends.
struct ScratchFolder {
  fs::path dir;
  ScratchFolder() {
    std::error_code ec;
    const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    dir = base / ("qv450-fuzz-defaults-" + std::to_string(getpid()));
    fs::create_directories(dir, ec);
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (fnd::setLogSink([](const std::string&) {}), true);
  (void)quiet;
  static const ScratchFolder scratch;
  const fs::path& dir = scratch.dir;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  if (auto value = fnd::parseJson(text)) {
    const std::string once = fnd::writeJson(*value);
    auto again = fnd::parseJson(once);
    require(again.has_value() && *again == *value);
    require(fnd::writeJson(*again) == once);
    require(fnd::parseJson(fnd::writeJson(*value, -1)) == value);
  }

  const fs::path file = dir / "defaults.json";
  std::string error;
  require(fnd::files::writeAtomically(file, text, &error));
  auto loaded = fnd::UserDefaults::withFile(file);
  const fnd::Value before = loaded->objectForKey("key");
  // The tail after the last newline, any bytes at all.
  const size_t cut = text.rfind('\n');
  const std::string odd(cut == std::string_view::npos ? text : text.substr(cut + 1));
  require(loaded->setObjectForKey("fuzzed path", fnd::Value(odd)));
  auto restarted = fnd::UserDefaults::withFile(file);
  require(restarted->stringForKey("fuzzed path") == odd);
  require(restarted->objectForKey("key") == before);
  return 0;
}
