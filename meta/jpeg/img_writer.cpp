// The writing side of TimgData: a freshly assembled header, then the source's
// remaining head segments and everything from SOS on, byte for byte.

#include <algorithm>

#include "meta/exif/image_info.h"
#include "meta/jpeg/file_io.h"
#include "meta/jpeg/img_data.h"
#include "meta/jpeg/jpeg_image.h"
#include "meta/jpeg/markers.h"

namespace {

enum tRefSlot { kApp0Slot, kExifSlot, kIptcSlot, kCommentSlot };

const std::string kSoi("\xFF\xD8", 2);
// APP0 "JFIF", version 1.02, 300 x 300 dots per inch, no thumbnail.
const std::string kJfifTemplate(
    "\xFF\xE0\x00\x10\x4A\x46\x49\x46\x00\x01\x02\x01\x01\x2C\x01\x2C\x00\x00", 18);

void AppendSection(std::string& out, const tSection& s)
{
    out += '\xFF';
    out += static_cast<char>(s.Marker);
    out += s.Bytes;
}

// One segment of the source's head as it stands in the source bytes.
struct tSourceSegment {
    size_t Start = 0;    // first fill byte or FF
    size_t Payload = 0;  // first byte after the length field
    size_t End = 0;
    uint8_t Marker = 0;
};

// Splits the head of `src` (after its first two bytes) into segments, the way
// the scan reads them. Returns the offset from which the rest is copied as it
// stands: the SOS or EOI marker, or the first byte that is not a whole segment.
size_t SplitHead(const std::string& src, std::vector<tSourceSegment>& segs)
{
    size_t pos = std::min<size_t>(2, src.size());
    for (;;) {
        const size_t start = pos;
        while (pos < src.size() && static_cast<uint8_t>(src[pos]) == marker::Fill) ++pos;
        if (pos >= src.size()) return start;
        const auto code = static_cast<uint8_t>(src[pos]);
        if (code == marker::SOS || code == marker::EOI) return start;
        if (src.size() - pos < 3) return start;
        const size_t length =
            static_cast<uint8_t>(src[pos + 1]) * 256u + static_cast<uint8_t>(src[pos + 2]);
        if (length < 2 || length > src.size() - pos - 1) return start;
        segs.push_back({start, pos + 3, pos + 1 + length, code});
        pos += 1 + length;
    }
}

}  // namespace

tSectionRef TimgData::SetSegment(tSectionRef ref, int32_t code, const std::string& payload)
{
    const size_t n = payload.size() + 2;
    // A longer payload would wrap the 16-bit length and corrupt the file.
    Ensure(n <= 0xFFFF, "Segment too large");
    if (ref == kNoRef) {
        AddSection(tSection{});
        ref = SegmentCount - 1;
    }
    tSection& s = SegmentTable[static_cast<size_t>(ref)];
    s.Bytes.clear();
    s.Bytes += static_cast<char>(n >> 8);
    s.Bytes += static_cast<char>(n & 0xFF);
    s.Bytes += payload;
    s.SegLength = static_cast<int32_t>(n);
    s.Marker = code;
    return ref;
}

void TimgData::ReplaceComment(const std::string& text)
{
    CommentRef = SetSegment(CommentRef, marker::COM, text);
    CommentReplaced = true;
}

void TimgData::ReplaceIptcSegment(const std::string& payload)
{
    IptcRef = SetSegment(IptcRef, marker::APP13, payload);
    IptcReplaced = true;
}

void TimgData::WriteHeaderSegments(std::string& out) const
{
    out += kSoi;
    if (const tSection* exif = Section(ExifRef))
        AppendSection(out, *exif);
    else if (const tSection* app0 = Section(App0Ref))
        AppendSection(out, *app0);
    else
        out += kJfifTemplate;
    if (const tSection* iptc = Section(IptcRef)) AppendSection(out, *iptc);
    if (const tSection* com = Section(CommentRef)) AppendSection(out, *com);
}

std::string TimgData::AssembleOutput(const std::string& source) const
{
    std::string out;
    WriteHeaderSegments(out);
    std::vector<tSourceSegment> segs;
    const size_t rest = SplitHead(source, segs);
    for (size_t i = 0; i < segs.size(); ++i) {
        const tSourceSegment& seg = segs[i];
        // Segments the scan referenced are written anew in the header or
        // dropped on purpose. The marker check guards against a source that is
        // no longer the file that was scanned.
        const auto index = static_cast<tSectionRef>(i);
        const bool referenced =
            index < ScannedCount && SegmentTable[i].Marker == seg.Marker &&
            std::find(std::begin(ScannedRefs), std::end(ScannedRefs), index) != std::end(ScannedRefs);
        // What was stripped goes wherever it stands, not just its first copy.
        const bool strippedExif = seg.Marker == marker::APP1 && ExifRef == kNoRef &&
                                  source.compare(seg.Payload, 4, "Exif") == 0;
        const bool oldComment = seg.Marker == marker::COM && CommentReplaced;
        const bool oldIptc = seg.Marker == marker::APP13 && IptcReplaced;
        if (!referenced && !strippedExif && !oldComment && !oldIptc)
            out.append(source, seg.Start, seg.End - seg.Start);
    }
    out.append(source, rest, std::string::npos);
    return out;
}

void TimgData::SaveAs(const std::string& target)
{
    TJPEGImage holder;
    holder.LoadFile(SourceName);
    SaveWithImage(holder, target, false);
}

void TimgData::SaveWithImage(TJPEGImage& holder, const std::string& target, bool sync,
                             bool mayReplace)
{
    if (tSection* exif = Section(ExifRef); sync && ExifDecoder && exif)
        ExifDecoder->SyncDimensions(exif->Bytes, holder.Height(), holder.Width());
    const std::string bytes = AssembleOutput(holder.Bytes());
    // Replace only what this object itself wrote under that name for this
    // source; anything else that appeared there is left alone.
    bool ours = false;
    tFileId id;
    if (GetFileId(target, id))
        ours = std::any_of(Written.begin(), Written.end(), [&](const tWritten& w) {
            return w.Name == target && w.Dev == id.Dev && w.Ino == id.Ino;
        });
    const tFileId placed = WriteNewFile(target, bytes, mayReplace || ours);
    Written.push_back({target, placed.Dev, placed.Ino});
}
