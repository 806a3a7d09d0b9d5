#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <csignal>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "app/core/batch_run.h"
#include "app/core/error_text.h"
#include "meta/formats/formats.h"
#include "meta/iptc/iptc_data.h"
#include "meta/jpeg/head_reader.h"
#include "meta/jpeg/img_data.h"
#include "store/copy_file.h"
#include "store/file_io.h"
#include "store/publish_queue.h"
#include "tests/app/core/batch_fixtures.h"
#include "tests/support/exiftool.h"
#include "tests/support/file_permissions.h"
#include "tests/support/tiff_builder.h"

using namespace fixture;
using namespace batchfix;
using namespace std::string_literals;
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

TEST_F(BatchRun, OnlyIptcTickedLeavesAFileWithoutIptcUnchangedAndUncounted)
{
    WriteFile(Start + "/a.jpg", ExifOnly());
    options.Exif = options.Com = false;

    run.Execute(Start, false);

    EXPECT_EQ(run.ChangedCount, 0);
    EXPECT_EQ(statuses.back(), "Done  (0 files processed)");
    EXPECT_EQ(Names(Start), (std::set<std::string>{"a.jpg", "sub"}));
}

TEST_F(BatchRun, StripExifAloneKeepsTheComment)
{
    WriteFile(Start + "/a.jpg", ExifAndComment());
    options.Com = options.Iptc = false;

    run.Execute(Start, false);

    EXPECT_EQ(run.ChangedCount, 1);
    const std::string out = ReadFile(Start + "/copy_a.jpg");
    EXPECT_NE(out.find("secret words"), std::string::npos);
    EXPECT_EQ(out.find("Exif"), std::string::npos);
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
        EXPECT_STREQ(e.what(), "Nothing to do.\n\nTick at least one of EXIF, comment, IPTC, or XMP and other "
                               "metadata under Output options.");
    }
    // Strip options ticked, but no file type: no run either, with its own words.
    options.Exif = true;
    WriteFile(Start + "/a.jpg", ExifOnly());
    options.Types.clear();
    try {
        run.Execute(Start, false);
        ADD_FAILURE() << "no error";
    } catch (const ENoFileType& e) {
        EXPECT_STREQ(e.what(), "Nothing to do.\n\nTick at least one of JPEG, PNG, or WebP under File types.");
    }
    EXPECT_TRUE(statuses.empty());
    EXPECT_EQ(Names(Start), (std::set<std::string>{"a.jpg", "sub"}));
}

TEST_F(BatchRun, FilesOfATypeNotTickedAreLeftAloneAndNamedWhateverTheyAreCalled)
{
    const std::map<std::string, std::string> files = {{"a.jpg", ExifAndComment()},
                                                      {"b.JPEG", Plain()},
                                                      {"zeros.jpg", std::string(64, '\0')},
                                                      {"x.gif", "GIF89a"}};
    for (const auto& [name, bytes] : files) WriteFile(Start + "/" + name, bytes);
    const std::string notTicked = "type not ticked under File types.", notAPicture = "not a picture Zorezaz can clean.",
                      unsupported = "type not supported.";
    const struct {
        std::set<tFileType> Types;
        std::set<std::string> Written;
        std::map<std::string, std::string> LeftAlone;  // name: reason
        const char* Totals;
    } cases[] = {
        // JPEG unticked: the JPEGs are named, by the reason of the tick; the others keep theirs.
        {{tFileType::Png, tFileType::Webp},
         {},
         {{"a.jpg", notTicked}, {"b.JPEG", notTicked}, {"zeros.jpg", notAPicture}, {"x.gif", unsupported}},
         "Done  (0 of 0 files changed, 4 files of other types left alone)"},
        {{tFileType::Jpeg},
         {"a.jpg", "b.JPEG"},
         {{"zeros.jpg", notAPicture}, {"x.gif", unsupported}},
         "Done  (1 of 2 files changed, 2 files of other types left alone)"},
    };
    options.NewFolder = true;
    options.Output = Out;
    options.CopyAll = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Totals);
        options.Types = c.Types;
        fs::remove_all(Out);
        run.Execute(Start, false);
        EXPECT_EQ(Names(Out), c.Written);
        std::map<std::string, std::string> left;
        for (const tSkipped& s : run.LeftAlone) {
            left[s.File.substr(Start.size() + 1)] = s.Line().substr(s.File.size() + 2);
            EXPECT_EQ(s.Reason.Code == tReason::TCode::TypeNotChosen, s.Line().find(notTicked) != std::string::npos);
        }
        EXPECT_EQ(left, c.LeftAlone);
        EXPECT_EQ(statuses.back(), c.Totals);
        EXPECT_TRUE(run.Skipped.empty());
    }
    for (const auto& [name, bytes] : files) EXPECT_EQ(ReadFile(Start + "/" + name), bytes);
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
    options.NewFolder = true;
    options.Output = Out;
    // The output folder goes away before the file is written.
    run.OnStatus = [&](const std::string& s) {
        statuses.push_back(s);
        fs::remove(Out);
    };
    EXPECT_THROW(run.Execute(Start, false), std::exception);
    EXPECT_EQ(statuses, (std::vector<std::string>{"Processing " + Start + "/a.jpg"}));
    EXPECT_EQ(run.ChangedCount, 0);
    EXPECT_FALSE(run.Running());
}

