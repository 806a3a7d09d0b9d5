#include "meta/jpeg/further_pictures.h"

#include <algorithm>

#include "meta/exif/end_ind.h"
#include "meta/iptc/iptc_data.h"
#include "meta/jpeg/byte_source.h"
#include "meta/jpeg/head_reader.h"
#include "meta/jpeg/markers.h"
#include "meta/jpeg/xmp_gain_map.h"

namespace {

const std::string kSoi("\xFF\xD8", 2);

// An XMP APP1 segment around a packet.
std::string XmpSegment(const std::string& packet)
{
    const size_t n = 2 + kXmpIdentifier.size() + packet.size();
    Ensure(n <= 0xFFFF, "Segment too large");
    std::string out("\xFF\xE1", 2);
    out += static_cast<char>(n >> 8);
    out += static_cast<char>(n & 0xFF);
    out += kXmpIdentifier;
    out += packet;
    return out;
}

// A comment with text, IPTC datasets, XMP beyond the gain-map properties:
// what `cleaning` removes from this segment and that is metadata (an empty
// comment or an APP13 without datasets is not, so a cleaned file stays clean).
bool RemovesMetadata(const tCleaning& cleaning, const tSection& seg, tHeadReader& head, std::string& body)
{
    if (cleaning.Exif && seg.Kind == tBlockKind::Exif) return true;
    if (cleaning.Other && tCleaning::IsOtherMetadata(seg.Kind)) {
        if (seg.Kind != tBlockKind::Xmp) return true;
        body = head.ReadBody();
        const std::string kept = GainMapSegment(body, {});
        return kept.empty() || kept.substr(2) != body;
    }
    if (cleaning.Comment && seg.Marker == marker::COM) return seg.SegLength > 2;
    if (cleaning.Iptc && seg.Marker == marker::APP13) {
        TIPTCdata iptc(nullptr);
        iptc.ParseSegment(body = head.ReadBody());
        return iptc.HasData();
    }
    return false;
}

// The cleaned copy of a further picture at [start, end) of the source: its
// head read and filtered as the first picture's is, its image data as it
// stands. A head that cannot be read to the image data raises.
void PlanPicture(int fd, tPicture& picture, const tCleaning& cleaning)
{
    const std::string damaged = "Damaged JPEG header in picture " + std::to_string(picture.Number);
    tOutputPlan& sub = picture.Plan;
    tByteSource in(fd, picture.Start);
    uint8_t b0 = 0, b1 = 0;
    Ensure(in.ReadByte(b0) && in.ReadByte(b1) && b0 == 0xFF && b1 == marker::SOI, damaged);
    sub.AddBytes(kSoi);
    tHeadReader head(in);
    int strayRuns = 0;
    for (;;) {
        tHeadRead got;
        try {
            got = head.Next();
        } catch (const EMetaError&) {
            got = tHeadRead::Cut;
        }
        Ensure(got == tHeadRead::Whole && head.Segment().End <= picture.End, damaged);
        const tSection seg = PlaceOf(head);
        if (head.Segment().Stray > 0) {
            Ensure(++strayRuns <= tHeadReader::kMaxStrayRuns, damaged);
            picture.HoldsRemoved |= cleaning.Other;
        }
        if (seg.Marker == marker::SOS || seg.Marker == marker::EOI) {
            // What follows the picture's EOI inside its range is a trailer of its own.
            const int64_t stop = cleaning.Other ? std::min(picture.End, FindImageEnd(fd, seg.Start)) : picture.End;
            picture.HoldsRemoved |= stop < picture.End;
            sub.AddRange(seg.Start, stop - seg.Start);
            return;
        }
        std::string body;
        picture.HoldsRemoved |= RemovesMetadata(cleaning, seg, head, body);
        if (cleaning.Other && seg.Kind == tBlockKind::Xmp)
            sub.AddBytes(GainMapSegment(body.empty() ? head.ReadBody() : body, {}));
        else if (!cleaning.Drops(seg))
            sub.AddRange(seg.Start, seg.End - seg.Start);
    }
}

}  // namespace

