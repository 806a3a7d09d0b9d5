// The finder's walk over real temporary trees: event order, masks, links, and
// files written while the walk runs.
#include "find/find_text.h"

#include "tests/support/file_permissions.h"
#include "tests/support/jpeg_fixtures.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Runs a finder and keeps its events as text: "dir <name>", "found <name>",
// "finished"; "pm" for each call of ProcessMessages when asked for.
struct TRecorder {
    TIMLFindText Finder;
    std::vector<std::string> Log;
    bool LogMessages = false;
    int SearchEvents = 0;
    std::function<void(const std::string&)> OnFile;  // runs inside OnFound

    explicit TRecorder(const std::string& start, const std::string& mask = "*.jpg;*.jpeg")
    {
        Finder.StartDirectory = start;
        Finder.FileMask = mask;
        Finder.OnSearchDirectory = [this](TIMLFindText& s, const std::string& d) {
            EXPECT_EQ(&s, &Finder);
            Log.push_back("dir " + d);
        };
        Finder.OnFound = [this](TIMLFindText& s, const std::string& f, int32_t posn) {
            EXPECT_EQ(&s, &Finder);
            EXPECT_EQ(posn, 0);
            Log.push_back("found " + f);
            if (OnFile) OnFile(f);
        };
        Finder.OnSearch = [this](TIMLFindText&, const std::string&) { ++SearchEvents; };
        Finder.OnFinished = [this](TIMLFindText& s) {
            EXPECT_EQ(&s, &Finder);
            Log.push_back("finished");
        };
        Finder.ProcessMessages = [this] {
            if (LogMessages) Log.push_back("pm");
        };
    }

    std::vector<std::string> Run()
    {
        Log.clear();
        Finder.Execute();
        EXPECT_EQ(SearchEvents, 0);
        return Log;
    }
};

void Touch(const std::string& path)
{
    fixture::WriteFile(path, "");
}

void MakeDir(const std::string& path)
{
    fs::create_directories(path);
}

std::vector<std::string> Sorted(std::vector<std::string> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

std::vector<std::string> Found(const std::vector<std::string>& log)
{
    std::vector<std::string> out;
    for (const auto& e : log)
        if (e.rfind("found ", 0) == 0) out.push_back(e.substr(6));
    return out;
}

std::vector<std::string> Dirs(const std::vector<std::string>& log)
{
    std::vector<std::string> out;
    for (const auto& e : log)
        if (e.rfind("dir ", 0) == 0) out.push_back(e.substr(4));
    return out;
}

std::string Parent(const std::string& path)
{
    return path.substr(0, path.rfind('/'));
}

}  // namespace

TEST(FindWalk, StartFolderWithoutSubfoldersGivesOneDirOneFinished)
{
    fixture::TempDir tmp;
    TRecorder rec(tmp.Path());
    EXPECT_EQ(rec.Run(), (std::vector<std::string>{"dir " + tmp.Path(), "finished"}));
}

TEST(FindWalk, ReportsJpegsOfAnyCaseWithSingleSlash)
{
    fixture::TempDir tmp;
    for (const char* n : {"a.jpg", "x.JPG", "b.JPEG", "c.Jpeg", "d.txt", "e.jpg.bak", "jpg"}) Touch(tmp / n);
    TRecorder rec(tmp.Path() + "/");
    const auto log = rec.Run();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.front(), "dir " + tmp.Path() + "/");  // the text exactly as set
    EXPECT_EQ(log.back(), "finished");
    EXPECT_EQ(Sorted(Found(log)),
              Sorted({tmp / "a.jpg", tmp / "x.JPG", tmp / "b.JPEG", tmp / "c.Jpeg"}));
}

TEST(FindWalk, ListsMaskByMask)
{
    fixture::TempDir tmp;
    for (const char* n : {"1.jpg", "2.jpeg", "3.jpg", "4.jpeg"}) Touch(tmp / n);
    TRecorder rec(tmp.Path(), "*.jpeg;*.jpg");
    const auto found = Found(rec.Run());
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(Sorted({found[0], found[1]}), Sorted({tmp / "2.jpeg", tmp / "4.jpeg"}));
    EXPECT_EQ(Sorted({found[2], found[3]}), Sorted({tmp / "1.jpg", tmp / "3.jpg"}));
}

