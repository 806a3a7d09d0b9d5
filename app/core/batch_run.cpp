#include "app/core/batch_run.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/core/error_text.h"
#include "app/core/output_name.h"
#include "meta/clean/plan.h"
#include "meta/formats/formats.h"
#include "meta/jpeg/jpeg_image.h"
#include "store/copy_file.h"
#include "store/file_io.h"
#include "store/publish_queue.h"

ENothingToDo::ENothingToDo()
    : std::runtime_error("Nothing to do.\n\nTick at least one of EXIF, comment, IPTC, or XMP and other metadata "
                         "under Output options.")
{
}

ENoFileType::ENoFileType()
    : std::runtime_error("Nothing to do.\n\nTick at least one of JPEG, PNG, or WebP under File types.")
{
}

EInvalidOutputFolder::EInvalidOutputFolder()
    : std::runtime_error("You must specify a valid output folder.")
{
}

EInvalidPrefix::EInvalidPrefix()
    : std::runtime_error("The file name prefix cannot contain \"/\".\n\n"
                         "Cleaned files are saved beside their originals; choose a prefix without \"/\".")
{
}

std::string tSkipped::Line() const
{
    return File + ": " + OneLine(Message);
}

void KeepFreedMemory()
{
    // One heap for all threads (they hand buffers to each other); blocks of
    // up to 32 MB taken from it rather than mapped each on its own, and as
    // much freed memory kept. A failure leaves glibc's defaults: slower only.
    constexpr int kKept = 32 << 20;
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, kKept);
    mallopt(M_TRIM_THRESHOLD, kKept);
}

tReason ReasonOf(const std::exception& error, const std::string& file)
{
    using TCode = tReason::TCode;
    if (const auto* known = dynamic_cast<const EBatchError*>(&error)) return known->Reason;
    if (const auto* output = dynamic_cast<const TPublishQueue::EOutputFailed*>(&error)) {
        if (output->Cause) try {
                std::rethrow_exception(output->Cause);
            } catch (const std::exception& cause) {
                return ReasonOf(cause, output->Source);
            } catch (...) {
            }
        return tReason::Other(output->Source, error.what());
    }
    if (const auto* io = dynamic_cast<const EFileError*>(&error)) {
        const std::string& named = io->File.empty() ? file : io->File;
        switch (io->Step) {
        case EFileError::TStep::Open: return tReason(TCode::OpenFile, named, io->Errno);
        case EFileError::TStep::NotRegular: return tReason(TCode::NotRegularFile, named);
        case EFileError::TStep::Create: {
            tReason reason(TCode::CreateFile, file.empty() ? named : file, io->Errno);
            reason.Output = io->File;
            return reason;
        }
        case EFileError::TStep::Read: return tReason(TCode::ReadError, file, io->Errno);
        case EFileError::TStep::Write: return tReason(TCode::WriteError, file, io->Errno);
        }
    }
    if (const auto* jpeg = dynamic_cast<const EJPEG*>(&error)) {
        tReason reason(TCode::JpegError, file);
        reason.Number = jpeg->Code;
        reason.Detail = jpeg->Text;
        return reason;
    }
    if (const auto* find = dynamic_cast<const EFindError*>(&error)) {
        switch (find->Kind) {
        case EFindError::TKind::NoStart: return tReason(TCode::NoStartFolder);
        case EFindError::TKind::StartMissing: return tReason(TCode::StartMissing, find->Folder);
        case EFindError::TKind::StartClosed: return tReason(TCode::StartClosed, find->Folder, find->Error);
        case EFindError::TKind::NoMask: break;
        }
    }
    return tReason::Other(file, ForFile(error.what(), file));
}

namespace {

// Whether `name` ends in `type` (ASCII case folded, as the walk's masks match).
bool HasType(const std::string& name, std::string_view type)
{
    if (name.size() < type.size()) return false;
    for (size_t i = 0; i < type.size(); ++i) {
        const char c = name[name.size() - type.size() + i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != type[i]) return false;
    }
    return true;
}

// Whether `name` is named as a picture of a format cleaned here.
bool NamedAsFormat(const std::string& name)
{
    for (const tFormat& format : Formats())
        for (std::string_view type : format.Extensions)
            if (HasType(name, type)) return true;
    return false;
}

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

// What a handed-in output is, so a failure at publish undoes the right count.
enum tOutputKind { kCleaned, kCopied };
// Outputs from this size on are written by the publish queue's threads while
// the next file is scanned; a smaller one costs less to write here than to
// hand over to another thread.
constexpr int64_t kWrittenAsideFrom = 256 * 1024;

// The most _N variants looked at for an earlier run's output.
constexpr unsigned long long kMaxVariants = 100000;

bool SameFolder(int fd, const std::pair<uint64_t, uint64_t>& id)
{
    struct stat st;
    return ::fstat(fd, &st) == 0 &&
           std::pair<uint64_t, uint64_t>{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)} == id;
}

