#pragma once
// Copying a file that must never replace anything.

#include <memory>
#include <string>

#include "meta/jpeg/file_io.h"

// A copy of `source` under a temporary name in `folder`, ready to publish:
// its bytes (copied by the kernel where it can), its permission bits without
// setuid, setgid and sticky (under the umask), and its times. Raises the
// error of the step that failed: "Cannot open file", "Cannot create file",
// "Stream read error" or "Stream write error", with the system's reason.
std::unique_ptr<tPendingFile> CopyToPending(const std::string& source,
                                            std::shared_ptr<const tOutputFolder> folder);

// Copies `source` to `target`: the target appears complete, on disk, or not
// at all, and an existing target is never replaced. Throws
// std::runtime_error "Cannot copy file " + source, with the reason below it,
// on any failure.
void CopyFileNoReplace(const std::string& source, const std::string& target);
