#include "find/find_text.h"

#include "find/folder_listing.h"
#include "find/wildcard.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <set>

// State of one run. Held per call, so nothing of a run outlives Execute.
struct TFindRun {
    std::vector<std::string> Masks;  // MaskItem(1) .. MaskItem(MaskCount() + 1)
    int32_t Posn = 0;                // reported with every file; never changes
    // Folders already walked. A symbolic link back to an ancestor, or two links
    // to one folder, would otherwise walk a tree again or without end.
    std::set<TFolderId> Walked;
};

namespace {

bool IsBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

std::string Trimmed(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && IsBlankOrControl(s[b])) ++b;
    while (e > b && IsBlankOrControl(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::string SetupErrorText(EFindError::TKind kind, const std::string& folder, int error)
{
    switch (kind) {
    case EFindError::TKind::NoMask: return "File mask not specified. Operation aborted.";
    case EFindError::TKind::NoStart: return "Choose a start folder first";
    case EFindError::TKind::StartMissing: return "Folder " + folder + " does not exist";
    case EFindError::TKind::StartClosed: break;
    }
    return "Cannot open folder " + folder + ".\n\n" + std::strerror(error);
}

}  // namespace

EFindError::EFindError(TKind kind, std::string folder, int error)
    : std::runtime_error(SetupErrorText(kind, folder, error)), Kind(kind), Folder(std::move(folder)), Error(error)
{
}

namespace {

// Why `folder` cannot be entered: it is missing (or no folder), or closed to us.
[[noreturn]] void ThrowStartError(const std::string& folder)
{
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) throw EFindError(EFindError::TKind::StartMissing, folder);
        throw EFindError(EFindError::TKind::StartClosed, folder, error);
    }
    if (!S_ISDIR(st.st_mode)) throw EFindError(EFindError::TKind::StartMissing, folder);
    throw EFindError(EFindError::TKind::StartClosed, folder, EACCES);
}

// The files of a listing that the walk reports, once for each mask a name matches.
int Matching(const TFindRun& run, const std::vector<TFolderEntry>& entries)
{
    int matching = 0;
    for (const TFolderEntry& entry : entries)
        for (const std::string& mask : run.Masks)
            if (entry.Kind == TEntryKind::File && WildcardMatch(mask, entry.Name)) ++matching;
    return matching;
}

}  // namespace

std::string TIMLFindText::AddSlash(const std::string& path)
{
    // Always added when missing, whatever the length: paths here may be far longer
    // than 255 bytes, and a missing separator would run folder and name together.
    if (!path.empty() && path.back() == '/') return path;
    return path + '/';
}

int TIMLFindText::MaskCount() const
{
    int n = 0;
    for (char c : FileMask)
        if (c == ';') ++n;
    return n;
}

std::string TIMLFindText::MaskItem(int i) const
{
    if (i < 1) return {};
    size_t start = 0;
    for (int k = 1; k < i; ++k) {
        const size_t semi = FileMask.find(';', start);
        if (semi == std::string::npos) return {};
        start = semi + 1;
    }
    const size_t end = FileMask.find(';', start);
    return Trimmed(FileMask.substr(start, end == std::string::npos ? std::string::npos : end - start));
}

void TIMLFindText::Pump()
{
    if (ProcessMessages) ProcessMessages();
}

void TIMLFindText::CheckStart() const
{
    if (FileMask.empty()) throw EFindError(EFindError::TKind::NoMask);
    if (StartDirectory.empty()) throw EFindError(EFindError::TKind::NoStart);
    // Tested without changing the current directory, which is process-wide state.
    if (!EnterableFolder(StartDirectory)) ThrowStartError(StartDirectory);
}

std::vector<TFolderEntry> TIMLFindText::List(TFindRun& run, const std::string& folder)
{
    std::optional<std::vector<TFolderEntry>> entries = ReadFolder(folder);
    if (!entries) {
        const int error = errno;
        const std::string name = folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder;
        if (OnFolderError) OnFolderError(*this, name, error);
        return {};
    }
    if (OnFolderListed) OnFolderListed(*this, folder, Matching(run, *entries));
    return std::move(*entries);
}

TFindRun TIMLFindText::Begin()
{
    CheckStart();
    const std::optional<TFolderId> startId = EnterableFolder(StartDirectory);
    if (!startId) ThrowStartError(StartDirectory);

    TFindRun run;
    const int maskCount = MaskCount();
    for (int i = 1; i <= maskCount + 1; ++i) run.Masks.push_back(MaskItem(i));
    run.Walked.insert(*startId);
    return run;
}

int64_t TIMLFindText::Count()
{
    TFindRun run = Begin();
    int64_t counted = 0;
    CountFolder(run, AddSlash(StartDirectory), counted);
    return counted;
}

// The walk of Execute without its events: the folder's files, then (with
// SubDirectories) each subfolder not walked before. `folder` ends in "/".
void TIMLFindText::CountFolder(TFindRun& run, const std::string& folder, int64_t& counted)
{
    const std::optional<std::vector<TFolderEntry>> entries = ReadFolder(folder);
    if (!entries) return;
    counted += Matching(run, *entries);
    if (OnCounting) OnCounting(*this, counted);
    if (!SubDirectories) return;
    for (const TFolderEntry& entry : *entries) {
        const bool walk = entry.Kind == TEntryKind::Folder && entry.Name != "." && entry.Name != ".." &&
                          (!entry.Id || run.Walked.insert(*entry.Id).second);
        if (walk) CountFolder(run, AddSlash(folder + entry.Name), counted);
    }
}

void TIMLFindText::Execute()
{
    TFindRun run = Begin();
    const std::string start = AddSlash(StartDirectory);
    if (OnSearchDirectory) OnSearchDirectory(*this, StartDirectory);
    // A folder that cannot be listed contributes no entries; the host hears of it.
    const std::vector<TFolderEntry> entries = List(run, start);
    SearchFolderFiles(run, start, entries);
    if (SubDirectories) WalkSubfolders(run, start, entries);
    if (OnFinished) OnFinished(*this);
}

// Reports the folder's files mask by mask, in listing order. `folder` ends in "/".
void TIMLFindText::SearchFolderFiles(TFindRun& run, const std::string& folder,
                                     const std::vector<TFolderEntry>& entries)
{
    for (const std::string& mask : run.Masks) {
        for (const TFolderEntry& entry : entries) {
            if (entry.Kind != TEntryKind::File || !WildcardMatch(mask, entry.Name)) continue;
            Pump();
            if (OnFound) OnFound(*this, folder + entry.Name, run.Posn);
            Pump();
        }
    }
}

// Depth-first, pre-order: each subfolder's own files, then its subtree, then the
// next sibling. `folder` ends in "/".
void TIMLFindText::WalkSubfolders(TFindRun& run, const std::string& folder,
                                  const std::vector<TFolderEntry>& entries)
{
    for (const TFolderEntry& entry : entries) {
        const bool walk = entry.Kind == TEntryKind::Folder && entry.Name != "." &&
                          entry.Name != ".." && (!entry.Id || run.Walked.insert(*entry.Id).second);
        if (walk) {
            const std::string dir = folder + entry.Name;
            if (OnSearchDirectory) OnSearchDirectory(*this, dir);
            const std::string sub = AddSlash(dir);
            const std::vector<TFolderEntry> subEntries = List(run, sub);
            SearchFolderFiles(run, sub, subEntries);
            Pump();
            if (SubDirectories) WalkSubfolders(run, sub, subEntries);
        }
        Pump();
    }
}
