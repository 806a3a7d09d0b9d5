#include "meta/movie/movie_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <type_traits>

#include <endian.h>
#include <unistd.h>

namespace {

void Ensure(bool condition, const char* message)
{
    if (!condition) throw EDamagedFile(message);
}

[[noreturn]] __attribute__((noinline, cold)) void RefuseNow(const char* message)
{
    throw ECannotClean(message);
}

// A file that may be sound but that no rewrite here can clean safely. The
// test stays where it is made: sample tables are checked entry by entry.
inline void Refuse(bool condition, const char* message)
{
    if (!condition) [[unlikely]]
        RefuseNow(message);
}

// The brands of movie files (ISO/IEC 14496-12, 14496-14, 3GPP TS 26.244,
// QuickTime, and the cameras' own). The HEIF image brands are not here: the
// format table asks the HEIF sniff first.
constexpr std::array<uint32_t, 40> kMovieBrands = {
    FourCC("isom"), FourCC("iso2"), FourCC("iso3"), FourCC("iso4"), FourCC("iso5"), FourCC("iso6"),
    FourCC("iso7"), FourCC("iso8"), FourCC("iso9"), FourCC("mp41"), FourCC("mp42"), FourCC("mp71"),
    FourCC("qt  "), FourCC("M4V "), FourCC("M4VH"), FourCC("M4VP"), FourCC("M4A "), FourCC("M4B "),
    FourCC("3gp4"), FourCC("3gp5"), FourCC("3gp6"), FourCC("3gp7"), FourCC("3gp8"), FourCC("3gp9"),
    FourCC("3g2a"), FourCC("3g2b"), FourCC("3g2c"), FourCC("3ge6"), FourCC("3ge7"), FourCC("3gg6"),
    FourCC("3gs7"), FourCC("avc1"), FourCC("MSNV"), FourCC("XAVC"), FourCC("mmp4"), FourCC("f4v "),
    FourCC("kddi"), FourCC("NDAS"), FourCC("CAEP"), FourCC("dash"),
};

bool MovieBrand(uint32_t brand)
{
    return std::find(kMovieBrands.begin(), kMovieBrands.end(), brand) != kMovieBrands.end();
}

uint32_t U32At(std::string_view bytes, size_t at)
{
    tBoxCursor c(bytes.substr(at, 4));
    return c.U32();
}

// Boxes a QuickTime file without ftyp starts with, and may hold at its top.
bool QuickTimeTop(uint32_t type)
{
    return type == FourCC("moov") || type == FourCC("mdat") || type == FourCC("wide") || type == FourCC("free") ||
           type == FourCC("skip") || type == FourCC("pnot") || type == FourCC("ftyp") || type == FourCC("udta") ||
           type == FourCC("uuid");
}

// Boxes of fragmented movies (ISO/IEC 14496-12, 8.8 and 8.16): their
// samples are described outside moov, which this format does not walk.
bool FragmentBox(uint32_t type)
{
    return type == FourCC("moof") || type == FourCC("mfra") || type == FourCC("sidx") || type == FourCC("ssix") ||
           type == FourCC("styp") || type == FourCC("emsg") || type == FourCC("prft") || type == FourCC("mvex");
}

bool FreeSpace(uint32_t type)
{
    return type == FourCC("free") || type == FourCC("skip") || type == FourCC("wide");
}

// Handlers of tracks whose samples are metadata (ISO/IEC 14496-12, 12.3):
// Apple's location track, GoPro's gpmd, Sony's rtmd, Google's camm.
bool MetadataHandler(uint32_t handler)
{
    return handler == FourCC("meta") || handler == FourCC("camm");
}

// The XMP box of ISO/IEC 16684-1 (BE7ACFCB-97A9-42E8-9C71-999491E3AFAC).
const std::string kXmpUuid("\xBE\x7A\xCF\xCB\x97\xA9\x42\xE8\x9C\x71\x99\x94\x91\xE3\xAF\xAC", 16);

// "©xyz" for QuickTime's user data types, whose first byte is 0xA9.
std::string BoxName(uint32_t type)
{
    if (type >> 24 == 0xA9) return "\xC2\xA9" + FourCCText(type).substr(4);  // after "\xa9"
    return FourCCText(type);
}

// A number of seconds since 1904-01-01 (QuickTime's and ISO's epoch) as a UTC date.
std::string DateText(uint64_t seconds)
{
    constexpr uint64_t k1904To1970 = 2082844800;
    if (seconds < k1904To1970 || seconds - k1904To1970 > uint64_t{1} << 40) return std::to_string(seconds);
    const auto t = static_cast<time_t>(seconds - k1904To1970);
    struct tm utc {};
    char text[32];
    if (!gmtime_r(&t, &utc) || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc) == 0)
        return std::to_string(seconds);
    return text;
}

