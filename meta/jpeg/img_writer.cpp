// The writing side of TimgData: one plan per output (a freshly assembled
// header, the source's remaining head segments, everything from SOS on), one
// write that lets the kernel copy the source's bytes, a check of what was
// written, and one publish.

#include <algorithm>
#include <sys/stat.h>

#include "meta/exif/image_info.h"
#include "meta/jpeg/byte_source.h"
#include "meta/jpeg/head_reader.h"
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
    if (const tSection* exif = Section(ExifRef))
        AppendSection(out, *exif);
    else if (const tSection* app0 = Section(App0Ref))
        AppendSection(out, *app0);
    else
        out += kJfifTemplate;
    if (const tSection* iptc = Section(IptcRef)) AppendSection(out, *iptc);
    if (const tSection* com = Section(CommentRef)) AppendSection(out, *com);
}

bool TimgData::IsScannedFile(const std::string& name) const
{
    struct stat st;
    return FSource.Get() >= 0 && ::stat(name.c_str(), &st) == 0 &&
           tFileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)} == FSourceId;
}

tOutputPlan TimgData::PlanOutput(bool syncSize, const std::string& source)
{
    tOutputPlan plan;
    const std::string from = source.empty() ? SourceName : source;
    const std::vector<tSection>* head = &SegmentTable;
    std::vector<tSection> other;
    int64_t restStart = FRestStart;
    if (IsScannedFile(from)) {
        plan.SourceFd = FSource.Get();
        plan.SourceMode = FSourceMode;
    } else {
        // The file named is no longer the one scanned (or never was): its own
        // head decides where the rest starts.
        plan.Source = tFileHandle(OpenForReading(from));
        plan.SourceFd = plan.Source.Get();
        struct stat st;
        if (::fstat(plan.SourceFd, &st) == 0) plan.SourceMode = st.st_mode & 0777;
        other = ReadHeadPlaces(plan.SourceFd, restStart);
        head = &other;
    }
    const tJpegHeader frame = ReadJpegHeader(plan.SourceFd);
    if (syncSize && ExifDecoder && ExifRef != kNoRef)
        ExifDecoder->SyncDimensions(frame.Height, frame.Width);

    WriteHeaderSegments(plan.Header);
    plan.HeadLength = static_cast<int64_t>(plan.Header.size());
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
        const bool strippedExif = seg.Marker == marker::APP1 && ExifRef == kNoRef && seg.ExifHeader;
        const bool oldComment = seg.Marker == marker::COM && CommentReplaced;
        const bool oldIptc = seg.Marker == marker::APP13 && IptcReplaced;
        if (referenced || strippedExif || oldComment || oldIptc) continue;
        const int64_t length = seg.End - seg.Start;
        if (!plan.Kept.empty() && plan.Kept.back().Offset + plan.Kept.back().Length == seg.Start)
            plan.Kept.back().Length += length;
        else
            plan.Kept.push_back({seg.Start, length});
        plan.HeadLength += length;
    }
    struct stat st;
    const int64_t size = ::fstat(plan.SourceFd, &st) == 0 ? st.st_size : 0;
    plan.RestStart = restStart;
    plan.RestLength = std::max<int64_t>(0, size - restStart);
    plan.Length = plan.HeadLength + plan.RestLength;

    plan.ExifRemoved = ExifRef == kNoRef;
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

// Reads the head of what was written and holds it against the plan.
bool HeadMatchesPlan(int fd, const tOutputPlan& plan)
{
    tByteSource in(fd, 2);
    if (in.Size() != plan.Length) return false;
    tHeadReader head(in);
    int comments = 0, iptcBlocks = 0;
    for (;;) {
        const tHeadRead got = head.Next();
        const uint8_t code = head.Segment().Marker;
        if (got != tHeadRead::Whole || code == marker::SOS || code == marker::EOI) break;
        if (code == marker::APP1 && plan.ExifRemoved && head.Prefix().compare(0, 4, "Exif") == 0)
            return false;
        if (code == marker::COM && plan.CheckComment && (++comments > 1 || head.ReadBody() != plan.Comment))
            return false;
        if (code == marker::APP13 && plan.CheckIptc && (++iptcBlocks > 1 || head.ReadBody() != plan.Iptc))
            return false;
    }
    // Where the walk of the written head ends, the source's rest must begin.
    return head.RestStart() == plan.HeadLength || plan.Length <= plan.HeadLength;
}

}  // namespace

void TimgData::WriteOutput(const tOutputPlan& plan, tPendingFile& out, const std::string& name) const
{
    out.Write(plan.Header);
    for (const tOutputPlan::tRange& range : plan.Kept)
        Ensure(CopyRange(plan.SourceFd, range.Offset, range.Length, out.Fd()) == range.Length,
               "Stream read error");
    CopyRange(plan.SourceFd, plan.RestStart, plan.RestLength, out.Fd());
    // The proof before the name appears: what was removed is not there, and
    // nothing was lost or added on the way.
    if (!HeadMatchesPlan(out.Fd(), plan)) throw EMetaError("Output check failed for " + name);
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
    WriteOutput(plan, out, target);
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
