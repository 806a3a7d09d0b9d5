// The PNG format: every fixture cleaned as the batch does, each output
// re-read by the scanner, walked chunk by chunk, decoded by libpng and asked
// of exiftool.

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <tuple>

#include "meta/exif/tiff_block.h"
#include "meta/png/png_file.h"
#include "tests/support/exiftool.h"
#include "tests/support/jpeg_fixtures.h"
#include "tests/support/png_fixtures.h"
#include "tests/support/tiff_builder.h"

namespace {

using namespace fixture;
namespace fs = std::filesystem;

std::unique_ptr<tPictureFile> Scan(const std::string& path, bool listing = false)
{
    struct stat st;
    tFileHandle file(OpenForReading(path, st));
    return ScanPng(std::move(file), st, path, listing);
}

tChoices Choose(bool exif, bool comment, bool iptc, bool other, bool orientation = false)
{
    tChoices c;
    c.Exif = exif, c.Comment = comment, c.Iptc = iptc, c.Other = other, c.KeepOrientation = orientation;
    return c;
}
const tChoices kAll = Choose(true, true, true, true, true);

// Writes `plan` of `picture` next to `source` as "out.png" and returns its bytes.
std::string WriteOut(tPictureFile& picture, const tPlan& plan, const std::string& source, const tChoices& choices)
{
    const std::string target = FolderOf(source) + "/out.png";
    const auto folder = std::make_shared<const tOutputFolder>(FolderOf(source), target, true);
    tPendingFile out(folder, target, plan.SourceMode);
    picture.Write(plan, out, source, choices);
    out.Publish(NameOf(target), true);
    return ReadFile(target);
}

// An EXIF block as a camera writes it: make, model, orientation, time, place.
std::string CameraTiff(uint16_t orientation)
{
    TiffBuilder t(false);
    const uint32_t exif = t.AddDirectory({t.Ascii(0x9003, "2024:01:02 03:04:05")});
    const uint32_t gps = t.AddDirectory({t.Ascii(0x0001, "N"), {0x0002, 5, 3, t.U32(52) + t.U32(1) + t.U32(30) + t.U32(1) + t.U32(0) + t.U32(1)}});
    t.SetFirstDirectory(t.AddDirectory({t.Ascii(0x010F, "CamMaker"), t.Ascii(0x0110, "CamModel"),
                                        t.Short(0x0112, orientation), t.Long(0x8769, exif), t.Long(0x8825, gps)}));
    return t.Bytes();
}

std::string Xmp(const std::string& creator)
{
    return "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
           "<rdf:Description xmlns:dc='http://purl.org/dc/elements/1.1/'><dc:creator><rdf:Seq><rdf:li>" +
           creator + "</rdf:li></rdf:Seq></dc:creator></rdf:Description></rdf:RDF></x:xmpmeta>";
}

// A colour profile header libpng accepts: size, 'acsp', no tags.
std::string IccChunk()
{
    std::string profile(132, '\0');
    profile[3] = char(132);
    profile.replace(12, 8, "mntrRGB XYZ ");
    profile.replace(36, 4, "acsp");
    profile[8] = 2;
    return PngChunk("iCCP", std::string("icc\0\0", 5) + Deflate(profile));
}

std::string Every(uint16_t orientation = 6)
{
    return TinyPng({IccChunk(), PngChunk("gAMA", std::string("\0\0\xB1\x8F", 4)), PngChunk("eXIf", CameraTiff(orientation)),
                    TextChunk("Author", "Ann Author"), ZtxtChunk("Comment", "a comment"),
                    ItxtChunk("XML:com.adobe.xmp", Xmp("Jane Creator")), PngChunk("tIME", std::string(7, '\1')),
                    PngChunk("prVt", "private")},
                   {TextChunk("Software", "Editor 1")});
}

// What libpng decodes: RGBA rows, or "error: ..." when it cannot.
std::string Pixels(const std::string& png)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return std::string("error: ") + image.message;
    image.format = PNG_FORMAT_RGBA;
    std::string rows(PNG_IMAGE_SIZE(image), '\0');
    if (!png_image_finish_read(&image, nullptr, rows.data(), 0, nullptr)) return std::string("error: ") + image.message;
    return rows;
}

