#pragma once
// The batch run behind the OK button: walks the start folder for the pictures
// of the formats Zorezaz cleans and cleans each one of a ticked type; pictures
// and videos of other types are named, never touched.
// Free of widgets, so the window and the command line share it.

#include <array>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include "app/core/batch_options.h"
#include "find/find_text.h"
#include "meta/exif/end_ind.h"

// Besides the extensions of the formats cleaned here (Formats()), the walk
// takes these (lower case, with the dot; matched in any case): pictures and
// videos no format cleans, named as left alone and never opened, so no folder
// of them passes for clean. A file named as a format's is cleaned when its
// content is one of a ticked type.
inline constexpr std::array<std::string_view, 4> kLeftAloneTypes = {".gif", ".tif", ".tiff", ".bmp"};

class TPublishQueue;
class tOutputFolder;
class tPendingFile;
class tFileHandle;
struct tFormat;

// No strip option ticked: the run does not start.
class ENothingToDo : public std::runtime_error {
public:
    ENothingToDo();
};

// No type ticked under File types: the run does not start.
class ENoFileType : public std::runtime_error {
public:
    ENoFileType();
};

// New-folder mode without an output folder.
class EInvalidOutputFolder : public std::runtime_error {
public:
    EInvalidOutputFolder();
};

// Prefix mode with a prefix that would lead into another folder.
class EInvalidPrefix : public std::runtime_error {
public:
    EInvalidPrefix();
};

// What went wrong with a file or folder, as the core saw it, for each host to
// word in its own language (the window through its translation). The English
// words are the exception's message, or tSkipped::Message.
struct tReason {
    enum class TCode {
        Other,           // Detail: the whole English message
        NoStartFolder,   // the start folder is not given
        StartMissing,    // File: the start folder, missing or no folder
        StartClosed,     // File: the start folder, which cannot be entered
        ReadFolder,      // File: a folder of the walk that cannot be listed
        CreateFolder,    // File: the output folder
        OpenFile,        // File: a source that cannot be opened
        NotRegularFile,  // File: a source that is no regular file
        CreateFile,      // Output cannot be made for File
        ReadError,       // File could not be read to its end
        WriteError,      // the output of File could not be written
        DamagedHead,     // File's head cannot be read whole
        DamagedFile,     // File's structure is broken; Detail: the format's name ("PNG")
        CannotClean,     // File's layout cannot be rewritten safely; Detail: why, in English
        JpegError,       // Number: libjpeg's code; Detail: its own words
        // Left alone, not failures: no output, and the run goes on.
        NotAPicture,       // File is named as a picture cleaned here but does not start like one
        TypeNotSupported,  // File is a picture or video of a type not cleaned here
        TypeNotChosen,     // File's content is of a type not ticked under File types
    };
    tReason() = default;
    explicit tReason(TCode code, std::string file = {}, int error = 0)
        : Code(code), File(std::move(file)), Errno(error)
    {
    }
    // An error the core has no code for, worded in English only.
    static tReason Other(std::string file, std::string message)
    {
        tReason r(TCode::Other, std::move(file));
        r.Detail = std::move(message);
        return r;
    }

    TCode Code = TCode::Other;
    std::string File;    // the file or folder it happened to
    std::string Output;  // CreateFile: the output's path
    int Errno = 0;       // the system's error number, 0 when it gave none
    int Number = 0;
    std::string Detail;
};

// `error`, met while `file` was in hand (empty: none), as a reason.
tReason ReasonOf(const std::exception& error, const std::string& file = {});

// For a program that runs batches, called before its threads start: memory
// freed after one file serves the next, on every thread. A batch reads and
// writes buffers of like sizes file after file; given back to the system
// each time, each page of them costs a fault again, and a thread of its own
// heap costs mappings of its own.
void KeepFreedMemory();

// An error that ended a run: the message in English, and what happened.
class EBatchError : public EMetaError {
public:
    EBatchError(const std::string& message, tReason reason) : EMetaError(message), Reason(std::move(reason)) {}
    tReason Reason;
};

// A file (or folder) the run left without output, and why.
struct tSkipped {
    std::string File;
    // In English, as an error box would show it, naming the file; for a file
    // left alone, just why (the list puts the name before it).
    std::string Message;
    tReason Reason;       // the same, for a host that words it itself
    // "FILE: reason" on one line, as the list of skipped files shows it.
    std::string Line() const;
};

class TBatchRun {
public:
    explicit TBatchRun(const IBatchOptions& options);
    ~TBatchRun();

    // Files whose metadata the chosen options remove, cleaned now; files
    // copied unchanged now; files an earlier run already cleaned or copied
    // (their output is there, and nothing was written for them).
    int32_t ChangedCount = 0;
    int32_t CopiedCount = 0;
    int32_t AlreadyCleanCount = 0;
    // What was skipped with KeepGoing, in the order it failed.
    std::vector<tSkipped> Skipped;
    // Files the walk took that are not cleaned: named as a picture cleaned
    // here but holding something else or a type not ticked, or pictures and
    // videos of another type (kLeftAloneTypes). Never cleaned, never copied,
    // never an error.
    std::vector<tSkipped> LeftAlone;

