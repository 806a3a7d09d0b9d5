#pragma once
// One folder's entries, read completely in one go, so that files written into the
// folder while its entries are being reported are not seen by the same walk.

#include <sys/types.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

// Identity of a folder on disk; two paths (e.g. through symbolic links) that reach
// the same folder have the same identity.
using TFolderId = std::pair<dev_t, ino_t>;

enum class TEntryKind {
    File,    // a regular file, directly or through a symbolic link
    Folder,  // a folder, directly or through a symbolic link ("." and ".." included)
    Other,   // anything else: dangling links, pipes, sockets, devices
};

struct TFolderEntry {
    std::string Name;  // bytes as the file system gives them
    TEntryKind Kind = TEntryKind::Other;
    std::optional<TFolderId> Id;  // for folders, when it could be learnt
};

// Every entry of `folder` in listing order (unsorted), or nothing when the folder
// cannot be listed (errno then tells why).
std::optional<std::vector<TFolderEntry>> ReadFolder(const std::string& folder);

// The identity of `path` when it is a folder the process could enter (it exists,
// is a folder, and may be searched), without changing the current directory.
std::optional<TFolderId> EnterableFolder(const std::string& path);