TEST_F(BatchRun, AnOutputThatCannotBeWrittenIsItsFileFailureWhileTheOthersGoOn)
{
    // Outputs are written while the next file is scanned: an error comes
    // later, and is still the failed file's. The disk takes no file past
    // 64 KB here, and one PNG keeps a 400 KB colour profile.
    WriteFile(Start + "/a.jpg", ExifOnly());
    const std::string png = PhonePng(), profile = PngChunk("iCCP", "icc\0\0" + std::string(400000, 'p'));
    const std::string big = png.substr(0, 33) + profile + png.substr(33);
    WriteFile(Start + "/b.png", big);
    WriteFile(Start + "/c.jpg", CommentOnly());
    const struct {
        bool KeepGoing, Flush;
    } rows[] = {{true, true}, {true, false}, {false, true}, {false, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.KeepGoing ? "keep going" : "stop") + (r.Flush ? ", flushed" : ", not flushed"));
        fs::remove_all(Out);
        options.SkipFailed = r.KeepGoing;
        options.Flush = r.Flush;
        options.NewFolder = true;
        options.Output = Out;
        TBatchRun run(options);
        std::string error;
        {
            const auto old = signal(SIGXFSZ, SIG_IGN);
            rlimit limit{}, small{64 * 1024, 64 * 1024};
            getrlimit(RLIMIT_FSIZE, &limit);
            small.rlim_max = limit.rlim_max;
            setrlimit(RLIMIT_FSIZE, &small);
            try {
                run.Execute(Start, false);
            } catch (const std::exception& e) {
                error = e.what();
            }
            setrlimit(RLIMIT_FSIZE, &limit);
            signal(SIGXFSZ, old);
        }
        const std::set<std::string> names = Names(Out);
        EXPECT_EQ(names.count("b.png"), 0u);
        EXPECT_EQ(run.ChangedCount, static_cast<int>(names.size()));
        if (r.KeepGoing) {
            EXPECT_EQ(error, "");
            EXPECT_EQ(names, (std::set<std::string>{"a.jpg", "c.jpg"}));
            ASSERT_EQ(run.Skipped.size(), 1u);
            EXPECT_EQ(run.Skipped[0].File, Start + "/b.png");
            EXPECT_NE(run.Skipped[0].Message.find("File too large"), std::string::npos) << run.Skipped[0].Message;
        } else {
            EXPECT_NE(error.find(Start + "/b.png"), std::string::npos) << error;
            EXPECT_NE(error.find("File too large"), std::string::npos) << error;
        }
    }
}

