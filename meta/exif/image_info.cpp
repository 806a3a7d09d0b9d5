#include "meta/exif/image_info.h"

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

// A camera block nests IFD0 > EXIF > interoperability; anything much deeper
// is a crafted file, not a camera.
constexpr int kMaxDirectoryDepth = 8;
constexpr size_t kMakeTextLength = 32;
// Diagonal of a 36 x 24 mm frame, in millimetres.
constexpr double kFullFrameDiagonal = 43.26661531;

// Byte count of an entry: component size times count, modulo 2^32, signed.
int64_t EntrySize(uint16_t type, int32_t count)
{
    const uint32_t bytes = static_cast<uint32_t>(ComponentSize(type)) * static_cast<uint32_t>(count);
    return static_cast<int32_t>(bytes);
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

}  // namespace

TImageInfo::TImageInfo(int32_t buildSelector) : BuildSelector(buildSelector)
{
    PrepareTagTables();
}

TImageInfo::~TImageInfo() = default;

int32_t TImageInfo::AddTag(const TTagEntry& entry)
{
    if (entry.TagNo != 0) {
        if (TagCount >= TagCapacity - 1) {
            TagCapacity += 25;
            TagList.resize(static_cast<size_t>(TagCapacity));
        }
        TagList[static_cast<size_t>(TagCount)] = entry;
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
    try {
        WalkEntries(start, base, limit, kind);
    } catch (const std::exception&) {
    }
}

void TImageInfo::WalkEntries(int64_t start, int64_t base, int64_t limit, tDirKind kind)
{
    const tEnterDirectory guard(FDepth, FEntered, start);
    const int64_t n = GetUInt16(start);
    if (2 + 12 * n > base + limit) {
        SetStatus("Illegally sized directory");
        return;
    }
    const bool listing = BuildSelector == 2 || BuildSelector == 255;
    const bool listed = BuildSelector == 4 || BuildSelector == 255;
    for (int64_t i = 0; i < n; ++i) {
        const int64_t e = start + 2 + 12 * i;
        const auto [tag, type, count, size] = ReadEntryHead(*this, e);
        if (size == 0) continue;
        const int64_t valuePos = size <= 4 ? e + 8 : int64_t{GetUInt32(e + 8)} + base;
        const std::string raw = CopyBytes(Block, valuePos, size);

        TTagEntry row;
        std::string text;
        if (listing) {
            row = LookupDirTag(tag, kind);
            if (type == kAscii)
                text = CopyBytes(Block, valuePos, size - 1);
            else if (type == kUndefined)
                text = Quoted(raw, true);
            else
                text = RenderValue(*this, raw, type, row.ValueCodes, row.Template);
            text = row.TagNo != 0 && row.Hook ? row.Hook(text) : CleanText(text);
            Listing += "\r\n" + row.Label + " = " + text;
        }
        if (listed) {
            try {
                TTagEntry entry = row;
                entry.Text = text;
                entry.RawBytes = raw;
                entry.FieldType = type;
                AddTag(entry);
            } catch (const std::exception&) {
            }
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
            // A broken sub-directory ends there; this directory goes on.
            try {
                const int64_t sub = int64_t{GetUInt32(valuePos)} + base;
                WalkDirectory(sub, base, limit, tag == kGpsPointer ? tDirKind::GpsKind : tDirKind::ExifKind);
            } catch (const std::exception&) {
            }
            break;
        case kMakerNote: {
            MakerNoteBytes = raw;
            MakerNotePos = valuePos;
            if (OnMakerNote) OnMakerNote(*this);
            break;
        }
        default:
            break;
        }
    }
}

void TImageInfo::WalkMakerDirectory(const std::string& makerBytes, std::span<const TTagEntry> table,
                                    int64_t dirOffset, int64_t makerBase, int64_t blockBase)
{
    // The EXIF block, for values that lie outside the maker bytes and to come
    // back to afterwards.
    const std::string exifBlock = Block;
    Block = makerBytes;
    const int64_t p0 = dirOffset + 1;
    const int64_t shift = dirOffset + 2 - makerBase;
    const bool listed = BuildSelector == 4 || BuildSelector == 255;
    try {
        const int64_t n = GetUInt16(p0);
        for (int64_t i = 0; i < n; ++i) {
            const int64_t e = p0 + 2 + 12 * i;
            const auto [tag, type, count, size] = ReadEntryHead(*this, e);
            int64_t off = 0, valuePos = e + 8;
            if (size > 4) {
                off = GetUInt32(e + 8);
                valuePos = shift + off;
            }
            const std::string raw = valuePos + size - 1 <= static_cast<int64_t>(makerBytes.size())
                                        ? CopyBytes(makerBytes, valuePos, size)
                                        : CopyBytes(exifBlock, blockBase + off, size);
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
            if (type == kAscii) {
                text = Quoted(raw, true);
            } else if (type == kUndefined) {
                text = Quoted(raw, false);
            } else {
                try {
                    const std::string codes = last >= 0 ? table[static_cast<size_t>(last)].ValueCodes : "";
                    const std::string tmpl = idx >= 0 ? table[static_cast<size_t>(idx)].Template : "";
                    text = RenderValue(*this, raw, type, codes, tmpl);
                } catch (const std::exception&) {
                    text = Quoted(raw, false);
                }
            }
            // Row 0 of a maker table is listed but never hooked or kept.
            const TTagEntry* row = idx > 0 ? &table[static_cast<size_t>(idx)] : nullptr;
            text = row && row->Hook ? row->Hook(text) : CleanText(text);
            MakerListing += "\r\n" + name + " = " + text;
            if (row) {
                try {
                    TTagEntry entry = *row;
                    entry.Text = text;
                    entry.RawBytes = raw;
                    entry.FieldType = type;
                    entry.Origin = 1;
                    AddTag(entry);
                } catch (const std::exception&) {
                }
            }
        }
    } catch (const std::exception& error) {
        SetStatus(std::string("Error Detected = ") + error.what());
    }
    Block = exifBlock;
}

void TImageInfo::DeriveFocal35()
{
    if (FindTagIndex("FocalLengthin35mmFilm") >= 0) return;
    int32_t unit = IntegerByName("FocalPlaneResolutionUnit");
    if (unit < 1) unit = IntegerByName("ResolutionUnit");
    const double mmPerUnit = unit == 2 ? 25.4 : unit == 3 ? 10.0 : 0.0;
    const double focal = NumericByName("FocalLength");
    if (mmPerUnit == 0 || focal == 0) return;
    double sensorW = 0, sensorH = 0;
    const int32_t xr = IntegerByName("FocalPlaneXResolution");
    if (xr > 0) sensorW = ImageWidth * mmPerUnit / xr;
    const int32_t yr = IntegerByName("FocalPlaneYResolution");
    if (yr > 0) sensorH = ImageHeight * mmPerUnit / yr;
    const double factor = sensorW * sensorH > 0
                              ? kFullFrameDiagonal / std::sqrt(sensorW * sensorW + sensorH * sensorH)
                              : 4.5;
    TTagEntry entry = ExifTagTable()[static_cast<size_t>(StaticTagIndex("FocalLengthIn35mmFilm"))];
    entry.Text = FormatText("%5.2f", {focal * factor});
    entry.RawBytes.clear();
    entry.Template = "%s mm";
    entry.FieldType = 10;
    AddTag(entry);
    Listing += "\r\n" + entry.Label + " = " + entry.Text;
}

void TImageInfo::SyncDimensions(std::string& exifBytes, int32_t realHeight, int32_t realWidth) const
{
    if (ImageWidth <= 0 || ImageHeight <= 0) return;
    if (realWidth == ImageWidth && realHeight == ImageHeight) return;
    // Only a single SHORT or LONG stands inline in its value field; anything
    // else there is an offset or another type, which four written bytes would
    // corrupt. A SHORT takes the first two bytes of the field in either order.
    auto put = [&](int64_t pos, uint16_t type, int32_t count, int32_t value) {
        if (count != 1 || value < 0) return;
        if (type == kLong) {
            PutUInt32(exifBytes, static_cast<uint32_t>(value), pos);
        } else if (type == kShort && value <= 0xFFFF && pos >= 1 &&
                   pos + 1 <= static_cast<int64_t>(exifBytes.size())) {
            const auto at = static_cast<size_t>(pos - 1);
            const auto hi = static_cast<char>(value >> 8), lo = static_cast<char>(value & 0xFF);
            exifBytes[at] = BigEndian ? hi : lo;
            exifBytes[at + 1] = BigEndian ? lo : hi;
        }
    };
    put(HeightPos, HeightType, HeightCount, realHeight);
    put(WidthPos, WidthType, WidthCount, realWidth);
}