bool tCleaning::Drops(const tSection& seg) const
{
    tPart part;
    part.Kind = PartKindOf(seg);
    return FateOf(part, *this) != tFate::Keep;
}

tPartKind PartKindOf(const tSection& seg)
{
    if (seg.Marker == marker::COM) return tPartKind::Comment;
    switch (seg.Kind) {
    case tBlockKind::Exif: return tPartKind::Exif;
    case tBlockKind::Photoshop: return tPartKind::Iptc;
    case tBlockKind::Xmp:
    case tBlockKind::ExtendedXmp:
    case tBlockKind::OtherApp: return tPartKind::Other;
    case tBlockKind::Jfif:
    case tBlockKind::Icc:
    case tBlockKind::Mpf:
    case tBlockKind::GainMap:
    case tBlockKind::Adobe: return tPartKind::Display;
    case tBlockKind::Other: break;
    }
    return tPartKind::Picture;
}

bool tCleaning::IsOtherMetadata(tBlockKind kind)
{
    return kind == tBlockKind::Xmp || kind == tBlockKind::ExtendedXmp || kind == tBlockKind::OtherApp;
}

std::string GainMapSegment(const std::string& bytes, const std::vector<uint32_t>& itemLengths)
{
    const size_t packetAt = 2 + kXmpIdentifier.size();
    if (bytes.size() <= packetAt) return {};
    const std::string kept = GainMapOnlyPacket(std::string_view(bytes).substr(packetAt), itemLengths);
    return kept.empty() ? std::string() : XmpSegment(kept);
}

std::vector<tPicture> FurtherPictures(const tSection& mpf, int fd, int64_t imageEnd, int64_t size,
                                      const tCleaning& cleaning)
{
    std::vector<tPicture> pictures;
    std::string bytes = mpf.Bytes;
    bool big = false;
    const int64_t mpHeader = mpf.End - mpf.SegLength + kMpfHeaderAt;
    size_t number = 1;
    for (const tMpfEntry& entry : ReadMpfEntries(bytes, big)) {
        ++number;
        const int64_t start = mpHeader + entry.Offset;
        // Offset 0 is the first picture itself (CIPA DC-007, 5.2.3.3.3).
        if (entry.Offset == 0) continue;
        // Past the end there is nothing to clean (an editor that dropped the
        // pictures may have kept the index); a picture the end cuts is damaged.
        if (start >= size) continue;
        Ensure(entry.Size <= size - start, "Damaged JPEG header in picture " + std::to_string(number));
        if (start < imageEnd) continue;
        tPicture picture;
        picture.Number = number;
        picture.Entry = entry;
        picture.Start = start;
        picture.End = start + entry.Size;
        pictures.push_back(std::move(picture));
    }
    std::stable_sort(pictures.begin(), pictures.end(),
                     [](const tPicture& a, const tPicture& b) { return a.Start < b.Start; });
    // A picture that starts inside another is part of it, and is cleaned with it.
    int64_t cursor = imageEnd;
    std::erase_if(pictures, [&](const tPicture& p) {
        if (p.Start < cursor) return true;
        cursor = p.End;
        return false;
    });
    for (tPicture& p : pictures) PlanPicture(fd, p, cleaning);
    return pictures;
}

void RewriteMpfIndex(std::string& index, int64_t firstSize, const std::vector<tPicture>& pictures)
{
    bool big = false;
    for (tMpfEntry entry : ReadMpfEntries(index, big))
        if (entry.Offset == 0) {
            entry.Size = static_cast<uint32_t>(firstSize);
            WriteMpfEntry(index, entry, big);
        }
    for (const tPicture& p : pictures) WriteMpfEntry(index, p.Entry, big);
}
