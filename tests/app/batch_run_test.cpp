#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/batch_run.h"
#include "app/copy_file.h"
#include "app/error_text.h"
#include "meta/iptc/iptc_data.h"
#include "meta/jpeg/file_io.h"
#include "meta/jpeg/head_reader.h"
#include "meta/jpeg/img_data.h"
#include "tests/app/batch_fixtures.h"
#include "tests/support/exiftool.h"

using namespace fixture;
using namespace batchfix;
namespace fs = std::filesystem;

namespace {

std::set<std::string> Names(const std::string& dir)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

class BatchRun : public ::testing::Test {
protected:
    BatchRun()
    {
        fs::create_directories(Start + "/sub");
        run.OnStatus = [this](const std::string& s) { statuses.push_back(s); };
    }

    // The statuses without the final one, sorted: the walk does not sort a folder's files.
    std::vector<std::string> Processed() const
    {
        std::vector<std::string> p;
        for (const auto& s : statuses)
            if (s.rfind("Processing ", 0) == 0) p.push_back(s.substr(11));
        std::sort(p.begin(), p.end());
        return p;
    }

    TempDir dir;
    const std::string Start = dir / "start";
    const std::string Out = dir / "out";
    TBatchSettings options;
    TBatchRun run{options};
    std::vector<std::string> statuses;
};

TEST_F(BatchRun, NewFolderModeCleansTheTreeFlatAndCopiesUnchangedFiles)
{
    const std::string a = ExifAndComment(), b = Plain(), c = CommentOnly();
    WriteFile(Start + "/a.jpg", a);
    WriteFile(Start + "/b.jpg", b);
    WriteFile(Start + "/sub/c.JPEG", c);
    WriteFile(Start + "/notes.txt", "not a photo");
    options.NewFolder = true;
    options.Output = Out;
    options.CopyAll = true;

    run.Execute(Start, true);

    EXPECT_EQ(Processed(), (std::vector<std::string>{Start + "/a.jpg", Start + "/b.jpg", Start + "/sub/c.JPEG"}));
    EXPECT_EQ(statuses.back(), "Done  (2 of 3 files changed.)");
    EXPECT_EQ(run.ChangedCount, 2);
    EXPECT_EQ(run.CopiedCount, 1);
    EXPECT_EQ(Names(Out), (std::set<std::string>{"a.jpg", "b.jpg", "c.JPEG"}));
    EXPECT_EQ(ReadFile(Out + "/b.jpg"), b);  // copied byte for byte

    const std::string cleaned = ReadFile(Out + "/a.jpg");
    EXPECT_EQ(ImageData(cleaned), ImageData(a));
    EXPECT_EQ(cleaned.find("Exif"), std::string::npos);
    EXPECT_EQ(cleaned.find("secret words"), std::string::npos);
    TimgData check(255);
    check.ScanFile(Out + "/a.jpg");
    EXPECT_EQ(check.ExifRef, kNoRef);
    ASSERT_NE(check.Section(check.CommentRef), nullptr);
    EXPECT_EQ(check.Section(check.CommentRef)->Bytes.size(), 2u);  // an empty comment

    EXPECT_EQ(ReadFile(Start + "/a.jpg"), a);  // sources untouched
    EXPECT_EQ(Names(Start), (std::set<std::string>{"a.jpg", "b.jpg", "notes.txt", "sub"}));
}

TEST_F(BatchRun, PrefixModeWritesBesideTheSourcesAndLeavesPlainFilesAlone)
{
    WriteFile(Start + "/a.jpg", ExifAndComment());
    WriteFile(Start + "/b.jpg", Plain());
    WriteFile(Start + "/sub/c.jpg", CommentOnly());
    options.FilePrefix = "clean_";

    run.Execute(Start, true);

    EXPECT_EQ(statuses.back(), "Done  (2 files processed)");
    EXPECT_EQ(Processed().size(), 3u);  // the new files in the walked folders are not taken up again
    EXPECT_EQ(Names(Start), (std::set<std::string>{"a.jpg", "b.jpg", "clean_a.jpg", "sub"}));
    EXPECT_EQ(Names(Start + "/sub"), (std::set<std::string>{"c.jpg", "clean_c.jpg"}));
}

TEST_F(BatchRun, OnlyIptcTickedCountsAFileWithoutApp13AndWritesNothing)
{
    WriteFile(Start + "/a.jpg", ExifOnly());
    options.Exif = options.Com = false;

    run.Execute(Start, false);

    EXPECT_EQ(run.ChangedCount, 1);
    EXPECT_EQ(statuses.back(), "Done  (1 files processed)");
    EXPECT_EQ(Names(Start), (std::set<std::string>{"a.jpg", "sub"}));
}

TEST_F(BatchRun, StripExifAloneKeepsTheComment)
{
    WriteFile(Start + "/a.jpg", CommentOnly());
    options.Com = options.Iptc = false;

    run.Execute(Start, false);

    EXPECT_EQ(run.ChangedCount, 1);
    const std::string out = ReadFile(Start + "/copy_a.jpg");
    EXPECT_NE(out.find("keep me"), std::string::npos);
}

TEST_F(BatchRun, IptcIsEmptiedAlongWithExifAndComment)
{
    const std::string src = WithIptc();
    ASSERT_NE(src.find("private caption"), std::string::npos);
    WriteFile(Start + "/a.jpg", src);

    run.Execute(Start, false);

    const std::string out = ReadFile(Start + "/copy_a.jpg");
    EXPECT_EQ(out.find("private caption"), std::string::npos);
    EXPECT_EQ(out.find("Exif"), std::string::npos);
    EXPECT_NE(out.find("Photoshop 3.0"), std::string::npos);  // an APP13 without datasets
    EXPECT_EQ(ImageData(out), ImageData(src));
}

TEST_F(BatchRun, NothingTickedStopsBeforeAnythingChanges)
{
    options.Exif = options.Com = options.Iptc = false;
    run.ChangedCount = 7;
    EXPECT_THROW(run.Execute(Start, false), ENothingToDo);
    EXPECT_EQ(run.ChangedCount, 7);
    EXPECT_TRUE(statuses.empty());
    try {
        run.Execute(Start, false);
    } catch (const ENothingToDo& e) {
        EXPECT_STREQ(e.what(), "Nothing to do..\n\nYou must select at least one checkbox\n"
                               "(EXIF, COM or IPTC) under Output options.");
    }
}

TEST_F(BatchRun, ExistingTargetsAreNeverReplaced)
{
    WriteFile(Start + "/a.jpg", ExifOnly());
    WriteFile(Start + "/b.jpg", Plain());
    fs::create_directories(Out);
    WriteFile(Out + "/a.jpg", "mine");
    WriteFile(Out + "/b.jpg", "mine too");
    options.NewFolder = true;
    options.Output = Out;
    options.CopyAll = true;

    run.Execute(Start, false);

    EXPECT_EQ(ReadFile(Out + "/a.jpg"), "mine");
    EXPECT_EQ(ReadFile(Out + "/b.jpg"), "mine too");
    EXPECT_EQ(ReadFile(Out + "/b_1.jpg"), Plain());
    EXPECT_TRUE(Exists(Out + "/a_1.jpg"));
}

TEST_F(BatchRun, ANameTakenByAFolderAtPublishGetsTheNextFreeName)
{
    WriteFile(Start + "/a.jpg", ExifOnly());
    WriteFile(Start + "/b.jpg", Plain());
    // A folder named like the target does not make the name taken when it is
    // chosen; the publish meets it and takes the next free name instead.
    fs::create_directories(Out + "/a.jpg");
    fs::create_directories(Out + "/b.jpg");
    WriteFile(Out + "/b_1.jpg", "someone else's");
    options.NewFolder = true;
    options.Output = Out;
    options.CopyAll = true;
    run.Execute(Start, false);
    EXPECT_EQ(run.ChangedCount, 1);
    EXPECT_EQ(run.CopiedCount, 1);
    EXPECT_EQ(ReadFile(Out + "/b_2.jpg"), Plain());
    EXPECT_EQ(ReadFile(Out + "/b_1.jpg"), "someone else's");
    EXPECT_EQ(ImageData(ReadFile(Out + "/a_1.jpg")), ImageData(ExifOnly()));
}

TEST_F(BatchRun, AWriterErrorEndsTheRunAndKeepsTheCounts)
{
    WriteFile(Start + "/a.jpg", ExifOnly());
    options.FilePrefix = "missing/";  // a target in a folder that does not exist
    EXPECT_THROW(run.Execute(Start, false), std::exception);
    EXPECT_EQ(statuses, (std::vector<std::string>{"Processing " + Start + "/a.jpg"}));
    EXPECT_EQ(run.ChangedCount, 0);
    EXPECT_FALSE(run.Running());
}

TEST_F(BatchRun, AnOutputFolderInsideTheTreeIsLeftOutOfTheWalk)
{
    WriteFile(Start + "/a.jpg", ExifOnly());
    WriteFile(Start + "/sub/b.jpg", CommentOnly());
    fs::create_directories(Start + "/cleaned/deeper");
    WriteFile(Start + "/cleaned/old.jpg", ExifOnly());
    WriteFile(Start + "/cleaned/deeper/older.jpg", ExifOnly());
    options.NewFolder = true;
    options.Output = Start + "/cleaned";

    run.Execute(Start, true);

    EXPECT_EQ(Processed(), (std::vector<std::string>{Start + "/a.jpg", Start + "/sub/b.jpg"}));
    EXPECT_EQ(Names(Start + "/cleaned"), (std::set<std::string>{"a.jpg", "b.jpg", "deeper", "old.jpg"}));
    EXPECT_EQ(statuses.back(), "Done  (2 files processed)");
}

TEST_F(BatchRun, AnOutputFolderEqualToTheStartFolderCleansEachSourceOnce)
{
    WriteFile(Start + "/a.jpg", ExifOnly());
    options.NewFolder = true;
    options.Output = Start;

    run.Execute(Start, false);

    EXPECT_EQ(run.ChangedCount, 1);
    EXPECT_EQ(Names(Start), (std::set<std::string>{"a.jpg", "a_1.jpg", "sub"}));
}

TEST_F(BatchRun, TheCameraCorpusIsCleanedWithoutLosingImageBytes)
{
    const auto sources = CorpusJpegs();
    if (sources.empty()) GTEST_SKIP() << "no ../shared/corpus";
    options.NewFolder = true;
    options.Output = Out;
    options.CopyAll = true;

    run.Execute(CorpusDir(), true);

    EXPECT_EQ(static_cast<size_t>(run.ChangedCount + run.CopiedCount), sources.size());
    EXPECT_GT(run.ChangedCount, 0);
    std::vector<std::string> sourceBytes;
    for (const auto& src : sources) sourceBytes.push_back(ReadFile(src));
    size_t outputs = 0;
    for (const auto& e : fs::directory_iterator(Out)) {
        const std::string out = e.path().string();
        ++outputs;
        // From its SOS on, each output is the end of one source, byte for byte.
        const std::string image = ImageData(ReadFile(out));
        ASSERT_FALSE(image.empty()) << out;
        EXPECT_TRUE(std::any_of(sourceBytes.begin(), sourceBytes.end(),
                                [&](const std::string& src) { return src.ends_with(image); }))
            << out;
        TimgData check(255);
        check.ScanFile(out);
        // Nothing of the EXIF block but, where the picture is turned, its orientation.
        EXPECT_TRUE(check.ExifRef == kNoRef || check.ExifIsOrientationOnly()) << out;
        EXPECT_TRUE(!check.IptcContainer || !check.IptcContainer->HasData()) << out;
        if (const tSection* com = check.Section(check.CommentRef)) {
            EXPECT_EQ(com->Bytes.size(), 2u) << out;
        }
    }
    EXPECT_EQ(outputs, sources.size());
}

TEST(CopyFileNoReplace, CopiesBytesAndTimeAndNeverReplaces)
{
    TempDir dir;
    const std::string src = dir.Write("a.jpg", Plain());
    struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, src.c_str(), times, 0), 0);

    CopyFileNoReplace(src, dir / "b.jpg");
    EXPECT_EQ(ReadFile(dir / "b.jpg"), Plain());
    struct stat st;
    ASSERT_EQ(::stat((dir / "b.jpg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);

    WriteFile(dir / "c.jpg", "taken");
    try {
        CopyFileNoReplace(src, dir / "c.jpg");
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot copy file " + src);
    }
    EXPECT_EQ(ReadFile(dir / "c.jpg"), "taken");
    EXPECT_THROW(CopyFileNoReplace(dir / "missing.jpg", dir / "d.jpg"), std::runtime_error);
    EXPECT_THROW(CopyFileNoReplace(src, dir / "no/such/folder.jpg"), std::runtime_error);
    // No temporaries left behind.
    EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"a.jpg", "b.jpg", "c.jpg"}));
}

