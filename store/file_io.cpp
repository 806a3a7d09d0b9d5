#include "store/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <cstring>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

const char* const kTemporaryPrefix = ".zorezaz-part-";
const char* const kTemporaryMark = "user.zorezaz.part";
std::function<void(const tOutputFolder&, const std::string&)> BeforePublishHook;
std::atomic<bool> ForceNamedTemporaries{false};

namespace {

constexpr size_t kTemporaryDigits = 16;

bool IsLowerHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

}  // namespace

bool IsTemporaryName(const std::string& name)
{
    const std::string prefix = kTemporaryPrefix;
    return name.size() == prefix.size() + kTemporaryDigits && name.compare(0, prefix.size(), prefix) == 0 &&
           std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(), IsLowerHex);
}

tFileHandle::~tFileHandle()
{
    if (FFd >= 0) ::close(FFd);
}

tFileHandle& tFileHandle::operator=(tFileHandle&& other) noexcept
{
    if (this != &other) {
        if (FFd >= 0) ::close(FFd);
        FFd = other.FFd;
        other.FFd = -1;
    }
    return *this;
}

bool tFileHandle::Close()
{
    const int fd = FFd;
    FFd = -1;
    return fd < 0 || ::close(fd) == 0;
}

std::string WithReason(const std::string& text, const std::string& reason)
{
    // The first line as an error box shows it, full stop included, so the
    // reason below reads as its own paragraph.
    std::string out = text;
    if (!out.empty() && static_cast<unsigned char>(out.back()) > '.') out += '.';
    if (reason.empty()) return out;
    return out + "\n\n" + reason;
}

std::string WithReason(const std::string& text, int err)
{
    return WithReason(text, std::string(std::strerror(err)));
}

std::string ForFile(const std::string& message, const std::string& file)
{
    if (file.empty() || message.find(file) != std::string::npos) return message;
    const size_t split = message.find("\n\n");
    if (split == std::string::npos) return WithReason(message, file);
    return message.substr(0, split) + "\n\n" + file + ": " + message.substr(split + 2);
}

namespace {

std::string FileErrorText(EFileError::TStep step, const std::string& file, int err)
{
    switch (step) {
    case EFileError::TStep::Open: return WithReason("Cannot open file " + file, err);
    case EFileError::TStep::NotRegular: return WithReason("Cannot open file " + file, "Not a regular file");
    case EFileError::TStep::Create: return WithReason("Cannot create file " + file, err);
    case EFileError::TStep::Read: return WithReason("Stream read error", err);
    case EFileError::TStep::Write: break;
    }
    return WithReason("Stream write error", err);
}

}  // namespace

EFileError::EFileError(TStep step, std::string file, int err)
    : std::runtime_error(FileErrorText(step, file, err)), Step(step), File(std::move(file)), Errno(err)
{
}