size_t Count(const std::vector<tPngChunkAt>& chunks, const std::string& type)
{
    return size_t(std::count_if(chunks.begin(), chunks.end(), [&](const tPngChunkAt& c) { return c.Type == type; }));
}

struct tRow {
    std::string Name;
    std::function<std::string(const std::string& path)> Make;  // writes the source, returns its bytes
    tChoices Choices;
    int Changes = -1;     // 1: the file changes, 0: it does not, -1: either
    int Orientation = 0;  // a minimal eXIf of this orientation is in the output
};

std::function<std::string(const std::string&)> Bytes(std::string bytes)
{
    return [bytes](const std::string& path) { WriteFile(path, bytes); return bytes; };
}

// exiftool writes camera EXIF, XMP and text into a tiny PNG.
std::string ExiftoolWritten(const std::string& path)
{
    WriteFile(path, TinyPng({IccChunk()}));
    const std::string cmd = "exiftool -q -overwrite_original -Make=Cam -Model=M1 '-DateTimeOriginal=2024:01:02 03:04:05' "
                            "-GPSLatitude=52.5 -GPSLatitudeRef=N -XMP-dc:Creator=Jane -PNG:Comment=hello -Author=Ann "
                            "-Orientation#=6 '" + path + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return ReadFile(path);
}

// exiftool's tags of each of `files`, "[PNG]    Author" as "[PNG]Author";
// one run for all, as exiftool takes a while to start.
std::map<std::string, std::set<std::string>> TagsOf(const std::vector<std::string>& files)
{
    std::string cmd = "exiftool -a -G1 -s";
    for (const std::string& f : files) cmd += " '" + f + "'";
    FILE* p = ::popen((cmd + " 2>/dev/null").c_str(), "r");
    std::map<std::string, std::set<std::string>> tags;
    if (!p) return tags;
    std::string file, line;
    for (int c; (c = std::fgetc(p)) != EOF;) {
        if (c != '\n') {
            line += char(c);
            continue;
        }
        if (line.rfind("======== ", 0) == 0) {
            file = line.substr(9);
        } else {
            std::string tag = line.substr(0, line.find(':'));
            std::erase(tag, ' ');
            tags[file].insert(tag);
        }
        line.clear();
    }
    ::pclose(p);
    return tags;
}

// Cleans `row`'s file in `folder` and checks the copy; exiftool's view of it
// is checked by CheckTags, for all rows at once.
void CheckRow(const tRow& row, const std::string& folder)
{
    SCOPED_TRACE(row.Name);
    fs::create_directory(folder);
    const std::string source = folder + "/in.png";
    const std::string in = row.Make(source);
    auto picture = Scan(source);
    const bool changes = picture->Removes(row.Choices);
    if (row.Changes >= 0) {
        EXPECT_EQ(changes, row.Changes == 1);
    }
    const std::string out = changes ? WriteOut(*picture, picture->Plan(row.Choices), source, row.Choices) : in;
    const std::string written = folder + "/check.png";
    WriteFile(written, out);
    EXPECT_FALSE(RemovesAny(Scan(written)->Parts(), row.Choices)) << "a re-scan finds nothing removed";

    // Every chunk the choices keep, byte for byte and in order; nothing they remove.
    std::vector<std::string> expected, got;
    for (const tPngChunkAt& c : WalkPng(in))
        if (!HoldsRemoved(c, row.Choices) && !(row.Orientation && c.Type == "eXIf")) expected.push_back(c.Bytes);
    const std::vector<tPngChunkAt> outChunks = WalkPng(out);
    size_t exifAt = SIZE_MAX, idatAt = SIZE_MAX;
    for (size_t i = 0; i < outChunks.size(); ++i) {
        EXPECT_TRUE(outChunks[i].CrcRight()) << outChunks[i].Type;
        EXPECT_FALSE(HoldsRemoved(outChunks[i], row.Choices)) << outChunks[i].Type;
        if (outChunks[i].Type == "IDAT") idatAt = std::min(idatAt, i);
        if (row.Orientation && outChunks[i].Type == "eXIf") {
            EXPECT_EQ(outChunks[i].Data(), OrientationTiff(row.Orientation));
            exifAt = i;
        } else {
            got.push_back(outChunks[i].Bytes);
        }
    }
    EXPECT_TRUE(expected == got) << "the kept chunks are the source's";
    if (row.Orientation) {
        EXPECT_LT(exifAt, idatAt) << "a minimal eXIf before the picture data";
    }
    EXPECT_EQ(Count(outChunks, "fdAT"), Count(WalkPng(in), "fdAT"));
    EXPECT_EQ(Count(outChunks, "iCCP"), Count(WalkPng(in), "iCCP"));
    // Bytes after IEND go with "other" only.
    const size_t inEnd = WalkPng(in).back().Offset + 12, outEnd = outChunks.back().Offset + 12;
    EXPECT_EQ(out.substr(outEnd), row.Choices.Other ? std::string() : in.substr(inEnd));

    const std::string before = Pixels(in);
    if (before.rfind("error", 0) != 0) {
        EXPECT_TRUE(Pixels(out) == before) << "the same pixels";
    }
}

