#pragma once
// The formats Zorezaz cleans, in one table: the only place that lists them.
// A file's first bytes tell which one it is, never its name.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>

#include "meta/clean/picture_file.h"
#include "store/file_io.h"

// As many first bytes as any format needs to be told apart: an ftyp box
// names its compatible brands in its first few dozen bytes.
inline constexpr size_t kSniffLength = 64;

struct tFormat {
    tFileType Type;
    const char* Name;    // "PNG": in the File types row and in messages
    const char* Option;  // "png": the word for it in --types
    // Lower case, with the dot, matched in any case: what the walk takes.
    std::vector<std::string_view> Extensions;
    // True when `first` (a file's first bytes, up to kSniffLength) is this format's start.
    bool (*Sniff)(std::string_view first);
    // Scans the open file (`st`: what it is), which the result keeps open.
    // With `listing` everything a listing shows is decoded; otherwise only
    // what cleaning needs. Raises EDamagedFile when the structure is broken.
    std::unique_ptr<tPictureFile> (*Scan)(tFileHandle file, const struct stat& st, const std::string& name,
                                          bool listing);
};

const std::vector<tFormat>& Formats();
// The format the file open at `fd` starts like, or nullptr. Raises
// EFileError (Read) when its first bytes cannot be read.
const tFormat* SniffFormat(int fd, const std::string& name);
// The format of `first`, or nullptr.
const tFormat* SniffFormat(std::string_view first);
