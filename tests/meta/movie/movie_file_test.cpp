#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "meta/movie/movie_file.h"
#include "tests/meta/movie/movie_builder.h"
#include "tests/support/exiftool.h"
#include "tests/support/clean_as_batch.h"
#include "tests/support/jpeg_fixtures.h"

using fixture::TempDir;

namespace {

tChoices Other()
{
    tChoices c;
    c.Exif = c.Other = true;
    return c;
}

std::unique_ptr<tPictureFile> Scan(const std::string& path, bool listing = false)
{
    struct stat st;
    tFileHandle file(OpenForReading(path, st));
    return ScanMovie(std::move(file), st, path, listing);
}

// Scans, plans and writes as the batch run does (the check before publish
// included).
std::string Clean(const TempDir& dir, const std::string& path, const tChoices& choices = Other())
{
    return fixture::CleanAsBatch([&] { return Scan(path); }, dir.Path(), path, choices);
}

bool Holds(const std::string& bytes, const std::string& what) { return bytes.find(what) != std::string::npos; }

std::string Output(const std::string& command)
{
    std::string text;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
        pclose(p);
    }
    return text;
}

TEST(MovieSniff, MovieBrandsAndQuickTimeWithoutFtyp)
{
    const std::string ftyp = std::string("\0\0\0\x1C", 4) + "ftyp";
    const std::string zero(4, '\0');
    EXPECT_TRUE(LooksLikeMovie(ftyp + "isom" + zero + "isomiso2avc1mp41"));
    EXPECT_TRUE(LooksLikeMovie(ftyp + "qt  " + zero + "qt  " + zero + zero));
    EXPECT_TRUE(LooksLikeMovie(ftyp + "XXXX" + zero + "3gp4" + zero + zero));  // a compatible brand
    EXPECT_FALSE(LooksLikeMovie(ftyp + "heic" + zero + "mif1heic" + zero));
    // A brand after the ftyp box is no brand of it.
    EXPECT_FALSE(LooksLikeMovie(std::string("\0\0\0\x10", 4) + "ftypXXXX" + zero + "isom"));
    // QuickTime from before ftyp: a second header must agree.
    EXPECT_TRUE(LooksLikeMovie(std::string("\0\0\0\x08", 4) + "wide" + std::string("\0\0\x10\0", 4) + "mdat"));
    EXPECT_TRUE(LooksLikeMovie(std::string("\0\0\x10\0", 4) + "moov" + std::string("\0\0\0\x6C", 4) + "mvhd"));
    EXPECT_FALSE(LooksLikeMovie(std::string("\0\0\x10\0", 4) + "moov" + std::string("\0\0\0\x6C", 4) + "abcd"));
    EXPECT_FALSE(LooksLikeMovie(std::string("\0\0\0\x08", 4) + "free" + "hello, world"));
    EXPECT_FALSE(LooksLikeMovie("\xFF\xD8\xFF\xE0 and more bytes"));
}

