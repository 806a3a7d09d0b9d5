#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <libheif/heif.h>

#include "meta/heif/heif_file.h"
#include "tests/meta/heif/heif_builder.h"
#include "tests/support/exiftool.h"
#include "tests/support/clean_as_batch.h"
#include "tests/support/jpeg_fixtures.h"

using fixture::TempDir;

namespace {

tChoices All()
{
    tChoices c;
    c.Exif = c.Comment = c.Iptc = c.Other = true;
    c.KeepOrientation = true;
    return c;
}

std::unique_ptr<tPictureFile> Scan(const std::string& path, bool listing = false)
{
    struct stat st;
    tFileHandle file(OpenForReading(path, st));
    return ScanHeif(std::move(file), st, path, listing);
}

// Scans, plans and writes as the batch run does (the check before publish
// included).
std::string Clean(const TempDir& dir, const std::string& path, const tChoices& choices = All())
{
    return fixture::CleanAsBatch([&] { return Scan(path); }, dir.Path(), path, choices);
}

bool Holds(const std::string& bytes, const std::string& what) { return bytes.find(what) != std::string::npos; }

// No run of 16 bytes of `payload` is anywhere in `out`.
bool NoTraceOf(const std::string& out, const std::string& payload)
{
    for (size_t at = 0; at + 16 <= payload.size(); at += 8)
        if (Holds(out, payload.substr(at, 16))) return false;
    return true;
}

TEST(HeifSniff, FtypWithAnImageBrandMajorOrCompatible)
{
    const std::string head = std::string("\0\0\0\x1C", 4) + "ftyp";
    EXPECT_TRUE(LooksLikeHeif(head + "heic" + std::string(4, '\0') + "mif1heic"));
    EXPECT_TRUE(LooksLikeHeif(head + "avif" + std::string(4, '\0')));
    EXPECT_TRUE(LooksLikeHeif(head + "isom" + std::string(4, '\0') + "mp41avis"));
    EXPECT_FALSE(LooksLikeHeif(head + "isom" + std::string(4, '\0') + "mp41iso2"));  // a movie
    // A brand after the ftyp box is no brand of it.
    EXPECT_FALSE(LooksLikeHeif(std::string("\0\0\0\x10", 4) + "ftyp" + "qt  " + std::string(4, '\0') + "heic"));
    EXPECT_FALSE(LooksLikeHeif("\xFF\xD8\xFF\xE0"));
    EXPECT_TRUE(LooksLikeHeif(head + "heix" + std::string(4, '\0')));
}

TEST(HeifFile, EveryLayoutIsCleanedInPlaceWithItsPictureAndPropertiesKept)
{
    const struct {
        const char* What;
        tHeifLayout Layout;
    } rows[] = {
        {"iloc version 0", {.IlocVersion = 0}},
        {"iloc version 1, 8-byte fields", {.IlocVersion = 1, .OffsetSize = 8, .LengthSize = 8}},
        {"iloc version 2", {.IlocVersion = 2}},
        {"offsets of size 0 under 8-byte base offsets", {.IlocVersion = 1, .OffsetSize = 0, .BaseSize = 8}},
        {"4-byte base offsets", {.IlocVersion = 2, .BaseSize = 4}},
        {"metadata in idat", {.MetadataInIdat = true}},
        {"metadata in idat, in two extents", {.MetadataInIdat = true, .SplitExtents = true}},
        {"several extents, interleaved", {.SplitExtents = true}},
        {"mdat before meta", {.MdatFirst = true}},
        {"mdat before meta, several extents", {.MdatFirst = true, .SplitExtents = true}},
        {"64-bit sizes", {.LargeSizes = true}},
        {"64-bit sizes, mdat first", {.MdatFirst = true, .LargeSizes = true}},
        {"a thumbnail", {.Thumbnail = true}},
    };
    TempDir dir;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.What);
        const tHeifParts in = BuildHeif(r.Layout);
        const std::string path = dir.Write("in.heic", in.File);
        {
            const auto scanned = Scan(path, true);
            const std::vector<tPart>& parts = scanned->Parts();
            auto kind = [&](const std::string& name) {
                auto p = std::find_if(parts.begin(), parts.end(), [&](const tPart& q) { return q.Name.rfind(name, 0) == 0; });
                return p == parts.end() ? -1 : static_cast<int>(p->Kind);
            };
            EXPECT_EQ(kind("Exif item 2"), static_cast<int>(tPartKind::Exif));
            EXPECT_EQ(kind("mime item 3 (XMP)"), static_cast<int>(tPartKind::Other));
            EXPECT_EQ(kind("hvc1 item 1"), static_cast<int>(tPartKind::Picture));
            EXPECT_EQ(kind("property colr"), static_cast<int>(tPartKind::Display));
            EXPECT_EQ(kind("property irot"), static_cast<int>(tPartKind::Display));
            EXPECT_EQ(scanned->Texts.ExifTiff, in.Exif.substr(4));
            EXPECT_EQ(scanned->Texts.Xmp, in.Xmp);
        }
        const std::string out = Clean(dir, path);
        ASSERT_EQ(out.size(), in.File.size()) << out.substr(0, 120);
        // The picture where it stood, the properties as they were.
        EXPECT_EQ(out.compare(static_cast<size_t>(in.PictureAt), 150, in.Picture, 0, 150), 0);
        EXPECT_TRUE(Holds(out, in.Colr));
        EXPECT_TRUE(Holds(out, in.Irot));
        EXPECT_TRUE(NoTraceOf(out, in.Exif));
        EXPECT_TRUE(NoTraceOf(out, in.Xmp));
        EXPECT_FALSE(Holds(out, "Exif"));
        EXPECT_FALSE(Holds(out, "cdsc"));
        EXPECT_FALSE(Holds(out, "application/rdf+xml"));
        // Read again: the picture items alone, at the same place with the same bytes.
        const std::string cleaned = dir.Write("out.heic", out);
        const auto again = Scan(cleaned);
        const auto& items = static_cast<const tHeifFile&>(*again).Items();
        ASSERT_EQ(items.size(), r.Layout.Thumbnail ? 2u : 1u);
        EXPECT_EQ(items[0].Id, 1u);
        EXPECT_EQ(items[0].Extents[0].Offset, in.PictureAt);
        EXPECT_FALSE(again->Removes(All()));
        if (r.Layout.Thumbnail) {
            EXPECT_TRUE(Holds(out, "thmb"));
        }
    }
}