TEST_F(BatchRun, AnOutputFolderInsideTheTreeHasItsSourcesCleanedAndItsOutputsPassedOver)
{
    WriteFile(Start + "/a.jpg", ExifOnly());
    WriteFile(Start + "/sub/b.jpg", CommentOnly());
    fs::create_directories(Start + "/cleaned/deeper");
    WriteFile(Start + "/cleaned/old.jpg", ExifOnly());  // sources a user keeps there
    WriteFile(Start + "/cleaned/deeper/older.jpg", ExifOnly());
    WriteFile(Start + "/cleaned/done.jpg", Plain());  // an earlier output
    options.NewFolder = true;
    options.Output = Start + "/cleaned";
    options.CopyAll = true;
    const std::set<std::string> cleaned{"a.jpg", "b.jpg", "deeper", "done.jpg", "old.jpg", "old_1.jpg", "older.jpg"};

    for (int round = 0; round < 2; ++round) {  // the second run finds it all done
        SCOPED_TRACE(round);
        run.Execute(Start, true);
        EXPECT_EQ(Names(Start + "/cleaned"), cleaned);
        EXPECT_EQ(Names(Start + "/cleaned/deeper"), (std::set<std::string>{"older.jpg"}));
        EXPECT_EQ(statuses.back(), round == 0 ? "Done  (4 of 4 files changed.)"
                                              : "Done  (0 of 4 files changed, 4 already clean)");
    }
    EXPECT_EQ(ReadFile(Start + "/cleaned/older.jpg").find("Exif"), std::string::npos);
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
        EXPECT_EQ(std::string(e.what()), "Cannot copy file " + src + ".\n\nFile exists");
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
    EXPECT_EQ(statuses.back(), "Done  (1 file processed)");
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

TEST_F(BatchRun, KeepDatesGivesOutputsAndCopiesTheSourcesLastWriteTimeAndOnlyThen)
{
    const struct timespec old = {1000000000, 123456789};  // 2001, to the nanosecond
    for (const bool keep : {false, true}) {
        const std::string start = dir / (keep ? "keep" : "fresh");
        fs::create_directories(start);
        WriteFile(start + "/a.jpg", ExifAndComment());
        WriteFile(start + "/b.jpg", Plain());
        for (const char* n : {"/a.jpg", "/b.jpg"}) {
            const struct timespec times[2] = {old, old};
            ASSERT_EQ(::utimensat(AT_FDCWD, (start + n).c_str(), times, 0), 0);
        }
        options.NewFolder = true;
        options.Output = start + "/out";
        options.CopyAll = true;
        options.FileDates = keep;
        run.Execute(start, false);
        ASSERT_EQ(run.ChangedCount, 1);
        ASSERT_EQ(run.CopiedCount, 1);
        for (const char* n : {"/a.jpg", "/b.jpg"}) {  // cleaned, copied
            struct stat st {};
            ASSERT_EQ(::stat((start + "/out" + n).c_str(), &st), 0);
            if (keep) {
                EXPECT_EQ(st.st_mtim.tv_sec, old.tv_sec) << n;
                EXPECT_EQ(st.st_mtim.tv_nsec, old.tv_nsec) << n;
            } else {
                EXPECT_GT(st.st_mtim.tv_sec, old.tv_sec + 100000000) << n;  // written now, not in 2001
            }
        }
    }
}

// Makes every pending file a named temporary for one scope, as on a file
// system without unnamed files.
struct TNamedTemporaries {
    explicit TNamedTemporaries(bool on) { ForceNamedTemporaries = on; }
    ~TNamedTemporaries() { ForceNamedTemporaries = false; }
};

// The temporary file a run killed while writing into `folder` leaves: made
// by a child that ends without cleaning up. Its name, or "" without one.
std::string LeaveStaleTemporary(const std::string& folder)
{
    const std::set<std::string> before = Names(folder);
    const pid_t pid = fork();
    if (pid == 0) {
        ForceNamedTemporaries = true;
        auto* out = new tPendingFile(std::make_shared<const tOutputFolder>(folder, folder), folder + "/x.jpg");
        out->Write("left by a killed run");
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    for (const std::string& name : Names(folder))
        if (before.count(name) == 0) return name;
    return {};
}

// Gives the file `mark` as our mark.
void Mark(const std::string& path, const std::string& mark)
{
    ASSERT_EQ(setxattr(path.c_str(), kTemporaryMark, mark.data(), mark.size(), 0), 0);
}

TEST_F(BatchRun, OnlyTemporaryFilesProvablyOursGoAndOnlyFromAnOutputFolderWithoutSources)
{
    const std::string p = kTemporaryPrefix;
    const std::string inside = Start + "/cleaned";
    struct tRow {
        const char* What;
        bool NewFolder;
        std::string Folder;  // written into
        bool Subfolders;
        bool Swept;
    } const rows[] = {
        {"an output folder of its own", true, Out, true, true},
        {"the start folder as output folder", true, Start, false, false},
        {"an output folder in the walked tree", true, inside, true, false},
        {"an output folder below a start folder walked alone", true, inside, false, true},
        {"prefix mode", false, Start, true, false},
    };
    for (const tRow& row : rows) {
        SCOPED_TRACE(row.What);
        fs::remove_all(Start);
        fs::remove_all(Out);
        fs::create_directories(Start + "/sub");
        fs::create_directories(row.Folder);
        WriteFile(Start + "/a.jpg", ExifOnly());
        WriteFile(Start + "/" + p + "photo.jpg", ExifOnly());  // a source
        // The user's look-alikes, and one exact name whose mark is for another.
        const std::vector<std::string> users{p + "diary", p + "notes.txt", p + "0123456789abcdef",
                                             p + "aaaaaaaaaaaaaaaa"};
        for (const std::string& name : users) WriteFile(row.Folder + "/" + name, "the user's");
        Mark(row.Folder + "/" + p + "aaaaaaaaaaaaaaaa", "bbbbbbbbbbbbbbbb");
        const std::string stale = LeaveStaleTemporary(row.Folder);
        ASSERT_TRUE(IsTemporaryName(stale)) << stale;
        char mark[32] = {};
        const bool marked = getxattr((row.Folder + "/" + stale).c_str(), kTemporaryMark, mark, sizeof mark) == 16;
        // Another run, still writing: marked and locked.
        std::optional<tPendingFile> live;
        {
            const TNamedTemporaries seam(true);
            live.emplace(std::make_shared<const tOutputFolder>(row.Folder, row.Folder), row.Folder + "/y.jpg");
        }
        options.NewFolder = row.NewFolder;
        options.Output = row.Folder;
        options.FilePrefix = p;  // outputs named like look-alikes in prefix mode
        for (int i = 0; i < 3; ++i) run.Execute(Start, row.Subfolders);
        const std::set<std::string> names = Names(row.Folder);
        for (const std::string& name : users) EXPECT_EQ(ReadFile(row.Folder + "/" + name), "the user's") << name;
        EXPECT_EQ(ReadFile(Start + "/" + p + "photo.jpg"), ExifOnly());
        EXPECT_EQ(names.count(live->TempName()), 1u);
        EXPECT_EQ(names.count(stale), row.Swept && marked ? 0u : 1u);
        if (row.Swept) {
            EXPECT_TRUE(marked) << "the file system keeps no user attributes here";
        }
        const std::string output = row.NewFolder ? "a.jpg" : p + "a.jpg";
        EXPECT_EQ(ImageData(ReadFile(row.Folder + "/" + output)), ImageData(ExifOnly()));
    }
}

TEST_F(BatchRun, TheNamedRoadPublishesAndResumesAsTheUnnamedOne)
{
    WriteFile(Start + "/a.jpg", ExifOnly());
    WriteFile(Start + "/b.jpg", Plain());
    fs::create_directories(Out);
    WriteFile(Out + "/a.jpg", "taken");
    options.NewFolder = true;
    options.Output = Out;
    options.CopyAll = true;
    const TNamedTemporaries seam(true);
    for (int i = 0; i < 2; ++i) run.Execute(Start, false);
    EXPECT_EQ(Names(Out), (std::set<std::string>{"a.jpg", "a_1.jpg", "b.jpg"}));
    EXPECT_EQ(ImageData(ReadFile(Out + "/a_1.jpg")), ImageData(ExifOnly()));
    EXPECT_EQ(ReadFile(Out + "/b.jpg"), Plain());
    EXPECT_EQ(statuses.back(), "Done  (0 of 2 files changed, 2 already clean)");
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

TEST_F(BatchRun, ContentDecidesAndEveryFileOfAnotherTypeIsLeftAloneByName)
{
    const auto files = MixedFolder();
    for (const auto& [name, bytes] : files) WriteFile(Start + "/" + name, bytes);
    // A name in any case, and a file that begins with a marker but not SOI.
    WriteFile(Start + "/sub/clip.GiF", "not opened");
    WriteFile(Start + "/sub/empty.jpg", "");
    WriteFile(Start + "/sub/short.jpg", "\xFF\xD9\xFF\xD8"s);
    options.NewFolder = true;
    options.Output = Out;
    options.CopyAll = true;
    options.Exif = options.Com = options.Iptc = options.Other = true;
    for (bool keepGoing : {false, true}) {
        SCOPED_TRACE(keepGoing);
        options.SkipFailed = keepGoing;
        fs::remove_all(Out);
        std::vector<std::string> reported;
        run.OnLeftAlone = [&](const tSkipped& s) { reported.push_back(s.Line()); };
        std::pair<int, int> progress;
        run.OnProgress = [&](int done, int total) { progress = {done, total}; };
        run.Execute(Start, true);

        std::set<std::string> outputs = MixedCleaned();
        outputs.insert("b.jpg");
        EXPECT_EQ(Names(Out), outputs);
        EXPECT_EQ(ReadFile(Out + "/b.jpg"), Plain());
        // The PNG named as a JPEG is cleaned as a PNG and keeps its name; no
        // output names the phone.
        EXPECT_EQ(ReadFile(Out + "/IMG_0001.jpg").substr(0, 4), "\x89PNG");
        for (const std::string& name : MixedCleaned())
            EXPECT_EQ(ReadFile(Out + "/" + name).find("PhoneMaker"), std::string::npos) << name;
        EXPECT_EQ(statuses.back(), "Done  (5 of 6 files changed, 5 files of other types left alone)");
        EXPECT_TRUE(run.Skipped.empty());
        // The count first agrees with what the walk reported.
        EXPECT_EQ(progress, std::make_pair(11, 11));
        std::map<std::string, std::string> left;
        for (const tSkipped& s : run.LeftAlone) left[s.File.substr(Start.size() + 1)] = s.Line();
        std::vector<std::string> lines;
        for (const auto& [name, why] : MixedLeftAlone()) {
            EXPECT_EQ(left[name], Start + "/" + name + ": " + why);
            lines.push_back(Start + "/" + name + ": " + why);
        }
        for (const char* name : {"sub/empty.jpg", "sub/short.jpg"})
            EXPECT_EQ(left[name], Start + "/" + name + ": not a picture Zorezaz can clean.");
        EXPECT_EQ(left["sub/clip.GiF"], Start + "/sub/clip.GiF: type not supported.");
        EXPECT_EQ(left.size(), 5u);
        EXPECT_EQ(reported.size(), 5u);
        for (const tSkipped& s : run.LeftAlone)
            EXPECT_EQ(s.Reason.Code, s.File.find(".jpg") != std::string::npos ? tReason::TCode::NotAPicture
                                                                              : tReason::TCode::TypeNotSupported);
    }
    // The other types have no "Processing" line: they are never opened.
    for (const std::string& p : Processed())
        for (const char* type : {".TIF", ".GiF"}) EXPECT_EQ(p.find(type), std::string::npos) << p;
    for (const auto& [name, bytes] : files) EXPECT_EQ(ReadFile(Start + "/" + name), bytes);
}

TEST_F(BatchRun, TheWalkTakesEveryTypeOfTheTableInAnyCase)
{
    std::set<std::string> expected;
    for (std::string_view type : kLeftAloneTypes) {
        std::string upper(type);
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (const std::string& name : {"x" + std::string(type), "y" + upper}) {
            WriteFile(Start + "/" + name, "\xFF\xD8\xFF\xE0"s);  // even a JPEG's start: the name says another type
            expected.insert(Start + "/" + name);
        }
    }
    options.Exif = true;
    run.Execute(Start, false);
    std::set<std::string> left;
    for (const tSkipped& s : run.LeftAlone) {
        left.insert(s.File);
        EXPECT_EQ(s.Reason.Code, tReason::TCode::TypeNotSupported);
    }
    EXPECT_EQ(left, expected);
    EXPECT_EQ(statuses.back(), "Done  (0 files processed, 8 files of other types left alone)");
    // A type left alone is no format's: the walk would never clean it.
    for (const tFormat& format : Formats())
        for (std::string_view type : format.Extensions)
            EXPECT_EQ(std::count(kLeftAloneTypes.begin(), kLeftAloneTypes.end(), type), 0) << type;
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

// --- Counts: a file is changed only when the chosen options remove something.

namespace {

// Only an empty comment and an APP13 without datasets: what an output holds.
std::string OnlyEmptyBlocks()
{
    return AfterSoi(TinyJpeg(8, 8, true),
                    Segment(0xED, std::string("Photoshop 3.0\0", 14)) + Segment(0xFE, ""));
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

TEST_F(BatchRun, CountsOnlyFilesTheChosenOptionsTakeSomethingFrom)
{
    struct tCase {
        const char* Name;
        std::string Bytes;
        bool Exif, Com, Iptc;
        bool Changed;
    };
    const tCase cases[] = {
        {"exif-only, EXIF ticked", ExifOnly(), true, false, false, true},
        {"exif-only, COM and IPTC ticked", ExifOnly(), false, true, true, false},
        {"comment, COM ticked", CommentOnly(), false, true, false, true},
        {"comment, EXIF ticked", CommentOnly(), true, false, false, false},
        {"iptc, IPTC ticked", WithIptc(), false, false, true, true},
        // The first APP13 holds Photoshop's resolution alone; the IPTC is in the second.
        {"iptc in a later APP13, IPTC ticked",
         fixture::AfterSoi(fixture::TinyJpeg(8, 8),
                           fixture::Segment(0xED, std::string("Photoshop 3.0\0" "8BIM\x03\xED\0\0\0\0\0\x04" "\0\x48\0\x48", 30)) +
                               IptcSegment("private caption")),
         false, false, true, true},
        {"empty blocks, all ticked", OnlyEmptyBlocks(), true, true, true, false},
        {"plain, all ticked", Plain(), true, true, true, false},
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TempDir here;
        fs::create_directories(here / "in");
        WriteFile(here / "in/a.jpg", c.Bytes);
        TBatchSettings o;
        o.Exif = c.Exif;
        o.Com = c.Com;
        o.Iptc = c.Iptc;
        o.NewFolder = true;
        o.Output = here / "out";
        o.CopyAll = true;
        TBatchRun r(o);
        r.Execute(here / "in", false);
        EXPECT_EQ(r.ChangedCount, c.Changed ? 1 : 0);
        EXPECT_EQ(r.CopiedCount, c.Changed ? 0 : 1);
        // An unchanged file is copied byte for byte; a changed one is not.
        EXPECT_EQ(ReadFile(here / "out/a.jpg") == c.Bytes, !c.Changed);
        if (c.Iptc) {
            EXPECT_EQ(ReadFile(here / "out/a.jpg").find("private caption"), std::string::npos);
        }
    }
}

TEST_F(BatchRun, OutputsAreNeverCleanedAgain)
{
    WriteFile(Start + "/a.jpg", WithIptc());
    WriteFile(Start + "/b.jpg", ExifAndComment());
    run.Execute(Start, false);
    EXPECT_EQ(statuses.back(), "Done  (2 files processed)");
    // Prefix mode run again: the outputs hold nothing to strip, and the
    // sources are found done.
    run.Execute(Start, false);
    EXPECT_EQ(statuses.back(), "Done  (2 files already clean)");
    EXPECT_EQ(run.ChangedCount, 0);
    EXPECT_EQ(run.AlreadyCleanCount, 2);
    EXPECT_EQ(Names(Start), (std::set<std::string>{"a.jpg", "b.jpg", "copy_a.jpg", "copy_b.jpg", "sub"}));

    // A run over the outputs changes nothing and copies them as they are.
    options.NewFolder = true;
    options.Output = Out;
    options.CopyAll = true;
    fs::create_directories(dir / "outputs");
    fs::rename(Start + "/copy_a.jpg", dir / "outputs/copy_a.jpg");
    fs::rename(Start + "/copy_b.jpg", dir / "outputs/copy_b.jpg");
    run.Execute(dir / "outputs", false);
    EXPECT_EQ(statuses.back(), "Done  (0 of 2 files changed.)");
    EXPECT_EQ(ReadFile(Out + "/copy_a.jpg"), ReadFile(dir / "outputs/copy_a.jpg"));
}

// --- Keep going, and what each failure says.

namespace {

// A whole head, with a comment to strip, and a frame header libjpeg rejects.
std::string RejectedByLibjpeg()
{
    return "\xFF\xD8" + Segment(0xFE, "words") + std::string("\xFF\xC0\x00\x03\x08", 5) + TinyJpeg().substr(2);
}

// A head cut off before the image data.
std::string Damaged()
{
    const std::string full = ExifAndComment();
    return full.substr(0, 30);
}

}  // namespace

TEST_F(BatchRun, KeepGoingSkipsEachFailedFileWithItsReasonAndCleansTheRest)
{
    WriteFile(Start + "/good1.jpg", ExifOnly());
    WriteFile(Start + "/bad.jpg", RejectedByLibjpeg());
    WriteFile(Start + "/cut.jpg", Damaged());
    // Other formats: a PNG cut inside its header chunk; a HEIC with two meta
    // boxes, which no rewrite can clean safely.
    WriteFile(Start + "/cut.png", PhonePng().substr(0, 20));
    WriteFile(Start + "/two.heic", std::string("\0\0\0\x10" "ftypheic\0\0\0\0" "\0\0\0\x0C" "meta\0\0\0\0"
                                               "\0\0\0\x0C" "meta\0\0\0\0", 40));
    WriteFile(Start + "/locked.jpg", ExifOnly());
    WriteFile(Start + "/sub/good2.jpg", CommentOnly());
    ASSERT_EQ(chmod((Start + "/locked.jpg").c_str(), 0), 0);
    const std::string deep = DeepFolder(Start + "/sub", PATH_MAX + 100, "far.jpg", ExifOnly());
    options.SkipFailed = true;
    options.NewFolder = true;
    options.Output = Out;
    std::vector<std::string> reported;
    run.OnSkipped = [&](const tSkipped& s) { reported.push_back(s.File); };
    // Counted first for the progress bar: the folder that cannot be read is
    // still reported once.
    run.OnProgress = [](int, int) {};

    {
        const TPermissionsBind bound;
        run.Execute(Start, true);
    }

    EXPECT_EQ(Names(Out), (std::set<std::string>{"good1.jpg", "good2.jpg"}));
    EXPECT_EQ(statuses.back(), "Done  (2 files processed, 6 skipped)");
    std::map<std::string, std::string> skipped;
    for (const tSkipped& s : run.Skipped) skipped[s.File] = s.Message;
    ASSERT_EQ(skipped.size(), 6u);
    EXPECT_EQ(reported.size(), 6u);
    const std::string bad = Start + "/bad.jpg";
    EXPECT_EQ(skipped[bad].rfind("JPEG error #", 0), 0u);
    EXPECT_NE(skipped[bad].find(" in " + bad + ": "), std::string::npos) << skipped[bad];
    EXPECT_GT(skipped[bad].size(), skipped[bad].find(": ") + 4);  // libjpeg's words follow
    EXPECT_EQ(skipped[Start + "/cut.jpg"], "Damaged JPEG header in " + Start + "/cut.jpg");
    EXPECT_EQ(skipped[Start + "/cut.png"], "Damaged PNG file " + Start + "/cut.png: a chunk runs past the end of the file");
    EXPECT_EQ(skipped[Start + "/two.heic"], "Cannot clean " + Start + "/two.heic: two meta boxes");
    EXPECT_EQ(skipped[Start + "/locked.jpg"], "Cannot open file " + Start + "/locked.jpg.\n\nPermission denied");
    // The folder whose path is too long, by the part of its path that fits.
    const auto far = std::find_if(skipped.begin(), skipped.end(),
                                  [&](const auto& s) { return s.first.rfind(Start + "/sub/", 0) == 0; });
    ASSERT_NE(far, skipped.end());
    EXPECT_EQ(deep.compare(0, far->first.size(), far->first), 0);
    EXPECT_EQ(far->second, "Cannot read folder " + far->first + ".\n\nFile name too long");
    const tSkipped locked{Start + "/locked.jpg", skipped[Start + "/locked.jpg"], {}};
    EXPECT_EQ(locked.Line(), Start + "/locked.jpg: Cannot open file " + Start + "/locked.jpg. Permission denied.");

    // What happened, for a host that words it itself: the code, the file, the system's number.
    std::map<std::string, tReason> reasons;
    for (const tSkipped& s : run.Skipped) reasons[s.File] = s.Reason;
    const struct {
        std::string File;
        tReason::TCode Code;
        int Errno;
    } expected[] = {
        {bad, tReason::TCode::JpegError, 0},
        {Start + "/cut.jpg", tReason::TCode::DamagedHead, 0},
        {Start + "/cut.png", tReason::TCode::DamagedFile, 0},
        {Start + "/two.heic", tReason::TCode::CannotClean, 0},
        {Start + "/locked.jpg", tReason::TCode::OpenFile, EACCES},
        {far->first, tReason::TCode::ReadFolder, ENAMETOOLONG},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.File);
        EXPECT_EQ(reasons[e.File].Code, e.Code);
        EXPECT_EQ(reasons[e.File].File, e.File);
        EXPECT_EQ(reasons[e.File].Errno, e.Errno);
    }
    EXPECT_EQ(reasons[Start + "/cut.png"].Detail, "PNG");
    EXPECT_EQ(reasons[Start + "/two.heic"].Detail, "two meta boxes");
    EXPECT_GT(reasons[bad].Number, 0);  // libjpeg's code and its words
    EXPECT_FALSE(reasons[bad].Detail.empty());
}

TEST(ReasonOf, EachErrorOfTheCoreByItsCode)
{
    using TCode = tReason::TCode;
    const struct {
        std::exception_ptr Error;
        TCode Code;
        std::string File, Output;
        int Errno;
        std::string Detail;
    } cases[] = {
        {std::make_exception_ptr(EFileError(EFileError::TStep::Open, "/x/a.jpg", EACCES)), TCode::OpenFile, "/x/a.jpg",
         "", EACCES, ""},
        {std::make_exception_ptr(EFileError(EFileError::TStep::NotRegular, "/x/a.jpg", 0)), TCode::NotRegularFile,
         "/x/a.jpg", "", 0, ""},
        {std::make_exception_ptr(EFileError(EFileError::TStep::Create, "/o/a.jpg", EROFS)), TCode::CreateFile,
         "/x/a.jpg", "/o/a.jpg", EROFS, ""},
        {std::make_exception_ptr(EFileError(EFileError::TStep::Read, "", EIO)), TCode::ReadError, "/x/a.jpg", "", EIO,
         ""},
        {std::make_exception_ptr(EFileError(EFileError::TStep::Write, "", ENOSPC)), TCode::WriteError, "/x/a.jpg", "",
         ENOSPC, ""},
        {std::make_exception_ptr(EFindError(EFindError::TKind::NoStart)), TCode::NoStartFolder, "", "", 0, ""},
        {std::make_exception_ptr(EFindError(EFindError::TKind::StartMissing, "/gone")), TCode::StartMissing, "/gone",
         "", 0, ""},
        {std::make_exception_ptr(EFindError(EFindError::TKind::StartClosed, "/shut", EACCES)), TCode::StartClosed,
         "/shut", "", EACCES, ""},
        // An output that failed after its file was handed on: the cause, for its own source.
        {std::make_exception_ptr(TPublishQueue::EOutputFailed(
             "x", "/x/b.jpg", std::make_exception_ptr(EFileError(EFileError::TStep::Write, "", EIO)))),
         TCode::WriteError, "/x/b.jpg", "", EIO, ""},
        // Anything else keeps its English words, naming the file.
        {std::make_exception_ptr(EMetaError("Output check failed")), TCode::Other, "/x/a.jpg", "", 0,
         "Output check failed.\n\n/x/a.jpg"},
    };
    for (const auto& c : cases) {
        try {
            std::rethrow_exception(c.Error);
        } catch (const std::exception& e) {
            SCOPED_TRACE(e.what());
            const tReason r = ReasonOf(e, "/x/a.jpg");
            EXPECT_EQ(r.Code, c.Code);
            EXPECT_EQ(r.File, c.File);
            EXPECT_EQ(r.Output, c.Output);
            EXPECT_EQ(r.Errno, c.Errno);
            EXPECT_EQ(r.Detail, c.Detail);
        }
    }
    // The English words stay those of the library.
    EXPECT_STREQ(EFileError(EFileError::TStep::Create, "/o/a.jpg", EROFS).what(),
                 "Cannot create file /o/a.jpg.\n\nRead-only file system");
}

TEST_F(BatchRun, TotalsNameWhatWasDoneWithOneFileOrMany)
{
    const struct {
        bool Copy;
        int Changed, Copied, Clean, Skipped;
        const char* Text;
        int LeftAlone = 0;
    } cases[] = {
        {false, 0, 0, 0, 0, "Done  (0 files processed)"},
        {false, 1, 0, 0, 0, "Done  (1 file processed)"},
        {false, 0, 0, 4, 0, "Done  (4 files already clean)"},
        {false, 0, 0, 1, 0, "Done  (1 file already clean)"},
        {false, 2, 0, 4, 1, "Done  (2 files processed, 4 already clean, 1 skipped)"},
        {false, 0, 0, 3, 2, "Done  (3 files already clean, 2 skipped)"},
        {false, 1, 0, 0, 1, "Done  (1 file processed, 1 skipped)"},
        {true, 1, 0, 0, 0, "Done  (1 of 1 file changed.)"},
        {true, 2, 1, 0, 0, "Done  (2 of 3 files changed.)"},
        {true, 0, 0, 4, 0, "Done  (0 of 4 files changed, 4 already clean)"},
        {true, 1, 1, 2, 1, "Done  (1 of 4 files changed, 2 already clean, 1 skipped)"},
        {false, 3, 0, 0, 0, "Done  (3 files processed, 2 files of other types left alone)", 2},
        {false, 0, 0, 1, 1, "Done  (1 file already clean, 1 skipped, 1 file of another type left alone)", 1},
        {true, 1, 1, 0, 0, "Done  (1 of 2 files changed, 1 file of another type left alone)", 1},
        {true, 0, 0, 0, 0, "Done  (0 of 0 files changed, 5 files of other types left alone)", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        options.CopyAll = c.Copy;
        run.ChangedCount = c.Changed;
        run.CopiedCount = c.Copied;
        run.AlreadyCleanCount = c.Clean;
        run.Skipped.assign(static_cast<size_t>(c.Skipped), tSkipped{});
        run.LeftAlone.assign(static_cast<size_t>(c.LeftAlone), tSkipped{});
        EXPECT_EQ(run.FinishedText(), c.Text);
    }
}

namespace {

// Blocks that each carry a marker string, so a leak shows wherever it lands.
std::string MarkedExif(const std::string& mark)
{
    TiffBuilder t(false);
    t.SetFirstDirectory(t.AddDirectory({t.Ascii(0x010F, "MARK-" + mark)}));
    return ExifSegment(t.Bytes());
}

std::string MarkedXmp(const std::string& mark)
{
    return Segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0", 29) +
                             "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/"
                             "22-rdf-syntax-ns#\"><rdf:Description xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
                             "<dc:creator>MARK-" + mark + "</dc:creator></rdf:Description></rdf:RDF></x:xmpmeta>");
}

std::string MarkedIptc(const std::string& mark)
{
    return IptcSegment("MARK-" + mark);
}

}  // namespace

TEST_F(BatchRun, NothingLeavesWithMetadataWhileReportedClean)
{
    const std::string image = TinyJpeg(16, 16);
    const std::string all = MarkedExif("B") + MarkedXmp("B") + Segment(0xFE, "MARK-B") + MarkedIptc("B");
    const std::string second = AfterSoi(TinyJpeg(8, 8), all);
    std::vector<std::string> tiles;  // an index of two-byte "pictures" over the second picture
    const std::string big = AfterSoi(TinyJpeg(32, 32), all + Segment(0xFE, std::string(1200, 'x')));
    for (size_t at = 0; at < big.size(); at += 2) tiles.push_back(big.substr(at, 2));
    const struct {
        const char* Name;
        std::string Bytes;
        bool Refused;
    } cases[] = {
        {"stray", AfterSoi(image, "\x0F\x00\x82"s + MarkedExif("A") + Segment(0xFE, "MARK-A1") +
                                      Segment(0xFE, "MARK-A2")), false},
        {"stray-one-comment", AfterSoi(image, "\x0F\x00\x82"s + MarkedExif("A") + Segment(0xFE, "MARK-A")), false},
        {"ff00", AfterSoi(image, "\xFF\x00"s + MarkedExif("A") + MarkedXmp("A")), false},
        {"stray-in-second", MultiPicture(MarkedExif("A"), {}, {AfterSoi(TinyJpeg(8, 8), MarkedExif("B") + "\x00"s +
                                                                MarkedXmp("B") + Segment(0xFE, "MARK-B"))}), false},
        {"length-1-in-second", MultiPicture({}, {}, {AfterSoi(TinyJpeg(8, 8), MarkedExif("B") +
                                                             "\xFF\xE3\x00\x01"s + Segment(0xFE, "MARK-B"))}), true},
        {"tiled-second", MultiPicture({}, {}, tiles), true},
        {"only-second", MultiPicture({}, {}, {second}), false},
        {"iptc-only-in-second", MultiPicture(MarkedExif("A"), {}, {AfterSoi(TinyJpeg(8, 8), MarkedIptc("B"))}), false},
    };
    for (const auto& c : cases) WriteFile(Start + "/" + c.Name + ".jpg", c.Bytes);
    options.Other = true;
    options.SkipFailed = true;
    options.NewFolder = true;
    options.Output = Out;
    options.CopyAll = true;
    run.Execute(Start, false);

    std::map<std::string, std::string> skipped;
    for (const tSkipped& s : run.Skipped) skipped[s.File] = s.Message;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string source = Start + "/" + c.Name + ".jpg";
        ASSERT_NE(c.Bytes.find("MARK-"), std::string::npos);
        EXPECT_EQ(skipped.count(source), c.Refused ? 1u : 0u);
        if (c.Refused) {
            EXPECT_NE(skipped[source].find(source), std::string::npos) << skipped[source];
            EXPECT_FALSE(Exists(Out + "/" + c.Name + ".jpg"));
            continue;
        }
        const std::string out = ReadFile(Out + "/" + c.Name + ".jpg");
        EXPECT_EQ(out.find("MARK-"), std::string::npos);
        EXPECT_EQ(out.substr(SosOffset(out), 64), c.Bytes.substr(SosOffset(c.Bytes), 64));
    }
    EXPECT_EQ(statuses.back(), "Done  (6 of 6 files changed, 2 skipped)");
}

TEST_F(BatchRun, WithoutKeepGoingTheFirstFailureEndsTheRunNamingTheFile)
{
    WriteFile(Start + "/bad.jpg", RejectedByLibjpeg());
    try {
        run.Execute(Start, false);
        FAIL();
    } catch (const std::exception& e) {
        const std::string message = e.what();
        EXPECT_EQ(message.rfind("JPEG error #", 0), 0u);
        EXPECT_NE(message.find(" in " + Start + "/bad.jpg: "), std::string::npos) << message;
    }
    fs::remove(Start + "/bad.jpg");
    const std::string deep = DeepFolder(Start + "/sub", PATH_MAX + 100, "far.jpg", ExifOnly());
    try {
        run.Execute(Start, true);
        FAIL();
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot read folder " + Start + "/sub/", 0), 0u);
        EXPECT_NE(std::string(e.what()).find(".\n\nFile name too long"), std::string::npos);
    }
}

TEST_F(BatchRun, AnOutputThatFailsWhileTheNextFileIsInHandIsReportedForItsOwnSourceOnly)
{
    WriteFile(Start + "/a.jpg", ExifOnly());
    WriteFile(Start + "/b.jpg", CommentOnly());
    options.NewFolder = true;
    options.Output = Out;
    for (const bool keepGoing : {false, true}) {
        SCOPED_TRACE(keepGoing ? "keep going" : "stop at the first failure");
        fs::remove_all(Out);
        options.SkipFailed = keepGoing;
        // The first publish fails, on a flusher, while the second file waits for it.
        std::atomic<bool> failed{false};
        const TPublishHook hook([&](const tOutputFolder&, const std::string&) {
            if (failed.exchange(true)) return;
            throw EFileError(EFileError::TStep::Write, {}, EIO);
        });
        std::vector<std::string> files;
        run.OnFile = [&](const std::string& file) {
            files.push_back(file);
            for (int i = 0; files.size() == 2 && !failed && i < 10000; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        std::string message;
        tReason reason;
        try {
            run.Execute(Start, false);
            ASSERT_EQ(run.Skipped.size(), 1u);
            EXPECT_EQ(run.Skipped[0].File, files.at(0));
            message = run.Skipped[0].Message;
            reason = run.Skipped[0].Reason;
        } catch (const std::exception& e) {
            message = e.what();
            reason = ReasonOf(e);
        }
        EXPECT_EQ(reason.Code, tReason::TCode::WriteError);
        EXPECT_EQ(reason.File, files.at(0));
        EXPECT_EQ(reason.Errno, EIO);
        ASSERT_EQ(files.size(), 2u);
        EXPECT_EQ(message, "Stream write error.\n\n" + files[0] + ": Input/output error");
        EXPECT_EQ(Names(Out).size(), keepGoing ? 1u : 0u);
    }
}

TEST_F(BatchRun, CopiedTotalsCountSkippedFilesApart)
{
    WriteFile(Start + "/a.jpg", ExifOnly());
    WriteFile(Start + "/b.jpg", Plain());
    WriteFile(Start + "/c.jpg", Damaged());
    options.SkipFailed = true;
    options.NewFolder = true;
    options.Output = Out;
    options.CopyAll = true;
    run.Execute(Start, false);
    EXPECT_EQ(statuses.back(), "Done  (1 of 2 files changed, 1 skipped)");
}

TEST(ForFile, NamesTheFileBeforeTheReasonUnlessTheMessageDoes)
{
    EXPECT_EQ(ForFile("Stream write error.\n\nNo space left on device", "/x/a.jpg"),
              "Stream write error.\n\n/x/a.jpg: No space left on device");
    EXPECT_EQ(ForFile("Output check failed", "/x/a.jpg"), "Output check failed.\n\n/x/a.jpg");
    EXPECT_EQ(ForFile("Cannot open file /x/a.jpg.\n\nGone", "/x/a.jpg"), "Cannot open file /x/a.jpg.\n\nGone");
    EXPECT_EQ(OneLine("Cannot open file /x/a.jpg.\n\nPermission denied"),
              "Cannot open file /x/a.jpg. Permission denied.");
}

// --- Stop and progress.

TEST_F(BatchRun, StopEndsTheRunAfterTheFileInHandWhichIsPublishedWhole)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) WriteFile(Start + "/" + name, ExifOnly());
    options.NewFolder = true;
    options.Output = Out;
    run.OnStatus = [&](const std::string& s) {
        statuses.push_back(s);
        if (s.rfind("Processing ", 0) == 0) run.Stop();
    };
    run.Execute(Start, false);
    EXPECT_TRUE(run.Stopped());
    EXPECT_EQ(statuses.size(), 2u);
    EXPECT_EQ(statuses.back(), "Stopped  (1 file processed)");
    const auto names = Names(Out);
    ASSERT_EQ(names.size(), 1u);  // no temporary file either
    EXPECT_EQ(ImageData(ReadFile(Out + "/" + *names.begin())), ImageData(ExifOnly()));

    // A stop asked for before the run ends it before the first file; it
    // holds until it is reset.
    statuses.clear();
    run.Execute(Start, false);
    EXPECT_EQ(statuses, (std::vector<std::string>{"Stopped  (0 files processed)"}));
    run.ResetStop();
    run.OnStatus = [&](const std::string& s) { statuses.push_back(s); };
    run.Execute(Start, false);
    EXPECT_FALSE(run.Stopped());
    EXPECT_EQ(statuses.back(), "Done  (2 files processed, 1 already clean)");  // the one written before the stop
}

TEST_F(BatchRun, ProgressCountsFilesDoneOfTheTotalCountedFirst)
{
    WriteFile(Start + "/a.jpg", ExifOnly());
    WriteFile(Start + "/b.txt", "");
    WriteFile(Start + "/sub/c.jpg", Plain());
    WriteFile(Start + "/sub/d.jpeg", Plain());
    WriteFile(Start + "/sub/e.jpg", ExifOnly());
    // The outputs land in a folder the walk reaches later: they are no files to count.
    options.NewFolder = true;
    options.Output = Start + "/sub/out";
    options.Flush = false;
    std::vector<std::pair<int, int>> progress;
    run.OnProgress = [&](int done, int total) { progress.emplace_back(done, total); };
    run.OnFile = [&](const std::string&) { EXPECT_FALSE(progress.empty()); };
    run.Execute(Start, true);
    EXPECT_EQ(Names(Start + "/sub/out").size(), 2u);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), std::make_pair(0, 4));
    EXPECT_EQ(progress.back(), std::make_pair(4, 4));
    for (size_t i = 1; i < progress.size(); ++i) {
        EXPECT_EQ(progress[i].second, 4);
        EXPECT_GE(progress[i].first, progress[i - 1].first);
    }
}

// --- Paths and options checked before anything is made.

TEST_F(BatchRun, OptionsAndTheStartFolderAreCheckedBeforeAnythingIsCreated)
{
    options.NewFolder = true;
    options.Output = Out;
    EXPECT_THROW(run.Execute(dir / "missing", false), EFindError);
    EXPECT_FALSE(fs::exists(Out));

    options.Output = "";
    EXPECT_THROW(run.Execute(Start, false), EInvalidOutputFolder);

    // Any other folder text is a folder, however short.
    const auto cwd = fs::current_path();
    fs::current_path(dir.Path());
    options.Output = "t";
    WriteFile(Start + "/a.jpg", ExifOnly());
    EXPECT_NO_THROW(run.Execute(Start, false));
    fs::current_path(cwd);
    EXPECT_TRUE(Exists(dir / "t/a.jpg"));

    options.NewFolder = false;
    options.FilePrefix = "../x_";
    try {
        run.Execute(Start, false);
        FAIL();
    } catch (const EInvalidPrefix& e) {
        EXPECT_EQ(std::string(e.what()).rfind("The file name prefix cannot contain \"/\".", 0), 0u);
    }
    EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"start", "t"}));
}