// The deepest folder path the climb in FolderWithin follows before it gives up.
constexpr int kMaxFolderDepth = 4096;

// True when the folder open as `fd` is the folder `id` or lies below it,
// found by climbing ".." to the root, so links and other spellings of the
// path cannot hide it. True as well when the climb cannot tell.
bool FolderWithin(int fd, const std::pair<uint64_t, uint64_t>& id)
{
    tFileHandle at(::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (int depth = 0; depth < kMaxFolderDepth && at.Get() >= 0; ++depth) {
        if (SameFolder(at.Get(), id)) return true;
        tFileHandle up(::openat(at.Get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat here, above;
        if (up.Get() < 0 || ::fstat(at.Get(), &here) != 0 || ::fstat(up.Get(), &above) != 0) return true;
        if (here.st_dev == above.st_dev && here.st_ino == above.st_ino) return false;  // the root
        at = std::move(up);
    }
    return true;
}

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
    // One mask per type taken; the finder reports them mask by mask.
    std::string masks;
    // Every format's, ticked or not: the files of a type not ticked are named as left alone.
    for (const tFormat& format : Formats())
        for (std::string_view type : format.Extensions) masks += "*" + std::string(type) + ";";
    for (std::string_view type : kLeftAloneTypes) masks += "*" + std::string(type) + ";";
    masks.pop_back();
    IMLFind.FileMask = masks;
    IMLFind.OnFound = [this](TIMLFindText&, const std::string& fileName, int32_t) { IMLFindFound(fileName); };
    IMLFind.OnFinished = [this](TIMLFindText&) { IMLFindFinished(); };
    IMLFind.OnSearchDirectory = [this](TIMLFindText&, const std::string& dirName) { SearchDirectory(dirName); };
    IMLFind.OnFolderError = [this](TIMLFindText&, const std::string& dirName, int error) {
        CheckStop();
        Fail(dirName, WithReason("Cannot read folder " + dirName, error),
             tReason(tReason::TCode::ReadFolder, dirName, error));
    };
    IMLFind.OnCounting = [this](TIMLFindText&, int64_t) { CheckStop(); };
}

void TBatchRun::Execute(const std::string& startFolder, bool subfolders)
{
    if (FRunning) return;  // one walk at a time: the finder's listing state is shared
    if (!FOptions.StripExif() && !FOptions.StripCom() && !FOptions.StripIptc() && !FOptions.StripOther())
        throw ENothingToDo();
    if (std::none_of(Formats().begin(), Formats().end(),
                     [this](const tFormat& f) { return FOptions.TypeTicked(f.Type); }))
        throw ENoFileType();
    if (FOptions.NewFolderMode() && FOptions.OutputFolder().empty()) throw EInvalidOutputFolder();
    if (!FOptions.NewFolderMode() && FOptions.Prefix().find('/') != std::string::npos) throw EInvalidPrefix();
    TRunningFlag running(FRunning);
    IMLFind.StartDirectory = startFolder;
    IMLFind.SubDirectories = subfolders;
    ChangedCount = 0;
    CopiedCount = 0;
    AlreadyCleanCount = 0;
    Skipped.clear();
    LeftAlone.clear();
    FStopped = false;
    FDone = FTotal = 0;
    FWritten.clear();
    FNamesTaken.clear();
    FOutputDirs.clear();
    FHasOutputId = false;
    FInOutputDir = false;
    FInStartDir = true;
    FStartFolder = startFolder;
    FFolder.reset();
    FFolderPath.clear();
    FInHand = tInHand{};
    FFirstFree = {};
    // A missing start folder is reported before the output folder is made.
    IMLFind.CheckStart();
    FQueue = std::make_unique<TPublishQueue>(FOptions.FlushOutputs(), FOptions.KeepGoing());
    try {
        try {
            CheckStop();
            if (FOptions.NewFolderMode()) PrepareOutputFolder();
            if (OnProgress) {
                const int64_t total = IMLFind.Count();
                FTotal = static_cast<int>(std::min<int64_t>(total, INT_MAX));
                Progress();
            }
            IMLFind.Execute();
        } catch (const tStopRequest&) {
            // The file in hand is done; what was written gets its name.
            FStopped = true;
            FinishQueue();
            Status("Stopped  " + Totals());
        }
    } catch (...) {
        // What was written whole before the error still gets its name.
        FQueue->Drain();
        FQueue.reset();
        FFolder.reset();
        FInHand = tInHand{};
        throw;
    }
    FQueue.reset();
    FFolder.reset();
    FInHand = tInHand{};
}

void TBatchRun::PrepareOutputFolder()
{
    const std::string folder = FOptions.OutputFolder();
    // One level only: a folder whose parent is missing is an error, not a tree to build.
    if (!IsDirectory(folder) && ::mkdir(folder.c_str(), 0777) != 0) {
        const int error = errno;
        throw EBatchError(WithReason("Cannot create " + folder, error),
                          tReason(tReason::TCode::CreateFolder, folder, error));
    }
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0) {
        FOutputId = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
        FHasOutputId = true;
    }
    FFolder = std::make_shared<const tOutputFolder>(Resolved(folder), folder);
    if (MaySweep(*FFolder)) FFolder->RemoveStaleTemporaries();
}

bool TBatchRun::MaySweep(const tOutputFolder& folder) const
{
    // Prefix mode writes beside the sources: their folders are the user's,
    // and no file there is ever removed.
    if (!FOptions.NewFolderMode()) return false;
    struct stat start;
    if (::stat(FStartFolder.c_str(), &start) != 0) return false;
    const tFileId startId{static_cast<uint64_t>(start.st_dev), static_cast<uint64_t>(start.st_ino)};
    // Neither the start folder itself nor, when the walk goes down, a folder
    // below it: either may hold sources.
    return IMLFind.SubDirectories ? !FolderWithin(folder.Fd(), startId) : !SameFolder(folder.Fd(), startId);
}

std::shared_ptr<const tOutputFolder> TBatchRun::FolderFor(const std::string& target)
{
    if (FOptions.NewFolderMode()) return FFolder;
    // Prefix mode writes beside the sources: one folder at a time, in walk
    // order, each opened once (known by the walk's path, as the start folder's
    // own is resolved).
    const std::string path = FolderOf(target);
    if (!FFolder || FFolderPath != path) {
        const bool chosen = WithSlash(path) == WithSlash(FStartFolder);
        FFolder = std::make_shared<const tOutputFolder>(chosen ? Resolved(path) : path, target);
        FFolderPath = path;
    }
    return FFolder;
}

std::string TBatchRun::TargetFor(const std::string& fileName) const
{
    TPublishQueue* queue = FQueue.get();
    // AlreadyDone has just found the first name free: not looked up again.
    if (FFirstFree.first == fileName && !(queue && queue->Reserved(FFirstFree.second))) return FFirstFree.second;
    return GetOutputName(fileName, FOptions.NewFolderMode(), FOptions.OutputFolder(), FOptions.Prefix(),
                         [this, queue](const std::string& path) {
                             return FNamesTaken.count(path) != 0 || (queue && queue->Reserved(path));
                         });
}

void TBatchRun::Submit(std::unique_ptr<tPendingFile> file, const std::string& target, const std::string& source,
                       int kind, std::function<void(tPendingFile&)> write)
{
    FWritten.insert({file->Id().Dev, file->Id().Ino});
    FNamesTaken.insert(target);
    TPublishQueue* queue = FQueue.get();
    // Something took the name after it was chosen (a folder, another
    // program): the next name free of it and of what waits to be published.
    auto next = [queue, target, tried = std::set<std::string>{}](const std::string& taken) mutable {
        tried.insert(FolderOf(target) + "/" + taken);
        return NameOf(MakeUniqueName(target, [&](const std::string& path) {
            return tried.count(path) != 0 || queue->Reserved(path);
        }));
    };
    FQueue->Submit(std::move(file), target, next, source, kind, std::move(write));
}

void TBatchRun::Fail(const std::string& file, const std::string& message, const tReason& reason)
{
    if (!FOptions.KeepGoing()) throw EBatchError(message, reason);
    Skipped.push_back({file, message, reason});
    if (OnSkipped) OnSkipped(Skipped.back());
}

void TBatchRun::LeaveAlone(const std::string& file, tReason::TCode code)
{
    const char* why = code == tReason::TCode::NotAPicture     ? "not a picture Zorezaz can clean"
                      : code == tReason::TCode::TypeNotChosen ? "type not ticked under File types"
                                                              : "type not supported";
    LeftAlone.push_back({file, why, tReason(code, file)});
    if (OnLeftAlone) OnLeftAlone(LeftAlone.back());
}

void TBatchRun::TakeQueueFailures()
{
    // An output that could not be flushed or published: its file was
    // counted when it was handed in, and is skipped after all.
    for (const TPublishQueue::tFailure& failure : FQueue->TakeFailures()) {
        (failure.Tag == kCopied ? CopiedCount : ChangedCount) -= 1;
        tReason reason = tReason::Other(failure.Source, failure.Message);
        if (failure.Error) try {
                std::rethrow_exception(failure.Error);
            } catch (const std::exception& e) {
                reason = ReasonOf(e, failure.Source);
            } catch (...) {
            }
        Fail(failure.Source, failure.Message, reason);
    }
}

void TBatchRun::FinishQueue()
{
    try {
        FQueue->Finish();
    } catch (const TPublishQueue::EOutputFailed& e) {
        (e.Tag == kCopied ? CopiedCount : ChangedCount) -= 1;
        throw;
    }
    TakeQueueFailures();
}

void TBatchRun::CheckStop() const
{
    if (FStop.load(std::memory_order_relaxed)) throw tStopRequest{};
}

void TBatchRun::Progress()
{
    if (OnProgress) OnProgress(FDone, std::max(FDone, FTotal));
}

void TBatchRun::SearchDirectory(const std::string& dirName)
{
    CheckStop();
    // The walk is depth-first in pre-order, so a folder's subtree follows it
    // directly and the flag holds for every file reported until the next folder.
    const std::string dir = WithSlash(dirName);
    const bool isStart = FInStartDir;
    FInStartDir = false;
    FInOutputDir = false;
    for (const std::string& output : FOutputDirs)
        if (dir.compare(0, output.size(), output) == 0) FInOutputDir = true;
    // The start folder itself is walked as a source folder even when it is the
    // output folder: this run's outputs are known by FWritten.
    if (FInOutputDir || isStart || !FHasOutputId) return;
    struct stat st;
    if (::stat(dirName.c_str(), &st) == 0 &&
        tFileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)} == FOutputId) {
        FOutputDirs.push_back(dir);
        FInOutputDir = true;
    }
}

