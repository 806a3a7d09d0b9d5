// WebP files made by cwebp, img2webp, webpmux and exiftool, and by hand, each
// cleaned with several choices and checked by a walk of the test's own: no
// chunk of a removed kind, every kept chunk byte for byte, the RIFF size, the
// VP8X flags, the same pixels (libwebp), and what exiftool still finds.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>

#include <webp/decode.h>
#include <webp/demux.h>

#include "meta/exif/tiff_block.h"
#include "meta/riff/webp_file.h"
#include "tests/support/exiftool.h"
#include "tests/support/jpeg_fixtures.h"
#include "tests/support/tiff_builder.h"

namespace {

using fixture::ReadFile;
using namespace std::string_literals;

struct tChunk {
    std::string FourCC, Payload, Raw;  // Raw: header, payload and pad byte
};

size_t U32(const std::string& b, size_t at)
{
    return static_cast<size_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 |
                               static_cast<uint8_t>(b[at + 2]) << 16 | uint32_t(uint8_t(b[at + 3])) << 24);
}

// The test's own walk: the chunks of `bytes` from `pos` to `end`.
std::vector<tChunk> Chunks(const std::string& bytes, size_t pos, size_t end)
{
    std::vector<tChunk> chunks;
    while (pos + 8 <= end) {
        const size_t size = U32(bytes, pos + 4), span = 8 + size + (size & 1);
        chunks.push_back({bytes.substr(pos, 4), bytes.substr(pos + 8, size), bytes.substr(pos, span)});
        pos += span;
    }
    return chunks;
}

// The chunks up to the RIFF's end, and that end.
std::vector<tChunk> Walk(const std::string& file, size_t* riffEnd = nullptr)
{
    const size_t end = 8 + U32(file, 4);
    if (riffEnd) *riffEnd = end;
    return Chunks(file, 12, end);
}

// The chunks inside a frame (ANMF), after its 16-byte header.
std::vector<tChunk> Inside(const tChunk& frame)
{
    return Chunks(frame.Payload, 16, frame.Payload.size());
}

bool InFrameByRight(const tChunk& c)
{
    return c.FourCC == "ALPH" || c.FourCC == "VP8 " || c.FourCC == "VP8L";
}

std::string Riff(const std::vector<std::string>& chunks, const std::string& trailer = {})
{
    std::string body = "WEBP";
    for (const std::string& c : chunks) body += c;
    return "RIFF" + LittleEndian32(static_cast<uint32_t>(body.size())) + body + trailer;
}

// A 16 x 16 picture with alpha, different for each `seed`, as PAM.
std::string Pam(int seed)
{
    std::string pam = "P7\nWIDTH 16\nHEIGHT 16\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            pam += {char(x * 16 + seed), char(y * 16), char(x * y * seed), char(x < 8 ? 255 : 90)};
    return pam;
}

// Every frame as libwebp shows it, RGBA one after the other; empty when it
// cannot decode. (libwebp refuses bytes after the RIFF: they are left out.)
std::string Pixels(const std::string& whole)
{
    size_t end;
    Walk(whole, &end);
    const std::string file = whole.substr(0, end);
    WebPData data{reinterpret_cast<const uint8_t*>(file.data()), file.size()};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_RGBA;
    std::unique_ptr<WebPAnimDecoder, void (*)(WebPAnimDecoder*)> decoder(WebPAnimDecoderNew(&data, &options),
                                                                         WebPAnimDecoderDelete);
    std::string pixels;
    WebPAnimInfo info;
    if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info)) return pixels;
    uint8_t* frame;
    int timestamp;
    while (WebPAnimDecoderHasMoreFrames(decoder.get()) && WebPAnimDecoderGetNext(decoder.get(), &frame, &timestamp))
        pixels.append(reinterpret_cast<char*>(frame), size_t{4} * info.canvas_width * info.canvas_height);
    return pixels;
}

std::unique_ptr<tPictureFile> Scan(const std::string& path, bool listing = false)
{
    struct stat st;
    tFileHandle file(OpenForReading(path, st));
    return ScanWebp(std::move(file), st, path, listing);
}

// Cleans `source` into `target` as the batch run does, also when it would
// copy the file as it stands (`removes`: Removes said it changes).
std::string Clean(const std::string& source, const std::string& target, const tChoices& choices, bool& removes)
{
    const auto picture = Scan(source);
    removes = picture->Removes(choices);
    const tPlan& plan = picture->Plan(choices);
    tPendingFile out(std::make_shared<const tOutputFolder>(FolderOf(target), target, true), target);
    picture->Write(plan, out, source, choices);
    out.Publish(NameOf(target), true);
    return ReadFile(target);
}

