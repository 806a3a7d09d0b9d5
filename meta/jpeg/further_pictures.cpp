#include "meta/jpeg/further_pictures.h"

#include <algorithm>

#include "meta/exif/end_ind.h"
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

// The cleaned copy of a further picture at [start, end) of the source: its
// head filtered as the first picture's is, its image data as it stands. A
// picture whose head cannot be read is kept as it stands.
tOutputPlan PlanPicture(int fd, int64_t start, int64_t end, const tCleaning& cleaning)
{
    tOutputPlan sub;
    try {
        tByteSource in(fd, start);
        uint8_t b0 = 0, b1 = 0;
        Ensure(in.ReadByte(b0) && in.ReadByte(b1) && b0 == 0xFF && b1 == marker::SOI, "no SOI");
        sub.AddBytes(kSoi);
        tHeadReader head(in);
        for (;;) {
            Ensure(head.Next() == tHeadRead::Whole && head.Segment().End <= end, "head");
            const tSection seg = PlaceOf(head);
            if (seg.Marker == marker::SOS || seg.Marker == marker::EOI) {
                sub.AddRange(seg.Start, end - seg.Start);
                return sub;
            }
            if (cleaning.Other && seg.Kind == tBlockKind::Xmp)
                sub.AddBytes(GainMapSegment(head.ReadBody(), {}));
            else if (!cleaning.Drops(seg))
                sub.AddRange(seg.Start, seg.End - seg.Start);
        }
    } catch (const std::exception&) {
        tOutputPlan whole;
        whole.AddRange(start, end - start);
        return whole;
    }
}

}  // namespace

bool tCleaning::Drops(const tSection& seg) const
{
    return (Exif && seg.Kind == tBlockKind::Exif) || (Comment && seg.Marker == marker::COM) ||
           (Iptc && seg.Marker == marker::APP13) || (Other && IsOtherMetadata(seg.Kind));
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
    for (const tMpfEntry& entry : ReadMpfEntries(bytes, big)) {
        const int64_t start = mpHeader + entry.Offset;
        if (entry.Offset == 0 || start < imageEnd || entry.Size > size - start) continue;
        tPicture picture;
        picture.Entry = entry;
        picture.Start = start;
        picture.End = start + entry.Size;
        pictures.push_back(std::move(picture));
    }
    std::sort(pictures.begin(), pictures.end(), [](const tPicture& a, const tPicture& b) { return a.Start < b.Start; });
    int64_t cursor = imageEnd;
    std::erase_if(pictures, [&](const tPicture& p) {
        if (p.Start < cursor) return true;
        cursor = p.End;
        return false;
    });
    for (tPicture& p : pictures) p.Plan = PlanPicture(fd, p.Start, p.End, cleaning);
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
