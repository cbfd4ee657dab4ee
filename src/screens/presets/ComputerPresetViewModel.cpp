#include "screens/presets/ComputerPresetViewModel.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>
#include <utility>

#include "device/service/PresetManager.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kDotExtension = ".pqv";

// When the file `name` in the folder `dir` (links followed) came into being,
// in nanoseconds: its creation time where the file system records one, else
// its last modification. Nothing for what is not a regular file or cannot be
// read. One statx, looked up from the open folder.
std::optional<int64_t> creationTime(int dir, const char* name) {
  struct statx st {};
  if (::statx(dir, name, AT_NO_AUTOMOUNT, STATX_TYPE | STATX_BTIME | STATX_MTIME, &st) != 0) return std::nullopt;
  if (!(st.stx_mask & STATX_TYPE) || !S_ISREG(st.stx_mode)) return std::nullopt;
  const statx_timestamp& t = (st.stx_mask & STATX_BTIME) ? st.stx_btime : st.stx_mtime;
  return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// One listing of a folder. The reader hands the preset files it finds over
// in batches as it goes; a batch is looked at by whoever takes it first:
// workers of the global queue, called in while there are batches waiting,
// and the reader itself once the folder is read. Looking at a batch is one
// statx per file, then its listed names in list order (a run). Runs are
// merged two of the same level at a time as they come, so that by the end
// of the folder most of the ordering is done and the reader merges a few
// runs. A worker takes batches while they come and leaves when the reader
// is slow (never held for longer than kStay without work), and the reader
// never waits for a worker that has not begun, so a listing ends even when
// no worker is free. A worker that comes late finds nothing left and
// touches nothing but this shared state.
class Listing : public std::enable_shared_from_this<Listing> {
public:
  static constexpr size_t kBatch = 128;

  struct Entry {
    size_t offset = 0;      // of the file name in the batch's `names`, ending in '\0'
    size_t baseLength = 0;  // the name without ".pqv"
  };
  struct Batch {
    std::string names;
    std::vector<Entry> entries;
  };
  struct Found {
    int64_t born;
    std::string name;
  };
  // Newest first; names of the same time in name order. Names in a folder
  // differ, so no two entries are equal and any order of merging gives the
  // same list.
  static bool before(const Found& a, const Found& b) { return a.born != b.born ? a.born > b.born : a.name < b.name; }

  Listing(int dir, unsigned workers) : dir_(dir), workers_(workers) {}

  // The reader: a full batch goes out to be looked at, and a worker is
  // called in when fewer than `workers` are at it.
  void add(std::unique_ptr<Batch> batch) {
    bool callWorker = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      batches_.push_back(std::move(batch));
      if (working_ < workers_) {
        ++working_;
        callWorker = true;
      }
    }
    waiting_.notify_one();
    if (callWorker) dispatch::Queue::global()->async([self = shared_from_this()] { self->work(); });
  }
  // The reader, at the end of the folder: takes what is left, waits for
  // what workers are still on, and gives the whole list in order.
  std::vector<Found> finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    allRead_ = true;
    waiting_.notify_all();
    takeAll(lock);
    allSettled_.wait(lock, [&] { return holding_ == 0; });
    std::vector<Run> runs = std::move(runs_);
    lock.unlock();
    if (runs.empty()) return {};
    // Smallest first, so that no entry is moved more often than it must be.
    std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.found.size() < b.found.size(); });
    Run all = std::move(runs.front());
    for (size_t i = 1; i < runs.size(); ++i) all = merged(std::move(all), std::move(runs[i]));
    return std::move(all.found);
  }

