#include "meta/makernote/maker_rules.h"

#include <gtest/gtest.h>

#include "meta/exif/image_info.h"
#include "meta/makernote/maker_tables.h"
#include "meta/makernote/ms_info.h"

TEST(ChooseMakerRule, MatchesTheFirstFiveCharactersInAnyCase)
{
    const tMakerRule* canon = ChooseMakerRule("Canon", "");
    ASSERT_NE(canon, nullptr);
    EXPECT_EQ(canon->Table, CanonTable);
    EXPECT_EQ(ChooseMakerRule("cAnOn EOS", ""), canon);
    EXPECT_EQ(ChooseMakerRule("OLYMPUS IMAGING CORP.", "")->Table, OlympusTable);
    EXPECT_EQ(ChooseMakerRule("Olympus Optical", "")->Table, OlympusTable);
    EXPECT_EQ(ChooseMakerRule("FUJIFILM", "FUJIFILM")->Table, FujiTable);
    EXPECT_EQ(ChooseMakerRule("KONICA MINOLTA", ""), nullptr);  // "KONIC"
    EXPECT_EQ(ChooseMakerRule("Minolta Co., Ltd.", "")->Table, MinoltaTable);
    EXPECT_EQ(ChooseMakerRule("SANYO Electric Co.,Ltd.", "")->Table, SanyoTable);
    EXPECT_EQ(ChooseMakerRule("SEIKO EPSON CORP.", "")->Table, SeikoTable);
    EXPECT_EQ(ChooseMakerRule("CASIO COMPUTER CO.,LTD", "")->Table, CasioTable);
}

TEST(ChooseMakerRule, ShortOrUnknownMakesMatchNothing)
{
    EXPECT_EQ(ChooseMakerRule("Nik", "Nikon"), nullptr);
    EXPECT_EQ(ChooseMakerRule("Cano", ""), nullptr);
    EXPECT_EQ(ChooseMakerRule("", ""), nullptr);
    EXPECT_EQ(ChooseMakerRule("PENTAX Corporation", ""), nullptr);
    EXPECT_EQ(ChooseMakerRule(" Canon", ""), nullptr);
}

TEST(ChooseMakerRule, NikonHeaderCaseChoosesTableAndOffset)
{
    const tMakerRule* old = ChooseMakerRule("NIKON", std::string("Nikon\0\1\0", 8));
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(old->Table, NikonTable1);
    EXPECT_EQ(old->DirOffset, 8);
    const tMakerRule* own = ChooseMakerRule("NIKON", std::string("Nikon\0\2\x10\0\0MM", 12));
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->Table, NikonTable2);
    EXPECT_EQ(own->BaseKind, tMakerBase::OwnHeader);
    for (const char* bytes : {"NIKON\0\2\0\0\0II", "nikon", "Niko", ""}) {
        const tMakerRule* other = ChooseMakerRule("Nikon Corporation", bytes);
        ASSERT_NE(other, nullptr) << bytes;
        EXPECT_EQ(other->Table, NikonTable2);
        EXPECT_EQ(other->DirOffset, 0);
    }
}

