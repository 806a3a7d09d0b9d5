#include "meta/exif/image_info.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>

#include "meta/exif/exif_tags.h"
#include "meta/exif/format_text.h"
#include "meta/exif/value_render.h"

namespace {

// TIFF field types that need special text (TIFF 6.0 section 2).
constexpr uint16_t kAscii = 2;
constexpr uint16_t kShort = 3;
constexpr uint16_t kLong = 4;
constexpr uint16_t kUndefined = 7;

// Tags the walk acts on (TIFF 6.0, Exif 2.3 section 4.6).
constexpr uint16_t kImageWidth = 0x0100, kExifImageWidth = 0xA002;
constexpr uint16_t kImageLength = 0x0101, kExifImageHeight = 0xA003;
constexpr uint16_t kMake = 0x010F;
constexpr uint16_t kExifPointer = 0x8769, kInteropPointer = 0xA005, kGpsPointer = 0x8825;
constexpr uint16_t kMakerNote = 0x927C;
constexpr uint16_t kThumbnailOffset = 0x0201, kThumbnailLength = 0x0202;  // JPEGInterchangeFormat(Length)
constexpr uint16_t kOrientation = 0x0112;

// What a walk for cleaning looks at: the size fields, the orientation, and
// the pointers that lead to them.
bool NeededForCleaning(uint16_t tag)
{
    switch (tag) {
    case kImageWidth:
    case kExifImageWidth:
    case kImageLength:
    case kExifImageHeight:
    case kOrientation:
    case kExifPointer:
    case kInteropPointer:
    case kGpsPointer:
        return true;
    default:
        return false;
    }
}

constexpr const char* kErrorDetected = "Error Detected = ";

// A camera block nests IFD0 > EXIF > interoperability; anything much deeper
// is a crafted file, not a camera.
constexpr int kMaxDirectoryDepth = 8;
constexpr size_t kMakeTextLength = 32;
// Diagonal of a 36 x 24 mm frame, in millimetres.
constexpr double kFullFrameDiagonal = 43.26661531;
// Sensor diagonals that cameras have, from the 1/4-inch sensors of small
// phones (4.5 mm) to digital medium format (67 mm). A focal-plane resolution
// that gives a size outside them belongs to a resized copy: editors change
// the recorded image size but leave the resolution, which describes the
// camera's own pixels.
constexpr double kMinSensorDiagonal = 4.0, kMaxSensorDiagonal = 70.0;

// TIFF offsets are unsigned 32-bit values (TIFF 6.0 section 2).
int64_t ReadOffset(const tEndInd& in, int64_t pos)
{
    return static_cast<uint32_t>(in.GetUInt32(pos));
}

// Byte count of an entry: component size times count, in 64 bits so that no
// count wraps it.
int64_t EntrySize(uint16_t type, int32_t count)
{
    return int64_t{ComponentSize(type)} * static_cast<uint32_t>(count);
}

// The fixed part of a 12-byte directory entry (TIFF 6.0 section 2).
struct tEntryHead {
    uint16_t Tag, Type;
    int32_t Count;
    int64_t Size;
};

tEntryHead ReadEntryHead(const tEndInd& in, int64_t e)
{
    tEntryHead h{in.GetUInt16(e), in.GetUInt16(e + 2), in.GetUInt32(e + 4), 0};
    h.Size = EntrySize(h.Type, h.Count);
    return h;
}

std::string Quoted(const std::string& raw, bool toFirstZero)
{
    return '"' + (toFirstZero ? raw.substr(0, raw.find('\0')) : raw) + '"';
}

// The maker note as the EXIF listing shows it: its size, and the name that
// many notes begin with ("Nikon", "OLYMP", "FUJIFILM"); a note that starts
// with its directory has none.
std::string MakerNoteText(const std::string& raw)
{
    constexpr size_t kMinName = 3, kMaxName = 16;
    size_t n = 0;
    while (n < raw.size() && n < kMaxName && std::isalpha(static_cast<unsigned char>(raw[n]))) ++n;
    const std::string bytes = std::to_string(raw.size()) + " bytes";
    return n >= kMinName ? '"' + raw.substr(0, n) + "\", " + bytes : bytes;
}

bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

// Marks a directory as entered for the length of its walk (depth) and for the
// rest of the block (start positions): pointers that lead back are not followed.
class tEnterDirectory {
public:
    tEnterDirectory(int& depth, std::set<int64_t>& entered, int64_t start) : FDepth(depth)
    {
        Ensure(depth < kMaxDirectoryDepth, "EXIF directories nested too deeply");
        Ensure(entered.insert(start).second, "EXIF directory entered twice");
        ++FDepth;
    }
    ~tEnterDirectory() { --FDepth; }
    tEnterDirectory(const tEnterDirectory&) = delete;
    tEnterDirectory& operator=(const tEnterDirectory&) = delete;

private:
    int& FDepth;
};

// Puts the maker bytes in a decoder's Block for the length of one maker walk
// and the EXIF block back on every way out. The EXIF block is moved aside, not
// copied: a crafted block may hold many maker notes.
class tMakerBlockScope {
public:
    tMakerBlockScope(std::string& block, const std::string& makerBytes) : FBlock(block), FExif(makerBytes)
    {
        FBlock.swap(FExif);
    }
    ~tMakerBlockScope() { FBlock.swap(FExif); }
    tMakerBlockScope(const tMakerBlockScope&) = delete;
    tMakerBlockScope& operator=(const tMakerBlockScope&) = delete;