TEST(FindWalk, FileMatchingTwoMasksIsReportedTwice)
{
    fixture::TempDir tmp;
    Touch(tmp / "a.jpg");
    TRecorder rec(tmp.Path(), "*.jpg;a.*");
    EXPECT_EQ(Found(rec.Run()), (std::vector<std::string>{tmp / "a.jpg", tmp / "a.jpg"}));
}

TEST(FindWalk, TrailingSeparatorAddsNothing)
{
    fixture::TempDir tmp;
    Touch(tmp / "a.jpg");
    Touch(tmp / "b.png");
    TRecorder rec(tmp.Path(), "*.jpg;");
    EXPECT_EQ(Found(rec.Run()), std::vector<std::string>{tmp / "a.jpg"});
}

TEST(FindWalk, DefaultMaskFindsEveryFileButNoFolder)
{
    fixture::TempDir tmp;
    Touch(tmp / "README");
    Touch(tmp / "a.b");
    MakeDir(tmp / "sub.d");
    TRecorder rec(tmp.Path(), "*.*");
    rec.Finder.SubDirectories = false;
    EXPECT_EQ(Sorted(Found(rec.Run())), Sorted({tmp / "README", tmp / "a.b"}));
}

TEST(FindWalk, WalksDepthFirstInPreOrder)
{
    fixture::TempDir tmp;
    const std::string s = tmp.Path();
    Touch(s + "/top.jpg");
    for (const char* d : {"/a/a1/a11", "/a/a2", "/b/b1", "/c"}) MakeDir(s + d);
    for (const char* f : {"/a/x.jpg", "/a/a1/x.jpg", "/a/a1/a11/x.jpeg", "/a/a2/x.jpg", "/b/x.jpg",
                          "/b/b1/x.jpg", "/c/x.JPG"})
        Touch(s + f);

    TRecorder rec(s);
    const auto log = rec.Run();
    EXPECT_EQ(log.front(), "dir " + s);
    EXPECT_EQ(log.back(), "finished");
    EXPECT_EQ(Sorted(Dirs(log)), Sorted({s, s + "/a", s + "/a/a1", s + "/a/a1/a11", s + "/a/a2", s + "/b",
                                          s + "/b/b1", s + "/c"}));
    EXPECT_EQ(Found(log).size(), 8u);

    // Every file comes right after its own folder's "dir"; every folder's "dir"
    // comes while its parent is still on the path from the start (pre-order, one
    // subtree finished before the next sibling starts).
    std::vector<std::string> path;
    std::string current;
    for (const auto& e : log) {
        if (e.rfind("dir ", 0) == 0) {
            current = e.substr(4);
            if (current == s) {
                path = {s};
                continue;
            }
            while (!path.empty() && path.back() != Parent(current)) path.pop_back();
            ASSERT_FALSE(path.empty()) << current << " entered out of order";
            path.push_back(current);
        } else if (e.rfind("found ", 0) == 0) {
            EXPECT_EQ(Parent(e.substr(6)), current) << e;
        }
    }
}

TEST(FindWalk, SubDirectoriesFalseSearchesOnlyTheStartFolder)
{
    fixture::TempDir tmp;
    Touch(tmp / "a.jpg");
    MakeDir(tmp / "sub");
    Touch(tmp / "sub/b.jpg");
    TRecorder rec(tmp.Path());
    rec.Finder.SubDirectories = false;
    EXPECT_EQ(rec.Run(), (std::vector<std::string>{"dir " + tmp.Path(), "found " + (tmp / "a.jpg"), "finished"}));
}

TEST(FindWalk, HiddenFilesAndFoldersAreIncluded)
{
    fixture::TempDir tmp;
    Touch(tmp / ".a.jpg");
    MakeDir(tmp / ".hidden");
    Touch(tmp / ".hidden/b.jpg");
    TRecorder rec(tmp.Path());
    const auto log = rec.Run();
    EXPECT_EQ(Dirs(log), (std::vector<std::string>{tmp.Path(), tmp / ".hidden"}));
    EXPECT_EQ(Found(log), (std::vector<std::string>{tmp / ".a.jpg", tmp / ".hidden/b.jpg"}));
}

TEST(FindWalk, NamesStayBytes)
{
    fixture::TempDir tmp;
    const std::string odd = "\xFF\xFE:\x01name.jpg";  // not UTF-8; ':' is ordinary
    Touch(tmp / odd);
    TRecorder rec(tmp.Path());
    EXPECT_EQ(Found(rec.Run()), std::vector<std::string>{tmp / odd});
}

