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

// Reads of one file near each other cost one pread: the `window` bytes from a
// read on are kept, and a read outside them reads anew from there.
class tWindow {
public:
    tWindow(int fd, size_t window) : FFd(fd), FWindow(window) {}

    // As ReadAt.
    bool Read(char* buffer, size_t n, int64_t offset)
    {
        if (n >= FWindow) return ReadAt(FFd, buffer, n, offset);
        if (offset < FAt || offset - FAt + static_cast<int64_t>(n) > static_cast<int64_t>(FBytes.size())) {
            FAt = offset;
            FBytes.resize(FWindow);
            size_t got = 0;
            while (got < FWindow) {
                const ssize_t r = ::pread(FFd, FBytes.data() + got, FWindow - got, static_cast<off_t>(offset) + got);
                if (r < 0 && errno == EINTR) continue;
                if (r < 0) return false;
                if (r == 0) break;
                got += static_cast<size_t>(r);
            }
            FBytes.resize(got);
            if (n > got) return false;
        }
        std::memcpy(buffer, FBytes.data() + (offset - FAt), n);
        return true;
    }

private:
    int FFd;
    size_t FWindow;
    int64_t FAt = 0;
    std::string FBytes;
};

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

namespace {

constexpr int64_t kPage = 4096;
// Reads of the source near each other are one read of this much.
constexpr size_t kSourceWindow = 16 * 1024;
// New bytes close to each other go out as one write.
constexpr int64_t kJoinGap = 64 * 1024;
constexpr int64_t kMaxRewrite = 1 << 20;
// Ranges up to this long (kept chunks, table entries) are read, not copied.
constexpr int64_t kSmallRange = 16 * 1024;

void WriteFullyAt(int fd, const char* p, size_t n, int64_t at)
{
    while (n > 0) {
        const ssize_t w = ::pwrite(fd, p, n, static_cast<off_t>(at));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) throw EFileError(EFileError::TStep::Write, {}, w < 0 ? errno : ENOSPC);
        p += w;
        n -= static_cast<size_t>(w);
        at += w;
    }
}

// The new bytes of a plan that keeps offsets, over a copy of the source's
// whole pages open at `fd`, and the source's last part page. They go out as
// whole pages, the rest of each page read from the source: a write of part
// of a page the copy shares with the source would first read that page from
// the disk. So do the pages the check reads back around each new piece
// (kEdgeCheck bytes) and the file's first page: the source's are in memory
// since its scan, the copy's shared ones are not. The picture data stays
// shared but for the pages it shares with new bytes.
void WriteOver(const tPlan& plan, int fd)
{
    struct tNew {
        int64_t At;
        const std::string* Bytes;
        int64_t End() const { return At + static_cast<int64_t>(Bytes->size()); }
    };
    std::vector<tNew> news;
    int64_t at = 0;
    for (const tPlan::tPiece& piece : plan.Pieces) {
        if (piece.Offset < 0) news.push_back({at, &piece.Bytes});
        at += piece.Offset >= 0 ? piece.Length : static_cast<int64_t>(piece.Bytes.size());
    }
    // Whole pages around each piece and at both ends, joined where close.
    std::vector<std::pair<int64_t, int64_t>> runs;
    const auto add = [&](int64_t begin, int64_t end) {
        begin = std::max<int64_t>(0, begin) / kPage * kPage;
        end = std::min(plan.Length, (end + kPage - 1) / kPage * kPage);
        if (!runs.empty() && begin - runs.back().second <= kJoinGap)
            runs.back().second = std::max(runs.back().second, end);
        else
            runs.emplace_back(begin, end);
    };
    add(0, kPage);
    for (const tNew& n : news) add(n.At - kEdgeCheck, n.End() + kEdgeCheck);
    if (plan.Length % kPage != 0) add(plan.Length - 1, plan.Length);
    std::string buffer;
    size_t first = 0;  // the first new piece that may reach into the window
    for (const auto& [begin, end] : runs) {
        for (int64_t from = begin; from < end; from += kMaxRewrite) {
            const int64_t to = std::min(end, from + kMaxRewrite);
            while (first < news.size() && news[first].End() <= from) ++first;
            int64_t covered = 0;
            for (size_t i = first; i < news.size() && news[i].At < to; ++i)
                covered += std::min(to, news[i].End()) - std::max(from, news[i].At);
            buffer.resize(static_cast<size_t>(to - from));
            if (covered < to - from && !ReadAt(plan.SourceFd, buffer.data(), buffer.size(), from))
                throw EFileError(EFileError::TStep::Read, {}, 0);
            for (size_t i = first; i < news.size() && news[i].At < to; ++i) {
                const int64_t a = std::max(from, news[i].At), b = std::min(to, news[i].End());
                std::memcpy(buffer.data() + (a - from), news[i].Bytes->data() + (a - news[i].At),
                            static_cast<size_t>(b - a));
            }
            WriteFullyAt(fd, buffer.data(), buffer.size(), from);
        }
    }
}

}  // namespace

