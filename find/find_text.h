#pragma once
// TIMLFindText: walks a folder tree and reports, through callbacks, every file whose
// name matches one of a ";"-separated list of wildcard masks. Synchronous, on the
// caller's thread; between files it calls the host's ProcessMessages so a window
// stays live. Free of Qt: paths are native byte strings with "/" as the separator.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

// A set-up the walk cannot start from. The kind, the folder and the system's
// error number let a host word it in its own language; the message is English.
class EFindError : public std::runtime_error {
public:
    enum class TKind { NoMask, NoStart, StartMissing, StartClosed };
    explicit EFindError(TKind kind, std::string folder = {}, int error = 0);
    TKind Kind;
    std::string Folder;
    int Error;
};

enum class TSearchType { stText, stAll };

struct TFolderEntry;
struct TFindRun;

class TIMLFindText {
public:
    // Published properties. SearchText, SearchType and MatchCase are stored but the
    // walk never reads them: every file whose name matches a mask is reported.
    std::string About;
    std::string SearchText;
    std::string FileMask = "*.*";
    TSearchType SearchType = TSearchType::stText;
    std::string StartDirectory;
    bool SubDirectories = true;
    bool MatchCase = false;

    // Events; an unassigned one is skipped. Posn is always 0.
    std::function<void(TIMLFindText& sender, const std::string& fileName, int32_t posn)> OnFound;
    std::function<void(TIMLFindText& sender, const std::string& fileName)> OnSearch;  // never fired
    std::function<void(TIMLFindText& sender)> OnFinished;
    std::function<void(TIMLFindText& sender, const std::string& dirName)> OnSearchDirectory;
    // The host's "process pending messages"; called before each OnFound and after
    // each listing step.
    std::function<void()> ProcessMessages;
    // A folder of the walk that cannot be listed, with the system's error
    // number; without a handler it is passed over. A handler may raise to end
    // the walk.
    std::function<void(TIMLFindText& sender, const std::string& dirName, int error)> OnFolderError;
    // A folder has been listed: `matching` of its files will be reported next.
    std::function<void(TIMLFindText& sender, const std::string& dirName, int matching)> OnFolderListed;
    // Count() has listed another folder; `counted` files so far. A handler
    // may raise to end the count.
    std::function<void(TIMLFindText& sender, int64_t counted)> OnCounting;

    // Validates the set-up (EFindError), then walks and fires the events. An exception
    // raised by a handler ends the walk at once and passes out; OnFinished is then
    // not fired.
    void Execute();
    // The checks Execute makes before it walks: the same errors, nothing else
    // done, so a host can learn of them before it changes anything.
    void CheckStart() const;
    // How many files Execute would report if it ran now: the same folders
    // and masks, listed without opening a file and without any event but
    // OnCounting. A folder that cannot be listed counts as empty; Execute
    // is the one that reports it. The same errors as Execute before it walks.
    int64_t Count();

    // `path` with a "/" appended unless it already ends in one.
    static std::string AddSlash(const std::string& path);
    // Number of ";" in FileMask; the masks are 1 .. MaskCount() + 1.
    int MaskCount() const;
    // The i-th mask (from 1), blanks and control characters trimmed; empty for i out of range.
    std::string MaskItem(int i) const;

private:
    void SearchFolderFiles(TFindRun& run, const std::string& folder,
                           const std::vector<TFolderEntry>& entries);
    void WalkSubfolders(TFindRun& run, const std::string& folder,
                        const std::vector<TFolderEntry>& entries);
    void Pump();
    std::vector<TFolderEntry> List(TFindRun& run, const std::string& folder);
    // The run's state before the walk: masks, and the start folder as walked.
    TFindRun Begin();
    void CountFolder(TFindRun& run, const std::string& folder, int64_t& counted);
};