TEST(MovieFile, EveryLayoutIsCleanedInPlace)
{
    const struct {
        const char* What;
        tMovieLayout Layout;
    } rows[] = {
        {"mdat first", {}},
        {"moov first", {.MoovFirst = true}},
        {"64-bit sizes", {.LargeSizes = true}},
        {"64-bit sizes, moov first, co64", {.MoovFirst = true, .LargeSizes = true, .Co64 = true}},
        {"version 1 headers", {.Version1 = true}},
        {"a timed metadata track", {.MetadataTrack = true}},
        {"a timed metadata track, co64, moov first", {.MoovFirst = true, .Co64 = true, .MetadataTrack = true}},
        {"a timed metadata track with 8-bit sizes", {.MetadataTrack = true, .CompactSizeBits = 8}},
        {"a timed metadata track with 16-bit sizes", {.MetadataTrack = true, .CompactSizeBits = 16}},
        {"a timed metadata track in two runs of chunks", {.MetadataTrack = true, .RunStarts = {1, 2}}},
        {"udta with QuickTime's terminator", {.Terminator = true}},
        {"a top-level XMP box", {.XmpBox = true}},
        {"a track's own udta", {.TrackUserData = true}},
    };
    TempDir dir;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.What);
        const tMovieParts in = BuildMovie(r.Layout);
        const std::string path = dir.Write("in.mov", in.File);
        {
            const auto listed = Scan(path, true);
            bool place = false, key = false, created = false;
            for (const auto& [name, text] : listed->Texts.Lines) {
                place |= text == kPlace;
                key |= name == "com.apple.quicktime.location.ISO6709";
                created |= name == "moov/mvhd created" && text == "2024-01-02 03:04:05 UTC";
            }
            EXPECT_TRUE(place);
            EXPECT_TRUE(key);
            EXPECT_TRUE(created);
        }
        const std::string out = Clean(dir, path);
        ASSERT_EQ(out.size(), in.File.size()) << out.substr(0, 120);
        // The video samples where they stood, the rotation as it was.
        EXPECT_EQ(out.compare(static_cast<size_t>(in.VideoAt), in.Video.size(), in.Video), 0);
        EXPECT_TRUE(Holds(out, in.Matrix));
        EXPECT_TRUE(Holds(out, "mp4v"));
        for (const char* gone : {"+48.1234", "AcmePhone", "com.apple", "\xA9xyz", "meta", "mdta", "\xBE\x7A\xCF\xCB"})
            EXPECT_FALSE(Holds(out, gone)) << gone;
        // Every change is zeros or a free box's header.
        size_t changed = 0;
        for (size_t i = 0; i < out.size(); ++i) changed += out[i] != in.File[i] && out[i] != '\0';
        EXPECT_LE(changed, 16u * 8);
        const std::string cleaned = dir.Write("out.mov", out);
        EXPECT_EQ(Clean(dir, cleaned), "unchanged");
        EXPECT_EQ(Clean(dir, path, tChoices{.Exif = true}), "unchanged");  // EXIF: none in a movie
    }
}

// The movie box goes out as its scan read it, the edits planned on it: what
// another program writes into it meanwhile is not the copy's.
TEST(MovieFile, TheMovieBoxIsWrittenAsItsScanReadIt)
{
    TempDir dir;
    const tMovieParts in = BuildMovie({});
    const std::string path = dir.Write("in.mov", in.File);
    const size_t entry = in.File.find("mp4v");
    const std::string out = fixture::CleanAsBatch(
        [&] {
            auto picture = Scan(path);
            const tFileHandle source(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
            EXPECT_EQ(::pwrite(source.Get(), "XXXX", 4, static_cast<off_t>(entry)), 4);
            return picture;
        },
        dir.Path(), path, Other());
    ASSERT_EQ(out.size(), in.File.size()) << out.substr(0, 120);
    EXPECT_EQ(out.compare(entry, 4, "mp4v"), 0);
    EXPECT_FALSE(Holds(out, kMake));
}

TEST(MovieFile, WhatCannotBeCleanedInPlaceIsRefused)
{
    const struct {
        const char* What;
        tMovieLayout Layout;
        const char* Why;
    } rows[] = {
        {"a fragment", {.Fragment = true}, "fragmented movies are not supported"},
        {"two moov boxes", {.TwoMoovs = true}, "two movie boxes (moov)"},
        {"a size table of more samples than the chunks hold", {.MetadataTrack = true, .ShortSizeTable = true},
         "a track's sample tables do not add up"},
        {"metadata samples inside moov", {.MetadataTrack = true, .SamplesOutside = true},
         "a metadata track's samples outside the movie data (mdat)"},
        {"video samples running into the metadata samples", {.MetadataTrack = true, .LongVideo = true},
         "a track's samples inside metadata that goes"},
        {"runs of chunks from the second chunk on", {.MetadataTrack = true, .RunStarts = {2}},
         "a track's sample tables do not add up"},
        {"runs of chunks that do not rise", {.MetadataTrack = true, .RunStarts = {1, 1}},
         "a track's sample tables do not add up"},
    };
    TempDir dir;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.What);
        EXPECT_EQ(Clean(dir, dir.Write("in.mp4", BuildMovie(r.Layout).File)), std::string("refused: ") + r.Why);
    }
    // Broken sizes: damaged, never guessed.
    std::string cut = BuildMovie({}).File;
    cut.resize(cut.size() - 3);
    EXPECT_EQ(Clean(dir, dir.Write("cut.mp4", cut)), "refused: a box runs past the end of the file");
    const std::string noMoov = BuildMovie({}).File.substr(0, 24 + 8 + 30);  // ftyp, mdat
    EXPECT_EQ(Clean(dir, dir.Write("nomoov.mp4", noMoov)), "refused: no movie box (moov)");
}

