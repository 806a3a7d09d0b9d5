// The writing side of TimgData: one plan per output (a freshly assembled
// header, the source's remaining head segments, everything from SOS on), one
// write that lets the kernel copy the source's bytes, a check of what was
// written, and one publish.

#include <algorithm>
#include <sys/stat.h>

#include "meta/exif/image_info.h"
#include "meta/exif/tiff_block.h"
#include "meta/jpeg/byte_source.h"
#include "meta/jpeg/head_reader.h"
#include "meta/jpeg/img_data.h"
#include "meta/jpeg/jpeg_image.h"
#include "meta/jpeg/further_pictures.h"
#include "meta/jpeg/markers.h"
#include "meta/jpeg/mpf.h"
#include "meta/jpeg/xmp_gain_map.h"

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

// The head of another file than the one scanned, by place only: where the
// rest starts, and each segment's range (the first two bytes are not looked at).
std::vector<tSection> ReadHeadPlaces(int fd, int64_t& restStart)
{
    tByteSource in(fd, 2);
    tHeadReader head(in);
    std::vector<tSection> table;
    for (;;) {
        const tHeadRead got = head.Next();
        if (got != tHeadRead::Whole) break;
        const tHeadSegment& seg = head.Segment();
        if (seg.Marker == marker::SOS || seg.Marker == marker::EOI) break;
        table.push_back(PlaceOf(head));
    }
    restStart = std::max<int64_t>(head.RestStart(), std::min<int64_t>(2, in.Size()));
    return table;
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
    const tSection* exif = Section(ExifRef);
    // An APP1 that stands in for the EXIF block but is XMP or a maker's block
    // goes with the other metadata.
    if (exif && StripOther && exif->Kind != tBlockKind::Exif) exif = nullptr;
    if (exif)
        AppendSection(out, *exif);
    else if (const tSection* app0 = Section(App0Ref))
        AppendSection(out, *app0);
    else
        out += kJfifTemplate;
    if (!exif && KeepOrientation && Orientation() > 1) out += OrientationBlock(Orientation());
    if (const tSection* iptc = Section(IptcRef)) AppendSection(out, *iptc);
    if (const tSection* com = Section(CommentRef)) AppendSection(out, *com);
}


int32_t TimgData::Orientation() const
{
    if (!ExifDecoder) return 0;
    const int32_t value = ExifDecoder->IntegerByName("Orientation");
    return value >= 1 && value <= 8 ? value : 0;
}

std::string TimgData::OrientationBlock(int32_t orientation)
{
    // The APP1 framing around the TIFF block: length, then the Exif header.
    const std::string tiff = OrientationTiff(orientation);
    std::string block("\xFF\xE1\x00\x00" "Exif\0\0", 10);
    block[2] = static_cast<char>((tiff.size() + 8) >> 8);
    block[3] = static_cast<char>((tiff.size() + 8) & 0xFF);
    return block + tiff;
}

bool TimgData::ExifIsOrientationOnly() const
{
    const tSection* exif = Section(ExifRef);
    const int32_t orientation = Orientation();
    return exif && orientation > 0 && exif->Bytes == OrientationBlock(orientation).substr(2);
}

bool TimgData::HasOtherMetadata() const
{
    for (int32_t i = 0; i < SegmentCount; ++i) {
        const tSection& s = SegmentTable[static_cast<size_t>(i)];
        if (!s.FromSource() || !tCleaning::IsOtherMetadata(s.Kind)) continue;
        // An XMP packet that holds the gain-map properties alone is what a
        // cleaned HDR file keeps.
        if (i == XmpRef) {
            const std::string kept = GainMapSegment(s.Bytes, {});
            if (!kept.empty() && kept.substr(2) == s.Bytes) continue;
        }
        return true;
    }
    // Bytes that were no segment could hold anything.
    return StrayBytes > 0 || HasTrailer();
}

int64_t TimgData::ImageEnd() const
{
    if (FImageEnd < 0) FImageEnd = FindImageEnd(FSource.Get(), FRestStart);
    return FImageEnd;
}

bool TimgData::FurtherPicturesHold(const tCleaning& choices)
{
    const tSection* mpf = Section(MpfRef);
    struct stat st;
    if (!mpf || FSource.Get() < 0 || Damaged || ::fstat(FSource.Get(), &st) != 0) return false;
    const int64_t imageEnd = std::min<int64_t>(st.st_size, std::max(FRestStart, ImageEnd()));
    for (const tPicture& p : ::FurtherPictures(*mpf, FSource.Get(), imageEnd, st.st_size, choices))
        if (p.HoldsRemoved) return true;
    return false;
}

