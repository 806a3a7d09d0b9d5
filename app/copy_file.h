#pragma once
// Copying a file that must never replace anything.

#include <string>

// Copies `source` to `target` with its permission bits and times. The target
// appears complete or not at all, and an existing target is never replaced.
// Throws std::runtime_error "Cannot copy file " + source on any failure.
void CopyFileNoReplace(const std::string& source, const std::string& target);