// The header of a free box that takes `box`'s place: as long, with a 64-bit
// size where it had one (ISO/IEC 14496-12, 8.1.2).
std::string FreeHeader(const tBox& box)
{
    const bool large = box.LargeSize || box.Length > 0xFFFFFFFFll;
    return BoxHeader(FourCC("free"), static_cast<uint64_t>(box.Length) - (large ? 16 : 8), large);
}

bool ReadAll(int fd, char* buffer, size_t n, int64_t offset)
{
    while (n > 0) {
        const ssize_t got = ::pread(fd, buffer, n, static_cast<off_t>(offset));
        if (got <= 0) return false;
        buffer += got;
        n -= static_cast<size_t>(got);
        offset += got;
    }
    return true;
}

constexpr size_t kChunk = 64 * 1024;

uint64_t BigEndianAt(const uint8_t* p, size_t size)
{
    if (size == 4) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return be32toh(v);
    }
    if (size == 8) {
        uint64_t v;
        std::memcpy(&v, p, 8);
        return be64toh(v);
    }
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i) value = value << 8 | p[i];
    return value;
}

}  // namespace

bool LooksLikeMovie(std::string_view first)
{
    if (first.size() < 16) return false;
    const uint32_t size = U32At(first, 0), type = U32At(first, 4);
    if (type == FourCC("ftyp")) {
        // Size, type, major brand, minor version, then compatible brands to the end of the box.
        if (MovieBrand(U32At(first, 8))) return true;
        const size_t end = std::min<size_t>(first.size(), size < 16 ? 16 : size);
        for (size_t at = 16; at + 4 <= end; at += 4)
            if (MovieBrand(U32At(first, at))) return true;
        return false;
    }
    // A QuickTime file from before ftyp: a second box header must agree.
    if (!QuickTimeTop(type) || type == FourCC("ftyp") || type == FourCC("uuid") || type == FourCC("udta") ||
        (size != 0 && size != 1 && size < 8))
        return false;
    if (type == FourCC("moov")) {
        // Its first child.
        const uint32_t childSize = U32At(first, 8), child = U32At(first, 12);
        return (child == FourCC("mvhd") || child == FourCC("prfl") || child == FourCC("cmov") ||
                child == FourCC("trak") || child == FourCC("udta") || child == FourCC("iods")) &&
               childSize >= 8 && (size < 8 || childSize <= size - 8);
    }
    if (size >= 8 && size + size_t{8} <= first.size()) {
        const uint32_t nextSize = U32At(first, size), next = U32At(first, size + 4);
        return QuickTimeTop(next) && next != FourCC("ftyp") && (nextSize == 0 || nextSize == 1 || nextSize >= 8);
    }
    // An mdat too long to see past: its size must be one.
    return type == FourCC("mdat") && (size == 1 || size == 0 || size >= 16);
}

std::unique_ptr<tPictureFile> ScanMovie(tFileHandle file, const struct stat& st, const std::string&, bool listing)
{
    return std::make_unique<tMovieFile>(std::move(file), static_cast<int64_t>(st.st_size), listing);
}

