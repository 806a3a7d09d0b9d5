// Maker notes of real camera files, when ../shared/corpus is present.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "meta/exif/image_info.h"
#include "meta/makernote/maker_rules.h"
#include "meta/makernote/ms_info.h"
#include "tests/support/exif_walk.h"
#include "tests/support/jpeg_fixtures.h"

namespace fs = std::filesystem;

namespace {

// What one corpus file's maker note gave.
struct tMakerResult {
    std::string Make;
    bool Scanned = false;
    bool KnownMake = false;
    std::string Status;   // the status text the maker walk reported
    std::string Listing;  // MakerListing
    std::map<std::string, std::string> Texts;
};

void DecodeMakerNote(TImageInfo& decoder)
{
    TmsInfo(decoder.TiffMode, &decoder).DecodeMakerNote();
}

// The file's EXIF block is walked as the container walks it, with the maker
// walk installed; a successful scan replaces the status text afterwards, so
// the maker note is decoded once more by a fresh decoder to see what the
// maker walk recorded.
tMakerResult DecodeCorpusFile(const std::string& path)
{
    tMakerResult result;
    TImageInfo scanned(255);
    scanned.OnMakerNote = DecodeMakerNote;
    result.Scanned = fixture::WalkExifSegment(scanned, fixture::ExifSegmentOf(fixture::ReadFile(path)));
    if (!result.Scanned || scanned.MakerNoteBytes.empty()) return result;
    result.Make = scanned.MakeText;
    TImageInfo replay(255);
    replay.OnStatus = [&result](const std::string& text) { result.Status = text; };
    replay.Block = scanned.Block;
    replay.BigEndian = scanned.BigEndian;
    replay.MakeText = scanned.MakeText;
    replay.MakerNoteBytes = scanned.MakerNoteBytes;
    replay.MakerNotePos = scanned.MakerNotePos;
    TmsInfo ms(false, &replay);
    result.KnownMake = ms.DecodeMakerNote();
    result.Listing = replay.MakerListing;
    // The scan's own walk must have listed the same.
    EXPECT_EQ(scanned.MakerListing, replay.MakerListing) << path;
    for (int32_t i = 0; i < replay.TagCount; ++i) {
        const TTagEntry& entry = replay.TagList[static_cast<size_t>(i)];
        if (entry.Origin == 1) result.Texts.emplace(entry.TagName, entry.Text);
    }
    return result;
}

std::string CorpusFile(const std::string& name)
{
    const std::string dir = fixture::CorpusDir();
    if (dir.empty()) return {};
    const std::string path = dir + "/" + name;
    return fs::is_regular_file(path) ? path : std::string();
}

bool HasError(const tMakerResult& r)
{
    return r.Status.rfind("Error Detected = ", 0) == 0;
}

}  // namespace

TEST(MakerCorpus, SoundDirectoriesDecodeWithoutErrors)
{
    if (fixture::CorpusDir().empty()) GTEST_SKIP() << "../shared/corpus is absent";
    // Files whose maker directory lies where their make says it does.
    const char* sound[] = {
        "Canon_DIGITAL_IXUS_400.jpg",       "Canon_PowerShot_S40.jpg",      "exif-org/canon-ixus.jpg",
        "Fujifilm_FinePix6900ZOOM.jpg",     "Fujifilm_FinePix_E500.jpg",    "exif-org/fujifilm-finepix40i.jpg",
        "exif-org/nikon-e950.jpg",          "exif-org/olympus-c960.jpg",    "exif-org/sanyo-vpcg250.jpg",
        "exif-org/sanyo-vpcsx550.jpg",      "Nikon_COOLPIX_P1.jpg",
    };
    int checked = 0;
    for (const char* name : sound) {
        const std::string path = CorpusFile(name);
        if (path.empty()) continue;
        SCOPED_TRACE(name);
        const tMakerResult r = DecodeCorpusFile(path);
        EXPECT_TRUE(r.Scanned);
        EXPECT_TRUE(r.KnownMake) << r.Make;
        EXPECT_FALSE(HasError(r)) << r.Status;
        EXPECT_FALSE(r.Listing.empty());
        EXPECT_FALSE(r.Texts.empty());
        ++checked;
    }
    if (checked == 0) GTEST_SKIP() << "no maker-note files in the corpus";
}

// Lines of a hooked text, split at CR LF.
bool HasLine(const std::string& text, const std::string& line)
{
    const std::string framed = "\r\n" + text + "\r\n";
    return framed.find("\r\n" + line + "\r\n") != std::string::npos;
}

