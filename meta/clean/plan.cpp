#include "meta/clean/plan.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int64_t kChunk = 64 * 1024;

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
        if (offset < FAt || offset - FAt + static_cast<int64_t>(n) > static_cast<int64_t>(FSize)) {
            const size_t want = FWindow;
            FAt = offset;
            char* const bytes = FBytes.Room(want);
            size_t got = 0;
            while (got < want) {
                const ssize_t r = ::pread(FFd, bytes + got, want - got, static_cast<off_t>(offset) + got);
                if (r < 0 && errno == EINTR) continue;
                if (r < 0) {
                    FSize = 0;
                    return false;
                }
                if (r == 0) break;
                got += static_cast<size_t>(r);
            }
            FSize = got;
            if (n > got) return false;
        }
        std::memcpy(buffer, FBytes.Data() + (offset - FAt), n);
        return true;
    }

private:
    int FFd;
    size_t FWindow;
    int64_t FAt = 0;
    tReadBuffer FBytes;
    size_t FSize = 0;  // of the bytes in FBytes
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

// The pages of a plan that keeps offsets written over the copy of its
// source, as (begin, end), in order and apart: each holding new bytes, the
// plan's Rewrite ranges, the first page and the last part page. Whole pages:
// a write of part of a page the copy shares with the source would first read
// that page from the disk.
std::vector<std::pair<int64_t, int64_t>> WrittenPages(const tPlan& plan)
{
    std::vector<std::pair<int64_t, int64_t>> pages;
    int64_t at = 0;
    for (const tPlan::tPiece& piece : plan.Pieces) {
        if (piece.Offset < 0) pages.emplace_back(at, at + static_cast<int64_t>(piece.Bytes.size()));
        at += piece.Offset >= 0 ? piece.Length : static_cast<int64_t>(piece.Bytes.size());
    }
    for (const auto& [offset, length] : plan.Rewrite) pages.emplace_back(offset, offset + length);
    pages.emplace_back(0, 1);
    if (plan.Length % kPage != 0) pages.emplace_back(plan.Length - 1, plan.Length);
    for (auto& [begin, end] : pages) {
        begin = std::clamp<int64_t>(begin, 0, plan.Length) / kPage * kPage;
        end = std::min(plan.Length, (std::max(begin, end) + kPage - 1) / kPage * kPage);
    }
    std::sort(pages.begin(), pages.end());
    std::vector<std::pair<int64_t, int64_t>> joined;
    for (const auto& page : pages) {
        if (page.first >= page.second) continue;
        if (!joined.empty() && page.first <= joined.back().second)
            joined.back().second = std::max(joined.back().second, page.second);
        else
            joined.push_back(page);
    }
    return joined;
}

// The bytes [from, to) of the file open at `fd` into `buffer`: from `known`
// where they lie in it, else read.
bool ReadKnown(int fd, const tFileBytes* known, int64_t from, int64_t to, char* buffer)
{
    const int64_t a = known ? std::clamp(known->At(), from, to) : to;
    const int64_t b = known ? std::clamp(known->End(), from, to) : to;
    if (a < b) std::memcpy(buffer + (a - from), known->View(a, b - a)->data(), static_cast<size_t>(b - a));
    return (a == from || ReadAt(fd, buffer, static_cast<size_t>(a - from), from)) &&
           (b == to || ReadAt(fd, buffer + (b - from), static_cast<size_t>(to - b), b));
}

// The bytes of a plan that keeps offsets in its written pages, composed
// run by run: the source's bytes with the new ones over them.
class tComposer {
public:
    explicit tComposer(const tPlan& plan) : FPlan(plan)
    {
        int64_t at = 0;
        for (const tPlan::tPiece& piece : plan.Pieces) {
            if (piece.Offset < 0) FNews.push_back({at, &piece.Bytes});
            at += piece.Offset >= 0 ? piece.Length : static_cast<int64_t>(piece.Bytes.size());
        }
    }

