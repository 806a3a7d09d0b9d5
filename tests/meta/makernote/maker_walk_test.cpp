// Maker notes decoded through the EXIF walk: the note chosen by the make, its
// directory read with the right offsets, byte order and hooks.

#include <gtest/gtest.h>

#include <memory>

#include "maker_note_builder.h"
#include "meta/exif/image_info.h"
#include "meta/makernote/ms_info.h"
#include "tests/support/hostile_exif.h"
#include "tests/support/jpeg_fixtures.h"

using namespace makernote_fixture;

namespace {

// An EXIF block walked as the scan walks it, with the maker walk installed as
// the container installs it, keeping the status text the walk reported (a
// successful scan replaces it afterwards).
class tWalked {
public:
    tWalked(bool bigEndian, const std::string& tiff) : Block(fixture::ExifSegment(tiff).substr(2))
    {
        Decoder = std::make_unique<TImageInfo>(255);
        Decoder->OnStatus = [this](const std::string& text) { Status = text; };
        Decoder->OnMakerNote = [](TImageInfo& d) { TmsInfo(d.TiffMode, &d).DecodeMakerNote(); };
        Decoder->Block = Block;
        Decoder->BigEndian = bigEndian;
        Decoder->WalkDirectory(17, 9, static_cast<int64_t>(Block.size()) - 6, tDirKind::ExifKind);
    }
    tWalked(const tWalked&) = delete;
    tWalked& operator=(const tWalked&) = delete;

    const std::string Block;  // the EXIF segment from its length bytes on
    std::string Status;
    std::unique_ptr<TImageInfo> Decoder;
};

std::string Note(const std::string& header, const tDirBuilder& dir, uint32_t origin)
{
    return header + dir.Build(static_cast<uint32_t>(header.size()), origin);
}

}  // namespace

TEST(MakerWalk, NikonHeaderNoteUsesTheFirstTableBehindEightBytes)
{
    tDirBuilder dir(true);
    dir.Add(0x0002, 7, 4, "0100")
        .Shorts(0x0003, {12})
        .Shorts(0x0006, {5})
        .Shorts(0x0007, {3})
        .Ascii(0x0008, "AF-S  ")
        .Shorts(0x0009, {1})
        .Shorts(0x0003 + 0x0100, {1});
    const std::string note = Note(std::string("Nikon\0\1\0", 8), dir, kMakerNoteOffset);
    tWalked w(true, TiffWithMakerNote(true, "NIKON", note));
    EXPECT_EQ(w.Decoder->MakeText, "NIKON");
    EXPECT_EQ(w.Decoder->MakerNotePos, kMakerNotePos);
    EXPECT_EQ(w.Decoder->MakerListing,
              "\r\nFamilyID = \"0100\"\r\nQuality = 2 Mpixel Fine\r\nISOSpeed = ISO100"
              "\r\nWhiteBalance = Incandescense\r\nFocus = \"AF-S  \"\r\nUnknown = 1");
    // Row 0 is listed but never becomes an entry; unknown tags neither.
    EXPECT_EQ(w.Decoder->FindTagIndex("FamilyID"), -1);
    const TTagEntry quality = w.Decoder->TagByName("Quality");
    EXPECT_EQ(quality.TagNo, 0x0003);
    EXPECT_EQ(quality.Origin, 1);
    EXPECT_EQ(quality.Text, "2 Mpixel Fine");
    EXPECT_EQ(quality.FieldType, 3);
    EXPECT_EQ(w.Decoder->TagText("Focus"), "\"AF-S  \"");
    EXPECT_EQ(w.Status, "");
    EXPECT_TRUE(w.Decoder->BigEndian);
}

TEST(MakerWalk, PlainNikonDirectoryUsesTheSecondTableAndTheLensHook)
{
    tDirBuilder dir(false);
    dir.Shorts(0x0001, {2})
        .Shorts(0x0002, {0, 200})
        .Ascii(0x0004, "FINE  ")
        .Rationals(0x0084, {{180, 10}, {700, 10}, {35, 10}, {45, 10}});
    const std::string note = dir.Build(0, kMakerNoteOffset);
    tWalked w(false, TiffWithMakerNote(false, "NIKON CORPORATION", note));
    EXPECT_EQ(w.Decoder->MakerListing,
              "\r\nFamilyID = 2\r\nISOSpeed = 0, 200\r\nQuality = \"FINE  \""
              "\r\nLens information = 18.0-70.0(mm)  F3.5-F4.5");
    EXPECT_EQ(w.Decoder->TagText("ISOSpeed"), "0, 200");
    EXPECT_EQ(w.Decoder->TagText("Lens information"), "18.0-70.0(mm)  F3.5-F4.5");
    EXPECT_EQ(w.Status, "");
}

