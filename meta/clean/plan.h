#pragma once
// How a cleaned copy is made, for any format: a list of pieces, each either
// bytes made anew or a range of the source that the kernel copies. Writing a
// plan, comparing a file with one and publishing are the same for every format.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sys/types.h>

#include "store/file_io.h"

// Memory for bytes about to be read: it grows without zeroing what the read
// fills anyway, and keeps its room for the next read.
class tReadBuffer {
public:
    // Room for `n` bytes; what it held is gone when it has to grow.
    char* Room(size_t n)
    {
        if (n > FCapacity) {
            FBytes.reset();
            FBytes.reset(new char[n]);
            FCapacity = n;
        }
        return FBytes.get();
    }
    char* Data() const { return FBytes.get(); }

private:
    std::unique_ptr<char[]> FBytes;
    size_t FCapacity = 0;
};

// Bytes of a file read once, kept with their offset: what needs them again
// takes them from memory.
class tFileBytes {
public:
    tFileBytes(int64_t at, size_t size) : FAt(at), FSize(size) { FBuffer.Room(size); }
    char* Data() { return FBuffer.Data(); }
    // [offset, offset + length) when it lies inside them.
    std::optional<std::string_view> View(int64_t offset, int64_t length) const
    {
        if (offset < FAt || length < 0 || offset - FAt + length > static_cast<int64_t>(FSize)) return std::nullopt;
        return std::string_view(FBuffer.Data() + (offset - FAt), static_cast<size_t>(length));
    }
    int64_t At() const { return FAt; }
    int64_t End() const { return FAt + static_cast<int64_t>(FSize); }

private:
    tReadBuffer FBuffer;
    int64_t FAt;
    size_t FSize;
};

struct tPlan {
    struct tPiece {
        int64_t Offset = -1;  // where the range starts in the source; -1: `Bytes`
        int64_t Length = 0;
        std::string Bytes;
    };
    std::vector<tPiece> Pieces;
    int64_t Length = 0;  // the whole output

    int SourceFd = -1;         // the source to copy from; owned by `Source` or by the scanned file
    tFileHandle Source;
    mode_t SourceMode = 0644;  // permission bits for the output
    // For a plan that keeps offsets: ranges written whole rather than copied
    // (offset, length), where new bytes lie thick and the check reads much
    // (a movie's moov box).
    std::vector<std::pair<int64_t, int64_t>> Rewrite;
    // Bytes of the source its scan read (a movie's moov box): writing the
    // plan and checking the copy take them from memory.
    std::shared_ptr<const tFileBytes> Known;

    // Adjacent bytes, and adjacent ranges, are joined into one piece.
    void AddBytes(const std::string& bytes);
    void AddRange(int64_t offset, int64_t length);
};

// True when `plan` is as long as its source and keeps every range at its own
// offset: the source with some bytes replaced.
bool KeepsOffsets(const tPlan& plan);

// Writes `plan` to the end of `out`. `head`, when given, is what was read of
// the source from its start: ranges inside it, and other short ones, go out
// from memory with the new bytes in one write; the kernel copies the rest. A plan that keeps
// offsets is written as one copy of the source with the new bytes over it,
// so that file systems that share extents share every block it keeps.
// Raises "Stream read error" or "Stream write error".
void WritePlan(const tPlan& plan, tPendingFile& out, const std::string* head = nullptr);

// True when the file open at `fd` holds exactly the bytes writing `plan`
// would produce: its size first, then every piece, read in chunks (memory
// stays small whatever the file's size).
bool OutputMatches(const tPlan& plan, int fd);

// The check of a copy just written from `plan`: its size, every new byte,
// and each kernel-copied range at both ends (up to kEdgeCheck bytes each),
// which catches a range copied from the wrong place or cut short without
// reading the picture data back. Of a plan that keeps offsets, written as
// one copy of its source, only the pages written over the copy are read.
// `kept`, when given, are bytes of that file read already; the check of a
// plan that keeps offsets takes them from there.
bool OutputFollowsPlan(const tPlan& plan, int fd, const tFileBytes* kept = nullptr);
inline constexpr int64_t kEdgeCheck = 4096;

// True when the files open at `a` and `b` hold the same bytes.
bool SameContent(int a, int b);
// True when `length` bytes at `aOffset` of `a` equal those at `bOffset` of `b`.
bool RangesEqual(int a, int64_t aOffset, int b, int64_t bOffset, int64_t length);
// Reads exactly `n` bytes at `offset`; false on an error or an early end.
bool ReadAt(int fd, char* buffer, size_t n, int64_t offset);