TEST(ErrorBoxText, AddsAFullStopAfterCharactersThatSortAfterIt)
{
    EXPECT_EQ(ErrorBoxText("Cannot create /tmp/x"), "Cannot create /tmp/x.");
    EXPECT_EQ(ErrorBoxText("Done."), "Done.");
    EXPECT_EQ(ErrorBoxText("(see above)"), "(see above)");
    EXPECT_EQ(ErrorBoxText("really!"), "really!");
    EXPECT_EQ(ErrorBoxText("a/"), "a/.");
    EXPECT_EQ(ErrorBoxText("caf\xC3\xA9"), "caf\xC3\xA9.");
    EXPECT_EQ(ErrorBoxText(""), "");
}

}  // namespace

namespace {

// Installs a publish hook for one test and takes it away again.
struct TPublishHook {
    explicit TPublishHook(std::function<void(const tOutputFolder&, const std::string&)> hook)
    {
        BeforePublishHook = std::move(hook);
    }
    ~TPublishHook() { BeforePublishHook = nullptr; }
};

}  // namespace

TEST_F(BatchRun, ANameTakenBetweenChoosingAndPublishingGivesWayToTheNextFreeOne)
{
    WriteFile(Start + "/a.jpg", ExifOnly());
    options.NewFolder = true;
    options.Output = Out;
    const TPublishHook hook([&](const tOutputFolder&, const std::string& name) {
        if (name == "a.jpg") WriteFile(Out + "/a.jpg", "another program's");
    });
    run.Execute(Start, false);
    EXPECT_EQ(ReadFile(Out + "/a.jpg"), "another program's");
    EXPECT_EQ(ImageData(ReadFile(Out + "/a_1.jpg")), ImageData(ExifOnly()));
    EXPECT_EQ(statuses.back(), "Done  (1 files processed)");
}

