#include "tests/meta/movie/movie_builder.h"

#include <vector>

#include "meta/bmff/box_reader.h"
#include "tests/meta/bmff/box_fixtures.h"

namespace {

using namespace boxfix;

// 2024-01-02 03:04:05 UTC in seconds since 1904.
constexpr uint64_t kTime = 3787009445;

std::string Times(bool v1) { return v1 ? BigEndian(kTime, 8) + BigEndian(kTime + 1, 8) : U32(kTime) + U32(kTime + 1); }

// A 90° rotation (ISO/IEC 14496-12, 8.3.2.3): {0, 1, 0, -1, 0, 0, 0, 0, 1} in 16.16 and 2.30.
std::string Matrix()
{
    return U32(0) + U32(0x10000) + U32(0) + U32(0xFFFF0000) + U32(0) + U32(0) + U32(0) + U32(0) + U32(0x40000000);
}

std::string Tkhd(const tMovieLayout& l, uint32_t id)
{
    const std::string duration = l.Version1 ? BigEndian(1000, 8) : U32(1000);
    return FullBox("tkhd", l.Version1, Times(l.Version1) + U32(id) + U32(0) + duration + std::string(8, '\0') + U16(0) +
                                           U16(0) + U16(0) + U16(0) + Matrix() + U32(160 << 16) + U32(120 << 16));
}

std::string Mdhd(const tMovieLayout& l)
{
    const std::string duration = l.Version1 ? BigEndian(1000, 8) : U32(1000);
    return FullBox("mdhd", l.Version1, Times(l.Version1) + U32(1000) + duration + U16(0x55C4) + U16(0));
}

std::string Hdlr(const char (&handler)[5])
{
    return FullBox("hdlr", 0, U32(0) + handler + std::string(12, '\0') + std::string("handler", 8));
}

// `sizes`: an stsz box, or an stz2 box (ISO/IEC 14496-12, 8.7.3).
std::string Stbl(const tMovieLayout& l, const char (&entry)[5], const std::string& sizes, const std::string& perChunk,
                 const std::vector<uint64_t>& offsets)
{
    std::string chunks = U32(offsets.size());
    for (uint64_t o : offsets) chunks += l.Co64 ? BigEndian(o, 8) : U32(o);
    return Box("stbl", FullBox("stsd", 0, U32(1) + Box(entry, std::string(6, '\0') + U16(1))) +
                           FullBox("stts", 0, U32(0)) + sizes + FullBox("stsc", 0, perChunk) +
                           (l.Co64 ? FullBox("co64", 0, chunks) : FullBox("stco", 0, chunks)));
}

std::string Moov(const tMovieLayout& l, uint64_t videoAt, uint64_t metaAt, tMovieParts& parts)
{
    const std::string mvhd = FullBox("mvhd", l.Version1, Times(l.Version1) + U32(1000) +
                                                             (l.Version1 ? BigEndian(1000, 8) : U32(1000)) +
                                                             U32(0x10000) + U16(0x100) + std::string(10, '\0') +
                                                             Matrix() + std::string(24, '\0') + U32(3));
    parts.Matrix = Matrix();
    // Three video samples of 10 bytes in one chunk.
    const std::string videoTable =
        Stbl(l, "mp4v", FullBox("stsz", 0, U32(l.LongVideo ? 20 : 10) + U32(3)), U32(1) + U32(1) + U32(3) + U32(1),
             {videoAt});
    std::string videoTrak = Tkhd(l, 1) + Box("edts", FullBox("elst", 0, U32(1) + U32(1000) + U32(0) + U32(0x10000))) +
                            Box("mdia", Mdhd(l) + Hdlr("vide") + Box("minf", FullBox("vmhd", 0, std::string(8, '\0')) + videoTable));
    if (l.TrackUserData) videoTrak += Box("udta", Box("\xA9" "mak", U16(9) + U16(0) + kMake));
    std::string moov = mvhd + Box("trak", videoTrak);
    if (l.MetadataTrack) {
        // Two samples of the place, one per chunk; the second chunk follows the first.
        const uint64_t size = std::string(kPlace).size();
        const uint64_t count = l.ShortSizeTable ? 3 : 2;
        const uint64_t first = l.SamplesOutside ? 0 : metaAt;
        const int bits = l.CompactSizeBits;
        const std::string sizes =
            bits == 0 ? FullBox("stsz", 0, U32(0) + U32(count) + U32(size) + U32(size))
                      : FullBox("stz2", 0, std::string(3, '\0') + char(bits) + U32(count) + BigEndian(size, bits / 8) +
                                               BigEndian(size, bits / 8));
        std::string runs = U32(l.RunStarts.size());
        for (uint32_t start : l.RunStarts) runs += U32(start) + U32(1) + U32(1);
        const std::string table = Stbl(l, "mebx", sizes, runs, {first, metaAt + size});
        moov += Box("trak", Tkhd(l, 2) + Box("tref", Box("cdsc", U32(1))) +
                                Box("mdia", Mdhd(l) + Hdlr("meta") + Box("minf", FullBox("nmhd", 0, "") + table)));
    }
    const std::string text = std::string(kPlace);
    std::string udta = Box("\xA9xyz", U16(text.size()) + U16(0x15C7) + text) + Box("\xA9mak", U16(9) + U16(0) + kMake);
    if (l.Terminator) udta += U32(0);
    moov += Box("udta", udta);
    // QuickTime keys: location and make.
    const std::string keys = FullBox("keys", 0, U32(2) + U32(8 + 36) + "mdta" + "com.apple.quicktime.location.ISO6709" +
                                                    U32(8 + 24) + "mdta" + "com.apple.quicktime.make");
    auto item = [](uint32_t key, const std::string& value) {
        return BoxHeader(key, 16 + value.size()) + Box("data", U32(1) + U32(0) + value);
    };
    moov += Box("meta", FullBox("hdlr", 0, U32(0) + "mdta" + std::string(13, '\0')) + keys +
                            Box("ilst", item(1, kPlace) + item(2, kMake)));
    return Box("moov", moov, l.LargeSizes);
}

}  // namespace