tMovieFile::tMovieFile(tFileHandle file, int64_t size, bool listing) : FReader(file.Get(), size)
{
    FSource = std::move(file);
    FTop = FReader.TopLevel();
    const tBox* moov = nullptr;
    std::vector<size_t> mdats;  // their parts, which say later whether samples in them are zeroed
    for (const tBox& box : FTop) {
        const uint32_t t = box.Type;
        Refuse(!FragmentBox(t), "fragmented movies are not supported");
        const std::string name = BoxName(t);
        if (t == FourCC("moov")) {
            Refuse(!moov, "two movie boxes (moov)");
            moov = &box;
            FMoov = {box.Offset, box.Length};
            FParts.push_back({tPartKind::Picture, -1, box.Length, name});
            FReader.Hold(box);
            ScanMoov(box, listing);
        } else if (t == FourCC("ftyp")) {
            FParts.push_back({tPartKind::Picture, box.Offset, box.Length, name});
        } else if (t == FourCC("mdat")) {
            mdats.push_back(FParts.size());
            FParts.push_back({tPartKind::Picture, box.Offset, box.Length, name});
        } else if (FreeSpace(t)) {
            AddFree(box, name);
        } else {
            // Top-level meta and udta, XMP in a uuid box, previews (pnot,
            // PICT), unknown boxes: nothing a player reads.
            AddRemovable(box, name);
            if (listing && t == FourCC("uuid") && box.UserType == kXmpUuid && box.PayloadLength() <= kMaxZeroedBytes)
                Texts.Xmp = FReader.Payload(box);
            if (listing && t == FourCC("meta")) ReadMetaTexts(box);
            if (listing && t == FourCC("udta")) ScanUserData(box, name, true, true);
        }
    }
    Ensure(moov, "no movie box (moov)");
    std::sort(FSamples.begin(), FSamples.end(), [](const tRange& a, const tRange& b) { return a.Offset < b.Offset; });
    // Two metadata tracks may share bytes: one range for both.
    std::vector<tRange> merged;
    for (const tRange& r : FSamples) {
        if (!merged.empty() && r.Offset <= merged.back().Offset + merged.back().Length) {
            merged.back().Length = std::max(merged.back().Length, r.Offset + r.Length - merged.back().Offset);
            continue;
        }
        merged.push_back(r);
    }
    FSamples = std::move(merged);
    for (size_t at : mdats) {
        tPart& mdat = FParts[at];
        const auto inside = std::find_if(FSamples.begin(), FSamples.end(), [&](const tRange& r) {
            return r.Offset >= mdat.Offset && r.Offset < mdat.Offset + mdat.Length;
        });
        // Zeroed samples in it: not copied as it stands.
        if (inside != FSamples.end()) mdat.Offset = -1;
    }
    CheckKeptChunks();
    // Nothing else is read past the scan. The movie box is most of what is
    // written, and the check compares it: its bytes go with the plan.
    FMoovBytes = FReader.HeldBytes();
    FReader.Release();
}

void tMovieFile::ScanMoov(const tBox& moov, bool listing)
{
    int tracks = 0;
    for (const tBox& box : FReader.Children(moov)) {
        const uint32_t t = box.Type;
        const std::string name = "moov/" + BoxName(t);
        Refuse(!FragmentBox(t), "fragmented movies are not supported");
        Refuse(t != FourCC("cmov"), "a compressed movie box (cmov)");
        if (t == FourCC("mvhd")) {
            tPart header{tPartKind::Picture, box.Offset, box.Length, name};
            header.Adjusted = true;  // its times become zeros
            FParts.push_back(header);
            AddTimes(box, name);
        } else if (t == FourCC("trak")) {
            ScanTrak(box, "moov/trak " + std::to_string(++tracks), listing);
        } else if (t == FourCC("udta")) {
            ScanUserData(box, name, listing);
        } else if (t == FourCC("meta") || t == FourCC("uuid")) {
            // QuickTime keys (location, make, model, software, creation date),
            // iTunes items, XMP or a camera's own block.
            AddRemovable(box, name);
            if (listing && t == FourCC("meta")) ReadMetaTexts(box);
            if (listing && box.UserType == kXmpUuid && box.PayloadLength() <= kMaxZeroedBytes)
                Texts.Xmp = FReader.Payload(box);
        } else if (FreeSpace(t)) {
            AddFree(box, name);
        } else {
            FParts.push_back({tPartKind::Picture, box.Offset, box.Length, name});
        }
    }
}