TEST(HeifFile, EachChoiceRemovesOnlyItsItems)
{
    TempDir dir;
    const tHeifParts in = BuildHeif({});
    const std::string path = dir.Write("in.heic", in.File);
    tChoices exif, other, none;
    exif.Exif = true;
    other.Other = true;
    none.Comment = none.Iptc = true;
    const std::string onlyExif = Clean(dir, path, exif), onlyOther = Clean(dir, path, other);
    EXPECT_TRUE(NoTraceOf(onlyExif, in.Exif));
    EXPECT_TRUE(Holds(onlyExif, in.Xmp));
    EXPECT_TRUE(Holds(onlyOther, in.Exif));
    EXPECT_TRUE(NoTraceOf(onlyOther, in.Xmp));
    EXPECT_EQ(Clean(dir, path, none), "unchanged");
    // Orientation lives in irot, never in EXIF: keeping it keeps no EXIF.
    exif.KeepOrientation = true;
    EXPECT_TRUE(NoTraceOf(Clean(dir, path, exif), in.Exif));
}

TEST(HeifFile, WhatCannotBeRewrittenSafelyIsRefusedWithAReason)
{
    const struct {
        const char* What;
        tHeifLayout Layout;
        std::string File;  // instead of the layout's, when set
        const char* Reason;
    } rows[] = {
        {"iloc construction method 2", {.Method = 2}, {}, "an item made of other items' bytes (iloc construction method 2)"},
        {"an unknown construction method", {.Method = 5}, {}, "an iloc construction method that is not known"},
        {"an extent past the end", {.ExifShift = 100000}, {}, "an item's data runs past the end of the file"},
        {"an extent over another item's", {.ExifShift = -10}, {}, "an item's data overlaps another item's"},
        {"an extent inside the meta box", {.MdatFirst = true, .ExifShift = 200}, {}, "an item's data inside the meta box"},
        {"two meta boxes", {.TwoMetas = true}, {}, "two meta boxes"},
        {"no ftyp first", {}, std::string("\0\0\0\x08meta", 8), "no ftyp box first"},
        {"no meta box", {}, std::string("\0\0\0\x10" "ftypheic\0\0\0\0", 16), "no meta box"},
        {"a sequence", {}, std::string("\0\0\0\x10" "ftypmsf1\0\0\0\0\0\0\0\x08moov", 24),
         "an image sequence: its tracks are not cleaned yet"},
    };
    TempDir dir;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.What);
        const std::string path = dir.Write("in.heic", r.File.empty() ? BuildHeif(r.Layout).File : r.File);
        EXPECT_EQ(Clean(dir, path), std::string("refused: ") + r.Reason);
    }
}