TEST(FindWalk, ReachesPathsFarBeyond255Bytes)
{
    fixture::TempDir tmp;
    std::string dir = tmp.Path();
    for (int i = 0; i < 12; ++i) dir += "/" + std::string(200, static_cast<char>('a' + i));
    MakeDir(dir);
    Touch(dir + "/deep.jpg");
    TRecorder rec(tmp.Path());
    const auto log = rec.Run();
    ASSERT_GT(dir.size(), 2400u);
    EXPECT_EQ(Found(log), std::vector<std::string>{dir + "/deep.jpg"});
    EXPECT_EQ(Dirs(log).back(), dir);
}

TEST(FindWalk, RelativeStartFolderIsTakenFromTheCurrentDirectory)
{
    fixture::TempDir tmp;
    MakeDir(tmp / "rel");
    Touch(tmp / "rel/a.jpg");
    const fs::path before = fs::current_path();
    fs::current_path(tmp.Path());
    TRecorder rec("rel");
    std::vector<std::string> log;
    EXPECT_NO_THROW(log = rec.Run());
    fs::current_path(before);
    EXPECT_EQ(log, (std::vector<std::string>{"dir rel", "found rel/a.jpg", "finished"}));
}

TEST(FindWalk, OnlyRegularFilesAreReported)
{
    fixture::TempDir tmp;
    Touch(tmp / "real.jpg");
    ASSERT_EQ(symlink("real.jpg", (tmp / "link.jpg").c_str()), 0);
    ASSERT_EQ(symlink("nowhere.jpg", (tmp / "dead.jpg").c_str()), 0);
    ASSERT_EQ(mkfifo((tmp / "pipe.jpg").c_str(), 0600), 0);  // opening it would block
    MakeDir(tmp / "folder.jpg");
    TRecorder rec(tmp.Path());
    rec.Finder.SubDirectories = false;
    EXPECT_EQ(Sorted(Found(rec.Run())), Sorted({tmp / "real.jpg", tmp / "link.jpg"}));
}

TEST(FindWalk, LinkCyclesAndSharedFoldersAreWalkedOnce)
{
    fixture::TempDir tmp;
    const std::string s = tmp.Path();
    MakeDir(s + "/sub");
    MakeDir(s + "/shared");
    Touch(s + "/shared/x.jpg");
    Touch(s + "/sub/y.jpg");
    ASSERT_EQ(symlink("..", (s + "/sub/up").c_str()), 0);          // back to the start
    ASSERT_EQ(symlink(".", (s + "/sub/self").c_str()), 0);          // to itself
    ASSERT_EQ(symlink("../shared", (s + "/sub/l1").c_str()), 0);    // two ways into shared
    ASSERT_EQ(symlink(s.c_str(), (s + "/sub/abs").c_str()), 0);     // absolute, to the start

    TRecorder rec(s);
    const auto log = rec.Run();
    EXPECT_EQ(log.back(), "finished");
    const auto found = Found(log);
    EXPECT_EQ(std::count_if(found.begin(), found.end(),
                            [](const std::string& f) { return f.ends_with("/x.jpg"); }),
              1);
    EXPECT_EQ(std::count(found.begin(), found.end(), s + "/sub/y.jpg"), 1);
    EXPECT_EQ(found.size(), 2u);
    EXPECT_EQ(Dirs(log).size(), 3u);  // start, sub, and shared by one of its two names
}

TEST(FindWalk, FilesWrittenIntoAListedFolderAreNotFoundAgain)
{
    fixture::TempDir tmp;
    for (const char* n : {"a.jpg", "b.jpg", "c.jpeg"}) Touch(tmp / n);
    TRecorder rec(tmp.Path());
    // Each output matches the mask that is listed next, and the one being listed.
    rec.OnFile = [](const std::string& f) {
        const size_t slash = f.rfind('/');
        Touch(f.substr(0, slash + 1) + "copy_" + f.substr(slash + 1));
        Touch(f + ".jpeg");
    };
    EXPECT_EQ(Sorted(Found(rec.Run())), Sorted({tmp / "a.jpg", tmp / "b.jpg", tmp / "c.jpeg"}));
    EXPECT_TRUE(fixture::Exists(tmp / "copy_c.jpeg"));
    EXPECT_TRUE(fixture::Exists(tmp / "a.jpg.jpeg"));
}