TEST_F(BatchRun, AnOutputFolderSwappedForALinkMidRunCannotRedirectWrites)
{
    WriteFile(Start + "/a.jpg", ExifOnly());
    WriteFile(Start + "/b.jpg", CommentOnly());
    fs::create_directories(dir / "elsewhere");
    options.NewFolder = true;
    options.Output = Out;
    bool swapped = false;
    const TPublishHook hook([&](const tOutputFolder&, const std::string&) {
        if (swapped) return;
        swapped = true;
        fs::rename(Out, dir / "moved");
        fs::create_directory_symlink(dir / "elsewhere", Out);
    });
    run.Execute(Start, false);
    EXPECT_TRUE(swapped);
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
    EXPECT_EQ(Names(dir / "moved"), (std::set<std::string>{"a.jpg", "b.jpg"}));
}

TEST_F(BatchRun, OutputsTakeTheSourcesPermissionsWithoutSpecialBits)
{
    WriteFile(Start + "/a.jpg", ExifOnly());
    WriteFile(Start + "/b.jpg", Plain());
    ASSERT_EQ(chmod((Start + "/a.jpg").c_str(), 04751), 0);
    ASSERT_EQ(chmod((Start + "/b.jpg").c_str(), 02640), 0);
    options.NewFolder = true;
    options.Output = Out;
    options.CopyAll = true;
    const mode_t mask = umask(027);
    run.Execute(Start, false);
    umask(mask);
    struct stat a {}, b {};
    ASSERT_EQ(stat((Out + "/a.jpg").c_str(), &a), 0);
    ASSERT_EQ(stat((Out + "/b.jpg").c_str(), &b), 0);
    EXPECT_EQ(a.st_mode & 07777, 0750u);
    EXPECT_EQ(b.st_mode & 07777, 0640u);
}