TEST(MakerWalk, NikonVersion2NoteReadsItsOwnTiffHeaderInEitherOrder)
{
    // "Nikon\0", version 2.10, then a TIFF header whose byte order may differ
    // from the block's and from which the note's offsets count.
    for (const bool blockBig : {false, true}) {
        const bool noteBig = !blockBig;
        SCOPED_TRACE(blockBig ? "MM block, II note" : "II block, MM note");
        tDirBuilder dir(noteBig);
        dir.Add(0x0001, 7, 4, "0210")
            .Shorts(0x0002, {0, 200})
            .Ascii(0x0004, "FINE  ")
            .Ascii(0x001D, "4012345")
            .Add(0x00A7, 4, 1, U32(70000, noteBig));
        const std::string header = (noteBig ? "MM" : "II") + U16(42, noteBig) + U32(8, noteBig);
        const std::string note = std::string("Nikon\0\2\x10\0\0", 10) + header + dir.Build(8, 0);
        tWalked w(blockBig, TiffWithMakerNote(blockBig, "NIKON CORPORATION", note));
        EXPECT_EQ(w.Decoder->MakerListing, "\r\nFamilyID = \"0210\"\r\nISOSpeed = 0, 200\r\nQuality = \"FINE  \""
                                           "\r\nSerialNumber = \"4012345\"\r\nShutterCount = 70000");
        EXPECT_EQ(w.Decoder->TagText("SerialNumber"), "\"4012345\"");
        EXPECT_EQ(w.Status, "");
        EXPECT_EQ(w.Decoder->BigEndian, blockBig);
        // The EXIF row names the note and its size.
        EXPECT_NE(w.Decoder->Listing.find("\r\nMaker Note = \"Nikon\", " + std::to_string(note.size()) + " bytes"),
                  std::string::npos)
            << w.Decoder->Listing;
    }
}

TEST(MakerWalk, UpperCaseNikonHeaderIsReadAsADirectoryAtOffsetZero)
{
    // "NIKON" read as an entry count asks for far more entries than there are.
    tDirBuilder dir(true);
    dir.Shorts(0x0002, {100});
    const std::string note = Note(std::string("NIKON\0\2\0", 8), dir, kMakerNoteOffset);
    tWalked w(true, TiffWithMakerNote(true, "Nikon", note));
    EXPECT_EQ(w.Status.rfind("Error Detected = ", 0), 0u) << w.Status;
}

TEST(MakerWalk, FujiNoteIsLittleEndianInsideABigEndianBlock)
{
    tDirBuilder dir(false);
    dir.Add(0x0000, 7, 4, "0130")
        .Ascii(0x1000, "NORMAL ")
        .Shorts(0x1001, {3})
        .Shorts(0x1031, {256})
        .Shorts(0x1032, {1})
        .Shorts(0x1300, {1});
    // "FUJIFILM", then the directory's offset; value offsets count from the note.
    const std::string note = Note(std::string("FUJIFILM") + U32(12, false), dir, 0);
    tWalked w(true, TiffWithMakerNote(true, "FUJIFILM", note));
    EXPECT_EQ(w.Decoder->MakerListing,
              "\r\nVersion = \"0130\"\r\nQuality = \"NORMAL \"\r\nSharpness = Normal"
              "\r\nPictureMode = Aperture prior AE\r\nBlurWarning = Blur warning");
    EXPECT_TRUE(w.Decoder->BigEndian);
    EXPECT_EQ(w.Status, "");
    // The maker entries keep their raw bytes as stored.
    EXPECT_EQ(w.Decoder->TagByName("PictureMode").RawBytes, std::string("\0\1", 2));
}

TEST(MakerWalk, FujiOrderIsRestoredAfterAFailedWalk)
{
    // An entry count of 0x0100 with no entries behind it.
    const std::string note = std::string("FUJIFILM") + U32(12, false) + U16(0x100, false);
    tWalked w(true, TiffWithMakerNote(true, "FUJIFILM", note));
    EXPECT_EQ(w.Status.rfind("Error Detected = ", 0), 0u) << w.Status;
    EXPECT_TRUE(w.Decoder->BigEndian);
    EXPECT_EQ(w.Decoder->Block, w.Block);
}