// No tag of a removed kind in any copy; a kept one still there.
void CheckTags(const std::vector<tRow>& rows, const std::vector<std::string>& folders)
{
    std::vector<std::string> files;
    for (const std::string& f : folders) files.insert(files.end(), {f + "/in.png", f + "/check.png"});
    auto tags = TagsOf(files);
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].Name);
        const std::set<std::string>& in = tags[folders[i] + "/in.png"];
        const std::set<std::string>& out = tags[folders[i] + "/check.png"];
        EXPECT_TRUE(in.count("[PNG]ImageWidth")) << "exiftool reads the source";
        const auto none = [&](std::initializer_list<const char*> list) {
            for (const char* t : list) EXPECT_EQ(out.count(t), 0u) << t;
        };
        const tChoices& c = rows[i].Choices;
        if (c.Exif) none({"[IFD0]Make", "[IFD0]Model", "[ExifIFD]DateTimeOriginal", "[GPS]GPSLatitude"});
        if (c.Other) none({"[PNG]Author", "[PNG]Make", "[XMP-dc]Creator", "[PNG]Software"});
        if (c.Comment) none({"[PNG]Comment"});
        // What the choices keep, exiftool still finds.
        if (!c.Other) {
            EXPECT_EQ(out.count("[PNG]Author"), in.count("[PNG]Author"));
        }
        if (!c.Exif) {
            EXPECT_EQ(out.count("[IFD0]Make"), in.count("[IFD0]Make"));
        }
    }
}