bool TBatchRun::WrittenThisRun(const std::string& fileName)
{
    // Opened here, once, for everything the file goes through: the open
    // file tells what it is, and no name is looked up again.
    FInHand = tInHand{fileName, nullptr, {}, nullptr};
    try {
        FInHand.File = std::make_unique<tFileHandle>(OpenForReading(fileName, FInHand.Stat));
    } catch (const std::exception&) {
        // Reported when the file is cleaned; what the name leads to may
        // still be known.
        FInHand.Error = std::current_exception();
        if (::stat(fileName.c_str(), &FInHand.Stat) != 0) return false;
    }
    return FWritten.count({static_cast<uint64_t>(FInHand.Stat.st_dev), static_cast<uint64_t>(FInHand.Stat.st_ino)}) !=
           0;
}

void TBatchRun::Status(const std::string& text)
{
    if (OnStatus) OnStatus(text);
}

void TBatchRun::IMLFindFound(const std::string& fileName)
{
    CheckStop();
    // Another type is named, and not even opened: this run writes none.
    if (!NamedAsFormat(fileName)) {
        ++FDone;
        LeaveAlone(fileName, tReason::TCode::TypeNotSupported);
    // What this run wrote was not there to be counted, and is no file to handle.
    } else if (!WrittenThisRun(fileName)) {
        ++FDone;
        if (OnFile) OnFile(fileName);
        Status("Processing " + fileName);
        try {
            CleanFile(fileName);
        } catch (const TPublishQueue::EOutputFailed& e) {
            // An earlier file's output failed while this one was in hand: it
            // was counted when it was handed in.
            (e.Tag == kCopied ? CopiedCount : ChangedCount) -= 1;
            Fail(e.Source, e.what(), ReasonOf(e));
        } catch (const EJPEG& e) {
            Fail(fileName, "JPEG error #" + std::to_string(e.Code) + " in " + fileName + ": " + e.Text,
                 ReasonOf(e, fileName));
        } catch (const std::exception& e) {
            Fail(fileName, ForFile(e.what(), fileName), ReasonOf(e, fileName));
        }
    }
    Progress();
}

