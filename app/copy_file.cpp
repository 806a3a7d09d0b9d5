#include "app/copy_file.h"

#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes a descriptor on every way out.
struct TFd {
    int Fd = -1;
    explicit TFd(int fd) : Fd(fd) {}
    ~TFd() { if (Fd >= 0) ::close(Fd); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    bool Close() { const int fd = Fd; Fd = -1; return ::close(fd) == 0; }
};

bool WriteAll(int fd, const char* p, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// Copies the bytes of `in` into `out`, then the permission bits and times of `st`.
bool CopyContent(int in, int out, const struct stat& st)
{
    std::vector<char> buf(1 << 16);
    for (;;) {
        const ssize_t r = ::read(in, buf.data(), buf.size());
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (r == 0) break;
        if (!WriteAll(out, buf.data(), static_cast<size_t>(r))) return false;
    }
    // Like a platform file copy, keep the last-write time; failures here lose nothing.
    (void)::fchmod(out, st.st_mode & 07777);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    (void)::futimens(out, times);
    return true;
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Last resort where the file system has no hard links: exclusive create.
bool CopyExclusive(int in, const std::string& target, const struct stat& st)
{
    if (::lseek(in, 0, SEEK_SET) != 0) return false;
    TFd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.Fd < 0) return false;
    if (CopyContent(in, out.Fd, st) && out.Close()) return true;
    ::unlink(target.c_str());
    return false;
}

}  // namespace

void CopyFileNoReplace(const std::string& source, const std::string& target)
{
    const std::runtime_error failed("Cannot copy file " + source);
    TFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (in.Fd < 0 || ::fstat(in.Fd, &st) != 0 || !S_ISREG(st.st_mode)) throw failed;

    // Write a hidden temporary beside the target, then link it in under the
    // target name: link() refuses an existing name, so nothing is replaced and
    // nobody ever sees a half-written target.
    std::string temp = FolderOf(target) + "/.zorezaz-copy-XXXXXX";
    TFd out(::mkstemp(temp.data()));
    if (out.Fd < 0) {
        // No temporary possible (e.g. odd permissions); the exclusive create still never replaces.
        if (CopyExclusive(in.Fd, target, st)) return;
        throw failed;
    }
    const bool written = CopyContent(in.Fd, out.Fd, st) && out.Close();
    if (!written) {
        ::unlink(temp.c_str());
        throw failed;
    }
    if (::link(temp.c_str(), target.c_str()) == 0) {
        ::unlink(temp.c_str());
        return;
    }
    const int err = errno;
    ::unlink(temp.c_str());
    if (err == EEXIST) throw failed;
    // File systems without hard links (FAT, some network shares).
    if ((err == EPERM || err == ENOTSUP || err == EOPNOTSUPP || err == EXDEV || err == EMLINK) &&
        CopyExclusive(in.Fd, target, st))
        return;
    throw failed;
}
