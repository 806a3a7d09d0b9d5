// Properties, mask list, AddSlash and the set-up errors of the finder.
#include "find/find_text.h"

#include "tests/support/file_permissions.h"
#include "tests/support/jpeg_fixtures.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace {

std::string CurrentDir()
{
    return std::filesystem::current_path().string();
}

// Expects Execute to fail with `message` before any event fires.
void ExpectSetupError(TIMLFindText& finder, const std::string& message, EFindError::TKind kind)
{
    int events = 0;
    finder.OnFound = [&](TIMLFindText&, const std::string&, int32_t) { ++events; };
    finder.OnFinished = [&](TIMLFindText&) { ++events; };
    finder.OnSearchDirectory = [&](TIMLFindText&, const std::string&) { ++events; };
    finder.ProcessMessages = [&] { ++events; };
    const std::string before = CurrentDir();
    try {
        finder.Execute();
        ADD_FAILURE() << "no EFindError";
    } catch (const EFindError& e) {
        EXPECT_EQ(e.what(), message);
        EXPECT_EQ(e.Kind, kind);  // what a host words in its own language
    }
    EXPECT_EQ(events, 0);
    EXPECT_EQ(CurrentDir(), before);
}

}  // namespace

TEST(FindText, PublishedDefaults)
{
    TIMLFindText finder;
    EXPECT_EQ(finder.FileMask, "*.*");
    EXPECT_TRUE(finder.SubDirectories);
    EXPECT_FALSE(finder.MatchCase);
    EXPECT_EQ(finder.SearchType, TSearchType::stText);
    EXPECT_TRUE(finder.SearchText.empty());
    EXPECT_TRUE(finder.StartDirectory.empty());
}

TEST(FindText, AddSlashAddsOnlyAMissingSlash)
{
    EXPECT_EQ(TIMLFindText::AddSlash("/p"), "/p/");
    EXPECT_EQ(TIMLFindText::AddSlash("/p/"), "/p/");
    EXPECT_EQ(TIMLFindText::AddSlash("c:"), "c:/");  // ':' is an ordinary character
}

TEST(FindText, AddSlashHasNoLengthCap)
{
    for (size_t len : {254u, 255u, 256u, 4000u}) {
        const std::string path = "/" + std::string(len - 1, 'd');
        EXPECT_EQ(TIMLFindText::AddSlash(path), path + "/") << len;
    }
}

TEST(FindText, MaskItemsAreTrimmedPieces)
{
    TIMLFindText finder;
    finder.FileMask = "*.jpg; *.jpeg";
    EXPECT_EQ(finder.MaskCount(), 1);
    EXPECT_EQ(finder.MaskItem(1), "*.jpg");
    EXPECT_EQ(finder.MaskItem(2), "*.jpeg");
    EXPECT_EQ(finder.MaskItem(3), "");
    EXPECT_EQ(finder.MaskItem(0), "");

    finder.FileMask = "\t*.a \r;;  *.b\n";
    EXPECT_EQ(finder.MaskCount(), 2);
    EXPECT_EQ(finder.MaskItem(1), "*.a");
    EXPECT_EQ(finder.MaskItem(2), "");
    EXPECT_EQ(finder.MaskItem(3), "*.b");
}

TEST(FindText, MaskListEndingInSeparatorHasEmptyLastMask)
{
    TIMLFindText finder;
    finder.FileMask = "*.jpg;";
    EXPECT_EQ(finder.MaskCount(), 1);
    EXPECT_EQ(finder.MaskItem(1), "*.jpg");
    EXPECT_EQ(finder.MaskItem(2), "");
}

TEST(FindTextErrors, EmptyMaskComesFirst)
{
    TIMLFindText finder;
    finder.FileMask = "";
    ExpectSetupError(finder, "File mask not specified. Operation aborted.", EFindError::TKind::NoMask);
}

TEST(FindTextErrors, EmptyStartFolder)
{
    TIMLFindText finder;
    ExpectSetupError(finder, "Choose a start folder first", EFindError::TKind::NoStart);
}

TEST(FindTextErrors, MissingStartFolderNamesTheTextUnchanged)
{
    fixture::TempDir tmp;
    TIMLFindText finder;
    finder.StartDirectory = tmp / "missing";
    ExpectSetupError(finder, "Folder " + tmp.Path() + "/missing does not exist", EFindError::TKind::StartMissing);
    finder.StartDirectory = tmp / "100%s here/";
    ExpectSetupError(finder, "Folder " + tmp.Path() + "/100%s here/ does not exist", EFindError::TKind::StartMissing);
}

TEST(FindTextErrors, StartFolderThatIsAFile)
{
    fixture::TempDir tmp;
    TIMLFindText finder;
    finder.StartDirectory = tmp.Write("a.jpg", "x");
    ExpectSetupError(finder, "Folder " + finder.StartDirectory + " does not exist", EFindError::TKind::StartMissing);
}

TEST(FindTextErrors, StartFolderWithoutSearchPermission)
{
    fixture::TempDir tmp;
    const std::string dir = tmp / "locked";
    ASSERT_EQ(mkdir(dir.c_str(), 0644), 0);  // readable, not searchable, by owner and others alike
    ASSERT_EQ(chmod(tmp.Path().c_str(), 0755), 0);  // reachable for nobody
    const auto failures = fixture::RunUnprivileged([&] {
        TIMLFindText finder;
        finder.StartDirectory = dir;
        ExpectSetupError(finder, "Cannot open folder " + dir + ".\n\nPermission denied", EFindError::TKind::StartClosed);
    });
    if (!failures) GTEST_SKIP() << "root may search any folder";
    EXPECT_EQ(*failures, "");
}