TEST_F(BatchRun, TemporaryFilesOfAKilledRunGoButThoseOfALiveOneStay)
{
    WriteFile(Start + "/a.jpg", ExifOnly());
    fs::create_directories(Out);
    const std::string stale = Out + "/" + kTemporaryPrefix + "0123456789abcdef";
    const std::string live = Out + "/" + kTemporaryPrefix + "fedcba9876543210";
    WriteFile(stale, "left by a killed run");
    WriteFile(live, "still being written");
    const int liveFd = open(live.c_str(), O_RDONLY);
    ASSERT_EQ(flock(liveFd, LOCK_EX), 0);
    options.NewFolder = true;
    options.Output = Out;
    run.Execute(Start, false);
    close(liveFd);
    EXPECT_EQ(Names(Out), (std::set<std::string>{"a.jpg", NameOf(live)}));
}

TEST_F(BatchRun, ADamagedHeadEndsTheRunNamingTheFileAndIsNeverCopiedAsClean)
{
    const std::string whole = ExifAndComment();
    WriteFile(Start + "/cut.jpg", whole.substr(0, 40));  // cut inside the Exif block
    options.NewFolder = true;
    options.Output = Out;
    options.CopyAll = true;
    try {
        run.Execute(Start, false);
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()), "Damaged JPEG header in " + Start + "/cut.jpg");
    }
    EXPECT_EQ(run.CopiedCount, 0);
    EXPECT_TRUE(fs::is_empty(Out));
}

