#pragma once
// Publishes the batch run's outputs in the order they were written, each only
// once its data is on disk. The flushes run on a small pool, so one file's
// wait for the disk overlaps the work on the next ones instead of adding up.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "store/file_io.h"

class TPublishQueue {
public:
    // The error of one output, raised when the run is in hand with another
    // file: the message names only `Source`, whose output failed.
    class EOutputFailed : public std::runtime_error {
    public:
        EOutputFailed(const std::string& message, std::string source, std::exception_ptr cause = {}, int tag = 0)
            : std::runtime_error(message), Source(std::move(source)), Cause(std::move(cause)), Tag(tag)
        {
        }
        std::string Source;
        std::exception_ptr Cause;  // the error as the output met it
        int Tag = 0;               // as handed in
    };

    // An output that could not be flushed or published, kept apart when the
    // run goes on past failed files.
    struct tFailure {
        std::string Source;   // the file the output was made from
        std::string Message;  // names that file
        int Tag = 0;          // as handed in
        std::exception_ptr Error;  // the error as the output met it
    };

    // flush false: outputs are published as soon as they are handed in,
    // without waiting for the disk (scratch outputs). keepGoing: an output
    // that fails is a failure of its own file, kept for TakeFailures(), and
    // the others go on; otherwise the first error ends the run.
    explicit TPublishQueue(bool flush, bool keepGoing = false, int threads = 4);
    ~TPublishQueue();
    TPublishQueue(const TPublishQueue&) = delete;
    TPublishQueue& operator=(const TPublishQueue&) = delete;

    // Gives another free name inside the output's folder when `taken` was
    // taken between choosing and publishing.
    using tNextName = std::function<std::string(const std::string& taken)>;

    // Writes an output's content, on a thread of the queue's; an error is the
    // output's own, as one of flushing it.
    using tWrite = std::function<void(tPendingFile& file)>;

    // Hands in an output of `source` to be published as `path` (its folder's
    // path, "/", the name): complete, or written by `write` first while the
    // caller goes on to the next file. Raises the first error of an earlier
    // output (not in keep-going mode) as EOutputFailed.
    void Submit(std::unique_ptr<tPendingFile> file, const std::string& path, tNextName next,
                const std::string& source = {}, int tag = 0, tWrite write = {});
    // True while an output waits to be published under `path`.
    bool Reserved(const std::string& path) const;
    // Waits until every output is published and durable, each folder synced
    // once; raises the first error that any of them met.
    void Finish();
    // Waits for the outputs handed in so far and drops any error: the run is
    // ending for another reason.
    void Drain() noexcept;
    // The outputs that failed so far (keep-going mode), oldest first; each is
    // returned once.
    std::vector<tFailure> TakeFailures();

private:
    struct tJob {
        std::unique_ptr<tPendingFile> File;
        std::string Path;
        tNextName Next;
        std::string Source;
        int Tag = 0;
        tWrite Write;
        bool Taken = false;    // a thread is on it, or none need be
        bool Flushed = false;  // written and (with flush) on disk: ready to publish
    };

    void Work();
    // Publishes the head of the queue while it is flushed. Lock held.
    void PublishReady();
    void Publish(tJob& job);
    void Fail(std::exception_ptr error);
    // An error of one job's output, named after its source. Lock held.
    void FailJob(const tJob& job, std::exception_ptr error);
    void RethrowFirstError();

    const bool FFlush;
    const bool FKeepGoing;
    std::vector<tFailure> FFailures;
    // Recursive: a publish under the lock may ask Reserved() for a new name.
    mutable std::recursive_mutex FLock;
    std::condition_variable_any FChanged;
    std::deque<tJob> FJobs;
    std::multiset<std::string> FReserved;
    std::exception_ptr FError;
    // Folders written into; each is synced once when the run is done with it.
    std::vector<std::shared_ptr<const tOutputFolder>> FFolders;
    bool FStopping = false;
    size_t FWriting = 0;  // jobs handed in with a write not yet done
    std::vector<std::thread> FThreads;
};