    const std::string& ExifBlock() const { return FExif; }

private:
    std::string& FBlock;
    std::string FExif;
};

}  // namespace

TImageInfo::TImageInfo(int32_t buildSelector) : BuildSelector(buildSelector)
{
    PrepareTagTables();
}

TImageInfo::~TImageInfo() = default;

int32_t TImageInfo::AddTag(TTagEntry entry)
{
    if (entry.TagNo != 0) {
        if (TagCount >= TagCapacity - 1) {
            TagCapacity += 25;
            // The list shows its capacity in steps of 25; the storage underneath
            // grows geometrically, so that adding stays amortised constant.
            const auto wanted = static_cast<size_t>(TagCapacity);
            if (TagList.capacity() < wanted) TagList.reserve(std::max(wanted, 2 * TagList.capacity()));
            TagList.resize(wanted);
        }
        TagList[static_cast<size_t>(TagCount)] = std::move(entry);
        ++TagCount;
    }
    return TagCount - 1;
}

int32_t TImageInfo::FindTagIndex(const std::string& name) const
{
    for (int32_t i = 0; i < TagCount; ++i)
        if (SameName(TagList[static_cast<size_t>(i)].TagName, name)) return i;
    return -1;
}

std::string TImageInfo::TagText(const std::string& name) const
{
    const int32_t i = FindTagIndex(name);
    return i < 0 ? std::string() : TagList[static_cast<size_t>(i)].Text;
}

TTagEntry TImageInfo::TagByName(const std::string& name) const
{
    const int32_t i = FindTagIndex(name);
    return i < 0 ? BlankTag : TagList[static_cast<size_t>(i)];
}

double TImageInfo::NumericByName(const std::string& name) const
{
    const TTagEntry entry = TagByName(name);
    return entry.TagNo != 0 ? NumericValue(*this, entry.RawBytes, entry.FieldType) : 0.0;
}

int32_t TImageInfo::IntegerByName(const std::string& name) const
{
    return RoundLow32(NumericByName(name));
}

void TImageInfo::SetStatus(const std::string& text)
{
    if (OnStatus) OnStatus(text);
}

void TImageInfo::WalkDirectory(int64_t start, int64_t base, int64_t limit, tDirKind kind)
{
    if (FDepth > 0) {
        WalkEntries(start, base, limit, kind);
        return;
    }
    // The first directory: whatever goes wrong inside it, the block is still an
    // EXIF block, and the file must still count as holding metadata.
    FEntered.clear();
    FBudget.Reset();
    ThumbnailListing.clear();
    ThumbnailPos = ThumbnailLength = 0;
    try {
        const int64_t link = WalkEntries(start, base, limit, kind);
        if (kind == tDirKind::ExifKind) WalkThumbnailDirectory(link, base, limit);
    } catch (const EDecodeBudget& spent) {
        SetStatus(kErrorDetected + std::string(spent.what()));
    } catch (const std::exception&) {
    }
}

void TImageInfo::WalkThumbnailDirectory(int64_t link, int64_t base, int64_t limit)
{
    // TIFF 6.0 section 2: IFD0 ends with the offset of the next directory, 0
    // for none; in an EXIF block that is IFD1, the thumbnail's.
    if (link == 0 || !Fits(Block, link, 4)) return;
    const int64_t offset = ReadOffset(*this, link);
    if (offset == 0 || FEntered.contains(offset + base) || !Fits(Block, offset + base, 2)) return;
    WalkEntries(offset + base, base, limit, tDirKind::ExifKind, true);
}

