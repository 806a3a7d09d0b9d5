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
    // (TIFF-relative), Fuji at off + 1 (note-relative).
    for (const tMakerRule& rule : MakerRules()) {
        const tMakerWalk walk = MakerWalkFor(rule, pos);
        const int64_t shift = walk.DirOffset + 2 - walk.MakerBase;
        EXPECT_EQ(shift, rule.Prefix == "FUJIF" ? 1 : 10 - pos) << rule.Prefix;
        EXPECT_EQ(walk.LittleEndian, rule.Prefix == "FUJIF");
    }
    EXPECT_EQ(MakerRules().size(), 9u);
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