TEST(MakerWalk, CanonArraysAreSpelledOutByTheHooks)
{
    tDirBuilder dir(false);
    dir.Shorts(0x0000, {0, 0, 0})
        .Shorts(0x0001, {0, 2, 0, 3})
        .Ascii(0x0006, "IMG:PowerShot S40 JPEG")
        .Add(0x0008, 4, 1, U32(1000123, false))
        .Shorts(0x000F, {8, 257, 513});
    const std::string note = dir.Build(0, kMakerNoteOffset);
    tWalked w(false, TiffWithMakerNote(false, "Canon", note));
    const std::string settings = w.Decoder->TagText("ExposureInfo1");
    EXPECT_EQ(settings.rfind("0, 2, 0, 3\r\nMacro mode = Normal\r\nSelf Timer =  0\r\nCompression Rate = Basic\r\n", 0),
              0u);
    EXPECT_EQ(settings.substr(settings.size() - 15), "\r\nFocus Mode = ");
    EXPECT_EQ(w.Decoder->TagText("CustomFunctions"), "8, 257, 513\r\nNoise Reduction =  On");
    EXPECT_EQ(w.Decoder->TagText("ImageType"), "\"IMG:PowerShot S40 JPEG\"");
    EXPECT_EQ(w.Decoder->TagText("ImageNumber"), "1000123");
    // The hooked text is listed whole, line breaks included.
    EXPECT_NE(w.Decoder->MakerListing.find("\r\nExposureInfo1 = 0, 2, 0, 3\r\nMacro mode = Normal"), std::string::npos);
    EXPECT_EQ(w.Status, "");
}

TEST(MakerWalk, OlympusReadsValuesPastTheNoteFromTheTiffOrigin)
{
    const std::string after = std::string("v1.0\0", 5);
    tDirBuilder dir(true);
    dir.Shorts(0x0201, {3}).Shorts(0x0202, {0}).Shorts(0x0204, {1});
    // Laid out to learn the note's length, then again with Firmware pointing past it.
    const std::string header = std::string("OLYMP\0\1\0", 8);
    const uint32_t noteSize = static_cast<uint32_t>(Note(header, tDirBuilder(dir).Add(0x0207, 2, 5, U32(0, true)),
                                                         kMakerNoteOffset).size());
    dir.Add(0x0207, 2, 5, U32(kMakerNoteOffset + noteSize, true));
    const std::string note = Note(header, dir, kMakerNoteOffset);
    ASSERT_EQ(note.size(), noteSize);
    tWalked w(true, TiffWithMakerNote(true, "OLYMPUS OPTICAL CO.,LTD", note) + after);
    EXPECT_EQ(w.Decoder->MakerListing,
              "\r\nJpegQual = SHQ\r\nMacro = \r\nDigital Zoom Ratio = 1\r\nFirmware = \"v1.0\"");
    EXPECT_EQ(w.Decoder->TagByName("DigiZoom").Label, "Digital Zoom Ratio");
    EXPECT_EQ(w.Status, "");
}

TEST(MakerWalk, BogusDirectoryLeavesErrorDetectedAndKeepsWhatCameBefore)
{
    // Three entries claimed, one stored: the walk fails on the second.
    std::string note = std::string("OLYMP\0\1\0", 8) + U16(3, true) + U16(0x0201, true) + U16(3, true) +
                       U32(1, true) + U16(2, true) + std::string(2, '\0');
    const std::string tiff = TiffWithMakerNote(true, "OLYMPUS", note);
    tWalked w(true, tiff);
    EXPECT_EQ(w.Decoder->MakerListing, "\r\nJpegQual = HQ");
    EXPECT_EQ(w.Status.rfind("Error Detected = ", 0), 0u) << w.Status;
    EXPECT_GT(w.Status.size(), std::string("Error Detected = ").size());
    EXPECT_EQ(w.Decoder->Block, w.Block);
}

TEST(MakerWalk, TooShortNoteOfAKnownMakeListsNothing)
{
    tWalked w(false, TiffWithMakerNote(false, "SANYO Electric Co.,Ltd.", std::string("SANYO\0\1\0", 8)));
    EXPECT_EQ(w.Decoder->MakerListing, "");
    EXPECT_EQ(w.Status.rfind("Error Detected = ", 0), 0u) << w.Status;
}