void TBatchRun::CleanFile(const std::string& fileName)
{
    // A file that cannot be read is an error with the system's reason, never
    // a file passed over in silence.
    if (FInHand.Name != fileName || (!FInHand.File && !FInHand.Error)) WrittenThisRun(fileName);
    if (FInHand.Error) std::rethrow_exception(FInHand.Error);
    const struct stat sourceStat = FInHand.Stat;
    // Content decides: a file that starts like no format cleaned here is
    // neither cleaned nor copied as unchanged, and is no failure.
    const tFormat* format = SniffFormat(FInHand.File->Get(), fileName);
    if (!format) {
        FInHand = tInHand{};
        LeaveAlone(fileName, tReason::TCode::NotAPicture);
        return;
    }
    // Whatever its name: a PNG named .jpg is a PNG, left alone with PNG unticked.
    if (!FOptions.TypeTicked(format->Type)) {
        FInHand = tInHand{};
        LeaveAlone(fileName, tReason::TCode::TypeNotChosen);
        return;
    }
    // A broken file, or one whose layout cannot be rewritten safely, is
    // refused with why, whether the scan or the plan finds it.
    tFileHandle file = std::move(*FInHand.File);
    FInHand = tInHand{};
    try {
        CleanPicture(*format, fileName, std::move(file), sourceStat);
    } catch (const EDamagedFile& e) {
        DamagedFile(*format, fileName, e.what());
    } catch (const ECannotClean& e) {
        tReason reason(tReason::TCode::CannotClean, fileName);
        reason.Detail = e.what();
        throw EBatchError("Cannot clean " + fileName + ": " + e.what(), reason);
    }
    TakeQueueFailures();
}

