#pragma once
// Asks exiftool (an independent reader) about a file, for cross-checks.

#include <map>
#include <string>

namespace fixture {

bool HaveExiftool();
// exiftool -n -s <args> <file>: "Tag : value" lines as a map.
std::map<std::string, std::string> Exiftool(const std::string& args, const std::string& file);

// The image size exiftool reads: the EXIF sub-directory's when present (it
// is walked after IFD0's), else IFD0's. False when it reads none.
bool ExpectedSize(const std::string& file, int& width, int& height);

}  // namespace fixture
