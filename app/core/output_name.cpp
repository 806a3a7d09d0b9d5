#include "app/core/output_name.h"

#include <sys/stat.h>

#include "store/file_io.h"

namespace {

// Up to and including the last "/"; empty when there is none.
std::string FolderPart(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNamePart(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// From the last "." on, the dot included; empty when there is none.
std::string Extension(const std::string& fileName)
{
    const size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? std::string() : fileName.substr(dot);
}

// An empty folder stays empty (the name is then relative to the current
// directory, where a relative source lies too) rather than becoming the root.
std::string WithSlash(const std::string& folder)
{
    if (folder.empty() || folder.back() == '/') return folder;
    return folder + '/';
}

// Any entry but a folder takes the name. A dangling symbolic link counts: writing
// through it would create a file somewhere else. When the state cannot be learnt
// (no access, a file in the folder part) the name counts as free, so the search
// ends and the writer reports the real problem.
bool IsTaken(const std::string& path)
{
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) return false;
    if (S_ISLNK(st.st_mode)) {
        struct stat target {};
        return stat(path.c_str(), &target) != 0 || !S_ISDIR(target.st_mode);
    }
    return true;
}

// The longest file name a folder entry holds, in bytes (NAME_MAX).
constexpr size_t kMaxNameBytes = 255;

// `text` cut to at most `limit` bytes, never inside a UTF-8 sequence.
std::string CutAtCharacter(const std::string& text, size_t limit)
{
    if (text.size() <= limit) return text;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

// stem + tail within the name limit: the stem gives way, the tail (_i and
// the extension) stays unless it alone is too long.
std::string FitName(const std::string& stem, const std::string& tail)
{
    if (tail.size() >= kMaxNameBytes) return CutAtCharacter(stem + tail, kMaxNameBytes);
    return CutAtCharacter(stem, kMaxNameBytes - tail.size()) + tail;
}

}  // namespace

std::string OutputCandidate(const std::string& source, bool newFolderMode, const std::string& outputFolder,
                            const std::string& prefix)
{
    const std::string name = FileNamePart(source);
    if (newFolderMode) return WithSlash(outputFolder) + name;
    return WithSlash(FolderPart(source)) + prefix + name;
}

std::string GetOutputName(const std::string& source, bool newFolderMode,
                          const std::string& outputFolder, const std::string& prefix,
                          const tReservedNames& reserved)
{
    return MakeUniqueName(OutputCandidate(source, newFolderMode, outputFolder, prefix), reserved);
}

bool IsTemporaryShaped(const std::string& path)
{
    return IsTemporaryName(FileNamePart(path));
}

std::string NameVariant(const std::string& candidate, unsigned long long i)
{
    const std::string folder = FolderPart(candidate);
    const std::string name = FileNamePart(candidate);
    const std::string ext = Extension(name);
    if (i == 0) return folder + FitName(name.substr(0, name.size() - ext.size()), ext);
    // Variants are always built from the candidate, so they never stack (a_1_2).
    const size_t firstDot = name.find('.');
    const std::string base = firstDot == std::string::npos ? std::string() : name.substr(0, firstDot);
    return folder + FitName(base, '_' + std::to_string(i) + ext);
}

std::string MakeUniqueName(const std::string& candidate, const tReservedNames& reserved)
{
    auto taken = [&](const std::string& path) {
        // The look-ups without a system call first.
        return IsTemporaryShaped(path) || (reserved && reserved(path)) || IsTaken(path);
    };
    for (unsigned long long i = 0;; ++i) {
        std::string variant = NameVariant(candidate, i);
        if (!taken(variant)) return variant;
    }
}
