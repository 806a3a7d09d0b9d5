#include "app/copy_file.h"

#include <cerrno>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

// "Cannot copy file " + source, with the reason the failed step gave.
std::runtime_error CopyFailed(const std::string& source, const std::string& cause)
{
    const size_t split = cause.find("\n\n");
    return std::runtime_error(
        WithReason("Cannot copy file " + source, split == std::string::npos ? cause : cause.substr(split + 2)));
}

}  // namespace

std::unique_ptr<tPendingFile> CopyToPending(const std::string& source,
                                            std::shared_ptr<const tOutputFolder> folder)
{
    const tFileHandle in(OpenForReading(source));
    struct stat st;
    if (::fstat(in.Get(), &st) != 0) throw CopyFailed(source, WithReason("", errno));
    auto out = std::make_unique<tPendingFile>(std::move(folder), source, st.st_mode & 0777);
    if (CopyRange(in.Get(), 0, -1, out->Fd()) != st.st_size)
        throw CopyFailed(source, "The file changed while it was copied");
    // Like a platform file copy, keep the last-write time.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(out->Fd(), times) != 0) throw CopyFailed(source, WithReason("", errno));
    return out;
}

void CopyFileNoReplace(const std::string& source, const std::string& target)
{
    try {
        const auto folder = std::make_shared<const tOutputFolder>(FolderOf(target), target, true);
        const auto out = CopyToPending(source, folder);
        out->Flush();
        out->Publish(NameOf(target), false);
        if (!folder->Sync()) throw std::runtime_error(WithReason("", errno));
    } catch (const std::exception& e) {
        throw CopyFailed(source, e.what());
    }
}