bool IsRegularFile(const std::string& name)
{
    struct stat st;
    return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int OpenForReading(const std::string& name)
{
    struct stat st;
    return OpenForReading(name, st);
}


int OpenForReading(const std::string& name, struct stat& st)
{
    // O_NONBLOCK keeps a FIFO that carries a .jpg name from hanging the open;
    // the regular-file test below turns it away.
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw EFileError(EFileError::TStep::Open, name, errno);
    const bool statted = ::fstat(fd, &st) == 0;
    const int err = errno;
    if (!statted || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw EFileError(statted ? EFileError::TStep::NotRegular : EFileError::TStep::Open, name, err);
    }
    // Of the flags F_SETFL changes, the open set O_NONBLOCK alone: clearing
    // them all needs no F_GETFL first.
    ::fcntl(fd, F_SETFL, 0);
    return fd;
}

std::string ReadAll(int fd)
{
    std::string out;
    char buf[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw EFileError(EFileError::TStep::Read, {}, errno);
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

bool GetFileId(int fd, tFileId& id)
{
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return true;
}

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

namespace {

bool WriteFully(int fd, const char* p, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w == 0) errno = EIO;  // no progress and no reason given
        if (w <= 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// The kernel cannot copy between these files (other file systems, an old
// kernel, special files): copy through a buffer instead, as cp does.
bool KernelCopyUnsupported(int err)
{
    return err == EXDEV || err == ENOSYS || err == EINVAL || err == EOPNOTSUPP;
}

// Refusals that, before any byte has moved, say only that the kernel will not
// copy here, as cp reads them: a seccomp filter (EPERM, EACCES), a file system
// without the call (ENOTTY), a descriptor it cannot copy from (EBADF), a file
// being run (ETXTBSY). Once bytes have moved, the same refusal is an error.
bool KernelCopyRefused(int err)
{
    return err == EPERM || err == EACCES || err == EBADF || err == ETXTBSY || err == ENOTTY;
}

ssize_t KernelCopy(int from, off_t* at, int to, size_t want)
{
    if (CopyFileRangeHook) return CopyFileRangeHook(from, at, to, want);
    return ::copy_file_range(from, at, to, nullptr, want, 0);
}

// copy_file_range moves a copy through a pipe of the kernel's own, 64 KB at
// a time. Where source and target offsets differ within a page (a part was
// left out before the range), each of those steps ends inside a page of the
// target, and the copy costs about 40 % more than an aligned one. Through a
// pipe of a megabyte those steps are 16 times rarer.
class tCopyPipe {
public:
    static constexpr int kBytes = 1 << 20;

    ~tCopyPipe() { Close(); }

    // Moves up to `want` bytes of `from` at *at to the position of `to`, and
    // returns how many reached `to` (*at moves on by as many), or -1 with
    // errno. Bytes that reached the pipe but not `to` are read again by the
    // next copy.
    ssize_t Move(int from, off_t* at, int to, size_t want)
    {
        if (FFd[0] < 0 && !Open()) return -1;
        const ssize_t n = ::splice(from, at, FFd[1], nullptr, std::min(want, size_t{kBytes}), 0);
        if (n <= 0) return n;
        for (ssize_t left = n; left > 0;) {
            const ssize_t k = ::splice(FFd[0], nullptr, to, nullptr, static_cast<size_t>(left), 0);
            if (k < 0 && errno == EINTR) continue;
            if (k <= 0) {
                const int err = k < 0 ? errno : EIO;
                *at -= left;
                Close();
                errno = err;
                return n > left ? n - left : -1;
            }
            left -= k;
        }
        return n;
    }

private:
    bool Open()
    {
        if (::pipe2(FFd, O_CLOEXEC) != 0) return false;
        if (::fcntl(FFd[1], F_SETPIPE_SZ, kBytes) >= kBytes) return true;
        // Limited to a small pipe: no better than copy_file_range.
        Close();
        errno = EOPNOTSUPP;
        return false;
    }
    void Close()
    {
        for (int& fd : FFd) {
            if (fd >= 0) ::close(fd);
            fd = -1;
        }
    }

    int FFd[2] = {-1, -1};
};

// A copy from `offset` of `from` to the position of `to` whose pages do not
// line up, so that no file system can share its blocks, onto a local disk's
// file system: a network one may copy on its server, given copy_file_range.
bool PipeCopies(int64_t offset, int to)
{
    constexpr off_t kPage = 4096;
    const off_t there = ::lseek(to, 0, SEEK_CUR);
    if (there < 0 || (offset - there) % kPage == 0) return false;
    struct statfs fs;
    if (::fstatfs(to, &fs) != 0) return false;
    // ext4 (and ext2/3), XFS, Btrfs, F2FS, tmpfs.
    for (const unsigned long local : {0xEF53ul, 0x58465342ul, 0x9123683Eul, 0xF2F52010ul, 0x01021994ul})
        if (static_cast<unsigned long>(fs.f_type) == local) return true;
    return false;
}

}  // namespace

std::function<ssize_t(int from, off_t* offset, int to, size_t length)> CopyFileRangeHook;

int64_t CopyRange(int from, int64_t offset, int64_t length, int to)
{
    constexpr size_t kChunk = size_t{1} << 30;
    constexpr size_t kBuffer = 256 * 1024;
    int64_t done = 0;
    off_t at = offset;
    bool piped = !CopyFileRangeHook && PipeCopies(offset, to);
    bool kernel = true;
    std::string buffer;
    while (length < 0 || done < length) {
        const size_t want = length < 0 ? kChunk : std::min<size_t>(kChunk, static_cast<size_t>(length - done));
        ssize_t n;
        if (piped) {
            thread_local tCopyPipe pipe;
            n = pipe.Move(from, &at, to, want);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (KernelCopyUnsupported(errno) || errno == EAGAIN || (done == 0 && KernelCopyRefused(errno)))) {
                piped = false;
                continue;
            }
            if (n < 0) throw EFileError(EFileError::TStep::Write, {}, errno);
        } else if (kernel) {
            n = KernelCopy(from, &at, to, want);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (KernelCopyUnsupported(errno) || (done == 0 && KernelCopyRefused(errno)))) {
                kernel = false;
                continue;
            }
            if (n < 0) throw EFileError(EFileError::TStep::Write, {}, errno);
        } else {
            buffer.resize(kBuffer);
            n = ::pread(from, buffer.data(), std::min(want, kBuffer), at);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) throw EFileError(EFileError::TStep::Read, {}, errno);
            if (n > 0 && !WriteFully(to, buffer.data(), static_cast<size_t>(n)))
                throw EFileError(EFileError::TStep::Write, {}, errno);
            at += n;
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

tOutputFolder::tOutputFolder(const std::string& path, const std::string& forName, bool followLink)
    : FPath(path),
      FFd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW)))
{
    if (FFd.Get() < 0) throw EFileError(EFileError::TStep::Create, forName, errno);
}

namespace {

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A regular file with this one name, as a pending file of ours is.
bool LoneRegularFile(const struct stat& st)
{
    return S_ISREG(st.st_mode) && st.st_nlink == 1;
}

// The file carries our mark for exactly this name.
bool MarkedAs(int fd, const std::string& name)
{
    char value[kTemporaryDigits + 1];
    const ssize_t n = ::fgetxattr(fd, kTemporaryMark, value, sizeof value);
    return n == static_cast<ssize_t>(kTemporaryDigits) &&
           name.compare(name.size() - kTemporaryDigits, kTemporaryDigits, value, kTemporaryDigits) == 0;
}

}  // namespace

int tOutputFolder::RemoveStaleTemporaries() const
{
    const int listFd = ::openat(Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) return 0;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return 0;
    }
    int removed = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        // Only what we can prove we made goes: the exact shape and our mark.
        // A temporary file without the mark (a file system without extended
        // attributes, or a run killed just as it took the mark off) stays,
        // since a user's file could look the same.
        if (!IsTemporaryName(name)) continue;
        struct stat before, st, after;
        // Looked at before it is opened: a device or a FIFO is never opened.
        if (::fstatat(Fd(), name.c_str(), &before, AT_SYMLINK_NOFOLLOW) != 0 || !LoneRegularFile(before)) continue;
        const tFileHandle file(::openat(Fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (file.Get() < 0 || ::fstat(file.Get(), &st) != 0 || !SameFile(st, before) || !LoneRegularFile(st))
            continue;
        if (!MarkedAs(file.Get(), name)) continue;
        // A run that is still writing holds the lock on its temporary files.
        if (::flock(file.Get(), LOCK_EX | LOCK_NB) != 0) continue;
        // Still the file looked at under that name.
        if (::fstatat(Fd(), name.c_str(), &after, AT_SYMLINK_NOFOLLOW) != 0 || !SameFile(after, st)) continue;
        if (::unlinkat(Fd(), name.c_str(), 0) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}

bool tOutputFolder::Sync() const
{
    // Some file systems cannot flush a folder; there is nothing more to do then.
    return ::fsync(Fd()) == 0 || errno == EINVAL || errno == EROFS;
}

namespace {

// /proc/self/fd/N names an open file, so linkat can give a file without a
// name its first one. Without a mounted /proc (a bare chroot or container)
// that fails, and every output takes the named road. Checked once.
bool ProcFdUsable()
{
    constexpr long kProcMagic = 0x9fa0;  // PROC_SUPER_MAGIC
    static const bool usable = [] {
        struct statfs fs;
        return ::statfs("/proc/self/fd", &fs) == 0 && static_cast<long>(fs.f_type) == kProcMagic;
    }();
    return usable;
}

// O_TMPFILE refused: a file system that cannot make a file without a name
// (vfat, some FUSE and network ones), or a kernel older than 3.11.
bool UnnamedRefused(int err)
{
    return err == EOPNOTSUPP || err == EISDIR || err == EINVAL || err == ENOENT || err == ENOSYS;
}

std::string RandomDigits()
{
    thread_local std::mt19937_64 rng{std::random_device{}()};
    char digits[kTemporaryDigits + 1];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(rng()));
    return digits;
}

}  // namespace

tPendingFile::tPendingFile(std::shared_ptr<const tOutputFolder> folder, const std::string& forName,
                           mode_t mode)
    : FFolder(std::move(folder)), FForName(forName)
{
    if (!ForceNamedTemporaries && ProcFdUsable() && !FFolder->FNoUnnamed) {
        FFile = tFileHandle(::openat(FFolder->Fd(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode & 0777));
        if (FFile.Get() < 0 && !UnnamedRefused(errno))
            throw EFileError(EFileError::TStep::Create, FForName, errno);
        if (FFile.Get() < 0) FFolder->FNoUnnamed = true;
    }
    if (FFile.Get() < 0) CreateNamed(mode);
    // A named temporary is locked for as long as it exists here, so another
    // run leaves it alone; a file without a name is found by none, and is
    // locked when it gets one.
    if ((!FTemp.empty() && ::flock(FFile.Get(), LOCK_EX | LOCK_NB) != 0) || !GetFileId(FFile.Get(), FId)) {
        const int err = errno;
        if (!FTemp.empty()) ::unlinkat(FFolder->Fd(), FTemp.c_str(), 0);
        throw EFileError(EFileError::TStep::Create, FForName, err);
    }
}

void tPendingFile::CreateNamed(mode_t mode)
{
    std::string digits;
    for (int attempt = 0; attempt < 100 && FFile.Get() < 0; ++attempt) {
        digits = RandomDigits();
        FTemp = std::string(kTemporaryPrefix) + digits;
        FFile = tFileHandle(::openat(FFolder->Fd(), FTemp.c_str(),
                                     O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode & 0777));
        if (FFile.Get() < 0 && errno != EEXIST) break;
    }
    if (FFile.Get() < 0) {
        const int err = errno;
        FTemp.clear();
        throw EFileError(EFileError::TStep::Create, FForName, err);
    }
    // Where the file system keeps no extended attributes the file stays
    // unmarked: a later run then cannot prove it ours and leaves it.
    FMarked = ::fsetxattr(FFile.Get(), kTemporaryMark, digits.data(), digits.size(), 0) == 0;
}

void tPendingFile::NameTemporary()
{
    if (::flock(FFile.Get(), LOCK_EX | LOCK_NB) != 0)
        throw std::runtime_error(WithReason("Cannot create file " + FForName, errno));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string digits = RandomDigits();
        const std::string name = std::string(kTemporaryPrefix) + digits;
        // Marked before the name appears, so a run killed now leaves a file the next one may remove.
        FMarked = ::fsetxattr(FFile.Get(), kTemporaryMark, digits.data(), digits.size(), 0) == 0;
        if (LinkAs(name)) {
            FTemp = name;
            return;
        }
        if (errno != EEXIST) break;
    }
    throw EFileError(EFileError::TStep::Create, FForName, errno);
}

// Kernels that link an open file by its descriptor only for a caller with
// CAP_DAC_READ_SEARCH refuse everyone else each time: asked once.
std::atomic<bool> LinkByDescriptor{true};

bool tPendingFile::LinkAs(const std::string& name) const
{
    // Either way the link is to the open file itself, and like link() it
    // never replaces a name that exists. By the descriptor spares the walk
    // of a path through /proc.
    if (LinkByDescriptor.load(std::memory_order_relaxed)) {
        if (::linkat(FFile.Get(), "", FFolder->Fd(), name.c_str(), AT_EMPTY_PATH) == 0) return true;
        if (errno == EEXIST) return false;
    }
    char self[40];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", FFile.Get());
    if (::linkat(AT_FDCWD, self, FFolder->Fd(), name.c_str(), AT_SYMLINK_FOLLOW) != 0) return false;
    LinkByDescriptor.store(false, std::memory_order_relaxed);
    return true;
}

void tPendingFile::Unmark()
{
    if (!FMarked) return;
    // Off before the file gets the user's name: an output never carries it,
    // so no later run can take an output for a temporary file.
    if (::fremovexattr(FFile.Get(), kTemporaryMark) != 0 && errno != ENODATA)
        throw EFileError(EFileError::TStep::Create, FForName, errno);
    FMarked = false;
}

tPendingFile::~tPendingFile()
{
    // A file without a name goes by itself when its descriptor closes.
    if (!FPublished && !FTemp.empty()) ::unlinkat(FFolder->Fd(), FTemp.c_str(), 0);
}

void tPendingFile::Write(const std::string& bytes)
{
    if (!WriteFully(Fd(), bytes.data(), bytes.size())) throw EFileError(EFileError::TStep::Write, {}, errno);
}

void tPendingFile::StartWriteBack()
{
    // Only a hint: the flush later waits for whatever is not yet on disk.
    (void)::sync_file_range(Fd(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

void tPendingFile::Flush()
{
    if (::fdatasync(Fd()) != 0) throw EFileError(EFileError::TStep::Write, {}, errno);
}

namespace {

// Moves `from` to `to` inside `dir` unless something holds `to`.
bool MoveNoReplace(int dir, const std::string& from, const std::string& to)
{
    if (::renameat2(dir, from.c_str(), dir, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    // File systems without RENAME_NOREPLACE: link() also refuses an existing name.
    if (::linkat(dir, from.c_str(), dir, to.c_str(), 0) != 0) return false;
    ::unlinkat(dir, from.c_str(), 0);
    return true;
}

}  // namespace

std::string tPendingFile::Publish(const std::string& name, bool replace,
                                  const std::function<std::string(const std::string&)>& next)
{
    const int dir = FFolder->Fd();
    // rename() is the one call that replaces, and it needs a name to move.
    if (replace && FTemp.empty()) NameTemporary();
    Unmark();
    std::string candidate = name;
    // Bounded, so a `next` that keeps offering taken names cannot loop forever.
    for (int attempt = 0;; ++attempt) {
        if (BeforePublishHook) BeforePublishHook(*FFolder, candidate);
        const bool placed = replace          ? ::renameat(dir, FTemp.c_str(), dir, candidate.c_str()) == 0
                            : FTemp.empty() ? LinkAs(candidate)
                                             : MoveNoReplace(dir, FTemp, candidate);
        if (placed) break;
        const int err = errno;
        const bool taken = err == EEXIST;
        std::string other = taken && next && attempt < 10000 ? next(candidate) : std::string();
        if (other.empty())
            throw EFileError(EFileError::TStep::Create,
                             candidate == name ? FForName : FFolder->Path() + "/" + candidate, err);
        candidate = std::move(other);
    }
    FPublished = true;
    if (!FFile.Close()) {
        // A write that failed late: the published file cannot be trusted.
        // It goes only while the name still holds the file we wrote.
        const int err = errno;
        tFileId id;
        struct stat st;
        if (::fstatat(dir, candidate.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
            if (id == FId) ::unlinkat(dir, candidate.c_str(), 0);
        }
        throw EFileError(EFileError::TStep::Write, {}, err);
    }
    return candidate;
}