struct tRow {
    const char* Name;
    std::function<std::string(const fixture::TempDir&)> Make;  // returns the file's path
    int32_t Orientation;                                       // what its first EXIF records
};

std::string Tool(const fixture::TempDir& dir, const std::string& name, const std::string& command)
{
    const std::string line = "cd " + dir.Path() + " && (" + command + ") >/dev/null 2>&1";
    EXPECT_EQ(std::system(line.c_str()), 0) << command;
    return dir / name;
}

const char* const kExiftoolTags = "-Make=Acme -Model=Cam1 '-DateTimeOriginal=2020:01:02 03:04:05' "
                                  "-GPSLatitude=12.5 -GPSLatitudeRef=N -XMP-dc:Creator=Jane";

std::string CameraTiff(uint16_t orientation)
{
    fixture::TiffBuilder tiff(false);
    tiff.SetFirstDirectory(tiff.AddDirectory(
        {tiff.Ascii(0x010F, "Acme"), tiff.Ascii(0x0110, "Cam1"), tiff.Short(0x0112, orientation)}));
    return tiff.Bytes();
}

const std::vector<tRow>& Rows()
{
    static const std::vector<tRow> rows = {
        {"lossy with alpha", [](auto& d) { return Tool(d, "o.webp", "cwebp -alpha_q 50 a.pam -o o.webp"); }, 0},
        {"lossless", [](auto& d) { return Tool(d, "o.webp", "cwebp -lossless a.pam -o o.webp"); }, 0},
        {"cwebp -metadata all over a JPEG with EXIF, XMP and ICC",
         [](auto& d) {
             const std::string icc = fixture::Segment(0xE2, std::string("ICC_PROFILE\0\1\1", 14) + std::string(200, 'c'));
             d.Write("s.jpg", fixture::AfterSoi(fixture::TinyJpeg(16, 16), icc));
             return Tool(d, "o.webp", std::string("exiftool -overwrite_original -Orientation#=6 ") + kExiftoolTags +
                                          " s.jpg && cwebp -metadata all s.jpg -o o.webp");
         },
         6},
        {"animation with EXIF, XMP and ICC set by webpmux",
         [](auto& d) {
             d.Write("exif.tiff", CameraTiff(8));
             d.Write("x.xmp", "<x:xmpmeta xmlns:x='adobe:ns:meta/'><dc:creator>Jane</dc:creator></x:xmpmeta>");
             d.Write("p.icc", std::string(131, 'p'));
             return Tool(d, "o.webp",
                         "img2webp -loop 0 a.pam -d 80 b.pam -o n.webp && webpmux -set exif exif.tiff n.webp -o "
                         "e.webp && webpmux -set xmp x.xmp e.webp -o x.webp && webpmux -set icc p.icc x.webp -o o.webp");
         },
         8},
        {"exiftool EXIF and XMP in a lossless file",
         [](auto& d) {
             return Tool(d, "o.webp",
                         std::string("cwebp -lossless a.pam -o o.webp && exiftool -overwrite_original -Orientation#=3 ") +
                             kExiftoolTags + " o.webp");
         },
         3},
        {"by hand: unknown chunks, odd sizes, pad bytes, framed EXIF, a trailer",
         [](auto& d) {
             const std::vector<tChunk> still = Walk(ReadFile(Tool(d, "l.webp", "cwebp -lossless a.pam -o l.webp")));
             const std::string vp8x("\x1C\0\0\0\x0F\0\0\x0F\0\0", 10);  // alpha, EXIF, XMP
             return d.Write("o.webp", Riff({RiffChunk("VP8X", vp8x), "ZZZ1\3\0\0\0abcP"s, still.at(0).Raw,
                                            RiffChunk("EXIF", std::string("Exif\0\0", 6) + CameraTiff(5)),
                                            RiffChunk("ZZZ2", ""), RiffChunk("XMP ", "Jane"), "ZZZ1\1\0\0\0zQ"s},
                                           "TRAILER"));
         },
         5},
        {"by hand: frames with unknown chunks inside, odd sizes, one naming a camera",
         [](auto& d) {
             d.Write("c.pam", Pam(5));
             std::vector<tChunk> chunks = Walk(ReadFile(
                 Tool(d, "n.webp", "img2webp -loop 0 -lossy a.pam -d 80 -lossless b.pam -lossy c.pam -o n.webp")));
             // Unknown chunks after the bitstream in the first and third frames, none in the second.
             const std::vector<std::string> added[] = {
                 {"ZZZ1\3\0\0\0abcP"s, RiffChunk("CAMR", "Acme Cam1 serial 4711")}, {}, {"ZZZ1\0\0\0\0"s, RiffChunk("ZZZ1", "x")}};
             std::vector<std::string> raws;
             size_t frame = 0;
             for (const tChunk& c : chunks) {
                 std::string payload = c.Payload;
                 if (c.FourCC == "ANMF" && frame < 3)
                     for (const std::string& a : added[frame++]) payload += a;
                 raws.push_back(RiffChunk(c.FourCC, payload));
             }
             EXPECT_EQ(frame, 3u);
             return d.Write("o.webp", Riff(raws));
         },
         0},
        {"by hand: the orientation alone",
         [](auto& d) {
             const std::vector<tChunk> still = Walk(ReadFile(Tool(d, "l.webp", "cwebp -lossless a.pam -o l.webp")));
             return d.Write("o.webp", Riff({RiffChunk("VP8X", std::string("\x18\0\0\0\x0F\0\0\x0F\0\0", 10)),
                                            still.at(0).Raw, RiffChunk("EXIF", OrientationTiff(6))}));
         },
         6},
    };
    return rows;
}