// Phone-like clips made by ffmpeg: exiftool finds nothing of the place, the
// phone or the time afterwards, and every frame decodes as before.
TEST(MovieFile, FfmpegClipsLoseEveryTraceAndPlayTheSame)
{
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0 || !fixture::HaveExiftool())
        GTEST_SKIP() << "ffmpeg or exiftool not installed";
    TempDir dir;
    for (const char* name : {"clip.mov", "clip.mp4", "fast.mov", "fast.mp4"}) {
        SCOPED_TRACE(name);
        const std::string path = dir / name;
        const std::string flags = name[0] == 'f' ? "use_metadata_tags+faststart" : "use_metadata_tags";
        ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i testsrc=duration=2:size=160x120:rate=10 -f lavfi -i "
                               "sine=duration=2 -c:v mpeg4 -c:a aac -metadata make=Acme -metadata model=Cam1 "
                               "-metadata location=+48.1234+011.5678/ -metadata creation_time=2024-01-02T03:04:05Z "
                               "-movflags " + flags + " " + path)
                                  .c_str()),
                  0);
        std::string in;
        {
            struct stat st;
            tFileHandle file(OpenForReading(path, st));
            in.resize(static_cast<size_t>(st.st_size));
            ASSERT_TRUE(ReadAt(file.Get(), in.data(), in.size(), 0));
        }
        // A 90° rotation in the video track's matrix (the first tkhd), 40 bytes into its fields.
        const size_t matrix = in.find("tkhd") + 4 + 40;
        const std::string rotation = BigEndian(0, 4) + BigEndian(0x10000, 4) + BigEndian(0, 4) + BigEndian(0xFFFF0000, 4);
        in.replace(matrix, rotation.size(), rotation);
        dir.Write(name, in);
        const std::string out = Clean(dir, path);
        ASSERT_EQ(out.size(), in.size()) << out;
        for (const char* gone : {"48.1234", "Acme", "Cam1", "Lavf"}) EXPECT_FALSE(Holds(out, gone)) << gone;
        const std::string cleaned = dir.Write(std::string("out-") + name, out);
        for (const auto& [tag, value] : fixture::Exiftool("-a -G1", cleaned)) {
            for (const char* word : {"GPS", "Make", "Model", "Software", "Encoder", "Location"})
                EXPECT_EQ(tag.find(word), std::string::npos) << tag << " = " << value;
            if (tag.find("Date") != std::string::npos && tag.find("[System]") == std::string::npos) {
                EXPECT_TRUE(value == "0" || value.rfind("0000:00:00", 0) == 0) << tag << " = " << value;
            }
        }
        EXPECT_EQ(fixture::Exiftool("-Rotation", cleaned)["Rotation"], "90");
        const std::string frames = "ffmpeg -v error -i '%s' -map 0 -f framemd5 - 2>&1";
        auto md5 = [&](const std::string& file) {
            char command[600];
            std::snprintf(command, sizeof command, frames.c_str(), file.c_str());
            return Output(command);
        };
        const std::string before = md5(path);
        EXPECT_NE(before.find("0,"), std::string::npos);
        EXPECT_EQ(md5(cleaned), before);
    }
}

}  // namespace
