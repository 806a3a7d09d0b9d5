// Writes the committed fuzz seeds from the tests' fixture builders: small
// synthetic files that reach every kind of segment, directory and maker note
// the library reads. Usage: make_fuzz_seeds SEEDS_FOLDER (fuzz/seeds).

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "maker_note_builder.h"
#include "tests/meta/heif/heif_builder.h"
#include "tests/meta/iptc/iptc_bytes.h"
#include "tests/meta/movie/movie_builder.h"
#include "tests/support/jpeg_fixtures.h"
#include "tests/support/png_fixtures.h"
#include "tests/support/tiff_builder.h"

namespace {

namespace fs = std::filesystem;
using namespace makernote_fixture;
using fixture::Segment;
using fixture::TiffBuilder;

constexpr uint8_t kApp0 = 0xE0, kApp1 = 0xE1, kApp13 = 0xED, kCom = 0xFE;

std::string ExifPayload(const std::string& tiff) { return std::string("Exif\0\0", 6) + tiff; }

// `file` with one byte after its end that makes the clean target take every
// choice (EXIF, comment, IPTC, other, orientation) from it.
std::string EveryChoice(const std::string& file)
{
    unsigned fold = static_cast<unsigned>(file.size() + 1);
    for (const char c : file) fold ^= static_cast<uint8_t>(c);
    return file + static_cast<char>((fold ^ 0x1F) & 0x1F);
}

// IFD0 with the EXIF and GPS pointers, the EXIF directory with the image
// size, focal-plane values and the interoperability pointer.
std::string TiffWithSubDirectories(bool bigEndian)
{
    TiffBuilder t(bigEndian);
    const uint32_t interop = t.AddDirectory({t.Ascii(0x0001, "R98"), {0x0002, 7, 4, "0100"}});
    const uint32_t gps = t.AddDirectory({{0x0000, 1, 4, std::string("\2\2\0\0", 4)},
                                         t.Ascii(0x0001, "N"),
                                         {0x0002, 5, 3, t.U32(52) + t.U32(1) + t.U32(30) + t.U32(1) + t.U32(0) + t.U32(1)},
                                         t.Ascii(0x0003, "E")});
    const uint32_t exif = t.AddDirectory({t.Rational(0x829A, 1, 125),
                                          t.Rational(0x829D, 28, 10),
                                          t.Ascii(0x9003, "2024:01:02 03:04:05"),
                                          t.Rational(0x920A, 50, 10),
                                          t.Rational(0xA20E, 3000, 1),
                                          t.Rational(0xA20F, 3000, 1),
                                          t.Short(0xA210, 2),
                                          t.Short(0xA002, 8),
                                          t.Short(0xA003, 8),
                                          t.Long(0xA005, interop)});
    const uint32_t ifd0 = t.AddDirectory({t.Ascii(0x010F, "Maker"),
                                          t.Ascii(0x0110, "Model 1"),
                                          t.Short(0x0112, 1),
                                          t.Rational(0x011A, 72, 1),
                                          t.Short(0x0128, 2),
                                          t.Long(0x8769, exif),
                                          t.Long(0x8825, gps)});
    t.SetFirstDirectory(ifd0);
    return t.Bytes();
}

tDirBuilder SomeEntries(bool bigEndian)
{
    tDirBuilder dir(bigEndian);
    dir.Add(0x0001, 7, 4, "0210")
        .Shorts(0x0002, {0, 200})
        .Shorts(0x0003, {2})
        .Ascii(0x0004, "FINE  ")
        .Shorts(0x0007, {1, 2, 3, 4})
        .Rationals(0x0084, {{180, 10}, {700, 10}, {35, 10}, {45, 10}})
        .Add(0x1000, 4, 1, U32(7, bigEndian));
    return dir;
}

std::string Note(const std::string& header, const tDirBuilder& dir, uint32_t origin)
{
    return header + dir.Build(static_cast<uint32_t>(header.size()), origin);
}

struct tMakerSeed {
    const char* Name;
    bool BigEndian;
    const char* Make;
    std::string Header;
    bool FromNoteStart;  // value offsets count from the note's first byte
};

// An IPTC block in a Photoshop APP13 payload (after the length field).
std::string IptcPayload(const std::string& resources)
{
    return iptcbytes::App13Bytes(resources).substr(2);
}

std::string SomeRecords()
{
    using iptcbytes::Record;
    return Record(2, 0, std::string("\0\2", 2)) + Record(2, 5, "Title") + Record(2, 25, "alpha") +
           Record(2, 25, "beta, gamma") + Record(2, 20, "sup") + Record(2, 80, "Someone") +
           Record(2, 120, "A caption") + Record(2, 55, "20240102") + Record(8, 10, "\1\2") + Record(1, 90, "\x1B%G");
}

void Write(const fs::path& dir, const std::string& name, const std::string& bytes)
{
    fs::create_directories(dir);
    fixture::WriteFile((dir / name).string(), bytes);
}

}  // namespace