void tMovieFile::ScanTrak(const tBox& trak, const std::string& name, bool listing)
{
    const std::vector<tBox> children = FReader.Children(trak);
    const auto mdia = std::find_if(children.begin(), children.end(), [](const tBox& b) { return b.Type == FourCC("mdia"); });
    std::vector<tBox> media;
    uint32_t handler = 0;
    const tBox* stbl = nullptr;
    std::vector<tBox> minfChildren;
    if (mdia != children.end()) {
        media = FReader.Children(*mdia);
        for (const tBox& box : media) {
            if (box.Type == FourCC("hdlr")) {
                // Version and flags, a QuickTime component type, then the handler type.
                Ensure(box.PayloadLength() >= 12, "a box ends inside its fields");
                const std::string fields = FReader.Read(box.Payload() + 8, 4);
                tBoxCursor c(fields);
                handler = c.U32();
            } else if (box.Type == FourCC("minf")) {
                minfChildren = FReader.Children(box);
                for (const tBox& b : minfChildren)
                    if (b.Type == FourCC("stbl")) stbl = &b;
            }
        }
    }
    if (MetadataHandler(handler)) {
        // The whole track goes, and its samples become zeros. A tref of
        // another track that names it is left as it stands: a reference to
        // a track that is not there is ignored by players.
        AddRemovable(trak, name + " (timed metadata)");
        if (stbl) ReadSamples(*stbl);
        return;
    }
    if (stbl) FKeptSampleTables.push_back(*stbl);
    // Its box and its media box hold times that become zeros.
    FParts.push_back({tPartKind::Picture, -1, trak.Length, name});
    for (const tBox& box : children) {
        const uint32_t t = box.Type;
        const std::string child = name + "/" + BoxName(t);
        if (t == FourCC("tkhd")) {
            tPart header{tPartKind::Picture, box.Offset, box.Length, child};
            header.Adjusted = true;
            FParts.push_back(header);
            AddTimes(box, child);
        } else if (t == FourCC("mdia")) {
            FParts.push_back({tPartKind::Picture, -1, box.Length, child});
            for (const tBox& m : media) {
                const std::string part = child + "/" + BoxName(m.Type);
                if (m.Type == FourCC("mdhd")) {
                    tPart header{tPartKind::Picture, m.Offset, m.Length, part};
                    header.Adjusted = true;
                    FParts.push_back(header);
                    AddTimes(m, part);
                } else {
                    FParts.push_back({tPartKind::Picture, m.Offset, m.Length, part});
                }
            }
        } else if (t == FourCC("udta")) {
            ScanUserData(box, child, listing);
        } else if (t == FourCC("meta") || t == FourCC("uuid")) {
            AddRemovable(box, child);
            if (listing && t == FourCC("meta")) ReadMetaTexts(box);
        } else if (FreeSpace(t)) {
            AddFree(box, child);
        } else {
            // tkhd's matrix is the rotation; edts, tref, ... are kept as they stand.
            FParts.push_back({tPartKind::Picture, box.Offset, box.Length, child});
        }
    }
}

