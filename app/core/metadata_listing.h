#pragma once
// What a JPEG file holds, as text for a person: its head segments with their
// kinds and sizes, the EXIF and maker-note listing, IPTC datasets, an XMP
// summary, the comment, the further pictures and trailing bytes, and what the
// chosen options would remove. Shared by zorezaz-cli --list and the window.

#include <string>

#include "app/core/batch_options.h"

// Never raises: a file that cannot be read says so in the text.
std::string DescribeFile(const std::string& fileName, const IBatchOptions& options);