void WritePlan(const tPlan& plan, tPendingFile& out, const std::string* head)
{
    if (KeepsOffsets(plan)) {
        // The source's whole pages in one copy, which a file system that
        // shares extents does block for block without copying; then the new
        // bytes over it, which unshare only the blocks they touch, and the
        // last part page, which a write past the end need not read first.
        // Until it is named, the file is no one's to read.
        const int64_t whole = plan.Length / kPage * kPage;
        if (CopyRange(plan.SourceFd, 0, whole, out.Fd()) != whole) throw EFileError(EFileError::TStep::Read, {}, 0);
        WriteOver(plan, out.Fd());
        return;
    }
    std::string bytes;
    tWindow source(plan.SourceFd, kSourceWindow);
    for (const tPlan::tPiece& piece : plan.Pieces) {
        if (piece.Offset < 0) {
            bytes += piece.Bytes;
        } else if (head && piece.Offset <= static_cast<int64_t>(head->size()) &&
                   piece.Length <= static_cast<int64_t>(head->size()) - piece.Offset) {
            bytes.append(*head, static_cast<size_t>(piece.Offset), static_cast<size_t>(piece.Length));
        } else if (piece.Length <= kSmallRange) {
            // Read, to go out with the bytes around it: one read costs less
            // than a kernel copy and a write of its own.
            const size_t at = bytes.size();
            bytes.resize(at + static_cast<size_t>(piece.Length));
            if (!source.Read(bytes.data() + at, static_cast<size_t>(piece.Length), piece.Offset))
                throw EFileError(EFileError::TStep::Read, {}, 0);
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
    // The output's reads stay within the pages written around new bytes: a
    // block it shares with the source may not be in memory.
    tWindow source(plan.SourceFd, kSourceWindow), output(fd, kEdgeCheck);
    std::string x, y;
    auto equal = [&](int64_t from, int64_t to, int64_t length) {
        while (length > 0) {
            const size_t n = static_cast<size_t>(std::min<int64_t>(length, kChunk));
            x.resize(n);
            y.resize(n);
            if (!source.Read(x.data(), n, from) || !output.Read(y.data(), n, to) || x != y) return false;
            from += static_cast<int64_t>(n);
            to += static_cast<int64_t>(n);
            length -= static_cast<int64_t>(n);
        }
        return true;
    };
    int64_t at = 0;
    for (const tPlan::tPiece& piece : plan.Pieces) {
        if (piece.Offset < 0) {
            y.resize(piece.Bytes.size());
            if (!output.Read(y.data(), y.size(), at) || y != piece.Bytes) return false;
            at += static_cast<int64_t>(y.size());
            continue;
        }
        if (edge < 0 || piece.Length <= 2 * edge) {
            if (!equal(piece.Offset, at, piece.Length)) return false;
        } else if (!equal(piece.Offset, at, edge) ||
                   !equal(piece.Offset + piece.Length - edge, at + piece.Length - edge, edge)) {
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