void TBatchRun::CleanPicture(const tFormat& format, const std::string& fileName, tFileHandle file,
                             const struct stat& sourceStat)
{
    // The source's last-write time onto an output, before it is handed on to
    // be flushed and published.
    auto keepDate = [&](const tPendingFile& out, const std::string& target) {
        if (FOptions.KeepDates()) SetLastWriteTime(out.Fd(), sourceStat.st_mtim, target);
    };
    // Only what cleaning needs is decoded: no listing is ever shown here.
    // The scan keeps the open file; every read and copy below is of it.
    const std::shared_ptr<tPictureFile> picture = format.Scan(std::move(file), sourceStat, fileName, false);
    const int source = picture->SourceFd();
    const tChoices choices = ChoicesOf(FOptions);
    // Changed only when a chosen option removes something: an empty comment
    // is no metadata, so a cleaned file is never cleaned again.
    const bool removesSomething = picture->Removes(choices);
    // In the output folder, a file with nothing to remove is an output (this
    // run's or an earlier one's) or already where outputs go.
    if (!removesSomething && FInOutputDir) return;
    if (removesSomething) {
        const tPlan& plan = picture->Plan(choices);
        // An earlier run's output is there already: nothing written, nothing new cleaned.
        if (AlreadyDone(fileName, [&](int fd) { return OutputMatches(plan, fd); })) {
            ++AlreadyCleanCount;
        } else {
            const std::string target = TargetFor(fileName);
            auto out = std::make_unique<tPendingFile>(FolderFor(target), target, plan.SourceMode);
            const bool keepDates = FOptions.KeepDates();
            const timespec mtime = sourceStat.st_mtim;
            const auto write = [picture, &plan, fileName, choices, keepDates, mtime, target](tPendingFile& written) {
                picture->Write(plan, written, fileName, choices);
                if (keepDates) SetLastWriteTime(written.Fd(), mtime, target);
            };
            if (plan.Length < kWrittenAsideFrom) {
                write(*out);
                Submit(std::move(out), target, fileName, kCleaned);
            } else {
                // Copied and checked while the next file is scanned; an error
                // is this file's when it comes, in the words used here.
                Submit(std::move(out), target, fileName, kCleaned, [write, fileName](tPendingFile& written) {
                    try {
                        write(written);
                    } catch (const EJPEG& e) {
                        throw std::runtime_error("JPEG error #" + std::to_string(e.Code) + " in " + fileName + ": " +
                                                 e.Text);
                    }
                });
            }
            ++ChangedCount;
        }
    } else if (FOptions.CopyUnchanged()) {
        if (AlreadyDone(fileName, [&](int fd) { return SameContent(source, fd); })) {
            ++AlreadyCleanCount;
        } else {
            const std::string target = TargetFor(fileName);
            auto out = CopyToPending(fileName, source, sourceStat, FolderFor(target));
            keepDate(*out, target);
            Submit(std::move(out), target, fileName, kCopied);
            ++CopiedCount;
        }
    }
}