TEST(PngFile, CleansEveryFixture)
{
    std::vector<tRow> rows{
        {"everything, orientation kept", Bytes(Every()), kAll, 1, 6},
        {"EXIF alone", Bytes(Every()), Choose(true, false, false, false), 1},
        {"EXIF of orientation 1, kept orientation", Bytes(Every(1)), Choose(true, false, false, false, true), 1},
        {"comment alone", Bytes(Every()), Choose(false, true, false, false), 1},
        {"other alone", Bytes(Every()), Choose(false, false, false, true), 1},
        {"nothing chosen", Bytes(Every()), Choose(false, false, false, false), 0},
        {"no metadata", Bytes(TinyPng({IccChunk()})), kAll, 0},
        {"eXIf after the picture data", Bytes(TinyPng({}, {PngChunk("eXIf", CameraTiff(8))}, 3)), kAll, 1, 8},
        {"minimal eXIf already", Bytes(TinyPng({PngChunk("eXIf", OrientationTiff(3))})), kAll, 0, 3},
        {"raw profiles, IPTC", Bytes(TinyPng({TextChunk("Raw profile type exif", "\nexif\n 4\n4d4d002a\n"),
                                              ZtxtChunk("Raw profile type iptc", "\niptc\n 2\n1c02\n")})),
         Choose(false, false, true, false), 1},
        {"raw profiles, EXIF", Bytes(TinyPng({TextChunk("raw profile type APP1", "\n"), ZtxtChunk("Raw profile type 8bim", "\n")})),
         Choose(true, false, false, false), 1},
        {"text between picture data", Bytes(TextAmidPictureData()), kAll, 1},
        {"APNG", Bytes(TinyApng({TextChunk("Author", "Ann"), PngChunk("eXIf", CameraTiff(5))})), kAll, 1, 5},
        {"bytes after IEND", Bytes(TinyPng({TextChunk("Author", "A")}) + "trailer"), kAll, 1},
        {"bytes after IEND, other kept", Bytes(TinyPng({TextChunk("Comment", "A")}) + "trailer"), Choose(true, true, true, false), 1},
    };
    if (HaveExiftool()) rows.push_back({"exiftool", ExiftoolWritten, kAll, 1, 6});
    const fs::path suite = fs::path(ZOREZAZ_SOURCE_DIR).parent_path() / "shared" / "corpus-formats" / "png";
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(suite, ec)) {
        const std::string bytes = ReadFile(e.path().string());
        rows.push_back({"PngSuite " + e.path().filename().string(), Bytes(bytes), kAll});
        rows.push_back({"PngSuite + text " + e.path().filename().string(),
                        Bytes(bytes.substr(0, 33) + TextChunk("Author", "Ann") + bytes.substr(33)), kAll, 1});
    }
    TempDir dir;
    std::vector<std::string> folders;
    for (const tRow& row : rows) {
        folders.push_back(dir / std::to_string(folders.size()));
        CheckRow(row, folders.back());
    }
    if (HaveExiftool()) CheckTags(rows, folders);
}

TEST(PngFile, NamesPartsAndJoinsPictureData)
{
    TempDir dir;
    auto picture = Scan(dir.Write("a.png", TinyPng({PngChunk("eXIf", CameraTiff(6)), TextChunk("Author", "A")}, {}, 200, 64, 64)));
    std::vector<std::string> names;
    for (const tPart& p : picture->Parts()) names.push_back(p.Name + ":" + KindName(p.Kind));
    EXPECT_EQ(names, (std::vector<std::string>{"IHDR:picture", "eXIf:EXIF", "tEXt Author:other",
                                               "IDAT (" + std::to_string(PngPictureData(64, 64, 200).size()) + " chunks):picture",
                                               "IEND:picture"}));
    EXPECT_EQ(picture->Parts()[1].Orientation, 6);
}

TEST(PngFile, ListsTextsWithinCaps)
{
    TempDir dir;
    const std::string tiff = CameraTiff(1);
    const std::string bomb(50 << 20, '\0');
    auto picture = Scan(dir.Write("a.png", TinyPng({PngChunk("eXIf", tiff), ItxtChunk("XML:com.adobe.xmp", Xmp("J"), true),
                                                    TextChunk("Title", "Caf\xE9"), ZtxtChunk("Comment", "zipped"),
                                                    ItxtChunk("Author", "\xC3\x85sa", true), ZtxtChunk("Bomb", bomb)})),
                        true);
    EXPECT_EQ(picture->Texts.ExifTiff, tiff);
    EXPECT_EQ(picture->Texts.Xmp, Xmp("J"));
    ASSERT_EQ(picture->Texts.Lines.size(), 4u);
    EXPECT_EQ(picture->Texts.Lines[0], std::make_pair(std::string("Title"), std::string("Caf\xC3\xA9")));
    EXPECT_EQ(picture->Texts.Lines[1].second, "zipped");
    EXPECT_EQ(picture->Texts.Lines[2].second, "\xC3\x85sa");
    EXPECT_EQ(picture->Texts.Lines[3].second.size(), kMaxShownText);
    // Without a listing, no text is held.
    auto cleaning = Scan(dir / "a.png");
    EXPECT_TRUE(cleaning->Texts.ExifTiff.empty() && cleaning->Texts.Xmp.empty() && cleaning->Texts.Lines.empty());
}