bool TimgData::HasTrailer() const
{
    const int fd = FSource.Get();
    struct stat st;
    if (fd < 0 || Damaged || ::fstat(fd, &st) != 0) return false;
    int64_t covered = ImageEnd();
    if (const tSection* mpf = Section(MpfRef)) {
        bool big = false;
        std::vector<std::pair<int64_t, int64_t>> pictures;
        const int64_t mpHeader = mpf->End - mpf->SegLength + kMpfHeaderAt;
        for (const tMpfEntry& e : ReadMpfEntries(mpf->Bytes, big))
            if (e.Offset != 0) pictures.push_back({mpHeader + e.Offset, mpHeader + e.Offset + e.Size});
        std::sort(pictures.begin(), pictures.end());
        for (const auto& [start, end] : pictures)
            if (start == covered) covered = end;
    }
    return covered < st.st_size;
}

bool TimgData::IsScannedFile(const std::string& name) const
{
    struct stat st;
    return FSource.Get() >= 0 && ::stat(name.c_str(), &st) == 0 &&
           tFileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)} == FSourceId;
}

tOutputPlan TimgData::PlanOutput(bool syncSize, const std::string& source)
{
    const std::string from = source.empty() ? SourceName : source;
    return Plan(syncSize, from, IsScannedFile(from));
}

tOutputPlan TimgData::PlanFromScanned(bool syncSize)
{
    if (FSource.Get() < 0) return PlanOutput(syncSize);
    return Plan(syncSize, SourceName, true);
}

