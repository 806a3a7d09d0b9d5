#pragma once
// Output file names for the batch run. Paths are native byte strings with "/" as
// the separator; nothing here is reserved, the caller writes the name right after.

#include <functional>
#include <string>

// Names held back for outputs that are written but not yet published.
using tReservedNames = std::function<bool(const std::string& path)>;

// The unique target for `source`: in new-folder mode the source's file name inside
// `outputFolder` (flat, subfolders not recreated); otherwise `prefix` + the file
// name beside the source. The options are passed as the window's controls hold them.
std::string GetOutputName(const std::string& source, bool newFolderMode,
                          const std::string& outputFolder, const std::string& prefix,
                          const tReservedNames& reserved = {});

// The name `source` would get in a folder where nothing is taken: the first
// candidate GetOutputName tries.
std::string OutputCandidate(const std::string& source, bool newFolderMode, const std::string& outputFolder,
                            const std::string& prefix);

// The i-th variant of `candidate` in the order MakeUniqueName tries them:
// 0 is the candidate itself, 1 is folder/Base_1.ext, and so on.
std::string NameVariant(const std::string& candidate, unsigned long long i);

// True when the file name in `path` has exactly the shape of a temporary
// file's name: no output is ever given one, so a sweep never meets an output.
bool IsTemporaryShaped(const std::string& path);

// `candidate` when its name is free, else the first free variant folder/Base_i.ext
// (i = 1, 2, ...), where Base is the file name before its first "." and .ext the
// text from its last ".". A name is taken by any entry that is not a folder,
// a dangling symbolic link included, and so is a name `reserved` holds back
// and a name of the temporary shape.
// A file name longer than a folder entry may be (255 bytes) is shortened at a
// UTF-8 character boundary before _i and the extension, which stay.
std::string MakeUniqueName(const std::string& candidate, const tReservedNames& reserved = {});
