// Output naming on real temporary folders.
#include "app/core/output_name.h"
#include "store/file_io.h"

#include "tests/support/jpeg_fixtures.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr bool kPrefixMode = false;
constexpr bool kNewFolderMode = true;

// A source folder p/ with a.jpg, and an empty output folder out/.
struct NamingTest : ::testing::Test {
    fixture::TempDir Tmp;
    std::string P = Tmp / "p";
    std::string Out = Tmp / "out";
    std::string Source = P + "/a.jpg";

    void SetUp() override
    {
        fs::create_directories(P);
        fs::create_directories(Out);
        fixture::WriteFile(Source, "src");
    }
    static void Touch(const std::string& path) { fixture::WriteFile(path, ""); }
};

}  // namespace

TEST_F(NamingTest, PrefixModeFreeCandidate)
{
    EXPECT_EQ(GetOutputName(Source, kPrefixMode, Out, "copy_"), P + "/copy_a.jpg");
}

TEST_F(NamingTest, PrefixModeTakesFirstFreeNumberWithoutStacking)
{
    Touch(P + "/copy_a.jpg");
    Touch(P + "/copy_a_1.jpg");
    Touch(P + "/copy_a_1_1.jpg");
    EXPECT_EQ(GetOutputName(Source, kPrefixMode, Out, "copy_"), P + "/copy_a_2.jpg");
}

TEST_F(NamingTest, PrefixIsTakenAsTyped)
{
    EXPECT_EQ(GetOutputName(Source, kPrefixMode, Out, " x "), P + "/ x a.jpg");
}

TEST_F(NamingTest, EmptyPrefixNeverReturnsTheSource)
{
    EXPECT_EQ(GetOutputName(Source, kPrefixMode, Out, ""), P + "/a_1.jpg");
    // Also when the source is spelled another way.
    EXPECT_EQ(GetOutputName(P + "/./a.jpg", kPrefixMode, Out, ""), P + "/./a_1.jpg");
}

TEST_F(NamingTest, NewFolderModeUsesOneSeparator)
{
    EXPECT_EQ(GetOutputName(Source, kNewFolderMode, Out, "copy_"), Out + "/a.jpg");
    EXPECT_EQ(GetOutputName(Source, kNewFolderMode, Out + "/", "copy_"), Out + "/a.jpg");
}

TEST_F(NamingTest, NewFolderModeIntoTheSourceFolderAvoidsTheSource)
{
    EXPECT_EQ(GetOutputName(Source, kNewFolderMode, P, "copy_"), P + "/a_1.jpg");
}

TEST_F(NamingTest, VariantsDropTheTextBetweenFirstAndLastDot)
{
    Touch(P + "/my.photo.jpg");
    Touch(Out + "/my.photo.jpg");
    EXPECT_EQ(GetOutputName(P + "/my.photo.jpg", kNewFolderMode, Out, ""), Out + "/my_1.jpg");
}

TEST_F(NamingTest, NamesWithoutDotOrStartingWithOne)
{
    Touch(Out + "/photo");
    EXPECT_EQ(MakeUniqueName(Out + "/photo"), Out + "/_1");
    Touch(Out + "/.jpg");
    EXPECT_EQ(MakeUniqueName(Out + "/.jpg"), Out + "/_1.jpg");
}

TEST_F(NamingTest, TwoSameNamesFromDifferentFoldersLandSideBySide)
{
    fs::create_directories(P + "/sub");
    Touch(P + "/sub/a.jpg");
    const std::string first = GetOutputName(Source, kNewFolderMode, Out, "");
    EXPECT_EQ(first, Out + "/a.jpg");
    Touch(first);  // the writer creates it right after
    EXPECT_EQ(GetOutputName(P + "/sub/a.jpg", kNewFolderMode, Out, ""), Out + "/a_1.jpg");
}

TEST_F(NamingTest, AFolderOfTheSameNameDoesNotTakeTheName)
{
    fs::create_directories(P + "/copy_a.jpg");
    EXPECT_EQ(GetOutputName(Source, kPrefixMode, Out, "copy_"), P + "/copy_a.jpg");
    ASSERT_EQ(symlink(Out.c_str(), (P + "/copy_b.jpg").c_str()), 0);  // a link to a folder is a folder
    EXPECT_EQ(MakeUniqueName(P + "/copy_b.jpg"), P + "/copy_b.jpg");
}

TEST_F(NamingTest, AnyLinkThatIsNotAFolderTakesTheName)
{
    // Writing through a dangling link would create a file somewhere else.
    ASSERT_EQ(symlink((Tmp / "elsewhere.jpg").c_str(), (P + "/copy_a.jpg").c_str()), 0);
    EXPECT_EQ(GetOutputName(Source, kPrefixMode, Out, "copy_"), P + "/copy_a_1.jpg");
    ASSERT_EQ(symlink(Source.c_str(), (P + "/copy_a_1.jpg").c_str()), 0);
    EXPECT_EQ(GetOutputName(Source, kPrefixMode, Out, "copy_"), P + "/copy_a_2.jpg");
    EXPECT_FALSE(fixture::Exists(Tmp / "elsewhere.jpg"));
}

