#include "platform/foundation/Files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

namespace fnd {

namespace fs = std::filesystem;

namespace {

std::string envOr(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

void setError(std::string* error, const std::string& what) {
  if (error) *error = what;
}

std::string errnoText(const std::string& what, const fs::path& path) {
  return what + " " + path.string() + ": " + std::strerror(errno);
}

// A name beside the destination that no other writer of this process uses.
fs::path temporaryBeside(const fs::path& path) {
  static std::atomic<unsigned> counter{0};
  fs::path dir = path.parent_path();
  std::string name = "." + path.filename().string() + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
  return dir.empty() ? fs::path(name) : dir / name;
}

bool writeAll(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void syncDirectory(const fs::path& dir) {
  int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

namespace paths {

fs::path homeDir() {
  std::string home = envOr("HOME");
  if (!home.empty()) return home;
  if (passwd* pw = getpwuid(getuid())) return pw->pw_dir;
  return "/";
}

std::string userName() {
  if (passwd* pw = getpwuid(getuid())) return pw->pw_name;
  std::string user = envOr("USER");
  return user.empty() ? "user" : user;
}

fs::path configDir() {
  std::string xdg = envOr("XDG_CONFIG_HOME");
  fs::path base = xdg.empty() ? homeDir() / ".config" : fs::path(xdg);
  return base / "qv450-edit";
}

fs::path documentsDir() {
  std::string xdg = envOr("XDG_DOCUMENTS_DIR");
  if (!xdg.empty()) return xdg;
  return homeDir() / "Documents";
}

fs::path executableDir() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) return exe.parent_path();
  fs::path here = fs::current_path(ec);
  return ec ? fs::path(".") : here;
}

fs::path resourcesDir() {
  std::string env = envOr("QV450_RESOURCES_DIR");
  if (!env.empty()) return env;
  fs::path exeDir = executableDir();
  std::error_code ec;
  for (const fs::path& candidate : {exeDir / "resources", exeDir.parent_path() / "resources",
                                    exeDir.parent_path() / "share" / "qv450-edit",
                                    exeDir.parent_path().parent_path() / "resources"}) {
    if (fs::is_directory(candidate, ec)) return candidate;
  }
  return exeDir / "resources";
}

fs::path resourcePath(std::string_view name) { return resourcesDir() / fs::path(std::string(name)); }

}  // namespace paths

namespace files {

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.release();
  }
  return *this;
}

int FileDescriptor::release() { return std::exchange(fd_, -1); }

FileDescriptor openRegularFile(const fs::path& path, std::string* error, ReadFailure* failure, uint64_t* size) {
  // The cause goes out in errno, which building the text may change.
  auto refuse = [&](ReadFailure why, int cause, const std::string& text) {
    setError(error, text);
    if (failure) *failure = why;
    errno = cause;
    return FileDescriptor();
  };
  if (failure) *failure = ReadFailure::none;
  // Non-blocking for the open, which otherwise waits for a writer of a
  // named pipe, and until the file is known to be regular.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd) {
    const int cause = errno;
    const bool missing = cause == ENOENT || cause == ENOTDIR;
    return refuse(missing ? ReadFailure::missing : ReadFailure::cannotOpen, cause,
                  missing ? "there is no file " + path.string() : errnoText("cannot open", path));
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    const int cause = errno;
    return refuse(ReadFailure::cannotRead, cause, errnoText("cannot read", path));
  }
  if (S_ISDIR(st.st_mode)) return refuse(ReadFailure::notRegular, EISDIR, path.string() + " is a folder");
  if (!S_ISREG(st.st_mode)) {
    const char* kind = S_ISFIFO(st.st_mode)                          ? "a named pipe"
                       : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                       : S_ISSOCK(st.st_mode)                        ? "a socket"
                                                                     : "not a regular file";
    return refuse(ReadFailure::notRegular, EINVAL, path.string() + " is " + kind + ", not a file");
  }
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    const int cause = errno;
    return refuse(ReadFailure::cannotOpen, cause, errnoText("cannot open", path));
  }
  if (size) *size = st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
  return fd;
}

