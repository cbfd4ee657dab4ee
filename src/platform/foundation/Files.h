// Paths of the user's folders and file writes that never leave a half-written
// file where the user's file was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fnd {

namespace paths {
std::filesystem::path homeDir();
std::string userName();
// $XDG_CONFIG_HOME/qv450-edit (or ~/.config/qv450-edit).
std::filesystem::path configDir();
// The user's documents folder: $XDG_DOCUMENTS_DIR, else ~/Documents.
std::filesystem::path documentsDir();
// Where the bundle resources are: $QV450_RESOURCES_DIR, else resources/ or
// ../share/qv450-edit next to the executable.
std::filesystem::path resourcesDir();
std::filesystem::path resourcePath(std::string_view name);
std::filesystem::path executableDir();
}  // namespace paths

namespace files {
// Why a read gave no bytes. A refused open or read leaves the cause in
// errno as well: the system's own for missing, cannotOpen and cannotRead,
// EISDIR for a folder and EINVAL for the rest of notRegular, EFBIG for
// tooLarge, ENOMEM for noMemory.
enum class ReadFailure {
  none,
  missing,     // nothing at the path (or a folder on the way is missing)
  notRegular,  // a folder, a named pipe, a device or a socket
  cannotOpen,  // there, but not to be opened (permission, too many open files)
  cannotRead,  // opened, but the read failed (an I/O error)
  tooLarge,
  noMemory,
};

// A descriptor that is closed with its owner.
class FileDescriptor {
public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int release();

private:
  int fd_ = -1;
};

// Opens a file the user pointed at (a file chosen in a panel, dropped, or
// listed in a folder) for reading, without ever waiting: the open does not
// wait for the writer of a named pipe, and what was opened must be a regular
// file (links followed), so a path that turned into a pipe or a device after
// it was chosen is refused rather than read. The descriptor blocks again once
// checked. Refused: an empty descriptor, why in *error and *failure, and the
// size of the regular file in *size otherwise. Every reader of user files
// opens them here.
FileDescriptor openRegularFile(const std::filesystem::path& path, std::string* error = nullptr,
                               ReadFailure* failure = nullptr, uint64_t* size = nullptr);

// Whole-file read of a regular file (opened as openRegularFile does);
// nullopt when it cannot be read (missing, a folder, a pipe, an I/O error, no
// memory for it). Never throws and never waits for a writer.
std::optional<std::vector<uint8_t>> readAll(const std::filesystem::path& path, std::string* error = nullptr);
std::optional<std::string> readText(const std::filesystem::path& path, std::string* error = nullptr);

// The same, but more than `maxBytes` is refused: a file known to be larger
// before it is read, and a file that grows past the bound (or a /proc file,
// whose size is not known) while it is read.
std::optional<std::vector<uint8_t>> readAtMost(const std::filesystem::path& path, uint64_t maxBytes,
                                               std::string* error = nullptr, ReadFailure* failure = nullptr);
std::optional<std::string> readTextAtMost(const std::filesystem::path& path, uint64_t maxBytes,
                                          std::string* error = nullptr, ReadFailure* failure = nullptr);

// Writes beside the destination, flushes to disk, then renames over it: the
// old file stays whole until the new one is complete. Missing parent folders
// are created. On failure nothing is left behind and the old file is kept.
bool writeAtomically(const std::filesystem::path& path, const void* data, size_t size, std::string* error = nullptr);
bool writeAtomically(const std::filesystem::path& path, std::string_view text, std::string* error = nullptr);

// Gives the file `from` the name `to` unless something (a file, a folder, a
// dangling link) has that name already: then false with errno EEXIST, and
// both stay as they were. On file systems that can neither rename without
// replacing nor link, the name is looked at first and then taken.
bool renameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                            std::string* error = nullptr);

// Moves a finished file to its destination, replacing what is there
// atomically, also across file systems (copy beside the destination, then
// rename). The source is removed only once the destination is in place.
bool moveReplacing(const std::filesystem::path& from, const std::filesystem::path& to, std::string* error = nullptr);
}  // namespace files

}  // namespace fnd
