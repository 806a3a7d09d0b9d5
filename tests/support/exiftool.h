#pragma once
// Asks exiftool (an independent reader) about a file, for cross-checks.

#include <map>
#include <string>

namespace fixture {

bool HaveExiftool();
// exiftool -n -s <args> <file>: "Tag : value" lines as a map.
std::map<std::string, std::string> Exiftool(const std::string& args, const std::string& file);

}  // namespace fixture