tChoices Choices(bool exif, bool other, bool orientation)
{
    tChoices c;
    c.Exif = exif;
    c.Other = other;
    c.KeepOrientation = orientation;
    return c;
}

TEST(WebpFile, CleanedFilesHoldNoRemovedChunkAndEveryKeptOneAsItWas)
{
    ASSERT_TRUE(fixture::HaveExiftool());
    for (const tRow& row : Rows()) {
        SCOPED_TRACE(row.Name);
        fixture::TempDir dir;
        dir.Write("a.pam", Pam(1));
        dir.Write("b.pam", Pam(3));
        const std::string source = row.Make(dir);
        const std::string in = ReadFile(source);
        size_t inEnd;
        const std::vector<tChunk> inChunks = Walk(in, &inEnd);
        const std::string pixels = Pixels(in);
        ASSERT_FALSE(pixels.empty());
        // The tools wrote what the row says: the orientation, a colour profile with the EXIF.
        const auto tags = fixture::Exiftool("-Orientation", source);
        EXPECT_EQ(tags.count("Orientation") ? std::stoi(tags.at("Orientation")) : 0, row.Orientation);
        if (row.Orientation > 0 && std::string(row.Name).find("ICC") != std::string::npos) {
            EXPECT_TRUE(std::any_of(inChunks.begin(), inChunks.end(), [](auto& k) { return k.FourCC == "ICCP"; }));
        }
        for (const tChoices& c : {Choices(true, true, false), Choices(true, false, false), Choices(false, true, false),
                                  Choices(true, true, true)}) {
            SCOPED_TRACE(testing::Message() << "exif " << c.Exif << " other " << c.Other << " orientation "
                                            << c.KeepOrientation);
            bool removes;
            const std::string out = Clean(source, dir / "clean.webp", c, removes);
            size_t outEnd;
            const std::vector<tChunk> outChunks = Walk(out, &outEnd);
            EXPECT_EQ(outEnd, out.size() - (c.Other ? 0 : in.size() - inEnd)) << "the RIFF size, the trailer";
            EXPECT_EQ(out.substr(outEnd), c.Other ? "" : in.substr(inEnd));

            // What should be left, in order; the first EXIF's orientation may stay alone.
            std::vector<tChunk> expected;
            bool firstExif = true, exifOut = false, xmpOut = false;
            // What makes a file change: anything removed but an EXIF of the orientation alone.
            bool changes = c.Other && inEnd < in.size();
            for (const tChunk& chunk : inChunks) {
                const tPartKind kind = WebpChunkKind(chunk.FourCC);
                if (kind == tPartKind::Exif && c.Exif) {
                    if (firstExif && c.KeepOrientation && row.Orientation > 1)
                        expected.push_back({"EXIF", {}, RiffChunk("EXIF", OrientationTiff(row.Orientation))});
                    changes |= !firstExif || chunk.Payload != OrientationTiff(row.Orientation);
                    firstExif = false;
                } else if (kind == tPartKind::Other && c.Other) {
                    changes = true;
                } else if (chunk.FourCC == "ANMF" && c.Other) {
                    // The frame without its unknown chunks: header and the rest byte for byte.
                    std::string payload = chunk.Payload.substr(0, 16);
                    for (const tChunk& inner : Inside(chunk))
                        if (InFrameByRight(inner)) payload += inner.Raw;
                    changes |= payload != chunk.Payload;
                    expected.push_back({"ANMF", payload, RiffChunk("ANMF", payload)});
                } else {
                    expected.push_back(chunk);
                }
                exifOut |= expected.size() && expected.back().FourCC == "EXIF";
                xmpOut |= expected.size() && expected.back().FourCC == "XMP ";
            }
            EXPECT_EQ(removes, changes);
            ASSERT_EQ(outChunks.size(), expected.size());
            for (size_t i = 0; i < expected.size(); ++i) {
                if (expected[i].FourCC != "VP8X") {
                    EXPECT_EQ(outChunks[i].Raw, expected[i].Raw) << "chunk " << i;
                    continue;
                }
                EXPECT_EQ(outChunks[i].Raw.substr(9), expected[i].Raw.substr(9));
                const int flags = (expected[i].Payload[0] & ~(kVp8xExifFlag | kVp8xXmpFlag)) |
                                  (exifOut ? kVp8xExifFlag : 0) | (xmpOut ? kVp8xXmpFlag : 0);
                EXPECT_EQ(static_cast<uint8_t>(outChunks[i].Payload[0]), flags) << "the VP8X flags";
            }
            for (const tChunk& chunk : outChunks)
                for (const tChunk& inner : chunk.FourCC == "ANMF" ? Inside(chunk) : std::vector<tChunk>())
                    EXPECT_TRUE(InFrameByRight(inner) || !c.Other) << "left in a frame: " << inner.FourCC;
            if (!c.Other && expected.size() == inChunks.size()) {
                EXPECT_EQ(out, in) << "nothing left out: the file as it was";
            }
            EXPECT_EQ(Pixels(out), pixels);
            EXPECT_FALSE(Scan(dir / "clean.webp")->Removes(c)) << "read again, nothing left to remove";
            const auto found = fixture::Exiftool("-Make -Model -DateTimeOriginal -GPSLatitude -Creator -Orientation",
                                                 dir / "clean.webp");
            if (c.Exif) {
                EXPECT_EQ(found.count("Make") + found.count("Model") + found.count("DateTimeOriginal") +
                              found.count("GPSLatitude"),
                          0u);
                const bool kept = c.KeepOrientation && row.Orientation > 1;
                EXPECT_EQ(found.count("Orientation") ? found.at("Orientation") : "none",
                          kept ? std::to_string(row.Orientation) : "none");
            }
            if (c.Other) {
                EXPECT_EQ(found.count("Creator"), 0u);
            }
        }
    }
}