TEST(FindWalk, FilesWrittenIntoAFolderNotYetListedAreFound)
{
    fixture::TempDir tmp;
    Touch(tmp / "a.jpg");
    MakeDir(tmp / "later");
    TRecorder rec(tmp.Path());
    rec.OnFile = [&](const std::string& f) {
        if (f == tmp / "a.jpg") Touch(tmp / "later/new.jpg");
    };
    EXPECT_EQ(Found(rec.Run()), (std::vector<std::string>{tmp / "a.jpg", tmp / "later/new.jpg"}));
}

TEST(FindWalk, ThrowingHandlerEndsTheWalkWithoutFinished)
{
    fixture::TempDir tmp;
    Touch(tmp / "a.jpg");
    MakeDir(tmp / "sub");
    Touch(tmp / "sub/b.jpg");
    TRecorder rec(tmp.Path());
    rec.OnFile = [](const std::string&) { throw std::runtime_error("Cannot create file x"); };
    EXPECT_THROW(rec.Finder.Execute(), std::runtime_error);
    EXPECT_EQ(rec.Log, (std::vector<std::string>{"dir " + tmp.Path(), "found " + (tmp / "a.jpg")}));

    // The finder can run again at once.
    rec.OnFile = nullptr;
    EXPECT_EQ(Found(rec.Run()).size(), 2u);
}

TEST(FindWalk, ProcessesMessagesAroundEveryFile)
{
    fixture::TempDir tmp;
    for (const char* n : {"a.jpg", "b.jpg"}) Touch(tmp / n);
    MakeDir(tmp / "sub");
    Touch(tmp / "sub/c.jpg");
    TRecorder rec(tmp.Path());
    rec.LogMessages = true;
    const auto log = rec.Run();
    int found = 0;
    for (size_t i = 0; i < log.size(); ++i) {
        if (log[i].rfind("found ", 0) != 0) continue;
        ++found;
        ASSERT_GT(i, 0u);
        ASSERT_LT(i + 1, log.size());
        EXPECT_EQ(log[i - 1], "pm");
        EXPECT_EQ(log[i + 1], "pm");
    }
    EXPECT_EQ(found, 3);
    EXPECT_EQ(log.back(), "finished");
}

TEST(FindWalk, UnassignedEventsAreSkipped)
{
    fixture::TempDir tmp;
    Touch(tmp / "a.jpg");
    TIMLFindText finder;
    finder.StartDirectory = tmp.Path();
    EXPECT_NO_THROW(finder.Execute());
}

TEST(FindWalk, UnlistableSubfolderContributesNothing)
{
    fixture::TempDir tmp;
    MakeDir(tmp / "locked");
    Touch(tmp / "locked/a.jpg");
    MakeDir(tmp / "open");
    Touch(tmp / "open/b.jpg");
    ASSERT_EQ(chmod((tmp / "locked").c_str(), 0), 0);
    // Listable for nobody.
    ASSERT_EQ(chmod(tmp.Path().c_str(), 0755), 0);
    ASSERT_EQ(chmod((tmp / "open").c_str(), 0755), 0);
    const auto failures = fixture::RunUnprivileged([&] {
        TRecorder rec(tmp.Path());
        const auto log = rec.Run();
        EXPECT_EQ(Found(log), std::vector<std::string>{tmp / "open/b.jpg"});
        EXPECT_EQ(log.back(), "finished");
    });
    if (!failures) GTEST_SKIP() << "root may list any folder";
    EXPECT_EQ(*failures, "");
}

