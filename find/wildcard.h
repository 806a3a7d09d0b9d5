#pragma once
// File-name wildcard matching as a directory listing does it: ASCII letters fold
// case, "*" matches any run of bytes (also none), "?" exactly one byte. A mask
// ending in ".*" also matches the name without that dot, so "*.*" matches every
// name and "a.*" matches "a". An empty mask matches nothing.

#include <string_view>

bool WildcardMatch(std::string_view mask, std::string_view name);