// The primary picture decoded by libheif to interleaved RGB(A); empty when it cannot be.
std::string Pixels(const std::string& path)
{
    std::string pixels;
    heif_context* ctx = heif_context_alloc();
    heif_image_handle* handle = nullptr;
    heif_image* image = nullptr;
    if (heif_context_read_from_file(ctx, path.c_str(), nullptr).code == heif_error_Ok &&
        heif_context_get_primary_image_handle(ctx, &handle).code == heif_error_Ok &&
        heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, nullptr).code ==
            heif_error_Ok) {
        int stride = 0;
        const uint8_t* data = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
        const int h = heif_image_get_height(image, heif_channel_interleaved);
        if (data) pixels.assign(reinterpret_cast<const char*>(data), static_cast<size_t>(stride) * static_cast<size_t>(h));
    }
    if (image) heif_image_release(image);
    if (handle) heif_image_handle_release(handle);
    heif_context_free(ctx);
    return pixels;
}

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// Made by heif-enc and the samples folder, with exiftool's EXIF and XMP written in.
std::vector<std::pair<std::string, std::string>> RealFiles(const TempDir& dir)
{
    std::vector<std::pair<std::string, std::string>> files;  // what, path
    if (!fixture::HaveExiftool()) return files;
    if (Run("heif-enc --version") || Run("command -v heif-enc")) {
        const std::string jpeg = dir.Write("src.jpg", fixture::TinyJpeg(64, 48));
        const struct {
            const char* Name;
            const char* Options;
        } encodes[] = {{"enc.heic", "-L"}, {"enc.avif", "-A -L"}, {"thumb.heic", "-t 16"}, {"q.avif", "-A -q 40"}};
        for (const auto& e : encodes)
            if (Run("heif-enc " + std::string(e.Options) + " -o " + (dir / e.Name) + " " + jpeg))
                files.emplace_back(std::string("heif-enc ") + e.Options, dir / e.Name);
    }
    const std::string samples = std::string(ZZ_SOURCE_DIR) + "/../shared/corpus-formats/heif";
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(samples, ec)) {
        const std::string copy = dir / ("sample-" + e.path().filename().string());
        if (Run("cp " + e.path().string() + " " + copy)) files.emplace_back(e.path().filename().string(), copy);
    }
    for (const auto& [what, path] : files)
        EXPECT_TRUE(Run("exiftool -overwrite_original -Make=Apple '-Model=iPhone 13 Pro Max' "
                        "'-DateTimeOriginal=2024:05:06 07:08:09' -GPSLatitude=48.1 -GPSLatitudeRef=N "
                        "'-XMP-dc:Creator=Jane Roe' " + path))
            << what;
    return files;
}

TEST(HeifFile, EncodedFilesKeepTheirPixelsAndLoseEveryTrace)
{
    TempDir dir;
    const auto files = RealFiles(dir);
    if (files.empty()) GTEST_SKIP() << "no heif-enc, exiftool or samples";
    for (const auto& [what, path] : files) {
        SCOPED_TRACE(what);
        const auto scanned = Scan(path, true);
        const std::string tiff = scanned->Texts.ExifTiff;
        ASSERT_FALSE(tiff.empty());
        ASSERT_TRUE(Holds(scanned->Texts.Xmp, "Jane Roe"));
        const std::string out = Clean(dir, path);
        const std::string in = fixture::ReadFile(path);
        ASSERT_EQ(out.size(), in.size()) << out.substr(0, 120);
        const std::string cleaned = dir.Write("cleaned-" + std::filesystem::path(path).filename().string(), out);
        auto tags = fixture::Exiftool("-a", cleaned);
        for (const char* tag : {"Make", "Model", "DateTimeOriginal", "GPSLatitude", "Creator", "ExifByteOrder"})
            EXPECT_EQ(tags.count(tag), 0u) << tag << " = " << tags[tag];
        EXPECT_FALSE(Holds(out, "iPhone 13 Pro Max"));
        EXPECT_FALSE(Holds(out, "Jane Roe"));
        EXPECT_TRUE(NoTraceOf(out, tiff));
        // Every kept part byte for byte: items where they stood, the
        // meta box's boxes (the properties) inside it, moved up at most.
        const auto meta = std::find_if(scanned->Parts().begin(), scanned->Parts().end(),
                                       [](const tPart& p) { return p.Name == "meta"; });
        ASSERT_NE(meta, scanned->Parts().end());
        const size_t metaAt = in.find("meta") - 4;
        for (const tPart& part : scanned->Parts()) {
            if (part.Offset < 0 || part.Kind == tPartKind::Exif || part.Kind == tPartKind::Other) continue;
            const auto at = static_cast<size_t>(part.Offset), n = static_cast<size_t>(part.Length);
            if (at >= metaAt && at < metaAt + static_cast<size_t>(meta->Length))
                EXPECT_LE(out.find(in.substr(at, n), metaAt), at) << part.Name;
            else
                EXPECT_EQ(out.compare(at, n, in, at, n), 0) << part.Name;
        }
        EXPECT_EQ(out.substr(0, metaAt + 8), in.substr(0, metaAt + 8));
        const std::string pixels = Pixels(path);
        EXPECT_FALSE(pixels.empty());
        EXPECT_TRUE(Pixels(cleaned) == pixels);
    }
}

TEST(HeifFile, HostileFilesAreCleanedOrRefusedWithAReason)
{
    const std::string hostile = std::string(ZZ_SOURCE_DIR) + "/../shared/corpus-formats/heif-hostile";
    std::error_code ec;
    if (!std::filesystem::is_directory(hostile, ec)) GTEST_SKIP() << "no " << hostile;
    TempDir dir;
    int cleaned = 0, refused = 0;
    for (const auto& e : std::filesystem::directory_iterator(hostile, ec)) {
        SCOPED_TRACE(e.path().string());
        const std::string out = Clean(dir, e.path().string());
        if (out.rfind("refused: ", 0) == 0) {
            EXPECT_GT(out.size(), 9u);
            ++refused;
        } else if (out != "unchanged") {
            EXPECT_EQ(out.size(), static_cast<size_t>(std::filesystem::file_size(e.path())));
            ++cleaned;
        }
    }
    EXPECT_GT(cleaned + refused, 0);
}

}  // namespace
