#include "meta/jpeg/jpeg_file.h"

#include "meta/exif/image_info.h"
#include "meta/iptc/iptc_data.h"
#include "meta/jpeg/markers.h"
#include "meta/jpeg/further_pictures.h"

namespace {

bool HoldsText(const tSection& s)
{
    return s.Count > 1 ? s.End - s.Start > int64_t{4} * s.Count : s.SegLength > 2;
}

// Whether an APP13 segment that the scan did not keep holds IPTC datasets;
// a run of joined segments, or one that cannot be read, is taken to.
bool HoldsIptc(int fd, const tSection& s)
{
    if (s.Count > 1) return true;
    std::string body(static_cast<size_t>(s.SegLength), '\0');
    if (!ReadAt(fd, body.data(), body.size(), s.End - s.SegLength)) return true;
    TIPTCdata iptc(nullptr);
    iptc.ParseSegment(body);
    return iptc.HasData();
}

// The head's segments as parts, with what the policy needs to know of each.
std::vector<tPart> PartsOf(TimgData& data)
{
    std::vector<tPart> parts;
    const bool iptcHeld = data.IptcContainer && data.IptcContainer->HasData();
    for (int32_t i = 0; i < data.SegmentCount; ++i) {
        const tSection& s = data.SegmentTable[static_cast<size_t>(i)];
        if (!s.FromSource()) continue;
        tPart part;
        part.Kind = PartKindOf(s);
        part.Offset = s.Start;
        part.Length = s.End - s.Start;
        switch (part.Kind) {
        case tPartKind::Exif:
            // The block the scan chose decides; a block of the orientation
            // alone is what a cleaned file keeps.
            if (i == data.ExifRef) {
                part.Orientation = data.Orientation();
                part.NothingToRemove = !s.ExifHeader || data.ExifIsOrientationOnly();
            }
            break;
        case tPartKind::Comment: part.NothingToRemove = !HoldsText(s); break;
        case tPartKind::Iptc:
            // The first APP13 is rebuilt without its datasets, the others go;
            // each counts when it holds datasets of its own.
            part.KeepsSomething = true;
            part.NothingToRemove = i == data.IptcRef ? !iptcHeld : !HoldsIptc(data.SourceFd(), s);
            break;
        case tPartKind::Other:
            if (i == data.XmpRef) {
                const std::string kept = GainMapSegment(s.Bytes, {});
                part.KeepsSomething = !kept.empty();
                part.NothingToRemove = part.KeepsSomething && kept.substr(2) == s.Bytes;
            }
            break;
        default: break;
        }
        parts.push_back(part);
    }
    // Bytes that were no segment, and bytes after the pictures: anything.
    if (data.StrayBytes > 0) parts.push_back({tPartKind::Other, -1, data.StrayBytes, "stray bytes"});
    if (data.HasTrailer()) parts.push_back({tPartKind::Other, -1, 0, "trailer"});
    return parts;
}

}  // namespace

bool LooksLikeJpeg(std::string_view first)
{
    return first.size() >= 2 && static_cast<unsigned char>(first[0]) == 0xFF &&
           static_cast<unsigned char>(first[1]) == marker::SOI;
}

std::unique_ptr<tPictureFile> ScanJpeg(tFileHandle file, const struct stat& st, const std::string& name, bool listing)
{
    auto data = std::make_unique<TimgData>(listing ? 255 : kBuildForCleaning);
    data->ScanFile(name, std::move(file), st);
    // What a damaged head holds is unknown: neither cleaned nor copied as clean.
    if (data->Damaged) throw EDamagedFile("Damaged JPEG header");
    // The datasets tell whether the APP13 block holds IPTC.
    if (data->IptcContainer && data->Section(data->IptcRef))
        data->IptcContainer->ParseSegment(data->Section(data->IptcRef)->Bytes);
    return std::make_unique<tJpegFile>(std::move(data));
}

tJpegFile::tJpegFile(std::unique_ptr<TimgData> data) : FData(std::move(data))
{
    FParts = PartsOf(*FData);
}

bool tJpegFile::Removes(const tChoices& choices)
{
    tCleaning cleaning;
    static_cast<tChoices&>(cleaning) = choices;
    FData->Choices = cleaning;
    if (RemovesAny(FParts, choices)) return true;
    try {
        return FData->FurtherPicturesHold(cleaning);
    } catch (const EMetaError& e) {
        throw EMetaError(e.what() + std::string(" of ") + FData->SourceName);
    }
}

const tPlan& tJpegFile::Plan(const tChoices& choices)
{
    TimgData& data = *FData;
    static_cast<tChoices&>(data.Choices) = choices;
    data.StripOther = choices.Other;
    data.KeepOrientation = choices.KeepOrientation;
    const bool iptc = choices.Iptc && data.IptcContainer;
    // Every choice goes into one plan; the output is written once.
    if (choices.Comment) data.ReplaceComment("");
    if (choices.Exif) data.ExifRef = kNoRef;
    if (iptc) {
        data.IptcContainer->Clear();
        data.ReplaceIptcSegment(data.IptcContainer->BuildSegmentPayload());
    }
    // The size fields are brought up to date where the IPTC block is rebuilt.
    FPlan = data.PlanFromScanned(iptc);
    return FPlan;
}

void tJpegFile::Write(const tPlan& plan, tPendingFile& out, const std::string& source, const tChoices&)
{
    // The heads are checked against what only the JPEG plan records.
    if (&plan != &FPlan) throw ECheckFailed(source);
    FData->WriteOutput(FPlan, out, source);
}
