#include "meta/jpeg/img_data.h"

#include <sys/stat.h>

#include "meta/exif/image_info.h"
#include "meta/iptc/iptc_data.h"
#include "meta/jpeg/byte_source.h"
#include "meta/jpeg/head_reader.h"
#include "meta/jpeg/markers.h"
#include "meta/makernote/ms_info.h"
#include "store/file_io.h"

namespace {

enum tRefSlot { kApp0Slot, kExifSlot, kIptcSlot, kCommentSlot };

// APP1 blocks whose payload starts with the Exif identifier (Exif 2.3, 4.7.2).
bool HasExifHeader(const tSection& s)
{
    return s.Marker == marker::APP1 && s.ExifHeader;
}

std::string LowerExtension(const std::string& fileName)
{
    const auto slash = fileName.rfind('/');
    const auto dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = fileName.substr(dot);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

}  // namespace

TimgData::TimgData(int32_t buildSelector) : BuildSelector(buildSelector)
{
    Clear();
}

TimgData::~TimgData() = default;

tSection* TimgData::Section(tSectionRef ref)
{
    return ref >= 0 && ref < SegmentCount ? &SegmentTable[static_cast<size_t>(ref)] : nullptr;
}

const tSection* TimgData::Section(tSectionRef ref) const
{
    return ref >= 0 && ref < SegmentCount ? &SegmentTable[static_cast<size_t>(ref)] : nullptr;
}

void TimgData::Clear()
{
    SegmentTable.clear();
    SegmentCount = 0;
    ScannedCount = 0;
    ExifRef = IptcRef = CommentRef = App0Ref = MpfRef = XmpRef = kNoRef;
    StripOther = KeepOrientation = false;
    for (auto& r : ScannedRefs) r = kNoRef;
    CommentReplaced = IptcReplaced = false;
    Written.clear();
    SourceName.clear();
    StatusText.clear();
    SourceTime = 0;
    SourceSize = 0;
    ExifDecoder.reset();
    IptcContainer.reset();
    BigEndian = false;
    Block.clear();
    FSource = tFileHandle();
    FSourceId = {};
    FHead.clear();
    Damaged = false;
    StrayBytes = 0;
    Choices = {};
    FRestStart = 0;
    FImageEnd = -1;
}

bool TimgData::HoldsMetadata() const
{
    return ExifRef != kNoRef || CommentRef != kNoRef || IptcRef != kNoRef;
}

bool TimgData::ScanFile(const std::string& fileName)
{
    Clear();
    if (!IsRegularFile(fileName)) return false;
    ReadSourceInfo(fileName);
    return ScanSource(fileName);
}

bool TimgData::ScanFile(const std::string& fileName, tFileHandle file, const struct stat& st)
{
    Clear();
    if (!S_ISREG(st.st_mode)) return false;
    SourceName = fileName;
    SourceTime = st.st_mtime;
    SourceSize = st.st_size;
    FSourceMode = st.st_mode & 0777;
    FSource = std::move(file);
    FSourceId = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return ScanSource(fileName);
}

bool TimgData::ScanSource(const std::string& fileName)
{
    bool result = false;
    try {
        StatusText = "Not an EXIF file";
        const std::string ext = LowerExtension(fileName);
        if (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe")
            result = ScanJpeg(fileName);
        else if (ext == ".tif" || ext == ".tiff")
            result = ScanTiff(fileName);
        if (result) StatusText = "<none>";
        if (Damaged) StatusText = "Damaged JPEG header";
    } catch (const std::exception&) {
        StatusText = "Illegal Exif construction";
        result = false;
    }
    // What the scan referenced is rewritten in the header or dropped on
    // purpose; the writer leaves those segments out of the remainder.
    ScannedRefs[kApp0Slot] = App0Ref;
    ScannedRefs[kExifSlot] = ExifRef;
    ScannedRefs[kIptcSlot] = IptcRef;
    ScannedRefs[kCommentSlot] = CommentRef;
    ScannedCount = SegmentCount;
    return result;
}

void TimgData::ReadSourceInfo(const std::string& fileName)
{
    struct stat st;
    if (::stat(fileName.c_str(), &st) != 0) return;
    SourceName = fileName;
    SourceTime = st.st_mtime;
    SourceSize = st.st_size;
    FSourceMode = st.st_mode & 0777;
}

namespace {

// The first read of a head: most heads, a camera's thumbnail included, fit.
constexpr size_t kHeadRead = 32 * 1024;

}  // namespace

bool TimgData::ScanJpeg(const std::string& fileName)
{
    TiffMode = false;
    // The file stays open until the output is written: its head is read once,
    // and the rest is copied from this very file.
    if (FSource.Get() < 0) {
        struct stat st;
        FSource = tFileHandle(OpenForReading(fileName, st));
        FSourceId = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
        SourceSize = st.st_size;
    }
    tByteSource in(FSource.Get(), 0, SourceSize, kHeadRead);
    bool result = false;
    try {
        result = WalkSegments(in);
    } catch (const std::exception&) {
    }
    FHead = in.TakeFirstRead();
    return result;
}

void TimgData::AddSection(tSection section)
{
    SegmentTable.push_back(std::move(section));
    SegmentCount = static_cast<int32_t>(SegmentTable.size());
}

namespace {

// No camera writes a head of more segments than this; past it, segments that
// are passed through join a run of like ones before them.
constexpr int32_t kJoinAfter = 1024;
bool Joinable(const tSection& run, const tSection& next)
{
    return !run.Held() && !next.Held() && run.FromSource() && run.Marker == next.Marker &&
           run.Kind == next.Kind && run.End == next.Start;
}

}  // namespace

void TimgData::AddScanned(tSection section)
{
    if (SegmentCount > kJoinAfter && Joinable(SegmentTable.back(), section)) {
        tSection& run = SegmentTable.back();
        run.End = section.End;
        run.Count += section.Count;
        return;
    }
    AddSection(std::move(section));
}

void TimgData::Release(tSectionRef ref)
{
    tSection* s = Section(ref);
    if (!s) return;
    std::string().swap(s->Bytes);
    // The last entry may now join the run before it.
    if (ref == SegmentCount - 1 && SegmentCount > kJoinAfter + 1 &&
        Joinable(SegmentTable[static_cast<size_t>(ref) - 1], *s)) {
        tSection released = std::move(SegmentTable.back());
        SegmentTable.pop_back();
        SegmentCount = static_cast<int32_t>(SegmentTable.size());
        AddScanned(std::move(released));
    }
}

bool TimgData::WalkSegments(tByteSource& in)
{
    uint8_t b0 = 0, b1 = 0;
    if (!in.ReadByte(b0) || !in.ReadByte(b1) || b0 != 0xFF || b1 != marker::SOI) return false;
    SegmentTable.clear();
    SegmentCount = 0;
    tSectionRef examined = -1;
    bool exifSeen = false;
    int strayRuns = 0;
    tHeadReader head(in);
    // Every segment up to SOS or EOI is read: metadata may stand anywhere in
    // the head. A length below 2, a segment cut short or the end of the data
    // before SOS leave the head unread: the file is damaged, and a segment cut
    // short is kept but not examined. Only the segments the container may
    // write anew are held; the others are known by their place.
    for (bool more = true; more;) {
        tHeadRead got;
        try {
            got = head.Next();
        } catch (const EMetaError&) {
            Damaged = true;
            return false;
        }
        if (got == tHeadRead::End) {
            Damaged = true;
            break;
        }
        const tHeadSegment& seg = head.Segment();
        if (seg.Stray > 0 && ++strayRuns > tHeadReader::kMaxStrayRuns) {
            Damaged = true;
            break;
        }
        tSection s = PlaceOf(head);
        if (got == tHeadRead::Cut) {
            AddSection(std::move(s));
            examined = SegmentCount - 1;
            Damaged = true;
            break;
        }
        const tSectionRef ref = SegmentCount;  // if it gets an entry of its own
        bool hold = false;
        switch (seg.Marker) {
        case marker::EOI:
        case marker::SOS:
            more = false;
            break;
        case marker::APP0:
            // The JFIF header stands in for a removed EXIF block; the APP0
            // blocks of other programs are metadata like any other.
            if (s.Kind != tBlockKind::Jfif) break;
            Release(App0Ref);
            hold = true;
            break;
        case marker::APP1:
            // The first Exif block, or one of the first two entries, which
            // may stand in for it when no APP1 carries the identifier.
            // The XMP packet is held too: its gain-map properties may have to stay.
            hold = (s.ExifHeader && !exifSeen) || ref < 2 || (s.Kind == tBlockKind::Xmp && XmpRef == kNoRef);
            exifSeen = exifSeen || s.ExifHeader;
            break;
        case marker::APP2:
            // The MPF index is rewritten when the pictures it names move.
            hold = s.Kind == tBlockKind::Mpf && MpfRef == kNoRef;
            break;
        case marker::APP13:
            hold = IptcRef == kNoRef;
            break;
        case marker::COM:
            Release(CommentRef);
            hold = true;
            break;
        default:
            break;
        }
        if (hold) s.Bytes = head.ReadBody();
        const tBlockKind kind = s.Kind;
        AddScanned(std::move(s));
        const tSectionRef at = SegmentCount - 1;
        if (!hold) continue;
        if (seg.Marker == marker::APP0) App0Ref = at;
        if (kind == tBlockKind::Mpf && MpfRef == kNoRef) MpfRef = at;
        if (kind == tBlockKind::Xmp && XmpRef == kNoRef) XmpRef = at;
        if (seg.Marker == marker::COM) CommentRef = at;
        if (seg.Marker == marker::APP13) {
            IptcRef = at;
            IptcContainer = std::make_unique<TIPTCdata>(this);
        }
    }
    FRestStart = head.RestStart();
    StrayBytes = head.StrayBytes();
    ExifRef = ChooseExifBlock(examined < 0 ? SegmentCount : examined);
    if (ExifRef != kNoRef) {
        CreateExifDecoder();
        Block = SegmentTable[static_cast<size_t>(ExifRef)].Bytes;
        OpenExifBlock();
    }
    return HoldsMetadata() && !Damaged;
}

tSectionRef TimgData::ChooseExifBlock(tSectionRef examined) const
{
    // The first APP1 that carries the Exif identifier, wherever it stands; an
    // XMP block before or after it is never mistaken for it.
    for (tSectionRef i = 0; i < examined; ++i)
        if (HasExifHeader(SegmentTable[static_cast<size_t>(i)])) return i;
    // Otherwise an APP1 right at the start of the head, the later of two.
    for (tSectionRef i = std::min<tSectionRef>(examined, 2) - 1; i >= 0; --i)
        if (SegmentTable[static_cast<size_t>(i)].Marker == marker::APP1) return i;
    return kNoRef;
}

void TimgData::CreateExifDecoder()
{
    ExifDecoder = std::make_unique<TImageInfo>(BuildSelector);
    ExifDecoder->OnStatus = [this](const std::string& text) { StatusText = text; };
    ExifDecoder->OnMakerNote = [](TImageInfo& decoder) { TmsInfo(decoder.TiffMode, &decoder).DecodeMakerNote(); };
}

void TimgData::OpenExifBlock()
{
    if (!ExifDecoder) CreateExifDecoder();
    const tSection& exif = SegmentTable[static_cast<size_t>(ExifRef)];
    if (Block.compare(2, 4, "Exif") != 0) {
        StatusText = "Incorrect Exif header";
        return;
    }
    const std::string order = CopyBytes(Block, 9, 2);
    if (order == "II") {
        BigEndian = false;
    } else if (order == "MM") {
        BigEndian = true;
    } else {
        StatusText = "Invalid Exif alignment marker";
        return;
    }
    // A block too short to hold the first-directory offset has nothing to
    // walk, but it is still an EXIF block and is stripped like any other.
    if (Block.size() < 16) return;
    ExifDecoder->Listing.clear();
    ExifDecoder->Block = Block;
    ExifDecoder->BigEndian = BigEndian;
    const int64_t offset = GetUInt32(13);
    // TIFF offset x lies at position x + 9; offset 0 means "right after the header".
    const int64_t start = offset == 0 ? 17 : offset + 9;
    ExifDecoder->WalkDirectory(start, 9, int64_t{exif.SegLength} - 6, tDirKind::ExifKind);
    if (!StatusText.empty()) ExifDecoder->DeriveFocal35();
}

bool TimgData::ScanTiff(const std::string& fileName)
{
    TiffMode = true;
    const tFileHandle file(OpenForReading(fileName));
    tByteSource in(file.Get());
    bool result = false;
    try {
        std::string mark;
        in.Read(mark, 2);
        if (mark == "II" || mark == "MM") {
            std::string skipped;
            in.Read(skipped, 6);  // magic number and first-directory offset: not used
            // The first directory is taken to start at file offset 8.
            constexpr size_t kTiffWindow = 4098;
            tSection s;
            in.Read(s.Bytes, kTiffWindow);
            s.Bytes.resize(kTiffWindow, '\0');
            s.SegLength = static_cast<int32_t>(kTiffWindow);
            SegmentTable.clear();
            AddSection(std::move(s));
            ExifRef = 0;
            CreateExifDecoder();
            ExifDecoder->TiffMode = TiffMode;
            ExifDecoder->Listing.clear();
            ExifDecoder->Block = SegmentTable[0].Bytes;
            ExifDecoder->BigEndian = mark == "MM";
            // File offset x lies at position x - 7.
            ExifDecoder->WalkDirectory(1, -7, kTiffWindow, tDirKind::ExifKind);
            ExifDecoder->DeriveFocal35();
            result = true;
        }
    } catch (const std::exception&) {
        result = false;
    }
    TiffMode = false;
    return result;
}