int64_t TImageInfo::WalkEntries(int64_t start, int64_t base, int64_t limit, tDirKind kind, bool thumbnail)
{
    const tEnterDirectory guard(FDepth, FEntered, start);
    FBudget.EnterDirectory();
    const int64_t n = GetUInt16(start);
    if (2 + 12 * n > base + limit) {
        SetStatus("Illegally sized directory");
        return 0;
    }
    const bool listing = BuildSelector == 2 || BuildSelector == 255;
    const bool listed = !thumbnail && (BuildSelector == 4 || BuildSelector == 255);
    const bool cleaning = BuildSelector == kBuildForCleaning;
    for (int64_t i = 0; i < n; ++i) {
        FBudget.ReadEntry();
        const int64_t e = start + 2 + 12 * i;
        const auto [tag, type, count, size] = ReadEntryHead(*this, e);
        if (size == 0) continue;
        const int64_t valuePos = size <= 4 ? e + 8 : ReadOffset(*this, e + 8) + base;
        // A value that does not lie inside the block whole is not read at all,
        // neither in part nor from anywhere else.
        if (!Fits(Block, valuePos, size)) continue;
        FBudget.Keep(size);
        if (cleaning && !NeededForCleaning(tag)) continue;
        const std::string raw = Block.substr(static_cast<size_t>(valuePos - 1), static_cast<size_t>(size));

        TTagEntry row;
        std::string text;
        if (cleaning && tag == kOrientation) {
            row = LookupDirTag(tag, kind);
            row.RawBytes = raw;
            row.FieldType = type;
            AddTag(std::move(row));
        }
        if (listing) {
            row = LookupDirTag(tag, kind);
            if (type == kAscii || type == kUndefined) {
                // ASCII up to its terminating zero (TIFF 6.0), or whole when a
                // writer left the zero out.
                text = type == kAscii ? raw.substr(0, raw.find('\0')) : Quoted(raw, true);
                FBudget.Keep(static_cast<int64_t>(text.size()));
            } else {
                text = RenderValue(*this, raw, type, row.ValueCodes, row.Template, &FBudget);
            }
            if (row.TagNo != 0 && row.Hook) {
                text = row.Hook(text);
                FBudget.Keep(static_cast<int64_t>(text.size()));
            } else {
                text = CleanText(text);
            }
            if (tag == kMakerNote) text = MakerNoteText(raw);
            (thumbnail ? ThumbnailListing : Listing) += "\r\n" + row.Label + " = " + text;
        }
        if (listed) {
            try {
                TTagEntry entry = std::move(row);
                entry.Text = text;
                entry.RawBytes = raw;
                entry.FieldType = type;
                AddTag(std::move(entry));
            } catch (const std::exception&) {
            }
        }

        if (thumbnail) {
            // A JPEG thumbnail's offset counts from the TIFF header, as all offsets do.
            if (tag == kThumbnailOffset) ThumbnailPos = static_cast<uint32_t>(BytesToInt(*this, raw)) + base;
            if (tag == kThumbnailLength) ThumbnailLength = static_cast<uint32_t>(BytesToInt(*this, raw));
            continue;
        }
        switch (tag) {
        case kImageWidth:
        case kExifImageWidth:
            WidthPos = e + 8;
            WidthType = type;
            WidthCount = count;
            ImageWidth = RoundLow32(NumericValue(*this, raw, type));
            break;
        case kImageLength:
        case kExifImageHeight:
            HeightPos = e + 8;
            HeightType = type;
            HeightCount = count;
            ImageHeight = RoundLow32(NumericValue(*this, raw, type));
            break;
        case kMake:
            MakeText = text.substr(0, kMakeTextLength);
            break;
        case kExifPointer:
        case kInteropPointer:
        case kGpsPointer:
            // A broken sub-directory ends there and this directory goes on; a
            // spent budget ends the walk of the whole block.
            try {
                const int64_t sub = ReadOffset(*this, valuePos) + base;
                // Passed over here rather than refused by the walk: a crafted
                // block may hold thousands of such pointers, an exception each.
                if (FDepth < kMaxDirectoryDepth && !FEntered.contains(sub) && Fits(Block, sub, 2))
                    WalkDirectory(sub, base, limit, tag == kGpsPointer ? tDirKind::GpsKind : tDirKind::ExifKind);
            } catch (const EDecodeBudget&) {
                throw;
            } catch (const std::exception&) {
            }
            break;
        case kMakerNote:
            FBudget.Keep(size);  // the copy the maker walk reads
            MakerNoteBytes = raw;
            MakerNotePos = valuePos;
            if (OnMakerNote) OnMakerNote(*this);
            break;
        default:
            break;
        }
    }
    return start + 2 + 12 * n;
}