void tMovieFile::ScanUserData(const tBox& udta, const std::string& name, bool listing, bool goesWhole)
{
    std::vector<tBox> items;
    try {
        items = FReader.Children(udta);
    } catch (const EDamagedFile&) {
        // QuickTime ends a user data list with a 32-bit zero (QuickTime File Format, "User Data Atoms").
        Ensure(udta.PayloadLength() >= 4 && AllZero(udta.End() - 4, 4), "a box header runs past the end of its parent");
        items = FReader.BoxesIn(udta.Payload(), udta.End() - 4, udta.Depth + 1, false);
    }
    if (!goesWhole) FParts.push_back({tPartKind::Picture, -1, udta.Length, name});
    for (const tBox& box : items) {
        const std::string child = name + "/" + BoxName(box.Type);
        if (goesWhole) {
            // Listed only: the box it is in goes.
        } else if (box.Type == FourCC("chpl")) {
            // Chapters a player shows.
            FParts.push_back({tPartKind::Picture, box.Offset, box.Length, child});
            continue;
        } else if (FreeSpace(box.Type)) {
            AddFree(box, child);
            continue;
        } else {
            AddRemovable(box, child);
        }
        if (!listing || box.PayloadLength() > 65536) continue;
        if (box.Type == FourCC("meta")) {
            ReadMetaTexts(box);
        } else if (box.Type == FourCC("XMP_")) {
            Texts.Xmp = FReader.Payload(box);
        } else if (box.Type >> 24 == 0xA9) {
            // QuickTime text: a 16-bit length, a language, the text.
            const std::string payload = FReader.Payload(box);
            tBoxCursor c(payload);
            const uint16_t length = payload.size() >= 4 ? c.U16() : 0;
            if (payload.size() >= 4) c.Skip(2);
            if (length > 0 && length <= c.Left()) Texts.Lines.emplace_back(BoxName(box.Type), std::string(c.Take(length)));
            else Texts.Lines.emplace_back(BoxName(box.Type), std::to_string(payload.size()) + " bytes");
        } else {
            Texts.Lines.emplace_back(BoxName(box.Type), std::to_string(box.PayloadLength()) + " bytes");
        }
    }
}

void tMovieFile::ReadMetaTexts(const tBox& meta)
{
    // Best effort, for a listing: the box goes whole when other metadata does.
    try {
        if (meta.PayloadLength() < 8 || meta.PayloadLength() > 65536) return;
        // ISO's meta is a full box; QuickTime's starts with its hdlr at once.
        const std::string head = FReader.Read(meta.Payload(), 8);
        const int64_t skip = head.substr(4, 4) == "hdlr" ? 0 : 4;
        std::vector<std::string> keys;
        for (const tBox& box : FReader.Children(meta, skip)) {
            if (box.Type == FourCC("keys")) {
                // Version, flags, a count, then (size, namespace, name) per key.
                const std::string payload = FReader.Payload(box);
                tBoxCursor c(payload);
                c.Skip(4);
                const uint32_t n = c.U32();
                for (uint32_t i = 0; i < n; ++i) {
                    const uint32_t size = c.U32();
                    c.Skip(4);
                    Ensure(size >= 8, "a key shorter than its header");
                    keys.emplace_back(c.Take(size - 8));
                }
            } else if (box.Type == FourCC("ilst")) {
                for (const tBox& item : FReader.Children(box)) {
                    // An index into keys (1-based), or an iTunes type ("©nam").
                    const bool keyed = item.Type >= 1 && item.Type <= keys.size();
                    const std::string key = keyed ? keys[item.Type - 1] : BoxName(item.Type);
                    for (const tBox& data : FReader.Children(item)) {
                        if (data.Type != FourCC("data") || data.PayloadLength() < 8) continue;
                        const std::string payload = FReader.Payload(data);
                        tBoxCursor c(payload);
                        const uint32_t type = c.U32() & 0xFFFFFF;
                        c.Skip(4);
                        // Type 1: UTF-8 text.
                        Texts.Lines.emplace_back(key, type == 1 ? std::string(c.Take(c.Left()))
                                                                : std::to_string(c.Left()) + " bytes");
                    }
                }
            }
        }
    } catch (const EDamagedFile&) {
    }
}

