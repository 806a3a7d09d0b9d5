#include "app/copy_file.h"

#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>

std::unique_ptr<tPendingFile> CopyToPending(const std::string& source,
                                            std::shared_ptr<const tOutputFolder> folder)
{
    const std::runtime_error failed("Cannot copy file " + source);
    try {
        const tFileHandle in(OpenForReading(source));
        struct stat st;
        if (::fstat(in.Get(), &st) != 0) throw failed;
        auto out = std::make_unique<tPendingFile>(std::move(folder), source, st.st_mode & 0777);
        if (CopyRange(in.Get(), 0, -1, out->Fd()) != st.st_size) throw failed;
        // Like a platform file copy, keep the last-write time.
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        if (::futimens(out->Fd(), times) != 0) throw failed;
        return out;
    } catch (const std::exception&) {
        throw failed;
    }
}

void CopyFileNoReplace(const std::string& source, const std::string& target)
{
    try {
        const auto folder = std::make_shared<const tOutputFolder>(FolderOf(target), target, true);
        const auto out = CopyToPending(source, folder);
        out->Flush();
        out->Publish(NameOf(target), false);
        if (!folder->Sync()) throw std::runtime_error("sync");
    } catch (const std::exception&) {
        throw std::runtime_error("Cannot copy file " + source);
    }
}