tOutputPlan TimgData::Plan(bool syncSize, const std::string& from, bool scanned)
{
    tOutputPlan plan;
    const std::vector<tSection>* head = &SegmentTable;
    std::vector<tSection> other;
    int64_t restStart = FRestStart;
    int64_t size = 0;
    tJpegHeader frame;
    if (scanned) {
        // The file as the scan saw it: its size then, and its first bytes
        // from memory.
        plan.SourceFd = FSource.Get();
        plan.SourceMode = FSourceMode;
        size = SourceSize;
        frame = ReadJpegHeader(plan.SourceFd, size, FHead);
    } else {
        // The file named is no longer the one scanned (or never was): its own
        // head decides where the rest starts.
        struct stat st;
        plan.Source = tFileHandle(OpenForReading(from, st));
        plan.SourceFd = plan.Source.Get();
        plan.SourceMode = st.st_mode & 0777;
        size = st.st_size;
        other = ReadHeadPlaces(plan.SourceFd, restStart);
        head = &other;
        frame = ReadJpegHeader(plan.SourceFd, size, {});
    }
    if (tSection* exif = Section(ExifRef); syncSize && ExifDecoder && exif)
        ExifDecoder->SyncDimensions(exif->Bytes, frame.Height, frame.Width);

    // The choices hold for every picture; a change made to the first picture
    // through the setters counts as chosen too.
    tCleaning cleaning = Choices;
    cleaning.Exif |= ScannedRefs[kExifSlot] != kNoRef && ExifRef == kNoRef;
    cleaning.Comment |= CommentReplaced;
    cleaning.Iptc |= IptcReplaced;
    cleaning.Other |= StripOther;

    // The further pictures first: their cleaned sizes go into the index and
    // into the XMP container directory of the first picture.
    const tSection* mpf = head == &SegmentTable ? Section(MpfRef) : nullptr;
    const int64_t imageEnd =
        !(mpf || StripOther) ? size
        : std::min(size, std::max(restStart, head == &SegmentTable ? ImageEnd() : FindImageEnd(plan.SourceFd, restStart)));
    std::vector<tPicture> pictures;
    if (mpf) pictures = FurtherPictures(*mpf, plan.SourceFd, imageEnd, size, cleaning);
    std::vector<uint32_t> itemLengths;
    for (const tPicture& p : pictures) itemLengths.push_back(static_cast<uint32_t>(p.Plan.Length));

    std::string header;
    WriteHeaderSegments(header);
    plan.AddBytes(header);
    size_t mpfPiece = 0;
    int64_t mpfAt = -1;  // where the index's segment starts in the output
    for (size_t i = 0; i < head->size(); ++i) {
        const tSection& seg = (*head)[i];
        if (!seg.FromSource() || seg.Start >= restStart) continue;
        // Segments the scan referenced are written anew in the header or
        // dropped on purpose. The marker check guards against a source that
        // is not the file that was scanned.
        const auto index = static_cast<tSectionRef>(i);
        const bool referenced =
            index < ScannedCount && SegmentTable[i].Marker == seg.Marker &&
            std::find(std::begin(ScannedRefs), std::end(ScannedRefs), index) != std::end(ScannedRefs);
        // What was stripped goes wherever it stands, not just its first copy.
        const bool replacedComment = seg.Marker == marker::COM && CommentReplaced;
        const bool replacedIptc = seg.Marker == marker::APP13 && IptcReplaced;
        if (referenced || replacedComment || replacedIptc || cleaning.Drops(seg)) {
            // Of the XMP that goes, the gain-map properties stay.
            if (StripOther && index == XmpRef && head == &SegmentTable)
                plan.AddBytes(GainMapSegment(seg.Bytes, itemLengths));
            continue;
        }
        if (mpf && index == MpfRef) {
            mpfAt = plan.Length;
            // Written as bytes of its own, so the index can be rewritten below.
            plan.AddBytes(std::string("\xFF", 1) + static_cast<char>(seg.Marker));
            mpfPiece = plan.Pieces.size();
            plan.Pieces.push_back({-1, 0, mpf->Bytes});
            plan.Length += static_cast<int64_t>(mpf->Bytes.size());
            continue;
        }
        plan.AddRange(seg.Start, seg.End - seg.Start);
    }
    plan.HeadLength = plan.Length;

    if (!mpf && !StripOther) {
        plan.AddRange(restStart, size - restStart);
    } else {
        plan.AddRange(restStart, imageEnd - restStart);
        const int64_t firstSize = plan.Length;
        int64_t cursor = imageEnd;
        const int64_t mpHeaderOut = mpfAt + 2 + kMpfHeaderAt;
        for (tPicture& p : pictures) {
            // What stands between the pictures is a trailer: it goes with the other metadata.
            if (!StripOther) plan.AddRange(cursor, p.Start - cursor);
            p.Entry.Offset = static_cast<uint32_t>(plan.Length - mpHeaderOut);
            p.Entry.Size = static_cast<uint32_t>(p.Plan.Length);
            plan.FurtherPictures.push_back({plan.Length, plan.Length + p.Plan.Length});
            for (const tOutputPlan::tPiece& piece : p.Plan.Pieces) {
                if (piece.Offset < 0)
                    plan.AddBytes(piece.Bytes);
                else
                    plan.AddRange(piece.Offset, piece.Length);
            }
            cursor = p.End;
        }
        if (!StripOther) plan.AddRange(cursor, size - cursor);
        if (mpfAt >= 0) {
            // Only the index's own bytes: what later joined the piece is not its to change.
            std::string& piece = plan.Pieces[mpfPiece].Bytes;
            std::string index = piece.substr(0, mpf->Bytes.size());
            RewriteMpfIndex(index, firstSize, pictures);
            piece.replace(0, index.size(), index);
        }
    }

    plan.FurtherCleaning = cleaning;
    plan.ExifRemoved = cleaning.Exif;
    if (cleaning.Exif && !Section(ExifRef) && KeepOrientation && Orientation() > 1)
        plan.Exif = OrientationBlock(Orientation()).substr(2);
    plan.OtherRemoved = StripOther;
    if (StripOther && XmpRef != kNoRef && head == &SegmentTable) {
        const std::string kept = GainMapSegment(SegmentTable[static_cast<size_t>(XmpRef)].Bytes, itemLengths);
        if (!kept.empty()) plan.Xmp = kept.substr(2);
    }
    if (CommentReplaced) {
        plan.CheckComment = true;
        plan.Comment = Section(CommentRef)->Bytes;
    }
    if (IptcReplaced) {
        plan.CheckIptc = true;
        plan.Iptc = Section(IptcRef)->Bytes;
    }
    return plan;
}

