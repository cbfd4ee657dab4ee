// The files of a folder, newest first.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fnd::files {

// The names of the regular files (or links to regular files) directly in
// `folder` whose names are at least one byte followed by `suffix`, without
// the suffix, as the bytes the folder holds. Newest first, by when each file
// came into being: its birth time where the file system records one, else
// its last modification; names of the same time in byte order. Read in one
// pass over the open folder, one statx a name that ends in `suffix` (none
// for entries the folder says are folders; automount points are not
// mounted). Nothing for a missing folder; for one that cannot be read (or
// read to its end), what was read, and why in *error.
std::vector<std::string> listNewestFirst(const std::filesystem::path& folder, std::string_view suffix,
                                         std::string* error = nullptr);

}  // namespace fnd::files