TEST(MakerWalk, UnknownMakeLeavesTheNoteUndecoded)
{
    tDirBuilder dir(false);
    dir.Shorts(0x0001, {1}).Shorts(0x0002, {2});
    tWalked w(false, TiffWithMakerNote(false, "PENTAX Corporation", dir.Build(0, kMakerNoteOffset)));
    EXPECT_EQ(w.Decoder->MakeText, "PENTAX Corporation");
    EXPECT_FALSE(w.Decoder->MakerNoteBytes.empty());
    EXPECT_EQ(w.Decoder->MakerListing, "");
    EXPECT_EQ(w.Status, "");
    TmsInfo ms(false, w.Decoder.get());
    EXPECT_FALSE(ms.DecodeMakerNote());
    EXPECT_EQ(w.Decoder->MakerListing, "");
}

TEST(MakerWalk, FujiEntriesWithBogusOffsetsAreSkippedInEitherBlockOrder)
{
    // The Fuji note is little-endian whatever the block's order. An entry whose
    // value lies neither in the note nor in the block is not read at all.
    const struct {
        const char* Case;
        uint16_t Type;
        uint32_t Count;
        std::string Value;
    } cases[] = {
        {"offset 2^31", 2, 8, U32(0x80000000, false)},
        {"offset -16 read as signed", 2, 8, U32(0xFFFFFFF0, false)},
        {"LONG count 0x40000001 (4 bytes modulo 2^32)", 4, 0x40000001, "ABCD"},
        {"past the note and the block", 7, 16, U32(60000, false)},
    };
    for (bool bigEndian : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.Case) + (bigEndian ? ", MM block" : ", II block"));
            tDirBuilder dir(false);
            dir.Add(0x1000, c.Type, c.Count, c.Value).Shorts(0x1001, {3});
            const std::string note = Note(std::string("FUJIFILM") + U32(12, false), dir, 0);
            tWalked w(bigEndian, TiffWithMakerNote(bigEndian, "FUJIFILM", note));
            EXPECT_EQ(w.Decoder->MakerListing, "\r\nSharpness = Normal");
            EXPECT_EQ(w.Decoder->FindTagIndex("Quality"), -1);
            EXPECT_EQ(w.Status, "");
            EXPECT_EQ(w.Decoder->BigEndian, bigEndian);
            EXPECT_EQ(w.Decoder->Block, w.Block);
        }
    }
}

TEST(MakerWalk, NotesLeadingIntoEachOtherStopAtTheBudget)
{
    // A hundred MakerNote entries, each holding the whole block from IFD0 on,
    // which the Canon layout reads as its directory: every maker walk meets
    // every note again. The maker walks share the block's budget.
    tWalked w(true, hostile::MakerNotesTiff(100, 65000));
    EXPECT_EQ(w.Status, "Error Detected = EXIF block too large to decode: more than " +
                            std::to_string(kMaxKeptBytesPerBlock) + " value bytes");
    EXPECT_EQ(w.Decoder->MakeText, "Canon");
    EXPECT_EQ(w.Decoder->MakerListing.rfind("\r\nUnknown = \"Canon\"", 0), 0u);
    EXPECT_LE(w.Decoder->Budget().KeptBytes(), kMaxKeptBytesPerBlock);
    EXPECT_EQ(w.Decoder->Block, w.Block);
    EXPECT_TRUE(w.Decoder->BigEndian);
}

TEST(MakerWalk, CanonHooksSpellOutTenThousandValues)
{
    // The camera settings and custom functions of one note, 10 000 SHORTs each.
    tWalked w(true, hostile::CanonHooksTiff(10000));
    EXPECT_EQ(w.Status, "");
    const std::string custom = w.Decoder->TagText("CustomFunctions");
    // One line per value but the last.
    size_t lines = 0;
    for (size_t at = custom.find("\r\nNoise Reduction =  On"); at != std::string::npos;
         at = custom.find("\r\nNoise Reduction =  On", at + 1))
        ++lines;
    EXPECT_EQ(lines, 9999u);
    const std::string settings = w.Decoder->TagText("ExposureInfo1");
    EXPECT_NE(settings.find("\r\nMacro mode = "), std::string::npos);
    EXPECT_NE(settings.find("\r\nFocus Mode = "), std::string::npos);
}
