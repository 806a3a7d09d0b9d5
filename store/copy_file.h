#pragma once
// Copying a file that must never replace anything.

#include <memory>
#include <string>

#include <sys/stat.h>
#include <time.h>

#include "store/file_io.h"

// A copy of `source` under a temporary name in `folder`, ready to publish:
// its bytes (copied by the kernel where it can) and its permission bits
// without setuid, setgid and sticky (under the umask); not its times, which
// are the copy's own unless the caller sets them. Raises the
// error of the step that failed: "Cannot open file", "Cannot create file",
// "Stream read error" or "Stream write error", with the system's reason.
std::unique_ptr<tPendingFile> CopyToPending(const std::string& source,
                                            std::shared_ptr<const tOutputFolder> folder);
// The same from `source` open as `fd`, `st` being what it is.
std::unique_ptr<tPendingFile> CopyToPending(const std::string& source, int fd, const struct stat& st,
                                            std::shared_ptr<const tOutputFolder> folder);

// Gives the open file `fd` the last-write time `mtime`; its access time stays.
// Raises "Cannot set the date of " + forName, with the system's reason.
void SetLastWriteTime(int fd, const timespec& mtime, const std::string& forName);

// Copies `source` to `target` with its last-write time, as a file manager
// does: the target appears complete, on disk, or not at all, and an existing
// target is never replaced. Throws
// std::runtime_error "Cannot copy file " + source, with the reason below it,
// on any failure.
void CopyFileNoReplace(const std::string& source, const std::string& target);
