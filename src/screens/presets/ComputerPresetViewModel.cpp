#include "screens/presets/ComputerPresetViewModel.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "device/service/PresetManager.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/FolderListing.h"
#include "platform/foundation/Log.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kDotExtension = ".pqv";

bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Copies the regular file `from` to `to`, which must not exist: written
// beside it under a hidden name first, flushed, then given its name.
bool copyWithoutReplacing(const fs::path& from, const fs::path& to, uintmax_t maxSize, std::string* why) {
  uint64_t size = 0;
  const fnd::files::FileDescriptor in = fnd::files::openRegularFile(from, why, nullptr, &size);
  if (!in) return false;
  if (size > maxSize) {
    *why = "too large for a preset file";
    return false;
  }
  std::error_code ec;
  if (fs::exists(fs::symlink_status(to, ec))) {
    *why = "the name is taken";
    return false;
  }
  std::string pattern = (to.parent_path() / ("." + to.filename().string() + ".part-XXXXXX")).string();
  fnd::files::FileDescriptor out(::mkstemp(pattern.data()));
  if (!out) {
    *why = std::strerror(errno);
    return false;
  }
  const fs::path temp(pattern);
  bool ok = true;
  char buffer[16384];
  uintmax_t total = 0;
  for (;;) {
    const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *why = std::strerror(errno);
      ok = false;
      break;
    }
    if (n == 0) break;
    total += static_cast<uintmax_t>(n);
    if (total > maxSize) {
      *why = "too large for a preset file";
      ok = false;
      break;
    }
    if (!writeAll(out.get(), buffer, static_cast<size_t>(n))) {
      *why = std::strerror(errno);
      ok = false;
      break;
    }
  }
  if (ok && (::fchmod(out.get(), 0644) != 0 || ::fsync(out.get()) != 0)) {
    *why = std::strerror(errno);
    ok = false;
  }
  // Closed here, for a write that fails only when the file is closed.
  if (::close(out.release()) != 0 && ok) {
    *why = std::strerror(errno);
    ok = false;
  }
  if (ok && !fnd::files::renameWithoutReplacing(temp, to)) {
    *why = errno == EEXIST ? "the name is taken" : std::strerror(errno);
    ok = false;
  }
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace

std::shared_ptr<ComputerPresetViewModel> ComputerPresetViewModel::create(Parts parts) {
  auto vm = fnd::make<ComputerPresetViewModel>(std::move(parts));
  const fs::path dir = vm->folder();
  std::error_code ec;
  if (!dir.empty() && !fs::exists(dir, ec)) {
    fs::create_directories(dir, ec);
    if (ec) fnd::log("computer presets: cannot make %s: %s", dir.c_str(), ec.message().c_str());
  }
  return vm;
}

ComputerPresetViewModel::ComputerPresetViewModel(Parts parts) : parts_(std::move(parts)) {
  if (!parts_.popUps) parts_.popUps = PopUpService::shared();
}

fnd::Value ComputerPresetViewModel::presetNameDic() const {
  std::vector<fnd::Value> names(presetNameArr.begin(), presetNameArr.end());
  return fnd::Value(fnd::Dictionary{{kNamesKey, fnd::Value(fnd::Array(std::move(names)))}});
}

fs::path ComputerPresetViewModel::folder() const { return parts_.folder ? parts_.folder() : fs::path(); }

fs::path ComputerPresetViewModel::pathOf(const std::string& name) const {
  return folder() / (name + kDotExtension);
}

std::optional<std::string> ComputerPresetViewModel::presetNameOf(const std::string& fileName) {
  const size_t ext = std::strlen(kDotExtension);
  if (fileName.size() <= ext || fileName.compare(fileName.size() - ext, ext, kDotExtension) != 0) return std::nullopt;
  return fileName.substr(0, fileName.size() - ext);
}

std::vector<std::string> ComputerPresetViewModel::listPresetNames(const fs::path& dir) {
  std::string error;
  std::vector<std::string> names = fnd::files::listNewestFirst(dir, kDotExtension, &error);
  if (!error.empty()) fnd::log("computer presets: %s", error.c_str());
  return names;
}

void ComputerPresetViewModel::loadData() {
  presetNameArr = listPresetNames(folder());
  queueSuccess();
}

void ComputerPresetViewModel::queueSuccess() {
  std::weak_ptr<ComputerPresetViewModel> weak = std::static_pointer_cast<ComputerPresetViewModel>(shared_from_this());
  dispatch::Queue::main()->async([weak, dic = presetNameDic()] {
    auto self = weak.lock();
    if (!self) return;
    if (Block success = self->successBlock()) success(dic);
  });
}

bool ComputerPresetViewModel::delData(const std::set<long>& rows) {
  std::vector<long> listed;
  for (long r : rows)
    if (r >= 0 && static_cast<size_t>(r) < presetNameArr.size()) listed.push_back(r);
  if (listed.empty()) return false;
  for (long r : listed) {
    const fs::path file = pathOf(presetNameArr[static_cast<size_t>(r)]);
    std::error_code ec;
    if (!fs::remove(file, ec)) {
      fnd::log("computer presets: cannot remove %s: %s", file.c_str(),
               ec ? ec.message().c_str() : "no such file");
      parts_.popUps->showFailWithTip(kDeleteFailed, nullptr);
      return false;
    }
  }
  for (auto r = listed.rbegin(); r != listed.rend(); ++r) presetNameArr.erase(presetNameArr.begin() + *r);
  queueSuccess();
  return true;
}

bool ComputerPresetViewModel::addPreset(const fs::path& file) {
  const fs::path target = pathOf(file.stem().string());
  std::string why;
  if (!copyWithoutReplacing(file, target, PresetManager::kMaxFileSize, &why)) {
    fnd::log("computer presets: cannot copy %s to %s: %s", file.c_str(), target.c_str(), why.c_str());
    return false;
  }
  return true;
}