// `n` empty chunks of FourCC `a` and `b` in turn.
std::string Many(const std::string& a, const std::string& b, size_t n)
{
    std::string chunks;
    for (size_t i = 0; i < n; ++i) chunks += RiffChunk(i % 2 ? b : a, "");
    return chunks;
}

TEST(WebpFile, DamagedStructureIsRefused)
{
    const std::string vp8l = RiffChunk("VP8L", "/\x0f\xc0\x03");
    const struct {
        const char* Reason;  // what the error says
        std::string Bytes;
    } rows[] = {
        {"the RIFF size runs past the end of the file", Riff({vp8l}).replace(4, 1, "\x40")},
        {"a chunk runs past the end of the RIFF", Riff({"VP8L\x40\0\0\0abcd"s})},
        {"a chunk header runs past the end of the RIFF", Riff({vp8l, "ZZ"})},
        {"a chunk's pad byte runs past the end of the RIFF", Riff({vp8l, "ZZZZ\1\0\0\0z"s})},
        {"the RIFF size is too small for its form type", "RIFF\2\0\0\0WEBP"s},
        {"no image chunk", Riff({RiffChunk("VP8X", std::string(10, '\0')), RiffChunk("EXIF", "MM")})},
        {"no image chunk", Riff({RiffChunk("ANIM", std::string(6, '\0'))})},
        {"the RIFF holds no WebP", Riff({vp8l}).replace(8, 4, "AVI ")},
        {"more chunks than any picture holds", Riff({vp8l, Many("ZZZZ", "ZZZZ", kMaxRiffChunks)})},
        {"a frame ends inside its header", Riff({vp8l, RiffChunk("ANMF", std::string(15, 'f'))})},
        {"a chunk runs past the end of its frame", Riff({vp8l, RiffChunk("ANMF", std::string(16, 'f') + "VP8L\5\0\0\0abcd"s)})},
        {"a chunk's pad byte runs past the end of its frame",
         Riff({vp8l, RiffChunk("ANMF", std::string(16, 'f') + "VP8L\4\0\0\0abcd"s + "ZZZZ\1\0\0\0z"s)})},
        {"more chunks in frames than any animation holds",
         Riff({vp8l, RiffChunk("ANMF", std::string(16, 'f') + Many("ZZZZ", "ZZZZ", kMaxFrameChunks + 1))})},
        {"more runs of chunks than any picture holds", Riff({vp8l, Many("YYYY", "ZZZZ", kMaxWebpParts)})},
    };
    fixture::TempDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Reason);
        try {
            Scan(dir.Write("d.webp", row.Bytes));
            ADD_FAILURE() << "scanned";
        } catch (const EDamagedFile& e) {
            EXPECT_STREQ(e.what(), row.Reason);
        }
    }
    EXPECT_NO_THROW(Scan(dir.Write("d.webp", Riff({vp8l}))));
}