tMovieParts BuildMovie(const tMovieLayout& l)
{
    tMovieParts parts;
    const std::string ftyp = Box("ftyp", std::string("qt  ") + U32(0) + "qt  " + "isom");
    parts.Video = "VIDEO-0001VIDEO-0002VIDEO-0003";
    const std::string mdatPayload = parts.Video + (l.MetadataTrack ? std::string(kPlace) + kPlace : std::string());
    const std::string mdatHeader = BoxHeader(FourCC("mdat"), mdatPayload.size(), l.LargeSizes);
    std::string xmp;
    if (l.XmpBox) {
        const std::string packet = std::string("<x:xmpmeta><tiff:Make>") + kMake + "</tiff:Make></x:xmpmeta>";
        xmp = BoxHeader(FourCC("uuid"), 16 + packet.size()) +
              std::string("\xBE\x7A\xCF\xCB\x97\xA9\x42\xE8\x9C\x71\x99\x94\x91\xE3\xAF\xAC", 16) + packet;
    }
    // The moov's size does not depend on the offsets in it: build once to measure.
    const size_t moovSize = Moov(l, 0, 0, parts).size();
    const uint64_t mdatAt = ftyp.size() + (l.MoovFirst ? moovSize : 0) + xmp.size();
    const uint64_t videoAt = mdatAt + mdatHeader.size();
    const std::string moov = Moov(l, videoAt, videoAt + parts.Video.size(), parts);
    parts.VideoAt = static_cast<int64_t>(videoAt);
    const std::string mdat = mdatHeader + mdatPayload;
    parts.File = ftyp + (l.MoovFirst ? moov : std::string()) + xmp + mdat + (l.MoovFirst ? std::string() : moov);
    if (l.TwoMoovs) parts.File += moov;
    if (l.Fragment) parts.File += Box("moof", FullBox("mfhd", 0, U32(1)));
    return parts;
}