void TBatchRun::DamagedFile(const tFormat& format, const std::string& fileName, const std::string& why)
{
    if (format.Type == tFileType::Jpeg)
        throw EBatchError("Damaged JPEG header in " + fileName, tReason(tReason::TCode::DamagedHead, fileName));
    tReason reason(tReason::TCode::DamagedFile, fileName);
    reason.Detail = format.Name;
    throw EBatchError("Damaged " + std::string(format.Name) + " file " + fileName + ": " + why, reason);
}

bool TBatchRun::AlreadyDone(const std::string& fileName, const std::function<bool(int fd)>& matches)
{
    const std::string first =
        OutputCandidate(fileName, FOptions.NewFolderMode(), FOptions.OutputFolder(), FOptions.Prefix());
    // Looked up in the folder the output would go to, through its descriptor.
    const std::shared_ptr<const tOutputFolder> folder = FolderFor(first);
    FFirstFree = {};
    for (unsigned long long i = 0; i < kMaxVariants; ++i) {
        const std::string path = NameVariant(first, i);
        const std::string name = NameOf(path);
        // Never an output's name, as GetOutputName gives none of that shape.
        if (IsTemporaryName(name)) continue;
        // A name this run gave an output holds no earlier run's output.
        if (FNamesTaken.count(path) != 0) continue;
        struct stat st;
        if (::fstatat(folder->Fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (i == 0 && errno == ENOENT) FFirstFree = {fileName, path};
            // The first name may have been free again while later ones hold outputs.
            if (i == 0) continue;
            return false;
        }
        // Not what this run wrote for another source. The source itself may
        // be the name: a cleaned output never equals it, and a file to be
        // copied unchanged into its own folder is there already.
        const tFileId id{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
        if (!S_ISREG(st.st_mode) || FWritten.count(id) != 0) continue;
        const tFileHandle file(::openat(folder->Fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (file.Get() >= 0 && matches(file.Get())) return true;
    }
    return false;
}

std::string TBatchRun::Totals() const
{
    // The window words the same counts in the user's language (TMainForm::TotalsText).
    auto files = [](int n) { return std::to_string(n) + (n == 1 ? " file" : " files"); };
    const int clean = AlreadyCleanCount;
    std::string text;
    if (FOptions.CopyTicked())
        text = std::to_string(ChangedCount) + " of " + files(ChangedCount + CopiedCount + clean) + " changed";
    else if (ChangedCount != 0 || clean == 0)
        text = files(ChangedCount) + " processed";
    if (clean != 0)
        text += text.empty() ? files(clean) + " already clean" : ", " + std::to_string(clean) + " already clean";
    if (!Skipped.empty()) text += ", " + std::to_string(Skipped.size()) + " skipped";
    // Files of types not cleaned or not ticked, and files only named as pictures: one count.
    if (!LeftAlone.empty())
        text += ", " + (LeftAlone.size() == 1 ? std::string("1 file of another type")
                                              : std::to_string(LeftAlone.size()) + " files of other types") +
                " left alone";
    // "(2 of 3 files changed.)" as it always read, when nothing follows.
    if (FOptions.CopyTicked() && clean == 0 && Skipped.empty() && LeftAlone.empty()) text += ".";
    return "(" + text + ")";
}

std::string TBatchRun::FinishedText() const
{
    return "Done  " + Totals();
}

void TBatchRun::IMLFindFinished()
{
    if (FQueue) FinishQueue();
    Status(FinishedText());
}
