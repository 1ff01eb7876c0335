#pragma once

#include <filesystem>

struct stat;

namespace brio {

// Gives the open file `fd` the owner and group of `folder` when this process runs as root, so that a
// file root makes in a user's folder stays that user's; otherwise the file keeps this process's own.
void GiveToFolderOwner(int fd, const std::filesystem::path& folder);

// Gives the open file `fd` the owner and group of the file it replaces (`existing`), as far as this
// process may: root always; another user at least the group when it belongs to it.
void KeepOwner(int fd, const struct stat& existing);

} // namespace brio