TEST(PngFile, DamagedFilesAreRefused)
{
    const std::string png = TinyPng();
    const std::string idat = PngPictureData(4, 3)[0];
    std::string huge = PngChunk("tEXt", "a\0b");
    huge[0] = '\x80';
    const std::vector<std::string> many(kMaxPngParts, TextChunk("Author", "A"));
    // Bytes, and what the message says.
    const std::vector<std::tuple<std::string, std::string, std::string>> rows{
        {"cut chunk", png.substr(0, png.size() - 5), "a chunk is cut short at the end of the file"},
        {"no IHDR", PngFile({idat, PngIend()}), "the first chunk is not IHDR"},
        {"no IEND", png.substr(0, png.size() - 12), "no IEND chunk"},
        {"length past the end", PngFile({PngIhdr(4, 3), PngChunk("tEXt", "a\0b").substr(0, 12), idat, PngIend()}),
         "a chunk runs past the end of the file"},
        {"length above 2^31-1", PngFile({PngIhdr(4, 3), huge, idat, PngIend()}), "a chunk length is larger than 2^31-1"},
        {"type not letters", PngFile({PngIhdr(4, 3), PngChunk("t3Xt", "x"), idat, PngIend()}), "a chunk type is not four letters"},
        {"too many chunks", TinyPng(many), "more than 4096 chunks besides the picture data"},
        {"cut signature", png.substr(0, 5), "the file ends inside the PNG signature"},
    };
    TempDir dir;
    for (const auto& [name, bytes, message] : rows) {
        SCOPED_TRACE(name);
        try {
            Scan(dir.Write("d.png", bytes));
            ADD_FAILURE() << "no EDamagedFile";
        } catch (const EDamagedFile& e) {
            EXPECT_EQ(e.what(), message);
        }
    }
    EXPECT_NO_THROW(Scan(dir.Write("d.png", TinyPng(std::vector<std::string>(kMaxPngParts - 4, TextChunk("A", "b"))))));
}

TEST(PngFile, CheckBeforePublishCatchesAKeptRemovedChunk)
{
    TempDir dir;
    const std::string source = dir.Write("in.png", TinyPng({TextChunk("Author", "Ann Author")}, {}, 3));
    auto picture = Scan(source);
    const auto named = [&](const std::string& start) {
        return *std::find_if(picture->Parts().begin(), picture->Parts().end(),
                             [&](const tPart& p) { return p.Name.rfind(start, 0) == 0; });
    };
    const tPart author = named("tEXt Author"), data = named("IDAT"), end = named("IEND");
    const int64_t firstIdat = int64_t(PngPictureData(4, 3, 3)[0].size());
    // The signature and IHDR, then the pieces of each row, each a source range.
    const struct {
        const char* What;
        std::vector<std::pair<int64_t, int64_t>> Pieces;
    } rows[] = {
        {"the Author chunk copied after IEND", {{data.Offset, data.Length}, {end.Offset, end.Length},
                                                 {author.Offset, author.Length}}},
        {"the Author chunk before the picture data", {{author.Offset, author.Length}, {data.Offset, data.Length},
                                                       {end.Offset, end.Length}}},
        // The picture data is no longer copied whole: the check must read
        // every chunk of it, not step over it.
        {"the Author chunk inside the picture data", {{data.Offset, firstIdat}, {author.Offset, author.Length},
                                                       {data.Offset + firstIdat, data.Length - firstIdat},
                                                       {end.Offset, end.Length}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.What);
        tPlan plan;
        plan.SourceFd = picture->Plan(kAll).SourceFd;
        plan.AddRange(0, author.Offset);
        for (const auto& [offset, length] : row.Pieces) plan.AddRange(offset, length);
        EXPECT_THROW(WriteOut(*picture, plan, source, kAll), ECheckFailed);
    }
    EXPECT_NO_THROW(WriteOut(*picture, picture->Plan(kAll), source, kAll));
}

}  // namespace
