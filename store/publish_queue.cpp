#include "store/publish_queue.h"

#include <algorithm>
#include <stdexcept>

namespace {
// Folders kept open for their one sync; past this many, those no output still
// waits for are synced and let go, so a tree of many folders stays within the
// descriptors a process may hold.
constexpr size_t kOpenFolders = 64;
// Outputs waiting for the disk at most: enough to keep the flushers busy,
// few enough that a stop leaves little to finish and a slow disk does not
// hold a descriptor open for every file of a large folder.
constexpr size_t kMaxWaiting = 32;
// Outputs handed in to be written at most: the next file's scan overlaps
// their copies, and each holds its source open.
constexpr size_t kMaxWriting = 4;
}  // namespace

TPublishQueue::TPublishQueue(bool flush, bool keepGoing, int threads) : FFlush(flush), FKeepGoing(keepGoing)
{
    // Without flushes, threads only write: one for each core but the caller's.
    if (!FFlush) threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 2u, 5u)) - 1;
    for (int i = 0; i < threads; ++i) FThreads.emplace_back([this] { Work(); });
}

TPublishQueue::~TPublishQueue()
{
    Drain();
    {
        const std::lock_guard<std::recursive_mutex> lock(FLock);
        FStopping = true;
    }
    FChanged.notify_all();
    for (std::thread& t : FThreads) t.join();
}

void TPublishQueue::Submit(std::unique_ptr<tPendingFile> file, const std::string& path, tNextName next,
                           const std::string& source, int tag, tWrite write)
{
    // The disk starts on it now; a flusher waits for the rest later.
    if (FFlush && !write) file->StartWriteBack();
    std::unique_lock<std::recursive_mutex> lock(FLock);
    FChanged.wait(lock, [&] { return (FJobs.size() < kMaxWaiting && (!write || FWriting < kMaxWriting)) || FError; });
    RethrowFirstError();
    FReserved.insert(path);
    const bool work = write || FFlush;
    if (write) ++FWriting;
    FJobs.push_back({std::move(file), path, std::move(next), source, tag, std::move(write)});
    if (work) {
        FChanged.notify_all();
        return;
    }
    FJobs.back().Taken = true;
    FJobs.back().Flushed = true;
    PublishReady();
    RethrowFirstError();
}

bool TPublishQueue::Reserved(const std::string& path) const
{
    const std::lock_guard<std::recursive_mutex> lock(FLock);
    return FReserved.count(path) != 0;
}

void TPublishQueue::Work()
{
    std::unique_lock<std::recursive_mutex> lock(FLock);
    for (;;) {
        auto job = std::find_if(FJobs.begin(), FJobs.end(), [](const tJob& j) { return !j.Taken; });
        if (job == FJobs.end()) {
            if (FStopping) return;
            FChanged.wait(lock);
            continue;
        }
        job->Taken = true;
        tPendingFile& file = *job->File;
        const tWrite write = std::move(job->Write);
        lock.unlock();
        std::exception_ptr error;
        try {
            if (write) write(file);
            if (FFlush) file.Flush();
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        if (write) --FWriting;
        // The deque only grows at the back and shrinks at the front behind
        // flushed jobs, so this job is still in it; find it again by its file.
        for (tJob& j : FJobs)
            if (j.File.get() == &file) {
                j.Flushed = true;
                if (error) {
                    FailJob(j, error);
                    j.File.reset();  // never published: the pending file goes
                }
            }
        PublishReady();
        FChanged.notify_all();
    }
}

void TPublishQueue::PublishReady()
{
    while (!FJobs.empty() && FJobs.front().Flushed) {
        tJob& job = FJobs.front();
        if (job.File) {
            try {
                Publish(job);
            } catch (...) {
                FailJob(job, std::current_exception());
            }
        }
        FReserved.erase(FReserved.find(job.Path));
        FJobs.pop_front();
    }
}

void TPublishQueue::Publish(tJob& job)
{
    const auto slash = job.Path.rfind('/');
    const std::string name = slash == std::string::npos ? job.Path : job.Path.substr(slash + 1);
    std::shared_ptr<const tOutputFolder> folder = job.File->FolderShared();
    job.File->Publish(name, false, job.Next);
    job.File.reset();
    if (!FFlush) return;
    if (std::find(FFolders.begin(), FFolders.end(), folder) == FFolders.end()) FFolders.push_back(folder);
    if (FFolders.size() <= kOpenFolders) return;
    // use_count 1: only this list still holds the folder, so nothing else goes there.
    for (auto f = FFolders.begin(); f != FFolders.end();) {
        if (f->use_count() > 1) {
            ++f;
            continue;
        }
        if (!(*f)->Sync()) throw std::runtime_error("Cannot sync folder " + (*f)->Path());
        f = FFolders.erase(f);
    }
}

void TPublishQueue::Fail(std::exception_ptr error)
{
    if (!FError) FError = error;
}

void TPublishQueue::FailJob(const tJob& job, std::exception_ptr error)
{
    std::string message = "Unknown error";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
    }
    const std::string& file = job.Source.empty() ? job.Path : job.Source;
    message = ForFile(message, file);
    if (FKeepGoing)
        FFailures.push_back({job.Source, message, job.Tag, error});
    else
        Fail(std::make_exception_ptr(EOutputFailed(message, file, error, job.Tag)));
}

std::vector<TPublishQueue::tFailure> TPublishQueue::TakeFailures()
{
    const std::lock_guard<std::recursive_mutex> lock(FLock);
    std::vector<tFailure> out;
    out.swap(FFailures);
    return out;
}

void TPublishQueue::RethrowFirstError()
{
    if (FError) std::rethrow_exception(FError);
}

void TPublishQueue::Finish()
{
    std::unique_lock<std::recursive_mutex> lock(FLock);
    FChanged.wait(lock, [this] { return FJobs.empty(); });
    for (const auto& folder : FFolders)
        if (!folder->Sync()) Fail(std::make_exception_ptr(std::runtime_error("Cannot sync folder " + folder->Path())));
    FFolders.clear();
    RethrowFirstError();
}

void TPublishQueue::Drain() noexcept
{
    std::unique_lock<std::recursive_mutex> lock(FLock);
    FChanged.wait(lock, [this] { return FJobs.empty(); });
    FError = nullptr;
}
