#pragma once
// Reads the head of a JPEG stream segment by segment: marker, length and the
// first payload bytes. A body is read only when asked for; otherwise it is
// passed over, so the head costs memory only for what is kept.

#include <cstdint>
#include <string>

#include "meta/jpeg/byte_source.h"
#include "meta/jpeg/section.h"

// One segment as it stands in the stream.
struct tHeadSegment {
    int64_t Start = 0;    // the first fill byte before the marker, or its FF
    int64_t Stray = 0;    // bytes before Start that were not a marker, passed over
    int64_t End = 0;      // just past the segment; the end of the data for a cut one
    uint8_t Marker = 0;
    uint16_t Length = 0;  // the length field; 0 for a marker that has none
};

enum class tHeadRead {
    Whole,  // a whole segment
    Cut,    // a segment whose body runs past the end of the data
    End,    // the data ended before a segment started
};

class tHeadReader {
public:
    // Enough to tell apart the identifiers of APPn blocks (the longest, that of
    // extended XMP, has 35 bytes).
    static constexpr size_t kPrefixSize = 64;
    // No camera writes more than a few runs of stray bytes; a head of many is
    // hostile (each run costs a table entry that cannot join another), and
    // is taken as damaged.
    static constexpr int kMaxStrayRuns = 64;

    // `in` stands right after SOI.
    explicit tHeadReader(tByteSource& in) : FIn(in) {}

    // The next segment. Fill bytes before a marker may be any in number (ITU
    // T.81, B.1.1.2). A marker starts with FF: other bytes where one should
    // start, and FF 00, are passed over to the next marker, as decoders do,
    // so a block behind them is still seen (and the bytes are no segment, so
    // no output copies them). A length below 2 cannot hold the length field
    // itself and raises "Invalid JPEG segment length".
    tHeadRead Next();
    const tHeadSegment& Segment() const { return FSeg; }
    // The first payload bytes of the current segment (up to kPrefixSize).
    const std::string& Prefix() const { return FPrefix; }
    // The current segment from its length field on; for a cut one, what there is.
    std::string ReadBody();
    // Where the part that is copied as it stands starts: the last segment or
    // marker that Next() began to read.
    int64_t RestStart() const { return FSeg.Start; }
    // Bytes passed over so far because they were not a marker.
    int64_t StrayBytes() const { return FStray; }

private:
    tByteSource& FIn;
    tHeadSegment FSeg;
    std::string FPrefix;
    uint64_t FUnread = 0;  // body bytes of the current segment not yet read
    int64_t FStray = 0;
};

// What a block with this marker and these first payload bytes is.
tBlockKind KindOf(uint8_t marker, const std::string& prefix);

// A table entry for the current segment, known by its place (nothing held).
tSection PlaceOf(const tHeadReader& head);

// Just past the EOI that ends the picture whose first scan header starts at
// `sos`: the entropy-coded data is passed over (FF 00 and RSTn belong to it),
// and so are the segments between the scans of a progressive picture. The
// end of the data when no EOI comes.
int64_t FindImageEnd(int fd, int64_t sos);
