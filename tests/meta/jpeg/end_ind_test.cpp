#include <gtest/gtest.h>

#include "meta/exif/end_ind.h"

namespace {

tEndInd Reader(const std::string& block, bool bigEndian)
{
    tEndInd r;
    r.Block = block;
    r.BigEndian = bigEndian;
    return r;
}

TEST(EndInd, ReadsBothByteOrdersAtOneBasedPositions)
{
    const std::string b("\x01\x02\x03\x04\x05", 5);
    EXPECT_EQ(Reader(b, true).GetUInt16(1), 0x0102);
    EXPECT_EQ(Reader(b, false).GetUInt16(1), 0x0201);
    EXPECT_EQ(Reader(b, true).GetUInt32(2), 0x02030405);
    EXPECT_EQ(Reader(b, false).GetUInt32(2), 0x05040302);
}

TEST(EndInd, GetUInt32IsSigned)
{
    EXPECT_EQ(Reader(std::string(4, '\xFF'), true).GetUInt32(1), -1);
}

TEST(EndInd, RaisesOnAnyByteOutsideTheBlock)
{
    const tEndInd r = Reader(std::string("\x01\x02\x03", 3), true);
    EXPECT_THROW(r.GetUInt16(3), EMetaError);   // second byte past the end
    EXPECT_THROW(r.GetUInt32(1), EMetaError);
    EXPECT_THROW(r.GetUInt16(0), EMetaError);   // positions start at 1
    EXPECT_THROW(r.GetUInt16(-5), EMetaError);
    EXPECT_THROW(r.GetUInt32(INT64_MAX), EMetaError);  // no wrap in the check
    EXPECT_NO_THROW(r.GetUInt16(2));
}

TEST(Fits, HoldsOnlyWholeRangesAndNeverWraps)
{
    const std::string s = "abcdef";
    EXPECT_TRUE(Fits(s, 1, 6));
    EXPECT_TRUE(Fits(s, 6, 1));              // the last byte
    EXPECT_TRUE(Fits(s, 7, 0));              // nothing, right after the end
    EXPECT_FALSE(Fits(s, 6, 2));             // one byte past the end
    EXPECT_FALSE(Fits(s, 0, 1));             // positions start at 1
    EXPECT_FALSE(Fits(s, 1, -1));
    EXPECT_FALSE(Fits(s, 2, INT64_MAX));     // pos + count would wrap
    EXPECT_FALSE(Fits(s, INT64_MAX, 1));
    EXPECT_FALSE(Fits(s, INT64_MIN, 1));
    EXPECT_FALSE(Fits(s, 1, int64_t{8} << 32));  // a 64-bit entry size
}

TEST(EndInd, PutUInt32WritesInOrderAndLeavesOtherCopiesAlone)
{
    tEndInd r = Reader(std::string(6, '\0'), true);
    std::string bytes = r.Block;
    r.PutUInt32(bytes, 0x11223344, 2);
    EXPECT_EQ(bytes, std::string("\0\x11\x22\x33\x44\0", 6));
    EXPECT_EQ(r.Block, std::string(6, '\0'));
    r.BigEndian = false;
    r.PutUInt32(bytes, 0x11223344, 2);
    EXPECT_EQ(bytes, std::string("\0\x44\x33\x22\x11\0", 6));
    EXPECT_THROW(r.PutUInt32(bytes, 1, 4), EMetaError);
}

TEST(CopyBytes, ClampsInsteadOfFailing)
{
    const std::string s = "abcdef";
    EXPECT_EQ(CopyBytes(s, 2, 3), "bcd");
    EXPECT_EQ(CopyBytes(s, 0, 2), "ab");    // below 1 counts as 1
    EXPECT_EQ(CopyBytes(s, -9, 2), "ab");
    EXPECT_EQ(CopyBytes(s, 5, 100), "ef");  // stops at the end
    EXPECT_EQ(CopyBytes(s, 7, 1), "");      // start past the end
    EXPECT_EQ(CopyBytes(s, 1, -1), "");     // negative count
    EXPECT_EQ(CopyBytes(s, 3, INT64_MAX), "cdef");
}

}  // namespace
