#pragma once
// The batch run behind the OK button: walks the start folder for JPEG files and
// cleans each one. Free of widgets, so the window and the command line share it.

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/batch_options.h"
#include "find/find_text.h"

class TPublishQueue;
class tOutputFolder;
class tPendingFile;
// No strip option ticked: the run does not start.
class ENothingToDo : public std::runtime_error {
public:
    ENothingToDo();
};

// New-folder mode with an output folder text shorter than three characters.
class EInvalidOutputFolder : public std::runtime_error {
public:
    EInvalidOutputFolder();
};

class TBatchRun {
public:
    explicit TBatchRun(const IBatchOptions& options);
    ~TBatchRun();

    // Files read as holding metadata and handed to the writers; files copied unchanged.
    int32_t ChangedCount = 0;
    int32_t CopiedCount = 0;

    // Receives each status text ("Processing " + file, then the finished text) as bytes.
    std::function<void(const std::string&)> OnStatus;
    // Lets the host process pending window messages between files.
    std::function<void()> ProcessMessages;

    // The OK button: checks the options (ENothingToDo, EInvalidOutputFolder,
    // before anything changes), resets the counters, creates the output folder
    // one level deep ("Cannot create " + folder), then walks and cleans. Any
    // error from the walk or from one file ends the whole run. Outputs appear
    // under their names once their data is on disk; the finished text comes
    // when every output has.
    void Execute(const std::string& startFolder, bool subfolders);

    // The step for one found file: scan, name, strip, write; or copy unchanged.
    void IMLFindFound(const std::string& fileName);
    // The totals, into the status line.
    void IMLFindFinished();
    std::string FinishedText() const;

    bool Running() const { return FRunning; }

private:
    using tFileId = std::pair<uint64_t, uint64_t>;  // device, inode

    void PrepareOutputFolder();
    // The folder an output for `target` goes to, opened once for the run
    // (new-folder mode) or once per source folder (prefix mode).
    std::shared_ptr<const tOutputFolder> FolderFor(const std::string& target);
    std::string TargetFor(const std::string& fileName) const;
    void Submit(std::unique_ptr<tPendingFile> file, const std::string& target);
    void SearchDirectory(const std::string& dirName);
    bool WrittenThisRun(const std::string& fileName) const;
    void Status(const std::string& text);

    const IBatchOptions& FOptions;
    TIMLFindText IMLFind;
    bool FRunning = false;
    // The output folder, when it lies below the start folder, is left out of
    // the walk: its files are this run's outputs or earlier ones.
    bool FHasOutputId = false;
    tFileId FOutputId{};
    std::vector<std::string> FExcludedDirs;  // each ending in '/'
    bool FInExcludedDir = false;
    bool FInStartDir = false;
    // What this run wrote, so a walk that meets it again leaves it alone.
    std::set<tFileId> FWritten;
    std::string FStartFolder;
    std::shared_ptr<const tOutputFolder> FFolder;  // the one written into last
    std::unique_ptr<TPublishQueue> FQueue;
};
