#include "meta/jpeg/file_io.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "meta/exif/end_ind.h"

tFileHandle::~tFileHandle()
{
    if (FFd >= 0) ::close(FFd);
}

bool IsRegularFile(const std::string& name)
{
    struct stat st;
    return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int OpenForReading(const std::string& name)
{
    // O_NONBLOCK keeps a FIFO that carries a .jpg name from hanging the open;
    // the regular-file test below turns it away.
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0) ::close(fd);
        throw EMetaError("Cannot open file " + name);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::string ReadAll(int fd)
{
    std::string out;
    char buf[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw EMetaError("Stream read error");
        if (got == 0) return out;
        out.append(buf, static_cast<size_t>(got));
    }
}

bool GetFileId(const std::string& name, tFileId& id)
{
    struct stat st;
    if (::lstat(name.c_str(), &st) != 0) return false;
    id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return true;
}

namespace {

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteFully(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Moves `from` to `to` unless something holds `to`.
bool MoveNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    // File systems without RENAME_NOREPLACE: link() also refuses an existing name.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

}  // namespace

tFileId WriteNewFile(const std::string& target, const std::string& bytes, bool replace)
{
    const std::string folder = FolderOf(target);
    // A hidden name without the .jpg ending, so a folder walk never picks it up.
    // Cut so the temporary name stays within the 255-byte name limit.
    const std::string stem = folder + "/." + NameOf(target).substr(0, 200) + ".part-";
    static std::mt19937_64 rng{std::random_device{}()};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = stem + std::to_string(rng() % 1000000000);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) throw EMetaError("Cannot create file " + target);

    const bool written = WriteFully(fd, bytes) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        ::unlink(temp.c_str());
        throw EMetaError("Stream write error");
    }
    const bool placed = replace ? ::rename(temp.c_str(), target.c_str()) == 0
                                : MoveNoReplace(temp, target);
    if (!placed) {
        ::unlink(temp.c_str());
        throw EMetaError("Cannot create file " + target);
    }
    tFileId id;
    GetFileId(target, id);
    return id;
}