namespace {

// exiftool's reading of every file in a folder: for each file, its
// "[Group] Tag" keys outside exiftool's own groups (file system, composites).
std::map<std::string, std::map<std::string, std::string>> ExiftoolTagsByFile(const std::string& folder)
{
    std::map<std::string, std::map<std::string, std::string>> tags;
    const std::string cmd = "exiftool -a -G1 -s -n --File:all --System:all --Composite:all --ExifTool:all '" +
                            folder + "' 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return tags;
    char line[8192];
    std::string file;
    while (fgets(line, sizeof line, p)) {
        const std::string text = line;
        if (text.rfind("======== ", 0) == 0) {
            file = text.substr(9, text.find_last_not_of("\r\n") - 8);
            continue;
        }
        const size_t close = text.find(']'), colon = text.find(" : ");
        if (text[0] != '[' || close == std::string::npos || colon == std::string::npos) continue;
        std::string tag = text.substr(close + 1, colon - close - 1);
        tag.erase(0, tag.find_first_not_of(' '));
        tag.erase(tag.find_last_not_of(' ') + 1);
        tags[file][text.substr(0, close + 1) + " " + tag] = text.substr(colon + 3, text.find_last_not_of("\r\n") - colon - 2);
    }
    pclose(p);
    return tags;
}

// Tags that name the camera, its serial number, a date, the place, the owner,
// the author, the program or what the picture shows.
bool Revealing(const std::string& key)
{
    static const char* const kWords[] = {"Make", "Model", "Serial", "Date", "GPS", "Owner", "Artist", "Author",
                                         "Creator", "By-line", "Software", "Keywords", "Subject", "Caption",
                                         "Description", "City", "Location"};
    // The colour profile stays on purpose; its own "model" is the colour space's.
    if (key.rfind("[ICC", 0) == 0) return false;
    const std::string tag = key.substr(key.find(' ') + 1);
    for (const char* word : kWords)
        if (tag.find(word) != std::string::npos) return true;
    return false;
}

}  // namespace

TEST_F(BatchRun, EveryChoiceLeavesTheCameraCorpusWithoutRevealingTags)
{
    const auto sources = CorpusJpegs();
    if (sources.empty() || !HaveExiftool()) GTEST_SKIP() << "no ../shared/corpus or no exiftool";
    fs::create_directories(dir / "flat");
    std::map<std::string, std::string> sourceOf;  // output name -> source
    for (size_t i = 0; i < sources.size(); ++i) {
        const std::string name = "f" + std::to_string(i) + ".jpg";
        fs::copy_file(sources[i], dir / ("flat/" + name));
        sourceOf[name] = sources[i];
    }
    options.NewFolder = true;
    options.Output = Out;
    options.Other = true;
    run.Execute(dir / "flat", false);

    const auto before = ExiftoolTagsByFile(dir / "flat");
    const auto after = ExiftoolTagsByFile(Out);
    ASSERT_FALSE(after.empty());
    for (const auto& [file, tags] : after) {
        SCOPED_TRACE(file);
        for (const auto& [key, value] : tags) EXPECT_FALSE(Revealing(key)) << key << " = " << value;
        const std::string name = fs::path(file).filename().string();
        const auto source = before.find(dir / ("flat/" + name));
        ASSERT_NE(source, before.end());
        // The colours and the way up stay.
        if (source->second.count("[ICC_Profile] ProfileDescription")) {
            EXPECT_EQ(tags.count("[ICC_Profile] ProfileDescription"), 1u);
        }
        const auto orientation = source->second.find("[IFD0] Orientation");
        if (orientation != source->second.end() && orientation->second != "1") {
            ASSERT_EQ(tags.count("[IFD0] Orientation"), 1u);
            EXPECT_EQ(tags.at("[IFD0] Orientation"), orientation->second);
        }
        // The first picture's image data, from SOS to its EOI, byte for byte.
        const std::string in = ReadFile(dir / ("flat/" + name)), out = ReadFile(file);
        const size_t inSos = in.size() - ImageData(in).size(), outSos = out.size() - ImageData(out).size();
        const int fd = open((dir / ("flat/" + name)).c_str(), O_RDONLY);
        const auto length = static_cast<size_t>(FindImageEnd(fd, static_cast<int64_t>(inSos))) - inSos;
        close(fd);
        EXPECT_EQ(out.substr(outSos, length), in.substr(inSos, length));
    }
}
