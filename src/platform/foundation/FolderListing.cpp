#include "platform/foundation/FolderListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

namespace fnd::files {

std::vector<std::string> listNewestFirst(const std::filesystem::path& folder, std::string_view suffix,
                                         std::string* error) {
  auto failed = [&](int cause, const char* what) {
    if (error) *error = std::string(what) + " " + folder.string() + ": " + std::strerror(cause);
  };
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT) failed(errno, "cannot list");
    return {};
  }
  // Once opened, the folder (and fd with it) is closed however this is left.
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(fd), &::closedir);
  if (!dir) {
    failed(errno, "cannot list");
    ::close(fd);
    return {};
  }
  struct Found {
    int64_t born;  // nanoseconds
    std::string name;
  };
  std::vector<Found> found;
  int readError = 0;
  for (;;) {
    errno = 0;
    const dirent* d = ::readdir(dir.get());
    if (!d) {
      readError = errno;
      break;
    }
    if (d->d_type == DT_DIR) continue;
    const std::string_view name(d->d_name);
    if (name.size() <= suffix.size() || name.substr(name.size() - suffix.size()) != suffix) continue;
    struct statx st {};
    if (::statx(fd, d->d_name, AT_NO_AUTOMOUNT, STATX_TYPE | STATX_BTIME | STATX_MTIME, &st) != 0) continue;
    if (!(st.stx_mask & STATX_TYPE) || !S_ISREG(st.stx_mode)) continue;
    const statx_timestamp& t = (st.stx_mask & STATX_BTIME) ? st.stx_btime : st.stx_mtime;
    found.push_back({static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec,
                     std::string(name.substr(0, name.size() - suffix.size()))});
  }
  if (readError != 0) failed(readError, "cannot list all of");
  std::sort(found.begin(), found.end(),
            [](const Found& a, const Found& b) { return a.born != b.born ? a.born > b.born : a.name < b.name; });
  std::vector<std::string> names;
  names.reserve(found.size());
  for (Found& f : found) names.push_back(std::move(f.name));
  return names;
}

}  // namespace fnd::files
