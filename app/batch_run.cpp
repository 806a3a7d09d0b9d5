#include "app/batch_run.h"

#include <climits>
#include <cstdlib>
#include <memory>

#include <sys/stat.h>

#include "app/copy_file.h"
#include "app/output_name.h"
#include "app/publish_queue.h"
#include "meta/iptc/iptc_data.h"
#include "meta/jpeg/file_io.h"
#include "meta/jpeg/img_data.h"
#include "meta/jpeg/section.h"

ENothingToDo::ENothingToDo()
    : std::runtime_error("Nothing to do..\n\nYou must select at least one checkbox\n"
                         "(EXIF, COM or IPTC) under Output options.")
{
}

EInvalidOutputFolder::EInvalidOutputFolder()
    : std::runtime_error("You must specify a valid output folder.")
{
}

namespace {

bool IsDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The walk reports folders with or without a trailing separator; compare them with one.
std::string WithSlash(std::string path)
{
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

// Resets the running flag however the run ends.
struct TRunningFlag {
    bool& Flag;
    explicit TRunningFlag(bool& flag) : Flag(flag) { Flag = true; }
    ~TRunningFlag() { Flag = false; }
};

// The folder the user chose, with any link in its path followed once, here
// at the start: from then on the run works through the descriptor it opens,
// and a link put in its place later leads nowhere.
std::string Resolved(const std::string& folder)
{
    char resolved[PATH_MAX];
    return ::realpath(folder.c_str(), resolved) ? std::string(resolved) : folder;
}

}  // namespace

TBatchRun::~TBatchRun() = default;

TBatchRun::TBatchRun(const IBatchOptions& options) : FOptions(options)
{
    IMLFind.FileMask = "*.jpg;*.jpeg";
    IMLFind.OnFound = [this](TIMLFindText&, const std::string& fileName, int32_t) { IMLFindFound(fileName); };
    IMLFind.OnFinished = [this](TIMLFindText&) { IMLFindFinished(); };
    IMLFind.OnSearchDirectory = [this](TIMLFindText&, const std::string& dirName) { SearchDirectory(dirName); };
    IMLFind.ProcessMessages = [this] {
        if (ProcessMessages) ProcessMessages();
    };
}

void TBatchRun::Execute(const std::string& startFolder, bool subfolders)
{
    if (FRunning) return;  // one walk at a time: the finder's listing state is shared
    if (!FOptions.StripExif() && !FOptions.StripCom() && !FOptions.StripIptc() && !FOptions.StripOther())
        throw ENothingToDo();
    TRunningFlag running(FRunning);
    IMLFind.StartDirectory = startFolder;
    IMLFind.SubDirectories = subfolders;
    ChangedCount = 0;
    CopiedCount = 0;
    FWritten.clear();
    FExcludedDirs.clear();
    FHasOutputId = false;
    FInExcludedDir = false;
    FInStartDir = true;
    FStartFolder = startFolder;
    FFolder.reset();
    FQueue = std::make_unique<TPublishQueue>(FOptions.FlushOutputs());
    try {
        if (FOptions.NewFolderMode()) PrepareOutputFolder();
        IMLFind.Execute();
    } catch (...) {
        // What was written whole before the error still gets its name.
        FQueue->Drain();
        FQueue.reset();
        FFolder.reset();
        throw;
    }
    FQueue.reset();
    FFolder.reset();
}

void TBatchRun::PrepareOutputFolder()
{
    const std::string folder = FOptions.OutputFolder();
    if (folder.size() < 3) throw EInvalidOutputFolder();
    // One level only: a folder whose parent is missing is an error, not a tree to build.
    if (!IsDirectory(folder) && ::mkdir(folder.c_str(), 0777) != 0)
        throw std::runtime_error("Cannot create " + folder);
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0) {
        FOutputId = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
        FHasOutputId = true;
    }
    FFolder = std::make_shared<const tOutputFolder>(Resolved(folder), folder);
    FFolder->RemoveStaleTemporaries();
}

std::shared_ptr<const tOutputFolder> TBatchRun::FolderFor(const std::string& target)
{
    if (FOptions.NewFolderMode()) return FFolder;
    // Prefix mode writes beside the sources: one folder at a time, in walk order.
    const std::string path = FolderOf(target);
    if (!FFolder || FFolder->Path() != path) {
        const bool chosen = WithSlash(path) == WithSlash(FStartFolder);
        FFolder = std::make_shared<const tOutputFolder>(chosen ? Resolved(path) : path, target);
        FFolder->RemoveStaleTemporaries();
    }
    return FFolder;
}