namespace {

TEST(FindWalk, FoldersThatCannotBeListedAreReportedWithTheReason)
{
    fixture::TempDir tmp;
    const std::string deep = fixture::DeepFolder(tmp.Path(), 4200, "lost.jpg", "");
    Touch(tmp / "a.jpg");
    Touch(tmp / "b.jpeg");
    Touch(tmp / "c.txt");
    TRecorder rec(tmp.Path());
    std::vector<std::pair<std::string, int>> errors;
    std::map<std::string, int> listed;
    rec.Finder.OnFolderError = [&](TIMLFindText&, const std::string& d, int e) { errors.emplace_back(d, e); };
    rec.Finder.OnFolderListed = [&](TIMLFindText&, const std::string& d, int n) { listed[d] = n; };
    const auto log = rec.Run();
    // The first folder whose path is too long to open is the one reported;
    // the walk goes on without it.
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_GT(errors[0].first.size(), size_t{PATH_MAX - 1});
    EXPECT_EQ(deep.compare(0, errors[0].first.size(), errors[0].first), 0);
    EXPECT_EQ(errors[0].second, ENAMETOOLONG);
    EXPECT_EQ(Sorted(Found(log)), Sorted({tmp / "a.jpg", tmp / "b.jpeg"}));
    EXPECT_EQ(log.back(), "finished");
    EXPECT_EQ(listed[tmp.Path() + "/"], 2);

    // A handler that raises ends the walk, as any handler does.
    rec.Finder.OnFolderError = [](TIMLFindText&, const std::string&, int) { throw std::runtime_error("stop"); };
    EXPECT_THROW(rec.Run(), std::runtime_error);
    EXPECT_NE(rec.Log.back(), "finished");
}

TEST(FindWalk, CountIsWhatTheWalkReportsWithoutAnyEvent)
{
    fixture::TempDir tmp;
    const std::string s = tmp.Path();
    for (const char* d : {"/sub/deeper", "/shared", "/empty"}) MakeDir(s + d);
    for (const char* f : {"/a.jpg", "/b.JPEG", "/c.txt", "/sub/d.jpg", "/sub/deeper/e.jpg", "/shared/f.jpg"})
        Touch(s + f);
    ASSERT_EQ(symlink("..", (s + "/sub/up").c_str()), 0);
    ASSERT_EQ(symlink("../shared", (s + "/sub/again").c_str()), 0);
    fixture::DeepFolder(s + "/sub", PATH_MAX + 100, "far.jpg", "");
    struct tCase {
        const char* Mask;
        bool Subfolders;
        int64_t Count;
    } cases[] = {
        {"*.jpg;*.jpeg", true, 5},
        {"*.jpg;*.jpeg", false, 2},
        {"*.jpg;*.jpeg;a*", true, 6},  // a.jpg once for each mask, as the walk reports it
        {"*.png", true, 0},
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE(std::string(c.Mask) + (c.Subfolders ? " with subfolders" : ""));
        TRecorder rec(s, c.Mask);
        rec.Finder.SubDirectories = c.Subfolders;
        rec.LogMessages = true;
        int folderErrors = 0;
        rec.Finder.OnFolderError = [&](TIMLFindText&, const std::string&, int) { ++folderErrors; };
        rec.Finder.OnFolderListed = [&](TIMLFindText&, const std::string&, int) { ++folderErrors; };
        int64_t last = -1;
        rec.Finder.OnCounting = [&](TIMLFindText&, int64_t counted) { last = counted; };
        EXPECT_EQ(rec.Finder.Count(), c.Count);
        EXPECT_EQ(last, c.Count);
        EXPECT_TRUE(rec.Log.empty());
        EXPECT_EQ(folderErrors, 0);
        rec.Finder.OnFolderListed = nullptr;
        EXPECT_EQ(static_cast<int64_t>(Found(rec.Run()).size()), c.Count);
        // The walk, not the count, reports the folder it cannot list.
        EXPECT_EQ(folderErrors, c.Subfolders ? 1 : 0);
    }

    // A handler that raises ends the count; a missing start is Execute's error.
    TRecorder rec(s);
    int folders = 0;
    rec.Finder.OnCounting = [&](TIMLFindText&, int64_t) {
        if (++folders == 2) throw std::runtime_error("stop");
    };
    EXPECT_THROW(rec.Finder.Count(), std::runtime_error);
    EXPECT_EQ(folders, 2);
    rec.Finder.StartDirectory = tmp / "missing";
    EXPECT_THROW(rec.Finder.Count(), EFindError);
}

TEST(FindWalk, CheckStartRaisesWhatExecuteWouldAndWalksNothing)
{
    fixture::TempDir tmp;
    TRecorder rec(tmp / "missing");
    EXPECT_THROW(rec.Finder.CheckStart(), EFindError);
    EXPECT_TRUE(rec.Log.empty());
    rec.Finder.StartDirectory = tmp.Path();
    EXPECT_NO_THROW(rec.Finder.CheckStart());
    EXPECT_TRUE(rec.Log.empty());
}

}  // namespace