TEST(WebpFile, PartsAreRunsOfChunksNamedByFourCCAndListingsGetTheTexts)
{
    const std::string vp8l = RiffChunk("VP8L", "/\x0f\xc0\x03");
    const std::string frame = RiffChunk("ANMF", std::string(16, 'f') + vp8l);
    const std::string hiding = RiffChunk("ANMF", std::string(16, 'f') + vp8l + RiffChunk("abcd", "") + RiffChunk("abcd", "x"));
    const std::string bytes = Riff({RiffChunk("ANIM", std::string(6, '\0')), frame, frame, frame, hiding, frame,
                                    RiffChunk("EXIF", std::string("Exif\0\0", 6) + CameraTiff(1)),
                                    RiffChunk("XMP ", "<x/>"), RiffChunk("\x01zz\xFF", "")},
                                   "tail");
    EXPECT_TRUE(LooksLikeWebp(bytes.substr(0, 16)));
    EXPECT_FALSE(LooksLikeWebp(std::string(bytes).replace(8, 4, "AVI ")));
    fixture::TempDir dir;
    const std::string path = dir.Write("p.webp", bytes);
    const auto listed = Scan(path, true);
    std::string names;
    for (const tPart& p : listed->Parts()) names += p.Name + "(" + KindName(p.Kind) + ")";
    EXPECT_EQ(names, "RIFF(picture)ANIM(picture)ANMF(picture)ANMF(picture)ANMF/abcd(other)ANMF(picture)EXIF(EXIF)"
                     "XMP (other)?zz?(other)trailer(other)");
    EXPECT_EQ(listed->Parts()[2].Length, 3 * static_cast<int64_t>(frame.size()));
    // The frame written anew when its unknown chunks go; their run, one part.
    EXPECT_TRUE(listed->Parts()[3].Adjusted && !listed->Parts()[2].Adjusted && !listed->Parts()[5].Adjusted);
    EXPECT_EQ(listed->Parts()[4].Length, 8 + 10);
    EXPECT_EQ(listed->Texts.ExifTiff, CameraTiff(1));
    EXPECT_EQ(listed->Texts.Xmp, "<x/>");
    const auto cleaning = Scan(path);
    EXPECT_TRUE(cleaning->Texts.ExifTiff.empty() && cleaning->Texts.Xmp.empty());

    // The orientation alone is nothing to remove as this program writes it, not framed.
    const tChoices keep = Choices(true, false, true);
    EXPECT_FALSE(Scan(dir.Write("o.webp", Riff({vp8l, RiffChunk("EXIF", OrientationTiff(6))})))->Removes(keep));
    EXPECT_TRUE(Scan(dir.Write("o.webp", Riff({vp8l, RiffChunk("EXIF", "Exif\0\0"s + OrientationTiff(6))})))
                    ->Removes(keep));
}

TEST(WebpFile, CheckBeforePublishFindsAPlanAlteredAfterPlanning)
{
    fixture::TempDir dir;
    const std::string exif = RiffChunk("EXIF", CameraTiff(1));
    const std::string source = dir.Write("s.webp", Riff({RiffChunk("VP8L", "/\x0f\xc0\x03"), exif}));
    const auto picture = Scan(source);
    const tChoices choices = Choices(true, false, false);
    tPlan& plan = const_cast<tPlan&>(picture->Plan(choices));
    // The EXIF chunk (after the header and the 12 bytes of VP8L) put back, the RIFF size made to count it.
    plan.AddRange(24, static_cast<int64_t>(exif.size()));
    plan.Pieces.front().Bytes.replace(4, 4, LittleEndian32(static_cast<uint32_t>(plan.Length - 8)));
    const std::string target = dir / "t.webp";
    tPendingFile out(std::make_shared<const tOutputFolder>(dir.Path(), target, true), target);
    EXPECT_THROW(picture->Write(plan, out, source, choices), ECheckFailed);
}

}  // namespace