std::string TBatchRun::TargetFor(const std::string& fileName) const
{
    TPublishQueue* queue = FQueue.get();
    return GetOutputName(fileName, FOptions.NewFolderMode(), FOptions.OutputFolder(), FOptions.Prefix(),
                         [queue](const std::string& path) { return queue && queue->Reserved(path); });
}

void TBatchRun::Submit(std::unique_ptr<tPendingFile> file, const std::string& target)
{
    FWritten.insert({file->Id().Dev, file->Id().Ino});
    TPublishQueue* queue = FQueue.get();
    // Something took the name after it was chosen (a folder, another
    // program): the next name free of it and of what waits to be published.
    auto next = [queue, target, tried = std::set<std::string>{}](const std::string& taken) mutable {
        tried.insert(FolderOf(target) + "/" + taken);
        return NameOf(MakeUniqueName(target, [&](const std::string& path) {
            return tried.count(path) != 0 || queue->Reserved(path);
        }));
    };
    FQueue->Submit(std::move(file), target, next);
}

void TBatchRun::SearchDirectory(const std::string& dirName)
{
    // The walk is depth-first in pre-order, so a folder's subtree follows it
    // directly and the flag holds for every file reported until the next folder.
    const std::string dir = WithSlash(dirName);
    const bool isStart = FInStartDir;
    FInStartDir = false;
    FInExcludedDir = false;
    for (const std::string& excluded : FExcludedDirs)
        if (dir.compare(0, excluded.size(), excluded) == 0) FInExcludedDir = true;
    // The start folder itself stays in the walk even when it is the output
    // folder: its sources must be cleaned, and the outputs are known by FWritten.
    if (FInExcludedDir || isStart || !FHasOutputId) return;
    struct stat st;
    if (::stat(dirName.c_str(), &st) == 0 &&
        tFileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)} == FOutputId) {
        FExcludedDirs.push_back(dir);
        FInExcludedDir = true;
    }
}

bool TBatchRun::WrittenThisRun(const std::string& fileName) const
{
    if (FWritten.empty()) return false;
    struct stat st;
    return ::stat(fileName.c_str(), &st) == 0 &&
           FWritten.count({static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)}) != 0;
}

void TBatchRun::Status(const std::string& text)
{
    if (OnStatus) OnStatus(text);
}

void TBatchRun::IMLFindFound(const std::string& fileName)
{
    if (FInExcludedDir || WrittenThisRun(fileName)) return;
    Status("Processing " + fileName);
    // Build selector 255: decode everything the file holds.
    auto data = std::make_unique<TimgData>(255);
    const bool holdsMetadata = data->ScanFile(fileName);
    // What a damaged head holds is unknown: neither cleaned nor copied as clean.
    if (data->Damaged) throw EMetaError("Damaged JPEG header in " + fileName);
    const bool other = FOptions.StripOther() && data->HasOtherMetadata();
    if (holdsMetadata || other) {
        const bool exif = FOptions.StripExif();
        const bool com = FOptions.StripCom();
        const bool iptc = FOptions.StripIptc() && data->IptcContainer;
        if (exif || com || iptc || other) {
            // Every choice goes into one plan; the output is written once.
            data->StripOther = FOptions.StripOther();
            data->KeepOrientation = FOptions.KeepOrientation();
            if (com) data->ReplaceComment("");
            if (exif) data->ExifRef = kNoRef;
            if (iptc) {
                data->IptcContainer->Clear();
                data->ReplaceIptcSegment(data->IptcContainer->BuildSegmentPayload());
            }
            // The size fields are brought up to date where the IPTC block is rebuilt.
            const tOutputPlan plan = data->PlanOutput(iptc);
            const std::string target = TargetFor(fileName);
            auto out = std::make_unique<tPendingFile>(FolderFor(target), target, plan.SourceMode);
            data->WriteOutput(plan, *out, target);
            Submit(std::move(out), target);
        }
        ++ChangedCount;
    } else if (FOptions.CopyUnchanged()) {
        const std::string target = TargetFor(fileName);
        Submit(CopyToPending(fileName, FolderFor(target)), target);
        ++CopiedCount;
    }
}

std::string TBatchRun::FinishedText() const
{
    if (FOptions.CopyTicked())
        return "Done  (" + std::to_string(ChangedCount) + " of " + std::to_string(ChangedCount + CopiedCount) +
               " files changed.)";
    return "Done  (" + std::to_string(ChangedCount) + " files processed)";
}

void TBatchRun::IMLFindFinished()
{
    if (FQueue) FQueue->Finish();
    Status(FinishedText());
}