TEST(MakerCorpus, ValuesAgreeWithExiftool)
{
    if (fixture::CorpusDir().empty()) GTEST_SKIP() << "../shared/corpus is absent";
    // Each expectation is what exiftool reads from the same file, written in
    // this decoder's words (exiftool's name and reading in the comment).
    struct tSpot {
        const char* File;
        const char* Tag;
        const char* Line;  // a whole line of the entry's text
    };
    const tSpot spots[] = {
        // Canon camera settings: MacroMode Normal, ContinuousDrive Single,
        // CanonImageSize Large, CameraISO 100, MeteringMode Center-weighted
        // average, AFPoint Center, CanonExposureMode Program AE.
        {"Canon_PowerShot_S40.jpg", "ExposureInfo1", "Macro mode = Normal"},
        {"Canon_PowerShot_S40.jpg", "ExposureInfo1", "Drive Mode = Single"},
        {"Canon_PowerShot_S40.jpg", "ExposureInfo1", "Image Size = Large"},
        {"Canon_PowerShot_S40.jpg", "ExposureInfo1", "CCD ISO = 100"},
        {"Canon_PowerShot_S40.jpg", "ExposureInfo1", "Metering Mode = Center-weighted"},
        {"Canon_PowerShot_S40.jpg", "ExposureInfo1", "AF Point = Center"},
        {"Canon_PowerShot_S40.jpg", "ExposureInfo1", "Exposure Mode = Program"},
        // The lens: MaxFocalLength 21.3125 mm, MinFocalLength 7.09375 mm,
        // FocalUnits 32/mm (682 / 32 and 227 / 32).
        {"Canon_PowerShot_S40.jpg", "ExposureInfo1", "Long focal =  682"},
        {"Canon_PowerShot_S40.jpg", "ExposureInfo1", "Short focal =  227"},
        {"Canon_PowerShot_S40.jpg", "ExposureInfo1", "Focal Units =  32"},
        // Shot information: WhiteBalance Auto, OpticalZoomCode 6.
        {"Canon_PowerShot_S40.jpg", "ExposureInfo2", "White balance = Auto"},
        {"Canon_PowerShot_S40.jpg", "ExposureInfo2", "OpticalZoom Step =  6"},
        {"Canon_PowerShot_S40.jpg", "OwnerName", "\"Andreas Huggel\""},
        {"Canon_PowerShot_S40.jpg", "ImageType", "\"IMG:PowerShot S40 JPEG\""},
        {"Canon_PowerShot_S40.jpg", "FirmwareVersion", "\"Firmware Version 1.10\""},
        // MaxFocalLength 22.21875 mm = 711 / 32; CameraISO Auto.
        {"Canon_DIGITAL_IXUS_400.jpg", "ExposureInfo1", "Long focal =  711"},
        {"Canon_DIGITAL_IXUS_400.jpg", "ExposureInfo1", "CCD ISO = auto"},
        {"Canon_DIGITAL_IXUS_400.jpg", "OwnerName", "\"Jean-Pierre Grignon\""},
        // Nikon: Quality 12, CCDSensitivity 0 (ISO 80), ColorMode 1,
        // ImageAdjustment 3, WhiteBalance 0, Converter 0.
        {"exif-org/nikon-e950.jpg", "Quality", "2 Mpixel Fine"},
        {"exif-org/nikon-e950.jpg", "ISOSpeed", "ISO80"},
        {"exif-org/nikon-e950.jpg", "ColorMode", "Color"},
        {"exif-org/nikon-e950.jpg", "ImageAdjustment", "Contrast+"},
        {"exif-org/nikon-e950.jpg", "WhiteBalance", "Auto"},
        {"exif-org/nikon-e950.jpg", "Converter", "Not used"},
        // Nikon version 2 note: Quality NORMAL, ISOSelection AUTO, FocusMode
        // AF-S, ImageStabilization VR-OFF, AFResponse STANDARD, DigitalZoom 1.
        {"Nikon_COOLPIX_P1.jpg", "Quality", "\"NORMAL\""},
        {"Nikon_COOLPIX_P1.jpg", "ISOSelection", "\"AUTO  \""},
        {"Nikon_COOLPIX_P1.jpg", "FocusMode", "\"AF-S  \""},
        {"Nikon_COOLPIX_P1.jpg", "ImageStabilization", "\"VR-OFF     \""},
        {"Nikon_COOLPIX_P1.jpg", "AFResponse", "\"STANDARD \""},
        {"Nikon_COOLPIX_P1.jpg", "DigitalZoom", "100/100"},
        // Fujifilm: Quality FINE, WhiteBalance Auto, FujiFlashMode Off,
        // Macro On, SlowSync Off, PictureMode Auto.
        {"Fujifilm_FinePix_E500.jpg", "Quality", "\"FINE   \""},
        {"Fujifilm_FinePix_E500.jpg", "WhiteBalance", "Auto"},
        {"Fujifilm_FinePix_E500.jpg", "FlashMode", "Off"},
        {"Fujifilm_FinePix_E500.jpg", "Macro", "On"},
        {"Fujifilm_FinePix_E500.jpg", "SlowSync", "Off"},
        {"Fujifilm_FinePix_E500.jpg", "PictureMode", "Auto"},
        // Olympus: Quality HQ (Normal), CameraID OLYMPUS DIGITAL CAMERA.
        {"exif-org/olympus-c960.jpg", "JpegQual", "HQ"},
        {"exif-org/olympus-c960.jpg", "CameraID", "\"OLYMPUS DIGITAL CAMERA..........\""},
    };
    std::map<std::string, tMakerResult> decoded;
    int checked = 0;
    for (const tSpot& spot : spots) {
        const std::string path = CorpusFile(spot.File);
        if (path.empty()) continue;
        auto it = decoded.find(spot.File);
        if (it == decoded.end()) it = decoded.emplace(spot.File, DecodeCorpusFile(path)).first;
        const auto text = it->second.Texts.find(spot.Tag);
        ASSERT_NE(text, it->second.Texts.end()) << spot.File << " " << spot.Tag;
        EXPECT_TRUE(HasLine(text->second, spot.Line)) << spot.File << " " << spot.Tag << ": " << text->second;
        ++checked;
    }
    if (checked == 0) GTEST_SKIP() << "none of the files is in the corpus";
}

