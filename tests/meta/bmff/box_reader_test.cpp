#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "meta/bmff/box_reader.h"
#include "tests/support/jpeg_fixtures.h"

using fixture::TempDir;

namespace {

std::string Box(const char (&type)[5], const std::string& payload) { return BoxHeader(FourCC(type), payload.size()) + payload; }

std::string U32(uint32_t v) { return BigEndian(v, 4); }
std::string U64(uint64_t v) { return BigEndian(v, 8); }

// The top-level boxes of `bytes` as "type:length" words, or the refusal.
std::string Walk(const std::string& bytes, bool nested = false)
{
    TempDir dir;
    const std::string path = dir.Write("f", bytes);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    std::string out;
    try {
        tBoxReader reader(fd, static_cast<int64_t>(bytes.size()));
        for (const tBox& box : reader.TopLevel()) {
            out += FourCCText(box.Type) + ":" + std::to_string(box.Length) + (box.ToEnd ? "!" : "") + " ";
            if (nested)
                for (const tBox& child : reader.Children(box))
                    out += "[" + FourCCText(child.Type) + ":" + std::to_string(child.Length) + "] ";
        }
    } catch (const EDamagedFile& e) {
        out += std::string("refused: ") + e.what();
    }
    ::close(fd);
    return out;
}

TEST(BoxReader, ReadsEverySizeFormAndRefusesEverySizeThatDoesNotFit)
{
    const std::string ftyp = Box("ftyp", "heic" + U32(0) + "mif1");
    const struct {
        const char* What;
        std::string Bytes;
        bool Nested;
        std::string Expected;
    } rows[] = {
        {"32-bit sizes", ftyp + Box("free", "abc"), false, "ftyp:20 free:11 "},
        {"a 64-bit size", ftyp + U32(1) + "mdat" + U64(20) + "abcd", false, "ftyp:20 mdat:20 "},
        {"a last box to the end", ftyp + U32(0) + "mdat" + "abcdefgh", false, "ftyp:20 mdat:16! "},
        {"a uuid type", U32(8 + 16 + 2) + "uuid" + std::string(16, 'u') + "xy", false, "uuid:26 "},
        {"children", Box("meta", Box("hdlr", "x") + Box("pitm", "yy")), true, "meta:27 [hdlr:9] [pitm:10] "},
        {"no bytes at all", "", false, ""},
        {"a header cut short", ftyp + std::string(3, '\0'), false, "refused: a box header runs past the end of its parent"},
        {"a size past the end", ftyp + U32(40) + "mdat" + "abc", false,
         "refused: a box runs past the end of the file"},
        {"a size below its header", U32(7) + "free" + "abcd", false, "refused: a box smaller than its header"},
        {"a 64-bit size below its header", U32(1) + "free" + U64(15) + "abcd", false,
         "refused: a box smaller than its header"},
        {"a 64-bit size past 2^63", U32(1) + "free" + U64(~0ull) + "abcd", false,
         "refused: a box runs past the end of its parent"},
        {"a 64-bit size cut short", U32(1) + "free" + "abc", false,
         "refused: a box header runs past the end of its parent"},
        {"a uuid cut short", U32(8 + 16) + "uuid" + std::string(10, 'u'), false,
         "refused: a box header runs past the end of its parent"},
        {"a child past its parent", U32(8 + 12) + "meta" + U32(13) + "hdlr" + "abcd" + Box("free", ""), true,
         "meta:20 refused: a box runs past the end of its parent"},
        {"a child to the end inside a parent", Box("meta", U32(0) + "hdlr" + "abcd"), true,
         "meta:20 refused: a box without a size where its parent needs one"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.What);
        EXPECT_EQ(Walk(r.Bytes, r.Nested), r.Expected);
    }
}

TEST(BoxReader, NestingAndBoxCountsAreCapped)
{
    TempDir dir;
    // Boxes nested one level deeper than the cap allows.
    std::string deep = "x";
    for (int i = 0; i <= kMaxBoxDepth + 1; ++i) deep = Box("dinf", deep);
    const std::string path = dir.Write("deep", deep);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    tBoxReader reader(fd, static_cast<int64_t>(deep.size()));
    std::vector<tBox> level = reader.TopLevel();
    try {
        for (int i = 0; i <= kMaxBoxDepth + 1; ++i) level = reader.Children(level.at(0));
        ADD_FAILURE() << "no refusal";
    } catch (const EDamagedFile& e) {
        EXPECT_STREQ(e.what(), "boxes nested too deep");
    }
    ::close(fd);

    // More empty boxes than the budget allows: refused, and stays refused.
    tBoxBudget budget;
    for (int64_t i = 0; i < kMaxBoxesPerFile; ++i) budget.ReadHeader();
    EXPECT_THROW(budget.ReadHeader(), EDamagedFile);
    EXPECT_THROW(budget.Keep(0), EDamagedFile);
    tBoxBudget bytes;
    bytes.Keep(kMaxBoxBytesPerFile);
    EXPECT_THROW(bytes.Keep(1), EDamagedFile);
}

// A held box is read from memory, its bytes only, and they stay with who
// took them after the reader lets go.
TEST(BoxReader, AHeldBoxIsReadFromMemoryAndItsBytesOutliveTheHold)
{
    TempDir dir;
    const std::string bytes = Box("ftyp", "isom") + Box("moov", Box("mvhd", "abcd") + Box("udta", "efgh")) + Box("free", "");
    const std::string path = dir.Write("f", bytes);
    const tFileHandle file(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    tBoxReader reader(file.Get(), static_cast<int64_t>(bytes.size()));
    const std::vector<tBox> top = reader.TopLevel();
    ASSERT_EQ(top.size(), 3u);
    const tBox& moov = top[1];
    reader.Hold(moov);
    // Changed on disk after the hold: the reads inside the box do not see it.
    ASSERT_EQ(::pwrite(file.Get(), "ABCDEFGH", 8, moov.Offset + 8 + 8), 8);
    EXPECT_EQ(reader.Payload(reader.Children(moov)[0]), "abcd");
    const struct {
        int64_t Offset, Length;
        const char* Expected;  // null: not held
    } rows[] = {
        {moov.Offset, moov.Length, ""},  // the whole box
        {moov.End() - 4, 4, "efgh"},
        {moov.End() - 4, 5, nullptr},  // one past its end
        {moov.Offset - 1, 2, nullptr},  // one before its start
        {moov.Offset + 16, 4, "abcd"},
        {moov.End(), 0, ""},
    };
    for (const auto& r : rows) {
        const auto held = reader.Held(r.Offset, r.Length);
        EXPECT_EQ(held.has_value(), r.Expected != nullptr) << r.Offset << "+" << r.Length;
        if (held && *r.Expected) {
            EXPECT_EQ(*held, r.Expected) << r.Offset << "+" << r.Length;
        }
    }
    const std::shared_ptr<const tFileBytes> kept = reader.HeldBytes();
    reader.Release();
    EXPECT_FALSE(reader.Held(moov.Offset, 4));
    ASSERT_TRUE(kept && kept->View(moov.Offset + 16, 4));
    EXPECT_EQ(*kept->View(moov.Offset + 16, 4), "abcd");
}

TEST(BoxReader, CursorReadsFieldsOfEverySizeAndFullBoxes)
{
    const std::string bytes = std::string("\x01\x00\x00\x05", 4) + U32(7) + U64(9) + std::string("ab\0cd", 5);
    tBoxCursor c(bytes);
    EXPECT_EQ(c.U8(), 1);
    EXPECT_EQ(c.UInt(3), 5u);
    EXPECT_EQ(c.UInt(0), 0u);
    EXPECT_EQ(c.UInt(4), 7u);
    EXPECT_EQ(c.UInt(8), 9u);
    EXPECT_EQ(c.CString(), "ab");
    EXPECT_EQ(c.CString(), "cd");  // no NUL: to the end
    EXPECT_TRUE(c.AtEnd());
    EXPECT_THROW(c.U8(), EDamagedFile);

    EXPECT_EQ(FourCCText(FourCC("iloc")), "iloc");
    EXPECT_EQ(FourCCText(0x00410A7F), "\\x00A\\x0a\\x7f");
    EXPECT_EQ(BoxHeader(FourCC("free"), 0), U32(8) + "free");
    EXPECT_EQ(BoxHeader(FourCC("free"), 4, true), U32(1) + "free" + U64(20));
}

}  // namespace