private:
  struct Run {
    unsigned level = 0;  // 0 for a batch; one more than its halves for a merge
    std::vector<Found> found;
  };

  void work() {
    std::unique_lock<std::mutex> lock(mutex_);
    // A worker stays while batches come in quick succession, so that it is
    // not called in again for each; it leaves when the reader is slower.
    do takeAll(lock);
    while (!allRead_ && waiting_.wait_for(lock, kStay, [&] { return taken_ < batches_.size() || allRead_; }));
    --working_;
  }
  // Looks at batches until none is waiting; `lock` is held on entry and exit.
  void takeAll(std::unique_lock<std::mutex>& lock) {
    while (taken_ < batches_.size()) {
      std::unique_ptr<Batch> batch = std::move(batches_[taken_++]);
      ++holding_;
      lock.unlock();
      Run run{0, look(*batch)};
      batch.reset();
      lock.lock();
      settle(std::move(run), lock);
    }
  }
  // The listed names of a batch, in list order.
  std::vector<Found> look(const Batch& batch) const {
    std::vector<Found> found;
    found.reserve(batch.entries.size());
    for (const Entry& e : batch.entries) {
      const char* name = batch.names.data() + e.offset;
      if (const std::optional<int64_t> born = creationTime(dir_, name)) found.push_back({*born, {name, e.baseLength}});
    }
    std::sort(found.begin(), found.end(), before);
    return found;
  }
  // Merges `run` with runs of its level while there are any, then leaves it
  // with the others; `lock` is held on entry and exit, and `run` was counted
  // in holding_.
  void settle(Run run, std::unique_lock<std::mutex>& lock) {
    for (;;) {
      const auto same = std::find_if(runs_.begin(), runs_.end(), [&](const Run& r) { return r.level == run.level; });
      if (same == runs_.end()) break;
      Run other = std::move(*same);
      runs_.erase(same);
      lock.unlock();
      const unsigned level = run.level + 1;
      run = merged(std::move(run), std::move(other));
      run.level = level;
      lock.lock();
    }
    runs_.push_back(std::move(run));
    if (--holding_ == 0) allSettled_.notify_all();
  }
  static Run merged(Run a, Run b) {
    Run out{std::max(a.level, b.level), {}};
    out.found.reserve(a.found.size() + b.found.size());
    std::merge(std::make_move_iterator(a.found.begin()), std::make_move_iterator(a.found.end()),
               std::make_move_iterator(b.found.begin()), std::make_move_iterator(b.found.end()),
               std::back_inserter(out.found), before);
    return out;
  }

  // How long a worker waits for the reader's next batch before it leaves.
  static constexpr auto kStay = std::chrono::milliseconds(2);

  const int dir_;
  const unsigned workers_;
  std::mutex mutex_;
  std::condition_variable waiting_;
  std::condition_variable allSettled_;
  std::vector<std::unique_ptr<Batch>> batches_;
  size_t taken_ = 0;
  // Batches taken and runs being merged, not yet back among runs_.
  size_t holding_ = 0;
  std::vector<Run> runs_;
  unsigned working_ = 0;
  bool allRead_ = false;
};

// How many workers a listing calls in besides its reader: one less than
// the processors this process may run on, and no more than four. A statx
// costs about as much as reading four entries of the folder, so four keep
// up with the reader; more only take processors from it.
unsigned listingWorkers() {
  constexpr unsigned kMost = 4;
  cpu_set_t set;
  CPU_ZERO(&set);
  const int usable = ::sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 0;
  const unsigned processors = usable > 0 ? static_cast<unsigned>(usable) : std::thread::hardware_concurrency();
  return std::clamp(processors, 2u, kMost + 1) - 1;
}

class Fd {
public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  // Closes now and tells whether the close went well.
  bool close() {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || ::close(fd) == 0;
  }

private:
  int fd_;
};

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
  Fd out(::mkstemp(pattern.data()));
  if (out.get() < 0) {
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
  if (!out.close() && ok) {
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
  // One read of the folder, one statx per preset file, nothing else per file.
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT) fnd::log("computer presets: listing %s: %s", dir.c_str(), std::strerror(errno));
    return {};
  }
  DIR* stream = ::fdopendir(fd);
  if (!stream) {
    fnd::log("computer presets: listing %s: %s", dir.c_str(), std::strerror(errno));
    ::close(fd);
    return {};
  }
  auto listing = std::make_shared<Listing>(fd, listingWorkers());
  const size_t ext = std::strlen(kDotExtension);
  auto batch = std::make_unique<Listing::Batch>();
  errno = 0;
  while (const dirent* d = ::readdir(stream)) {
    // Folders are never listed: no need to look at them.
    if (d->d_type == DT_DIR) continue;
    const size_t length = std::strlen(d->d_name);
    if (length <= ext || std::memcmp(d->d_name + length - ext, kDotExtension, ext) != 0) continue;
    batch->entries.push_back({batch->names.size(), length - ext});
    batch->names.append(d->d_name, length + 1);
    if (batch->entries.size() < Listing::kBatch) continue;
    listing->add(std::move(batch));
    batch = std::make_unique<Listing::Batch>();
  }
  if (errno != 0) fnd::log("computer presets: listing %s: %s", dir.c_str(), std::strerror(errno));
  if (!batch->entries.empty()) listing->add(std::move(batch));
  std::vector<Listing::Found> listed = listing->finish();
  ::closedir(stream);

  std::vector<std::string> names;
  names.reserve(listed.size());
  for (Listing::Found& f : listed) names.push_back(std::move(f.name));
  return names;
}

void ComputerPresetViewModel::loadData() {
  const fs::path dir = folder();
  auto queue = dispatch::Queue::createSerial(kListingQueue);
  queue->sync([this, &dir] {
    std::vector<std::string> names = listPresetNames(dir);
    std::lock_guard<std::mutex> lock(namesMutex_);
    presetNameArr = std::move(names);
  });
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