void tMovieFile::AddTimes(const tBox& box, const std::string& name)
{
    // Version, flags, then creation and modification time: 32 bits each in
    // version 0, 64 in version 1 (ISO/IEC 14496-12, 8.2.2, 8.3.2, 8.4.2).
    const uint8_t version = FReader.FullBox(box).Version;
    Refuse(version <= 1, "a movie or track header of an unknown version");
    const int64_t length = version == 0 ? 8 : 16;
    Ensure(box.PayloadLength() >= 4 + length, "a box ends inside its fields");
    const std::string times = FReader.Read(box.Payload() + 4, length);
    tPart part{tPartKind::Other, box.Payload() + 4, length, name + " times"};
    part.KeepsSomething = true;  // the rest of the header stays
    part.NothingToRemove = times.find_first_not_of('\0') == std::string::npos;
    FParts.push_back(part);
    if (!part.NothingToRemove) FTimes.push_back({part.Offset, part.Length});
    if (part.NothingToRemove) return;
    tBoxCursor c(times);
    const uint64_t created = c.UInt(static_cast<size_t>(length / 2)), modified = c.UInt(static_cast<size_t>(length / 2));
    Texts.Lines.emplace_back(name + " created", DateText(created));
    Texts.Lines.emplace_back(name + " modified", DateText(modified));
}

void tMovieFile::AddRemovable(const tBox& box, const std::string& name)
{
    FParts.push_back({tPartKind::Other, box.Offset, box.Length, name});
    FRemovable.push_back(box);
}

void tMovieFile::AddFree(const tBox& box, const std::string& name)
{
    // Free space may hold what an editor left behind: zeros are kept, anything else goes.
    if (AllZero(box.Payload(), box.PayloadLength()))
        FParts.push_back({tPartKind::Picture, box.Offset, box.Length, name});
    else
        AddRemovable(box, name);
}

bool tMovieFile::AllZero(int64_t offset, int64_t length)
{
    if (const auto held = FReader.Held(offset, length)) return held->find_first_not_of('\0') == std::string_view::npos;
    // Streamed, never kept: free space may be large.
    std::string bytes;
    for (int64_t at = 0; at < length;) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(length - at, kChunk));
        bytes.resize(n);
        Ensure(ReadAll(FSource.Get(), bytes.data(), n, offset + at), "the file could not be read to its end");
        if (bytes.find_first_not_of('\0') != std::string::npos) return false;
        at += static_cast<int64_t>(n);
    }
    return true;
}

// The sample tables are read whole; a table larger than this is no track
// any camera writes (a day of video at 60 frames a second is 21 MB of sizes).
constexpr int64_t kMaxSampleTableBytes = 64 << 20;

