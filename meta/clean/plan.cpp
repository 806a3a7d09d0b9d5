#include "meta/clean/plan.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kChunk = 64 * 1024;

int64_t SizeOf(int fd)
{
    struct stat st;
    return ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

}  // namespace

void tPlan::AddBytes(const std::string& bytes)
{
    if (bytes.empty()) return;
    if (!Pieces.empty() && Pieces.back().Offset < 0)
        Pieces.back().Bytes += bytes;
    else
        Pieces.push_back({-1, 0, bytes});
    Length += static_cast<int64_t>(bytes.size());
}

void tPlan::AddRange(int64_t offset, int64_t length)
{
    if (length <= 0) return;
    tPiece* last = Pieces.empty() ? nullptr : &Pieces.back();
    if (last && last->Offset >= 0 && last->Offset + last->Length == offset)
        last->Length += length;
    else
        Pieces.push_back({offset, length, {}});
    Length += length;
}

bool KeepsOffsets(const tPlan& plan)
{
    if (plan.SourceFd < 0 || SizeOf(plan.SourceFd) != plan.Length) return false;
    int64_t at = 0;
    for (const tPlan::tPiece& piece : plan.Pieces) {
        if (piece.Offset >= 0 && piece.Offset != at) return false;
        at += piece.Offset >= 0 ? piece.Length : static_cast<int64_t>(piece.Bytes.size());
    }
    return true;
}

void WritePlan(const tPlan& plan, tPendingFile& out, const std::string* head)
{
    if (KeepsOffsets(plan)) {
        // The whole source in one copy, which a file system that shares
        // extents does block for block without copying; then the new bytes
        // over it, which unshare only the blocks they touch. Until it is
        // named, the file is no one's to read.
        if (CopyRange(plan.SourceFd, 0, plan.Length, out.Fd()) != plan.Length)
            throw EFileError(EFileError::TStep::Read, {}, 0);
        int64_t at = 0;
        for (const tPlan::tPiece& piece : plan.Pieces) {
            if (piece.Offset >= 0) {
                at += piece.Length;
                continue;
            }
            for (size_t done = 0; done < piece.Bytes.size();) {
                const ssize_t n = ::pwrite(out.Fd(), piece.Bytes.data() + done, piece.Bytes.size() - done,
                                           static_cast<off_t>(at + static_cast<int64_t>(done)));
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) throw EFileError(EFileError::TStep::Write, {}, n < 0 ? errno : ENOSPC);
                done += static_cast<size_t>(n);
            }
            at += static_cast<int64_t>(piece.Bytes.size());
        }
        return;
    }
    std::string bytes;
    for (const tPlan::tPiece& piece : plan.Pieces) {
        if (piece.Offset < 0) {
            bytes += piece.Bytes;
        } else if (head && piece.Offset <= static_cast<int64_t>(head->size()) &&
                   piece.Length <= static_cast<int64_t>(head->size()) - piece.Offset) {
            bytes.append(*head, static_cast<size_t>(piece.Offset), static_cast<size_t>(piece.Length));
        } else {
            out.Write(bytes);
            bytes.clear();
            if (CopyRange(plan.SourceFd, piece.Offset, piece.Length, out.Fd()) != piece.Length)
                throw EFileError(EFileError::TStep::Read, {}, 0);
        }
    }
    out.Write(bytes);
}

bool ReadAt(int fd, char* buffer, size_t n, int64_t offset)
{
    while (n > 0) {
        const ssize_t got = ::pread(fd, buffer, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        buffer += got;
        n -= static_cast<size_t>(got);
        offset += got;
    }
    return true;
}

bool RangesEqual(int a, int64_t aOffset, int b, int64_t bOffset, int64_t length)
{
    const size_t buffer = static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(length, 0), kChunk));
    std::string x(buffer, '\0'), y(buffer, '\0');
    while (length > 0) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(length, kChunk));
        if (!ReadAt(a, x.data(), n, aOffset) || !ReadAt(b, y.data(), n, bOffset)) return false;
        if (std::memcmp(x.data(), y.data(), n) != 0) return false;
        aOffset += static_cast<int64_t>(n);
        bOffset += static_cast<int64_t>(n);
        length -= static_cast<int64_t>(n);
    }
    return true;
}

namespace {

// The file open at `fd` against `plan`: its size, every new byte, and each
// copied range whole, or at both ends only (`edge` bytes each) when `edge`
// is not negative.
bool Follows(const tPlan& plan, int fd, int64_t edge)
{
    if (SizeOf(fd) != plan.Length) return false;
    int64_t at = 0;
    std::string bytes;
    for (const tPlan::tPiece& piece : plan.Pieces) {
        if (piece.Offset < 0) {
            bytes.assign(piece.Bytes.size(), '\0');
            if (!ReadAt(fd, bytes.data(), bytes.size(), at) || bytes != piece.Bytes) return false;
            at += static_cast<int64_t>(bytes.size());
            continue;
        }
        if (edge < 0 || piece.Length <= 2 * edge) {
            if (!RangesEqual(plan.SourceFd, piece.Offset, fd, at, piece.Length)) return false;
        } else if (!RangesEqual(plan.SourceFd, piece.Offset, fd, at, edge) ||
                   !RangesEqual(plan.SourceFd, piece.Offset + piece.Length - edge, fd, at + piece.Length - edge, edge)) {
            return false;
        }
        at += piece.Length;
    }
    return true;
}

}  // namespace

bool OutputMatches(const tPlan& plan, int fd)
{
    return Follows(plan, fd, -1);
}

bool OutputFollowsPlan(const tPlan& plan, int fd)
{
    return Follows(plan, fd, kEdgeCheck);
}

bool SameContent(int a, int b)
{
    const int64_t size = SizeOf(a);
    return size >= 0 && size == SizeOf(b) && RangesEqual(a, 0, b, 0, size);
}