// PNGs with every kind of chunk the format names, in the places writers put them.
void WritePngSeeds(const fs::path& dir)
{
    using namespace fixture;
    const std::string tiff = TiffWithSubDirectories(false);
    const std::string xmp = "<x:xmpmeta xmlns:x='adobe:ns:meta/'/>";
    Write(dir, "plain.png", TinyPng());
    Write(dir, "every-kind.png",
          TinyPng({PngChunk("gAMA", std::string("\0\0\xB1\x8F", 4)), PngChunk("eXIf", tiff), TextChunk("Author", "Ann"),
                   ZtxtChunk("Comment", "a comment"), ItxtChunk("XML:com.adobe.xmp", xmp, true),
                   PngChunk("tIME", std::string(7, '\1')), TextChunk("Raw profile type iptc", "\niptc\n 0\n"),
                   PngChunk("prVt", "x")},
                  {TextChunk("Raw profile type exif", "\nexif\n 0\n")}, 2));
    Write(dir, "exif-after-data.png", TinyPng({}, {PngChunk("eXIf", tiff)}, 3) + "trailer");
    Write(dir, "text-amid-data.png", TextAmidPictureData());
    Write(dir, "apng.png", TinyApng({TextChunk("Author", "Ann")}));
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SEEDS_FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path out(argv[1]);

    // EXIF payloads: sub-directories in both byte orders, a maker note of each layout.
    Write(out / "exif", "subdirs-le", ExifPayload(TiffWithSubDirectories(false)));
    Write(out / "exif", "subdirs-be", ExifPayload(TiffWithSubDirectories(true)));
    const tMakerSeed makers[] = {
        {"nikon-header", true, "NIKON", std::string("Nikon\0\2\0", 8), false},
        {"nikon-plain", false, "NIKON CORPORATION", "", false},
        {"olympus", true, "OLYMPUS OPTICAL CO.,LTD", std::string("OLYMP\0\1\0", 8), false},
        {"casio", false, "CASIO", "", false},
        {"fuji", true, "FUJIFILM", std::string("FUJIFILM") + U32(12, false), true},
        {"canon", false, "Canon", "", false},
        {"seiko", true, "SEIKO EPSON CORP.", std::string("EPSON\0\1\0", 8), false},
        {"sanyo", false, "SANYO Electric Co.,Ltd.", std::string("SANYO\0\1\0", 8), false},
        {"minolta", true, "Minolta Co., Ltd.", "", false},
    };
    for (const tMakerSeed& m : makers) {
        // Fuji's note is little-endian whatever the block's order.
        const bool noteBig = m.FromNoteStart ? false : m.BigEndian;
        const std::string note = Note(m.Header, SomeEntries(noteBig), m.FromNoteStart ? 0 : kMakerNoteOffset);
        Write(out / "exif", std::string("maker-") + m.Name, ExifPayload(TiffWithMakerNote(m.BigEndian, m.Make, note)));
    }

    // APP13 payloads.
    Write(out / "iptc", "records", IptcPayload(iptcbytes::Resource(0x0404, SomeRecords())));
    Write(out / "iptc", "after-other-resource",
          IptcPayload(iptcbytes::Resource(0x03ED, std::string(16, '\1')) + iptcbytes::Resource(0x0404, SomeRecords())));
    Write(out / "iptc", "unsigned", std::string(12, '\0') + iptcbytes::Record(2, 25, "a,b,,c") +
                                         iptcbytes::Record(2, 116, "(c)"));

    // Whole files for the scan and the clean.
    const std::string jpeg = fixture::TinyJpeg(8, 8, true);
    const std::string exif = Segment(kApp1, ExifPayload(TiffWithSubDirectories(false)));
    const std::string canon =
        Segment(kApp1, ExifPayload(TiffWithMakerNote(true, "Canon", SomeEntries(true).Build(0, kMakerNoteOffset))));
    const std::string iptc = Segment(kApp13, IptcPayload(iptcbytes::Resource(0x0404, SomeRecords())));
    const std::string xmp = Segment(kApp1, std::string("http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>", 41));
    const std::string app0 = Segment(kApp0, std::string("JFXX\0\x10", 6));
    // Gain-map XMP as Ultra HDR writes it, with an author and a foreign
    // element inside a gain-map property beside it.
    const std::string gainMap = Segment(
        kApp1, std::string("http://ns.adobe.com/xap/1.0/\0", 29) +
                   "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
                   "<rdf:Description rdf:about=\"\" xmlns:hdrgm=\"http://ns.adobe.com/hdr-gain-map/1.0/\" "
                   "xmlns:Container=\"http://ns.google.com/photos/1.0/container/\" "
                   "xmlns:Item=\"http://ns.google.com/photos/1.0/container/item/\" "
                   "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" hdrgm:Version=\"1.0\" hdrgm:GainMapMax=\"2.5\">"
                   "<hdrgm:GainMapMin><rdf:Seq><rdf:li>0</rdf:li><rdf:li>0</rdf:li><rdf:li>0.1</rdf:li></rdf:Seq>"
                   "</hdrgm:GainMapMin><hdrgm:Gamma><dc:creator>Jane</dc:creator></hdrgm:Gamma>"
                   "<dc:creator><rdf:Seq><rdf:li>Jane</rdf:li></rdf:Seq></dc:creator><Container:Directory><rdf:Seq>"
                   "<rdf:li rdf:parseType=\"Resource\"><Container:Item Item:Semantic=\"Primary\" Item:Mime=\"image/jpeg\"/>"
                   "</rdf:li><rdf:li rdf:parseType=\"Resource\"><Container:Item Item:Semantic=\"GainMap\" "
                   "Item:Mime=\"image/jpeg\" Item:Length=\"100\"/></rdf:li></rdf:Seq></Container:Directory>"
                   "</rdf:Description></rdf:RDF></x:xmpmeta>");
    Write(out / "clean", "gain-map-xmp.jpg", fixture::AfterSoi(jpeg, gainMap + exif));
    // Multi-picture files: a further picture with metadata of every kind, and
    // the heads that once let a file leave with its metadata while reported
    // clean (each a past failure of the clean, with every choice made).
    const std::string all = exif + Segment(kCom, "MARK-B") + iptc + gainMap;
    const std::string second = fixture::AfterSoi(fixture::TinyJpeg(8, 8), all);
    Write(out / "clean", "multi-picture.jpg", fixture::MultiPicture(exif, {}, {second}));
    Write(out / "clean", "multi-picture-gain-map.jpg", fixture::MultiPicture(gainMap, {}, {second, jpeg}));
    std::vector<std::string> tiles;
    for (size_t at = 0; at < second.size(); at += 2) tiles.push_back(second.substr(at, 2));
    const fs::path regress = out.parent_path() / "regress";
    const std::pair<const char*, std::string> holes[] = {
        {"stray-bytes-before-exif", fixture::AfterSoi(jpeg, std::string("\x0F\x00\x82", 3) + exif +
                                                             Segment(kCom, "MARK-A1") + Segment(kCom, "MARK-A2"))},
        {"ff00-before-exif", fixture::AfterSoi(jpeg, std::string("\xFF\x00", 2) + exif)},
        {"stray-byte-in-further-picture",
         fixture::MultiPicture({}, {}, {fixture::AfterSoi(jpeg, exif + std::string(1, '\0') + iptc)})},
        {"length-1-in-further-picture",
         fixture::MultiPicture({}, {}, {fixture::AfterSoi(jpeg, exif + std::string("\xFF\xE3\x00\x01", 4) + iptc)})},
        {"tiled-further-picture", fixture::MultiPicture({}, {}, tiles)},
        {"metadata-only-in-further-picture", fixture::MultiPicture({}, {}, {second})},
        {"iptc-only-in-further-picture", fixture::MultiPicture(exif, {}, {fixture::AfterSoi(jpeg, iptc)})},
    };
    for (const auto& [name, bytes] : holes) Write(regress / "clean", name, EveryChoice(bytes));
    WritePngSeeds(out / "png");

    // HEIF layouts the encoders do not write (the target makes every choice itself).
    const std::pair<const char*, tHeifLayout> heifs[] = {
        {"plain.heic", {}},
        {"iloc-v0.heic", {.IlocVersion = 0}},
        {"iloc-v2-base.heic", {.IlocVersion = 2, .OffsetSize = 0, .BaseSize = 8}},
        {"idat-split.heic", {.MetadataInIdat = true, .SplitExtents = true}},
        {"mdat-first-large.heic", {.MdatFirst = true, .LargeSizes = true, .SplitExtents = true}},
        {"thumbnail.heic", {.Thumbnail = true}},
    };
    for (const auto& [name, layout] : heifs) Write(out / "heif", name, BuildHeif(layout).File);

    // Movie layouts (the target removes other metadata).
    const std::pair<const char*, tMovieLayout> movies[] = {
        {"plain.mov", {}},
        {"faststart-co64.mp4", {.MoovFirst = true, .Co64 = true}},
        {"large-v1.mov", {.LargeSizes = true, .Version1 = true}},
        {"metadata-track.mov", {.MetadataTrack = true}},
        {"terminator-xmp-track-udta.mov", {.Terminator = true, .XmpBox = true, .TrackUserData = true}},
        {"fragment.mp4", {.Fragment = true}},
    };
    for (const auto& [name, layout] : movies) Write(out / "movie", name, BuildMovie(layout).File);
    // Refused layouts, replayed as past cases.
    const std::pair<const char*, tMovieLayout> refused[] = {
        {"two-moov.mov", {.TwoMoovs = true}},
        {"sizes-past-chunks.mov", {.MetadataTrack = true, .ShortSizeTable = true}},
        {"samples-in-moov.mov", {.MetadataTrack = true, .SamplesOutside = true}},
    };
    for (const auto& [name, layout] : refused) Write(regress / "movie", name, BuildMovie(layout).File);
    for (const char* target : {"scan", "clean"}) {
        Write(out / target, "plain.jpg", jpeg);
        Write(out / target, "exif-iptc-com.jpg",
              fixture::AfterSoi(jpeg, exif + iptc + Segment(kCom, "a comment")));
        // XMP before EXIF, two comments, two APP13s, fill bytes before a marker.
        Write(out / target, "mixed.jpg",
              fixture::AfterSoi(jpeg, xmp + canon + Segment(kCom, "one") + iptc + std::string("\xFF\xFF", 2) +
                                          Segment(kCom, "two") + app0 + iptc));
    }
    return 0;
}
