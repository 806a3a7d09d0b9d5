#include "store/copy_file.h"

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
    struct stat st;
    const tFileHandle in(OpenForReading(source, st));
    return CopyToPending(source, in.Get(), st, std::move(folder));
}

std::unique_ptr<tPendingFile> CopyToPending(const std::string& source, int fd, const struct stat& st,
                                            std::shared_ptr<const tOutputFolder> folder)
{
    auto out = std::make_unique<tPendingFile>(std::move(folder), source, st.st_mode & 0777);
    if (CopyRange(fd, 0, -1, out->Fd()) != st.st_size)
        throw CopyFailed(source, "The file changed while it was copied");
    return out;
}

void SetLastWriteTime(int fd, const timespec& mtime, const std::string& forName)
{
    const struct timespec times[2] = {{0, UTIME_OMIT}, mtime};
    if (::futimens(fd, times) != 0) throw std::runtime_error(WithReason("Cannot set the date of " + forName, errno));
}

void CopyFileNoReplace(const std::string& source, const std::string& target)
{
    try {
        const auto folder = std::make_shared<const tOutputFolder>(FolderOf(target), target, true);
        const auto out = CopyToPending(source, folder);
        struct stat st;
        if (::stat(source.c_str(), &st) != 0) throw std::runtime_error(WithReason("", errno));
        SetLastWriteTime(out->Fd(), st.st_mtim, target);
        out->Flush();
        out->Publish(NameOf(target), false);
        if (!folder->Sync()) throw std::runtime_error(WithReason("", errno));
    } catch (const std::exception& e) {
        throw CopyFailed(source, e.what());
    }
}
