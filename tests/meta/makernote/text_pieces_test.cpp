#include "meta/makernote/text_pieces.h"

#include <gtest/gtest.h>

TEST(TextPieces, BeforeAndAfterTheFirstSeparator)
{
    EXPECT_EQ(TextBefore("a, b, c", ","), "a");
    EXPECT_EQ(TextAfter("a, b, c", ","), " b, c");
    EXPECT_EQ(TextBefore("abc", ","), "abc");
    EXPECT_EQ(TextAfter("abc", ","), "");
    EXPECT_EQ(TextAfter("abc", ""), "abc");
    EXPECT_EQ(TextAfter("a, b", ", "), "b");
    EXPECT_EQ(TextBefore(",x", ","), "");
}

TEST(TextPieces, NthPieceCountsFromOneAndKeepsBlanks)
{
    EXPECT_EQ(NthPiece("0, 2, 0, 3", ",", 1), "0");
    EXPECT_EQ(NthPiece("0, 2, 0, 3", ",", 2), " 2");
    EXPECT_EQ(NthPiece("0, 2, 0, 3", ",", 4), " 3");
    EXPECT_EQ(NthPiece("0, 2, 0, 3", ",", 5), "");
    EXPECT_EQ(NthPiece("0, 2, 0, 3", ",", 40), "");
    EXPECT_EQ(NthPiece("7, 8", ",", 0), "7");
    EXPECT_EQ(NthPiece("7, 8", ",", -3), "7");
    EXPECT_EQ(NthPiece("a,,b", ",", 2), "");
    EXPECT_EQ(NthPiece("a,,b", ",", 3), "b");
    EXPECT_EQ(NthPiece("a,", ",", 2), "");
    EXPECT_EQ(NthPiece("a,", ",", 3), "");
    EXPECT_EQ(NthPiece("a--b--c", "--", 3), "c");
    EXPECT_EQ(NthPiece("a, b", "", 3), "a, b");  // no separator: the whole text
}

TEST(TextPieces, CountSeparatorsCountsEveryOccurrence)
{
    EXPECT_EQ(CountSeparators("8, 257, 513", ","), 2);
    EXPECT_EQ(CountSeparators("513", ","), 0);
    EXPECT_EQ(CountSeparators(",,", ","), 2);
    EXPECT_EQ(CountSeparators("aaaa", "aa"), 2);
    EXPECT_EQ(CountSeparators("abc", ""), 0);
    EXPECT_EQ(CountSeparators("", ","), 0);
}

TEST(TextPieces, PieceCodeLooksUpThePieceTrimmed)
{
    const char* codes = "1:Macro,2:Normal";
    EXPECT_EQ(PieceCode("0, 2, 0", 1, codes), "Normal");
    EXPECT_EQ(PieceCode("1, 2", 0, codes), "Macro");
    EXPECT_EQ(PieceCode("0, 2", 0, codes), "");  // not in the codes
    EXPECT_EQ(PieceCode("0, 2", 5, codes), "");  // missing piece
    EXPECT_EQ(PieceCode("0, 2", 1, ""), "");
}

TEST(TextPieces, SettingLineTakesTheCodeTextAsWritten)
{
    EXPECT_EQ(SettingLine("Noise Reduction", 1, "0: Off,1: On"), "Noise Reduction =  On");
    EXPECT_EQ(SettingLine("Mirror Lockup", 0, "0:Disable,1:Enable"), "Mirror Lockup = Disable");
    EXPECT_EQ(SettingLine("Mirror Lockup", 7, "0:Disable,1:Enable"), "Mirror Lockup = ");
    // A pair written right behind another word without a comma is never found.
    EXPECT_EQ(SettingLine("AEB Sequence", 1,
                          "0:0, -, + / Enabled1: 0, -, + / Disabled,2: -, 0, + / Enabled,3: -, 0, + / Disabled"),
              "AEB Sequence = ");
}