template <class tVisit>
void tMovieFile::VisitChunks(const tBox& stbl, tVisit&& visit)
{
    // Sample sizes (stsz or stz2), samples per chunk (stsc) and chunk
    // offsets (stco or co64) give where each chunk's samples lie (ISO/IEC
    // 14496-12, 8.7).
    const char* const wrong = "a track's sample tables do not add up";
    const tBox *sizes = nullptr, *runs = nullptr, *chunks = nullptr;
    // Kept while the pointers into it are used.
    const std::vector<tBox> children = FReader.Children(stbl);
    for (const tBox& box : children) {
        const tBox** slot = box.Type == FourCC("stsz") || box.Type == FourCC("stz2")   ? &sizes
                            : box.Type == FourCC("stsc")                               ? &runs
                            : box.Type == FourCC("co64") || box.Type == FourCC("stco") ? &chunks
                                                                                       : nullptr;
        if (!slot) continue;
        Refuse(!*slot, "a track with two sample tables of one kind");
        Refuse(box.PayloadLength() <= kMaxSampleTableBytes, "a sample table too large to check");
        *slot = &box;
    }
    if (!sizes && !chunks) return;
    Refuse(sizes && runs && chunks, "a track's sample tables are incomplete");
    // Read in place where the movie box is held: tables are most of it.
    std::string sizeCopy, runCopy, chunkCopy;
    const std::string_view sizeBytes = FReader.PayloadView(*sizes, sizeCopy);
    tBoxCursor s(sizeBytes, wrong);
    s.Skip(4);
    uint32_t fixed = 0, bits = 32;
    if (sizes->Type == FourCC("stsz")) {
        fixed = s.U32();
    } else {
        s.Skip(3);
        bits = s.U8();
        Refuse(bits == 4 || bits == 8 || bits == 16, wrong);
    }
    const uint64_t count = s.U32();
    if (fixed == 0) Refuse(count <= s.Left() * 8 / bits, wrong);
    // Tables are read entry by entry in place, their lengths checked first:
    // a long clip has a million samples.
    const auto* table = reinterpret_cast<const uint8_t*>(sizeBytes.data()) + s.Pos();

    const std::string_view runBytes = FReader.PayloadView(*runs, runCopy);
    tBoxCursor r(runBytes, wrong);
    r.Skip(4);
    const uint64_t runCount = r.U32();
    Refuse(runCount <= r.Left() / 12, wrong);
    // Runs of 12 bytes: the first chunk of the run (from 1, rising), its
    // samples per chunk, its sample description.
    const auto* runTable = reinterpret_cast<const uint8_t*>(runBytes.data()) + r.Pos();
    auto firstChunk = [&](uint64_t i) { return BigEndianAt(runTable + 12 * i, 4); };
    bool rising = runCount == 0 || firstChunk(0) == 1;
    for (uint64_t i = 1; i < runCount && rising; ++i) rising = firstChunk(i) > firstChunk(i - 1);
    Refuse(rising, wrong);

    const std::string_view chunkBytes = FReader.PayloadView(*chunks, chunkCopy);
    tBoxCursor o(chunkBytes, wrong);
    o.Skip(4);
    const bool wide = chunks->Type == FourCC("co64");
    const uint64_t chunkCount = o.U32();
    Refuse(chunkCount <= o.Left() / (wide ? 8 : 4), wrong);
    const auto* offsets = reinterpret_cast<const uint8_t*>(chunkBytes.data()) + o.Pos();
    Refuse(chunkCount == 0 || runCount > 0, wrong);
    const auto fileSize = static_cast<uint64_t>(FReader.FileSize());
    uint64_t sample = 0;
    // A run of chunks of one sample count at a time, the loop made anew for
    // each width of offsets and of sizes: a long clip has a million chunks.
    auto walk = [&](auto offsetSize, auto&& bytesOf) {
        for (uint64_t run = 0, k = 0; k < chunkCount; ++run) {
            const uint64_t end = run + 1 < runCount ? std::min(firstChunk(run + 1) - 1, chunkCount) : chunkCount;
            const uint64_t n = BigEndianAt(runTable + 12 * run + 4, 4);
            for (; k < end; ++k) {
                const uint64_t offset = BigEndianAt(offsets + k * offsetSize, offsetSize);
                Refuse(n <= count - sample, wrong);
                const uint64_t bytes = bytesOf(sample, n);
                sample += n;
                Refuse(offset <= fileSize && bytes <= fileSize - offset, "a track's samples run past the end of the file");
                if (bytes != 0) visit(static_cast<int64_t>(offset), static_cast<int64_t>(bytes));
            }
        }
    };
    auto withOffsets = [&](auto&& bytesOf) {
        wide ? walk(std::integral_constant<size_t, 8>(), bytesOf) : walk(std::integral_constant<size_t, 4>(), bytesOf);
    };
    // The bytes of `n` samples from `first` on.
    auto sizesOf = [&](auto width) {
        return [&, width](uint64_t first, uint64_t n) {
            uint64_t bytes = 0;
            for (uint64_t i = first; i < first + n; ++i) bytes += BigEndianAt(table + width * i, width);
            return bytes;
        };
    };
    if (fixed != 0) {
        withOffsets([&](uint64_t, uint64_t n) { return n * fixed; });  // both below 2^32
    } else if (bits == 32) {
        withOffsets(sizesOf(std::integral_constant<size_t, 4>()));
    } else if (bits == 16) {
        withOffsets(sizesOf(std::integral_constant<size_t, 2>()));
    } else if (bits == 8) {
        withOffsets(sizesOf(std::integral_constant<size_t, 1>()));
    } else {
        withOffsets([&](uint64_t first, uint64_t n) {
            uint64_t bytes = 0;
            for (uint64_t i = first; i < first + n; ++i) bytes += i % 2 == 0 ? table[i / 2] >> 4 : table[i / 2] & 15;
            return bytes;
        });
    }
    Refuse(sample == count, wrong);
}