namespace {

// The head of a further picture as written at [start, end): read to its image
// data, and nothing in it that `cleaning` removes but a gain-map packet as
// the filter makes it.
bool PictureHeadClean(int fd, int64_t start, int64_t end, const tCleaning& cleaning)
{
    tByteSource in(fd, start);
    uint8_t b0 = 0, b1 = 0;
    if (!in.ReadByte(b0) || !in.ReadByte(b1) || b0 != 0xFF || b1 != marker::SOI) return false;
    tHeadReader head(in);
    for (;;) {
        if (head.Next() != tHeadRead::Whole || head.Segment().End > end || head.StrayBytes() > 0) return false;
        const tSection seg = PlaceOf(head);
        if (seg.Marker == marker::SOS || seg.Marker == marker::EOI) return true;
        if (cleaning.Other && seg.Kind == tBlockKind::Xmp) {
            const std::string body = head.ReadBody();
            const std::string kept = GainMapSegment(body, {});
            if (kept.empty() || kept.substr(2) != body) return false;
        } else if (cleaning.Drops(seg)) {
            return false;
        }
    }
}

// Reads the head of what was written and holds it against the plan.
bool HeadMatchesPlan(int fd, const tOutputPlan& plan)
{
    // The head as planned and the start of the SOS segment are read; the
    // image data after it is not looked at.
    constexpr int64_t kPastHead = 64;
    tByteSource in(fd, 2, static_cast<size_t>(std::max<int64_t>(plan.HeadLength + kPastHead, 1)));
    if (in.Size() != plan.Length) return false;
    tHeadReader head(in);
    int exifBlocks = 0, xmpBlocks = 0, comments = 0, iptcBlocks = 0;
    for (;;) {
        const tHeadRead got = head.Next();
        const uint8_t code = head.Segment().Marker;
        if (got != tHeadRead::Whole || code == marker::SOS || code == marker::EOI) break;
        const tBlockKind kind = KindOf(code, head.Prefix());
        // A removed kind may stand only as the block the plan puts in its place.
        auto allowedOnce = [&](int& seen, const std::string& allowed) {
            return !allowed.empty() && ++seen == 1 && head.ReadBody() == allowed;
        };
        if (kind == tBlockKind::Exif && plan.ExifRemoved && !allowedOnce(exifBlocks, plan.Exif)) return false;
        if (plan.OtherRemoved) {
            if (kind == tBlockKind::Xmp && !allowedOnce(xmpBlocks, plan.Xmp)) return false;
            if (kind == tBlockKind::ExtendedXmp || kind == tBlockKind::OtherApp) return false;
        }
        if (code == marker::COM && plan.CheckComment && !allowedOnce(comments, plan.Comment)) return false;
        if (code == marker::APP13 && plan.CheckIptc && !allowedOnce(iptcBlocks, plan.Iptc)) return false;
    }
    // Where the walk of the written head ends, the source's image data must
    // begin; no stray byte is ever written.
    if (head.StrayBytes() > 0) return false;
    if (head.RestStart() != plan.HeadLength && plan.Length > plan.HeadLength) return false;
    for (const auto& [start, end] : plan.FurtherPictures)
        if (!PictureHeadClean(fd, start, end, plan.FurtherCleaning)) return false;
    return true;
}

}  // namespace

void TimgData::WriteOutput(const tOutputPlan& plan, tPendingFile& out, const std::string& name) const
{
    // What the scan read of the source is in memory: those ranges go out with
    // the bytes made anew in one write, mostly the whole head, and the kernel
    // copies the rest.
    WritePlan(plan, out, plan.SourceFd == FSource.Get() ? &FHead : nullptr);
    // The proof before the name appears: what was removed is not there, and
    // nothing was lost or added on the way.
    bool matches = false;
    try {
        matches = HeadMatchesPlan(out.Fd(), plan);
    } catch (const EMetaError&) {
        // What was written cannot be read back: it is no match either.
    }
    if (!matches) throw EMetaError("Cannot clean " + name + ": the written file did not match what was planned");
}

void TimgData::SaveAs(const std::string& target)
{
    SaveTo(target, false);
}

void TimgData::SaveTo(const std::string& target, bool syncSize, bool mayReplace, const std::string& source)
{
    const tOutputPlan plan = PlanOutput(syncSize, source);
    const auto folder = std::make_shared<const tOutputFolder>(FolderOf(target), target, true);
    tPendingFile out(folder, target, plan.SourceMode);
    WriteOutput(plan, out, SourceName);
    out.Flush();
    // Replace only what this object itself wrote under that name for this
    // source; anything else that appeared there is left alone.
    tFileId id;
    const bool ours = GetFileId(target, id) &&
                      std::any_of(Written.begin(), Written.end(),
                                  [&](const tWritten& w) { return w.Name == target && w.Id == id; });
    out.Publish(NameOf(target), mayReplace || ours);
    if (!folder->Sync()) throw EMetaError("Stream write error");
    Written.push_back({target, out.Id()});
}