// --- Resume: what an earlier run wrote counts as done.

TEST_F(BatchRun, ARunAgainFindsItsOutputsAndCreatesNothingTwice)
{
    WriteFile(Start + "/a.jpg", ExifAndComment());
    WriteFile(Start + "/b.jpg", Plain());
    WriteFile(Start + "/sub/c.jpg", WithIptc());
    WriteFile(Start + "/sub/a.jpg", CommentOnly());  // the same name: a_1.jpg
    options.NewFolder = true;
    options.Output = Out;
    options.CopyAll = true;
    run.Execute(Start, true);
    const auto first = Names(Out);
    EXPECT_EQ(first, (std::set<std::string>{"a.jpg", "a_1.jpg", "b.jpg", "c.jpg"}));
    std::map<std::string, std::string> bytes;
    for (const auto& n : first) bytes[n] = ReadFile(Out + "/" + n);

    EXPECT_EQ(statuses.back(), "Done  (3 of 4 files changed.)");
    run.Execute(Start, true);
    EXPECT_EQ(statuses.back(), "Done  (0 of 4 files changed, 4 already clean)");
    EXPECT_EQ(Names(Out), first);

    // A run that stopped half-way: what is missing is made, nothing else.
    fs::remove(Out + "/c.jpg");
    fs::remove(Out + "/b.jpg");
    run.Execute(Start, true);
    EXPECT_EQ(statuses.back(), "Done  (1 of 4 files changed, 2 already clean)");  // and b.jpg copied
    EXPECT_EQ(Names(Out), first);
    for (const auto& n : first) EXPECT_EQ(ReadFile(Out + "/" + n), bytes[n]) << n;

    // Something else under the name is not an output: the next name is taken.
    WriteFile(Out + "/b.jpg", "someone else's");
    fs::remove(Out + "/a_1.jpg");
    run.Execute(Start, true);
    EXPECT_EQ(Names(Out), (std::set<std::string>{"a.jpg", "a_1.jpg", "b.jpg", "b_1.jpg", "c.jpg"}));
    EXPECT_EQ(ReadFile(Out + "/b_1.jpg"), Plain());

    // The first name free again: a later one still holds the output.
    fs::remove(Start + "/a.jpg");
    fs::remove(Out + "/a.jpg");
    run.Execute(Start, true);
    EXPECT_EQ(Names(Out), (std::set<std::string>{"a_1.jpg", "b.jpg", "b_1.jpg", "c.jpg"}));
    EXPECT_EQ(statuses.back(), "Done  (0 of 3 files changed, 3 already clean)");
}