TEST(MakerWalkFor, OffsetsCountFromTheTiffHeaderExceptFuji)
{
    constexpr int64_t pos = 700;
    const tMakerWalk nikon1 = MakerWalkFor(*ChooseMakerRule("NIKON", "Nikon"), pos);
    EXPECT_EQ(nikon1.MakerBase, pos);
    EXPECT_EQ(nikon1.BlockBase, 0);
    EXPECT_EQ(nikon1.Table.size(), 11u);
    const tMakerWalk nikon2 = MakerWalkFor(*ChooseMakerRule("NIKON", "II"), pos);
    EXPECT_EQ(nikon2.MakerBase, pos - 8);
    const tMakerWalk olympus = MakerWalkFor(*ChooseMakerRule("OLYMPUS", ""), pos);
    EXPECT_EQ(olympus.DirOffset, 8);
    EXPECT_EQ(olympus.MakerBase, pos);
    EXPECT_EQ(olympus.BlockBase, 9);
    const tMakerWalk fuji = MakerWalkFor(*ChooseMakerRule("FUJIFILM", ""), pos);
    EXPECT_EQ(fuji.DirOffset, 12);
    EXPECT_EQ(fuji.MakerBase, 13);
    EXPECT_TRUE(fuji.LittleEndian);
    // Each walk lands a value offset off at position off + 9 - pos of the note
    // (TIFF-relative), Fuji at off + 1 (note-relative), a note with a TIFF
    // header of its own at off + 1 + where that header stands.
    for (const tMakerRule& rule : MakerRules()) {
        if (rule.BaseKind == tMakerBase::OwnHeader) continue;
        const tMakerWalk walk = MakerWalkFor(rule, pos);
        const int64_t shift = walk.DirOffset + 2 - walk.MakerBase;
        EXPECT_EQ(shift, rule.Prefix == "FUJIF" ? 1 : 10 - pos) << rule.Prefix;
        EXPECT_EQ(walk.LittleEndian, rule.Prefix == "FUJIF");
    }
    EXPECT_EQ(MakerRules().size(), 10u);
    const tMakerRule& nikon3 = *ChooseMakerRule("NIKON", std::string("Nikon\0\2\0", 8));
    const struct {
        const char* Case;
        std::string Bytes;
        int64_t DirOffset;
        bool Little, Big;
    } headers[] = {
        {"II, directory at 8", std::string("Nikon\0\2\x10\0\0II*\0\x08\0\0\0", 18), 18, true, false},
        {"MM, directory at 0x20", std::string("Nikon\0\2\x10\0\0MM\0*\0\0\0\x20", 18), 42, false, true},
        {"no byte-order mark", std::string("Nikon\0\2\x10\0\0XX\0*\0\0\0\x08", 18), 18, false, false},
        {"header cut short", std::string("Nikon\0\2\x10\0\0MM\0*", 14), 14, false, false},
    };
    for (const auto& h : headers) {
        SCOPED_TRACE(h.Case);
        const tMakerWalk walk = MakerWalkFor(nikon3, pos, h.Bytes);
        EXPECT_EQ(walk.DirOffset, h.DirOffset);
        EXPECT_EQ(walk.LittleEndian, h.Little);
        EXPECT_EQ(walk.BigEndian, h.Big);
        // Offsets count from the header at byte 10.
        if (h.Little || h.Big) {
            EXPECT_EQ(walk.DirOffset + 2 - walk.MakerBase, 11);
        }
    }
}

TEST(TmsInfo, UnknownMakeWalksNothing)
{
    TImageInfo decoder(255);
    std::string status;
    decoder.OnStatus = [&status](const std::string& text) { status = text; };
    decoder.MakeText = "PENTAX Corporation";
    decoder.MakerNoteBytes = std::string("AOC\0MM\0\1\0\1\0\3\0\0\0\1\0\0\0\0", 22);
    decoder.MakerNotePos = 100;
    decoder.BigEndian = true;
    TmsInfo ms(false, &decoder);
    EXPECT_FALSE(ms.DecodeMakerNote());
    EXPECT_TRUE(decoder.MakerListing.empty());
    EXPECT_EQ(decoder.TagCount, 0);
    EXPECT_TRUE(status.empty());
    EXPECT_TRUE(decoder.BigEndian);
}

TEST(TmsInfo, KnownMakeIsRecognisedAndByteOrderKept)
{
    for (bool bigEndian : {false, true}) {
        for (const char* make : {"FUJIFILM", "Canon", "NIKON"}) {
            TImageInfo decoder(255);
            decoder.MakeText = make;
            decoder.BigEndian = bigEndian;
            TmsInfo ms(true, &decoder);
            EXPECT_TRUE(ms.DecodeMakerNote()) << make;
            EXPECT_EQ(decoder.BigEndian, bigEndian) << make;
        }
    }
}