    // The output's bytes [from, to) into `buffer`; runs are asked for in
    // order. False when the source cannot be read.
    bool Compose(int64_t from, int64_t to, char* buffer)
    {
        while (FFirst < FNews.size() && FNews[FFirst].End() <= from) ++FFirst;
        int64_t covered = 0;
        for (size_t i = FFirst; i < FNews.size() && FNews[i].At < to; ++i)
            covered += std::min(to, FNews[i].End()) - std::max(from, FNews[i].At);
        if (covered < to - from && !ReadKnown(FPlan.SourceFd, FPlan.Known.get(), from, to, buffer)) return false;
        for (size_t i = FFirst; i < FNews.size() && FNews[i].At < to; ++i) {
            const int64_t a = std::max(from, FNews[i].At), b = std::min(to, FNews[i].End());
            std::memcpy(buffer + (a - from), FNews[i].Bytes->data() + (a - FNews[i].At), static_cast<size_t>(b - a));
        }
        return true;
    }

private:
    struct tNew {
        int64_t At;
        const std::string* Bytes;
        int64_t End() const { return At + static_cast<int64_t>(Bytes->size()); }
    };
    const tPlan& FPlan;
    std::vector<tNew> FNews;
    size_t FFirst = 0;  // the first new piece that may reach into the next run
};

// Calls run(from, to) for the written pages of `plan` in pieces of at most
// `piece` bytes, until one returns false; returns false then.
template <class tRun>
bool ForWrittenRuns(const std::vector<std::pair<int64_t, int64_t>>& pages, int64_t piece, tRun&& run)
{
    for (const auto& [begin, end] : pages)
        for (int64_t from = begin; from < end; from += piece)
            if (!run(from, std::min(end, from + piece))) return false;
    return true;
}

size_t LongestRun(const std::vector<std::pair<int64_t, int64_t>>& pages, int64_t piece)
{
    int64_t most = 0;
    for (const auto& [begin, end] : pages) most = std::max(most, std::min(end - begin, piece));
    return static_cast<size_t>(most);
}

// The written pages of a plan that keeps offsets over a copy of the source's
// whole pages open at `fd`. The source's pages are in memory since its
// scan; the copy's shared ones are not, and the check reads only these.
void WriteOver(const tPlan& plan, int fd)
{
    const std::vector<std::pair<int64_t, int64_t>> pages = WrittenPages(plan);
    tComposer composer(plan);
    // Not zeroed first: every byte is read or new.
    tReadBuffer buffer;
    char* const bytes = buffer.Room(LongestRun(pages, kMaxRewrite));
    ForWrittenRuns(pages, kMaxRewrite, [&](int64_t from, int64_t to) {
        if (!composer.Compose(from, to, bytes)) throw EFileError(EFileError::TStep::Read, {}, 0);
        WriteFullyAt(fd, bytes, static_cast<size_t>(to - from), from);
        return true;
    });
}

// The check of a plan that keeps offsets, written as one copy of its source
// with its written pages over it: the output's size, and those pages. The
// rest shares the source's blocks and is not in memory.
bool WrittenPagesMatch(const tPlan& plan, int fd, const tFileBytes* kept)
{
    if (SizeOf(fd) != plan.Length) return false;
    const std::vector<std::pair<int64_t, int64_t>> pages = WrittenPages(plan);
    tComposer composer(plan);
    tReadBuffer expected, found;
    // A piece at a time: little memory, and what is read stays in the cache.
    const size_t most = LongestRun(pages, kChunk);
    char* const x = expected.Room(most);
    char* const y = found.Room(most);
    return ForWrittenRuns(pages, kChunk, [&](int64_t from, int64_t to) {
        const auto n = static_cast<size_t>(to - from);
        return composer.Compose(from, to, x) && ReadKnown(fd, kept, from, to, y) && std::memcmp(x, y, n) == 0;
    });
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
    tWindow source(plan.SourceFd, kSourceWindow), output(fd, static_cast<size_t>(kEdgeCheck));
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

bool OutputFollowsPlan(const tPlan& plan, int fd, const tFileBytes* kept)
{
    return KeepsOffsets(plan) ? WrittenPagesMatch(plan, fd, kept) : Follows(plan, fd, kEdgeCheck);
}

bool SameContent(int a, int b)
{
    const int64_t size = SizeOf(a);
    return size >= 0 && size == SizeOf(b) && RangesEqual(a, 0, b, 0, size);
}