TEST(MakerCorpus, NoteOfAnotherLayoutIsRecordedAndTheScanSucceeds)
{
    // A newer Olympus note ("OLYMPUS\0II" and a directory at 12): read at 8,
    // "II" makes an entry count far beyond the note.
    const std::string path = CorpusFile("corrupted.jpg");
    if (path.empty()) GTEST_SKIP() << "corrupted.jpg is not in the corpus";
    const tMakerResult r = DecodeCorpusFile(path);
    EXPECT_TRUE(r.Scanned);
    EXPECT_TRUE(r.KnownMake);
    EXPECT_TRUE(HasError(r)) << r.Status;
}

TEST(MakerCorpus, EveryFileScansWhateverItsMakerNote)
{
    const std::vector<std::string> files = fixture::CorpusJpegs();
    if (files.empty()) GTEST_SKIP() << "../shared/corpus is absent";
    int clean = 0, failed = 0, unknown = 0;
    for (const std::string& path : files) {
        const tMakerResult r = DecodeCorpusFile(path);
        if (!r.Make.empty() && !r.KnownMake) ++unknown;
        if (!r.KnownMake) continue;
        EXPECT_TRUE(r.Scanned) << path;
        (HasError(r) ? failed : clean) += 1;
    }
    EXPECT_GT(clean, failed);
    std::printf("maker notes decoded: %d without errors, %d with \"Error Detected\"; %d of other makes\n", clean,
                failed, unknown);
}

TEST(MakerCorpus, NoCameraFileComesNearTheDecodingBudget)
{
    const std::vector<std::string> files = fixture::CorpusJpegs();
    if (files.empty()) GTEST_SKIP() << "../shared/corpus is absent";
    int64_t directories = 0, entries = 0, bytes = 0;
    std::string mostEntries, mostBytes;
    for (const std::string& path : files) {
        TImageInfo dec(255);
        std::string status;
        dec.OnStatus = [&status](const std::string& text) { status = text; };
        dec.OnMakerNote = DecodeMakerNote;
        if (!fixture::WalkExifSegment(dec, fixture::ExifSegmentOf(fixture::ReadFile(path)))) continue;
        EXPECT_EQ(status.find("too large to decode"), std::string::npos) << path << ": " << status;
        directories = std::max(directories, dec.Budget().Directories());
        if (dec.Budget().Entries() > entries) entries = dec.Budget().Entries(), mostEntries = path;
        if (dec.Budget().KeptBytes() > bytes) bytes = dec.Budget().KeptBytes(), mostBytes = path;
    }
    // Real files stay far below every cap.
    EXPECT_LE(directories * 8, kMaxDirectoriesPerBlock);
    EXPECT_LE(entries * 8, kMaxEntriesPerBlock);
    EXPECT_LE(bytes * 8, kMaxKeptBytesPerBlock);
    std::printf("largest use of a camera block: %lld directories, %lld entries (%s), %lld value bytes (%s)\n",
                static_cast<long long>(directories), static_cast<long long>(entries), mostEntries.c_str(),
                static_cast<long long>(bytes), mostBytes.c_str());
}