TEST_F(BatchRun, ResumeInPrefixModeAndNeverTakesTheSourceForItsOutput)
{
    WriteFile(Start + "/a.jpg", ExifOnly());
    run.Execute(Start, false);
    run.Execute(Start, false);
    EXPECT_EQ(Names(Start), (std::set<std::string>{"a.jpg", "copy_a.jpg", "sub"}));
    EXPECT_EQ(run.ChangedCount, 0);
    EXPECT_EQ(run.AlreadyCleanCount, 1);

    // An empty prefix: the first name is the source itself, the output a_1.
    options.FilePrefix = "";
    run.Execute(Start, false);
    run.Execute(Start, false);
    EXPECT_EQ(Names(Start), (std::set<std::string>{"a.jpg", "a_1.jpg", "copy_a.jpg", "sub"}));

    // New-folder mode into the start folder with copies: an unchanged file
    // is in the target folder already; a cleaned one goes beside it once.
    WriteFile(Start + "/sub/p.jpg", Plain());
    WriteFile(Start + "/sub/q.jpg", ExifOnly());
    options.NewFolder = true;
    options.Output = Start + "/sub";
    options.CopyAll = true;
    run.Execute(Start + "/sub", false);
    EXPECT_EQ(statuses.back(), "Done  (1 of 2 files changed, 1 already clean)");  // p.jpg is where it goes
    run.Execute(Start + "/sub", false);
    EXPECT_EQ(Names(Start + "/sub"), (std::set<std::string>{"p.jpg", "q.jpg", "q_1.jpg"}));
}