void TImageInfo::WalkMakerDirectory(const std::string& makerBytes, std::span<const TTagEntry> table,
                                    int64_t dirOffset, int64_t makerBase, int64_t blockBase)
{
    const int64_t p0 = dirOffset + 1;
    const int64_t shift = dirOffset + 2 - makerBase;
    const bool listed = BuildSelector == 4 || BuildSelector == 255;
    try {
        FBudget.EnterDirectory();
        FBudget.Keep(static_cast<int64_t>(makerBytes.size()));
        const tMakerBlockScope scope(Block, makerBytes);
        const std::string& exifBlock = scope.ExifBlock();
        const int64_t n = GetUInt16(p0);
        for (int64_t i = 0; i < n; ++i) {
            FBudget.ReadEntry();
            const int64_t e = p0 + 2 + 12 * i;
            const auto [tag, type, count, size] = ReadEntryHead(*this, e);
            // The value lies in the maker bytes; an offset that leads outside
            // them counts from blockBase in the EXIF block instead. A value
            // that lies in neither whole is not read.
            const std::string* from = &Block;
            int64_t valuePos = e + 8;
            if (size > 4) {
                const int64_t off = ReadOffset(*this, e + 8);
                valuePos = shift + off;
                if (!Fits(Block, valuePos, size)) {
                    from = &exifBlock;
                    valuePos = blockBase + off;
                }
            }
            if (!Fits(*from, valuePos, size)) continue;
            FBudget.Keep(size);
            const std::string raw = from->substr(static_cast<size_t>(valuePos - 1), static_cast<size_t>(size));
            int64_t idx = -1, last = -1;
            for (size_t r = 0; r < table.size(); ++r)
                if (table[r].TagNo == tag) {
                    if (idx < 0) idx = static_cast<int64_t>(r);
                    last = static_cast<int64_t>(r);
                }
            const std::string name = idx >= 0 ? table[static_cast<size_t>(idx)].Label : "Unknown";
            if (SameName(name, "SKIP")) continue;
            if (!listed) continue;

            std::string text;
            if (type == kAscii || type == kUndefined) {
                text = Quoted(raw, type == kAscii);
                FBudget.Keep(static_cast<int64_t>(text.size()));
            } else {
                try {
                    const std::string codes = last >= 0 ? table[static_cast<size_t>(last)].ValueCodes : "";
                    const std::string tmpl = idx >= 0 ? table[static_cast<size_t>(idx)].Template : "";
                    text = RenderValue(*this, raw, type, codes, tmpl, &FBudget);
                } catch (const EDecodeBudget&) {
                    throw;
                } catch (const std::exception&) {
                    text = Quoted(raw, false);
                    FBudget.Keep(static_cast<int64_t>(text.size()));
                }
            }
            // Row 0 of a maker table is listed but never hooked or kept.
            const TTagEntry* row = idx > 0 ? &table[static_cast<size_t>(idx)] : nullptr;
            if (row && row->Hook) {
                text = row->Hook(text);
                FBudget.Keep(static_cast<int64_t>(text.size()));
            } else {
                text = CleanText(text);
            }
            MakerListing += "\r\n" + name + " = " + text;
            if (row) {
                try {
                    TTagEntry entry = *row;
                    entry.Text = text;
                    entry.RawBytes = raw;
                    entry.FieldType = type;
                    entry.Origin = 1;
                    AddTag(std::move(entry));
                } catch (const std::exception&) {
                }
            }
        }
    } catch (const std::exception& error) {
        SetStatus(kErrorDetected + std::string(error.what()));
    }
}

