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
// Why a read gave no bytes.
enum class ReadFailure { none, cannotOpen, cannotRead, tooLarge, noMemory };

// Whole-file read; nullopt when the file cannot be read (a folder, an I/O
// error, no memory for it). Never throws.
std::optional<std::vector<uint8_t>> readAll(const std::filesystem::path& path, std::string* error = nullptr);
std::optional<std::string> readText(const std::filesystem::path& path, std::string* error = nullptr);

// The same, but more than `maxBytes` is refused. The bound holds while
// reading, so a pipe or a device without end (a link to /dev/zero) is cut off
// rather than read for ever; a regular file known to be larger is refused
// before it is read. Opening never waits for the writer of a named pipe.
std::optional<std::vector<uint8_t>> readAtMost(const std::filesystem::path& path, uint64_t maxBytes,
                                               std::string* error = nullptr, ReadFailure* failure = nullptr);
std::optional<std::string> readTextAtMost(const std::filesystem::path& path, uint64_t maxBytes,
                                          std::string* error = nullptr, ReadFailure* failure = nullptr);

// Writes beside the destination, flushes to disk, then renames over it: the
// old file stays whole until the new one is complete. Missing parent folders
// are created. On failure nothing is left behind and the old file is kept.
bool writeAtomically(const std::filesystem::path& path, const void* data, size_t size, std::string* error = nullptr);
bool writeAtomically(const std::filesystem::path& path, std::string_view text, std::string* error = nullptr);

// Moves a finished file to its destination, replacing what is there
// atomically, also across file systems (copy beside the destination, then
// rename). The source is removed only once the destination is in place.
bool moveReplacing(const std::filesystem::path& from, const std::filesystem::path& to, std::string* error = nullptr);
}  // namespace files

}  // namespace fnd