TEST_F(NamingTest, ColonIsAnOrdinaryCharacter)
{
    Touch(P + "/c:d.jpg");
    EXPECT_EQ(GetOutputName(P + "/c:d.jpg", kPrefixMode, Out, "x_"), P + "/x_c:d.jpg");
    EXPECT_EQ(GetOutputName(P + "/c:d.jpg", kNewFolderMode, Out, ""), Out + "/c:d.jpg");
}

TEST_F(NamingTest, RelativeSourceStaysBesideItself)
{
    const fs::path before = fs::current_path();
    fs::current_path(P);
    const std::string name = GetOutputName("a.jpg", kPrefixMode, "", "");
    fs::current_path(before);
    EXPECT_EQ(name, "a_1.jpg");
}

TEST_F(NamingTest, ManyTakenNamesStillEndAtAFreeOne)
{
    Touch(Out + "/a.jpg");
    for (int i = 1; i <= 200; ++i) Touch(Out + "/a_" + std::to_string(i) + ".jpg");
    const std::string name = GetOutputName(Source, kNewFolderMode, Out, "");
    EXPECT_EQ(name, Out + "/a_201.jpg");
    EXPECT_FALSE(fixture::Exists(name));
}

TEST_F(NamingTest, UnreachableFolderGivesTheCandidateForTheWriterToRefuse)
{
    // A file in the folder part: no variant would ever be free to test, so the
    // candidate is returned and the writer reports the failure.
    EXPECT_EQ(MakeUniqueName(Source + "/x.jpg"), Source + "/x.jpg");
}

TEST_F(NamingTest, ReservedNamesCountAsTaken)
{
    const std::set<std::string> pending{Out + "/a.jpg", Out + "/a_1.jpg"};
    const auto reserved = [&](const std::string& path) { return pending.count(path) != 0; };
    EXPECT_EQ(GetOutputName(Source, kNewFolderMode, Out, "", reserved), Out + "/a_2.jpg");
}

TEST_F(NamingTest, OverLongNamesAreCutAtACharacterBeforeTheNumberAndExtension)
{
    // "é" is two bytes in UTF-8: 200 of them (400 bytes) cannot stand in a name.
    std::string stem;
    for (int i = 0; i < 200; ++i) stem += "\xC3\xA9";
    const struct {
        std::string Taken;  // a name to take first, or none
        std::string Tail;   // what must end the name
    } cases[] = {{"", ".jpeg"}, {"first", "_1.jpeg"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Tail);
        std::string name = NameOf(MakeUniqueName(Out + "/" + stem + ".x.jpeg"));
        if (!c.Taken.empty()) {
            Touch(Out + "/" + name);
            name = NameOf(MakeUniqueName(Out + "/" + stem + ".x.jpeg"));
        }
        EXPECT_LE(name.size(), 255u);
        EXPECT_GE(name.size(), 250u);
        EXPECT_TRUE(name.ends_with(c.Tail)) << name;
        // Whole characters only: every "é" kept is whole.
        const std::string head = name.substr(0, name.size() - c.Tail.size());
        EXPECT_EQ(head.size() % 2, 0u);
        EXPECT_EQ(head, stem.substr(0, head.size()));
    }
}

TEST_F(NamingTest, NoOutputGetsTheExactShapeOfATemporaryName)
{
    const std::string prefix = kTemporaryPrefix;
    // Free names all, but the first is shaped like a temporary file's.
    EXPECT_EQ(GetOutputName(P + "/0123456789abcdef", kPrefixMode, Out, prefix),
              P + "/_1" + prefix + "0123456789abcdef");
    EXPECT_EQ(MakeUniqueName(Out + "/" + prefix + "fedcba9876543210"), Out + "/_1" + prefix + "fedcba9876543210");
    // Only the exact shape: look-alikes are ordinary names.
    EXPECT_EQ(GetOutputName(P + "/0123456789abcdef.jpg", kPrefixMode, Out, prefix),
              P + "/" + prefix + "0123456789abcdef.jpg");
    EXPECT_EQ(GetOutputName(P + "/" + prefix + "0123456789abcdef.jpg", kNewFolderMode, Out, ""),
              Out + "/" + prefix + "0123456789abcdef.jpg");
    EXPECT_EQ(GetOutputName(Source, kPrefixMode, Out, prefix), P + "/" + prefix + "a.jpg");
    EXPECT_TRUE(IsTemporaryShaped(Out + "/" + prefix + "0123456789abcdef"));
    EXPECT_FALSE(IsTemporaryShaped(Out + "/" + prefix + "0123456789abcdef/x"));
}