double TImageInfo::SensorDiagonal() const
{
    // Canon writes each focal-plane resolution as pixels x 1000 over sensor
    // thousandths of an inch, so the denominators give the sensor whatever
    // the picture was resized to since. The checks keep to rationals of that
    // shape (a reduced or square pair is not one).
    if (MakeText.starts_with("Canon")) {
        const TTagEntry x = TagByName("FocalPlaneXResolution"), y = TagByName("FocalPlaneYResolution");
        if (x.FieldType == 5 && y.FieldType == 5 && x.RawBytes.size() == 8 && y.RawBytes.size() == 8) {
            const int64_t xPixels = static_cast<uint32_t>(BytesToInt(*this, x.RawBytes.substr(0, 4)));
            const int64_t yPixels = static_cast<uint32_t>(BytesToInt(*this, y.RawBytes.substr(0, 4)));
            const int64_t xMils = static_cast<uint32_t>(BytesToInt(*this, x.RawBytes.substr(4)));
            const int64_t yMils = static_cast<uint32_t>(BytesToInt(*this, y.RawBytes.substr(4)));
            if (xPixels % 1000 == 0 && yPixels % 1000 == 0 && xPixels >= 640000 && yPixels >= 480000 &&
                xMils > 0 && yMils > 0 && xMils != yMils) {
                const double diagonal = std::hypot(xMils * 0.0254, yMils * 0.0254);
                if (diagonal >= kMinSensorDiagonal && diagonal <= kMaxSensorDiagonal) return diagonal;
            }
        }
    }
    // Exif 2.3: the unit is the inch unless the block says otherwise.
    const int32_t unit = FindTagIndex("FocalPlaneResolutionUnit") >= 0 ? IntegerByName("FocalPlaneResolutionUnit") : 2;
    const double mmPerUnit = unit == 2 ? 25.4 : unit == 3 ? 10.0 : 0.0;
    const double xr = NumericByName("FocalPlaneXResolution"), yr = NumericByName("FocalPlaneYResolution");
    if (mmPerUnit == 0 || xr <= 0 || yr <= 0 || ImageWidth <= 0 || ImageHeight <= 0) return 0;
    const double diagonal = std::hypot(ImageWidth * mmPerUnit / xr, ImageHeight * mmPerUnit / yr);
    return diagonal >= kMinSensorDiagonal && diagonal <= kMaxSensorDiagonal ? diagonal : 0;
}

void TImageInfo::DeriveFocal35()
{
    if (FindTagIndex("FocalLengthin35mmFilm") >= 0) return;
    const double focal = NumericByName("FocalLength");
    const double diagonal = SensorDiagonal();
    // Without a sensor size there is no sound factor: nothing is guessed.
    if (focal <= 0 || diagonal <= 0) return;
    TTagEntry entry = ExifTagTable()[static_cast<size_t>(StaticTagIndex("FocalLengthIn35mmFilm"))];
    entry.Text = FormatText("%5.2f", {focal * kFullFrameDiagonal / diagonal});
    entry.RawBytes.clear();
    entry.Template = "%s mm";
    entry.FieldType = 10;
    AddTag(entry);
    Listing += "\r\n" + entry.Label + " = " + entry.Text + " mm (computed)";
}

std::string TImageInfo::ThumbnailBytes() const
{
    if (ThumbnailPos <= 0 || ThumbnailLength <= 0 || !Fits(Block, ThumbnailPos, ThumbnailLength)) return {};
    return Block.substr(static_cast<size_t>(ThumbnailPos - 1), static_cast<size_t>(ThumbnailLength));
}

void TImageInfo::SyncDimensions(std::string& exifBytes, int32_t realHeight, int32_t realWidth) const
{
    if (ImageWidth <= 0 || ImageHeight <= 0) return;
    if (realWidth == ImageWidth && realHeight == ImageHeight) return;
    // Only a single SHORT or LONG stands inline in its value field; anything
    // else there is an offset or another type, which four written bytes would
    // corrupt. A SHORT takes the first two bytes of the field in either order.
    // A field that the bytes do not hold whole is left as it is.
    auto put = [&](int64_t pos, uint16_t type, int32_t count, int32_t value) {
        if (count != 1 || value < 0) return;
        if (type == kLong && Fits(exifBytes, pos, 4)) {
            PutUInt32(exifBytes, static_cast<uint32_t>(value), pos);
        } else if (type == kShort && value <= 0xFFFF && Fits(exifBytes, pos, 2)) {
            const auto at = static_cast<size_t>(pos - 1);
            const auto hi = static_cast<char>(value >> 8), lo = static_cast<char>(value & 0xFF);
            exifBytes[at] = BigEndian ? hi : lo;
            exifBytes[at + 1] = BigEndian ? lo : hi;
        }
    };
    put(HeightPos, HeightType, HeightCount, realHeight);
    put(WidthPos, WidthType, WidthCount, realWidth);
}