    // Receives each status text ("Processing " + file, then the totals) as bytes.
    std::function<void(const std::string&)> OnStatus;
    // Each file as it is read, before its "Processing" status: a host that
    // words the status line itself (in the user's language) takes this one.
    std::function<void(const std::string& file)> OnFile;
    // Files handled so far of all the run will handle. With this set, the
    // run first counts the files of the tree (listing folders, opening no
    // file; a stop ends the count too) and reports (0, total) before the
    // first file; files that appear later raise the total.
    std::function<void(int done, int total)> OnProgress;
    // Each skipped file, as it is skipped.
    std::function<void(const tSkipped&)> OnSkipped;
    // Each file left alone, as the walk meets it.
    std::function<void(const tSkipped&)> OnLeftAlone;

    // The OK button: checks the options (ENothingToDo, ENoFileType,
    // EInvalidOutputFolder, EInvalidPrefix) and the start folder (the finder's errors) before
    // anything changes, resets the counters, creates the output folder one
    // level deep ("Cannot create " + folder), then walks and cleans. Without
    // KeepGoing any error from the walk or from one file ends the whole run;
    // with it the file is skipped. Outputs appear under their names once
    // their data is on disk; the totals come when every output has.
    void Execute(const std::string& startFolder, bool subfolders);

    // Ends a run after the file in hand, which is published whole; the
    // totals then read "Stopped  (...)". Safe from any thread and from a
    // signal handler. A stop asked for before Execute ends that run at once;
    // ResetStop() forgets it.
    void Stop() noexcept { FStop.store(true, std::memory_order_relaxed); }
    void ResetStop() noexcept { FStop.store(false, std::memory_order_relaxed); }
    // The last run ended through Stop().
    bool Stopped() const { return FStopped; }

    // The step for one found file: scan, name, strip, write; or copy unchanged.
    void IMLFindFound(const std::string& fileName);
    // The totals, into the status line.
    void IMLFindFinished();
    std::string FinishedText() const;

    bool Running() const { return FRunning; }

private:
    using tFileId = std::pair<uint64_t, uint64_t>;  // device, inode
    struct tStopRequest {};

    void PrepareOutputFolder();
    // Whether temporary files a killed run left may be removed from `folder`:
    // only the new-folder mode's output folder, and only when no source can
    // lie in it (it is not the start folder, nor below it in a walk of the
    // subfolders).
    bool MaySweep(const tOutputFolder& folder) const;
    // The folder an output for `target` goes to, opened once for the run
    // (new-folder mode) or once per source folder (prefix mode).
    std::shared_ptr<const tOutputFolder> FolderFor(const std::string& target);
    std::string TargetFor(const std::string& fileName) const;
    // Hands an output on to be published; `write`, when given, writes it
    // first on a thread of the queue's.
    void Submit(std::unique_ptr<tPendingFile> file, const std::string& target, const std::string& source,
                int kind, std::function<void(tPendingFile&)> write = {});
    void CleanFile(const std::string& fileName);
    // CleanFile for a file of `format`, open as `file`.
    void CleanPicture(const tFormat& format, const std::string& fileName, tFileHandle file,
                      const struct stat& sourceStat);
    // An earlier run's output for `fileName` that `matches` accepts, under
    // the name it would get in an empty folder or one of its _N variants.
    bool AlreadyDone(const std::string& fileName, const std::function<bool(int fd)>& matches);
    // Raises the error for a file whose structure `why` is broken.
    [[noreturn]] void DamagedFile(const tFormat& format, const std::string& fileName, const std::string& why);
    void Fail(const std::string& file, const std::string& message, const tReason& reason);
    void LeaveAlone(const std::string& file, tReason::TCode code);
    void TakeQueueFailures();
    void FinishQueue();
    void SearchDirectory(const std::string& dirName);
    // Opens the file (kept for CleanFile) and tells whether it is an output
    // this run wrote.
    bool WrittenThisRun(const std::string& fileName);
    void Status(const std::string& text);
    void Progress();
    void CheckStop() const;
    std::string Totals() const;

    const IBatchOptions& FOptions;
    TIMLFindText IMLFind;
    bool FRunning = false;
    std::atomic<bool> FStop{false};
    bool FStopped = false;
    int FDone = 0, FTotal = 0;
    // The output folder, when it lies below the start folder: its files are
    // outputs (this run's or earlier ones) or sources a user put there; only
    // those with something to remove are cleaned, the others are passed over.
    bool FHasOutputId = false;
    tFileId FOutputId{};
    std::vector<std::string> FOutputDirs;  // each ending in '/'
    bool FInOutputDir = false;
    bool FInStartDir = false;
    // What this run wrote, so a walk that meets it again leaves it alone.
    std::set<tFileId> FWritten;
    // The names this run handed its outputs: taken, without asking the file
    // system again (many sources of one name meet in a flat output folder).
    std::unordered_set<std::string> FNamesTaken;
    std::string FStartFolder;
    std::shared_ptr<const tOutputFolder> FFolder;  // the one written into last
    std::string FFolderPath;                        // the walk's path of it (prefix mode)
    // The file in hand, opened once: for the check against this run's
    // outputs, the scan and the copy. Without a file, why it would not open.
    struct tInHand {
        std::string Name;
        std::unique_ptr<tFileHandle> File;
        struct stat Stat {};
        std::exception_ptr Error;
    } FInHand;
    // The source and the path of its first candidate when AlreadyDone found
    // that free, for TargetFor.
    std::pair<std::string, std::string> FFirstFree;
    std::unique_ptr<TPublishQueue> FQueue;
};