void tMovieFile::ReadSamples(const tBox& stbl)
{
    VisitChunks(stbl, [&](int64_t offset, int64_t length) {
        // Inside the data of one mdat box: the zeros must touch no box header.
        const auto mdat = std::find_if(FTop.begin(), FTop.end(), [&](const tBox& b) {
            return b.Type == FourCC("mdat") && offset >= b.Payload() && offset + length <= b.End();
        });
        Refuse(mdat != FTop.end(), "a metadata track's samples outside the movie data (mdat)");
        FSamples.push_back({offset, length});
    });
}

void tMovieFile::CheckKeptChunks()
{
    // A kept track's samples that lie in a removed box or among removed
    // samples would lose their bytes: such a file is not cleaned.
    std::vector<tRange> gone = FSamples;
    for (const tBox& box : FRemovable) gone.push_back({box.Offset, box.Length});
    if (gone.empty()) return;
    std::sort(gone.begin(), gone.end(), [](const tRange& a, const tRange& b) { return a.Offset < b.Offset; });
    // The longest gone range, so that the search can start far enough back.
    int64_t longest = 0;
    for (const tRange& g : gone) longest = std::max(longest, g.Length);
    for (const tBox& stbl : FKeptSampleTables) {
        // The first gone range that could reach into a chunk: chunks mostly
        // stand in file order, so the search goes on from the last one's.
        auto first = gone.begin();
        int64_t last = INT64_MIN;
        VisitChunks(stbl, [&](int64_t offset, int64_t length) {
            if (offset < last) first = gone.begin();
            last = offset;
            while (first != gone.end() && first->Offset < offset - longest) ++first;
            // Then on while they start before the chunk ends.
            for (auto g = first; g != gone.end() && g->Offset < offset + length; ++g)
                Refuse(g->Offset + g->Length <= offset, "a track's samples inside metadata that goes");
        });
    }
}

const tPlan& tMovieFile::Plan(const tChoices& choices)
{
    FPlan = tPlan();
    FPlan.SourceFd = FSource.Get();
    tPart other;
    other.Kind = tPartKind::Other;
    const int64_t size = FReader.FileSize();
    if (FateOf(other, choices) == tFate::Keep) {
        FPlan.AddRange(0, size);
        return FPlan;
    }
    // The movie box holds most changes, and the check and a re-scan read it:
    // written whole, not shared with the source.
    FPlan.Rewrite.push_back({FMoov.Offset, FMoov.Length});
    FPlan.Known = FMoovBytes;
    // Every change is bytes in place: a free header and zeros, or zeros.
    struct tEdit {
        int64_t Offset, Length;
        std::string Header;
    };
    std::vector<tEdit> edits;
    for (const tBox& box : FRemovable) edits.push_back({box.Offset, box.Length, FreeHeader(box)});
    for (const tRange& t : FTimes) edits.push_back({t.Offset, t.Length, {}});
    for (const tRange& s : FSamples) edits.push_back({s.Offset, s.Length, {}});
    std::sort(edits.begin(), edits.end(), [](const tEdit& a, const tEdit& b) { return a.Offset < b.Offset; });
    int64_t at = 0, zeroed = 0;
    for (const tEdit& e : edits) {
        // Removed boxes are never walked into, and samples lie in mdat: no two meet.
        Ensure(e.Offset >= at, "removed boxes overlap");
        Refuse(e.Length <= kMaxZeroedBytes - zeroed, "metadata too large to remove");
        zeroed += e.Length;
        FPlan.AddRange(at, e.Offset - at);
        FPlan.AddBytes(e.Header + std::string(static_cast<size_t>(e.Length) - e.Header.size(), '\0'));
        at = e.Offset + e.Length;
    }
    FPlan.AddRange(at, size - at);
    return FPlan;
}

std::unique_ptr<tPictureFile> tMovieFile::Reread(int fd, const std::vector<tPart>&) const
{
    struct stat st;
    tFileHandle file = OwnCopy(fd, st);
    return std::make_unique<tMovieFile>(std::move(file), static_cast<int64_t>(st.st_size), false);
}