std::optional<std::vector<uint8_t>> readAtMost(const fs::path& path, uint64_t maxBytes, std::string* error,
                                               ReadFailure* failure) {
  auto fail = [&](ReadFailure why, int cause, const std::string& text) -> std::optional<std::vector<uint8_t>> {
    setError(error, text);
    if (failure) *failure = why;
    errno = cause;
    return std::nullopt;
  };
  uint64_t known = 0;
  const FileDescriptor fd = openRegularFile(path, error, failure, &known);
  if (!fd) return std::nullopt;
  auto tooLarge = [&] {
    return fail(ReadFailure::tooLarge, EFBIG, path.string() + " is larger than " + std::to_string(maxBytes) + " bytes");
  };
  if (known > maxBytes) return tooLarge();

  // Room for one byte beyond what is expected, so the end (or a file that
  // grew past the bound) shows on the last read. Growth doubles.
  constexpr uint64_t kChunk = 64 * 1024;
  const uint64_t ceiling = maxBytes == UINT64_MAX ? maxBytes : maxBytes + 1;
  std::vector<uint8_t> bytes;
  size_t used = 0;
  try {
    bytes.resize(static_cast<size_t>(std::min(known > 0 ? known + 1 : kChunk, ceiling)));
    for (;;) {
      if (used == bytes.size()) {
        if (bytes.size() >= ceiling) return tooLarge();
        const uint64_t grown = std::min<uint64_t>(bytes.size() + std::max<uint64_t>(bytes.size(), kChunk), ceiling);
        bytes.resize(static_cast<size_t>(grown));
      }
      const ssize_t n = ::read(fd.get(), bytes.data() + used, bytes.size() - used);
      if (n < 0) {
        const int cause = errno;
        if (cause == EINTR) continue;
        return fail(ReadFailure::cannotRead, cause, errnoText("cannot read", path));
      }
      if (n == 0) break;
      used += static_cast<size_t>(n);
      if (used > maxBytes) return tooLarge();
    }
  } catch (const std::bad_alloc&) {
    return fail(ReadFailure::noMemory, ENOMEM, "no memory to read " + path.string());
  } catch (const std::length_error&) {
    return fail(ReadFailure::noMemory, ENOMEM, "no memory to read " + path.string());
  }
  bytes.resize(used);
  return bytes;
}

std::optional<std::vector<uint8_t>> readAll(const fs::path& path, std::string* error) {
  return readAtMost(path, UINT64_MAX, error);
}

std::optional<std::string> readTextAtMost(const fs::path& path, uint64_t maxBytes, std::string* error,
                                          ReadFailure* failure) {
  auto bytes = readAtMost(path, maxBytes, error, failure);
  if (!bytes) return std::nullopt;
  try {
    return std::string(bytes->begin(), bytes->end());
  } catch (const std::bad_alloc&) {
    setError(error, "no memory to read " + path.string());
    if (failure) *failure = ReadFailure::noMemory;
    errno = ENOMEM;
    return std::nullopt;
  }
}

std::optional<std::string> readText(const fs::path& path, std::string* error) {
  return readTextAtMost(path, UINT64_MAX, error);
}

bool writeAtomically(const fs::path& path, const void* data, size_t size, std::string* error) {
  std::error_code ec;
  if (!path.parent_path().empty()) {
    fs::create_directories(path.parent_path(), ec);
    if (ec) {
      setError(error, "cannot create folder " + path.parent_path().string() + ": " + ec.message());
      return false;
    }
  }
  fs::path tmp = temporaryBeside(path);
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    setError(error, errnoText("cannot create", tmp));
    return false;
  }
  bool ok = writeAll(fd, data, size);
  if (!ok) setError(error, errnoText("cannot write", tmp));
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    setError(error, errnoText("cannot flush", tmp));
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    setError(error, errnoText("cannot close", tmp));
  }
  if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
    ok = false;
    setError(error, errnoText("cannot replace", path));
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    return false;
  }
  syncDirectory(path.parent_path());
  return true;
}

bool writeAtomically(const fs::path& path, std::string_view text, std::string* error) {
  return writeAtomically(path, text.data(), text.size(), error);
}

bool renameWithoutReplacing(const fs::path& from, const fs::path& to, std::string* error) {
  auto failed = [&] {
    const int saved = errno;
    setError(error, errnoText("cannot name " + from.string() + " as", to));
    errno = saved;
    return false;
  };
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno == EEXIST) return failed();
  // File systems without that kind of rename: a hard link fails as well when
  // the name exists.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return true;
  }
  if (errno == EEXIST) return failed();
  // Nor links (FAT): look first, then rename.
  std::error_code ec;
  if (fs::exists(fs::symlink_status(to, ec))) {
    errno = EEXIST;
    return failed();
  }
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  return failed();
}

bool moveReplacing(const fs::path& from, const fs::path& to, std::string* error) {
  std::error_code ec;
  if (!to.parent_path().empty()) fs::create_directories(to.parent_path(), ec);
  if (::rename(from.c_str(), to.c_str()) == 0) {
    syncDirectory(to.parent_path());
    return true;
  }
  if (errno != EXDEV) {
    setError(error, errnoText("cannot move to", to));
    return false;
  }
  // Another file system: copy beside the destination, then rename over it.
  auto bytes = readAll(from, error);
  if (!bytes) return false;
  if (!writeAtomically(to, bytes->data(), bytes->size(), error)) return false;
  ::unlink(from.c_str());
  return true;
}

}  // namespace files

}  // namespace fnd
