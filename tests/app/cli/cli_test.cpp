#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/app/core/batch_fixtures.h"
#include "tests/support/tiff_builder.h"
#include "tests/support/file_permissions.h"

using namespace fixture;
namespace fs = std::filesystem;

namespace {

struct TResult {
    int Status;
    std::string Out, Err;
};

// Runs zorezaz-cli with `args` (already quoted for the shell).
TResult Cli(const TempDir& dir, const std::string& args)
{
    const std::string out = dir / "stdout.txt", err = dir / "stderr.txt";
    const std::string cmd = "'" ZOREZAZ_CLI "' " + args + " >'" + out + "' 2>'" + err + "'";
    const int rc = std::system(cmd.c_str());
    TResult r{WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ReadFile(out), ReadFile(err)};
    fs::remove(out);
    fs::remove(err);
    return r;
}

std::string Q(const std::string& s) { return "'" + s + "'"; }

// Starts zorezaz-cli with `args`, output discarded; returns its process id.
// `bound`: the program is held to permission bits even as root.
pid_t Spawn(const std::vector<std::string>& args, bool bound = false)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (bound) BindPermissionsAcrossExec();
        std::vector<char*> argv{const_cast<char*>(ZOREZAZ_CLI)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        freopen("/dev/null", "w", stdout);
        execv(ZOREZAZ_CLI, argv.data());
        _exit(127);
    }
    return pid;
}

// Waits for `pid`; its exit status and peak resident memory in KiB.
std::pair<int, long> Reap(pid_t pid)
{
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss};
}

// Runs zorezaz-cli with `args` held to permission bits, standard error kept.
TResult BoundCli(const TempDir& dir, const std::vector<std::string>& args)
{
    const std::string err = dir / "stderr.txt";
    const pid_t pid = fork();
    if (pid == 0) {
        BindPermissionsAcrossExec();
        std::vector<char*> argv{const_cast<char*>(ZOREZAZ_CLI)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        freopen("/dev/null", "w", stdout);
        freopen(err.c_str(), "w", stderr);
        execv(ZOREZAZ_CLI, argv.data());
        _exit(127);
    }
    const int status = Reap(pid).first;
    TResult r{status, "", ReadFile(err)};
    fs::remove(err);
    return r;
}

std::vector<std::string> NamesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    return names;
}

// The memory a run may take, whatever the size of the file or of its head.
constexpr long kMemoryBoundKiB = 32 * 1024;

// Runs `work` in a child process, so the large buffers it builds never
// belong to this one: a program started from here afterwards would count
// them as its own resident memory.
void InChild(const std::function<void()>& work)
{
    const pid_t pid = fork();
    if (pid == 0) {
        work();
        _exit(0);
    }
    ASSERT_EQ(Reap(pid).first, 0);
}

TEST(CliLimits, MemoryStaysBoundedWhateverTheFileHolds)
{
    TempDir dir;
    const std::string image = TinyJpeg(64, 64);
    const std::string exif = ExifSegment(EmptyTiffLE());
    // A 60 MB trailer, a head of 1,000 blocks of 64 KB, 16 MiB of empty comments.
    const std::vector<std::string> names{"trailer.jpg", "head.jpg", "comments.jpg"};
    InChild([&] {
        std::string manyApp2, emptyComments;
        for (int i = 0; i < 1000; ++i) manyApp2 += Segment(0xE2, std::string(65531, static_cast<char>(i)));
        for (int i = 0; i < (16 << 20) / 4; ++i) emptyComments += Segment(0xFE, "");
        fs::create_directories(dir / "in");
        WriteFile(dir / "in/trailer.jpg", AfterSoi(image, exif) + std::string(60 << 20, '\x5A'));
        WriteFile(dir / "in/head.jpg", AfterSoi(image, exif + manyApp2));
        WriteFile(dir / "in/comments.jpg", AfterSoi(image, exif + emptyComments));
    });
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        fs::create_directories(dir / "one");
        fs::rename(dir / ("in/" + name), dir / ("one/" + name));
        const auto [status, peakKiB] = Reap(Spawn({dir / "one", "--exif", "--com", "--out", dir / "out", "--no-flush"}));
        EXPECT_EQ(status, 0);
        EXPECT_LE(peakKiB, kMemoryBoundKiB);
        InChild([&] {
            const std::string in = ReadFile(dir / ("one/" + name)), out = ReadFile(dir / ("out/" + name));
            if (batchfix::ImageData(out) != batchfix::ImageData(in) || out.find("Exif") != std::string::npos)
                _exit(1);
        });
        fs::remove_all(dir / "one");
        fs::remove_all(dir / "out");
    }
}

// Every file at a final name is whole and fully cleaned: the image bytes of
// its source, no EXIF, no caption.
void ExpectOnlyCleanOutputs(const std::string& out, const std::string& source)
{
    for (const std::string& name : NamesIn(out)) {
        if (name.rfind(".zorezaz-part-", 0) == 0) continue;
        SCOPED_TRACE(name);
        const std::string bytes = ReadFile(out + "/" + name);
        EXPECT_EQ(batchfix::ImageData(bytes), batchfix::ImageData(source));
        EXPECT_EQ(bytes.find("private caption"), std::string::npos);
        EXPECT_EQ(bytes.find("Exif"), std::string::npos);
    }
}

TEST(CliLimits, AKilledRunLeavesNoHalfCleanedFileAndTheNextRunNoTemporaryOne)
{
    TempDir dir;
    fs::create_directories(dir / "in");
    // Large enough that a run takes a while, so the kills land inside it.
    const std::string source = batchfix::WithIptc() + std::string(256 << 10, '\x33');
    for (int i = 0; i < 150; ++i) WriteFile(dir / ("in/p" + std::to_string(i) + ".jpg"), source);
    const std::vector<std::string> args{dir / "in", "--exif", "--com", "--iptc", "--out", dir / "out"};
    // Where the file system makes files without a name, a killed run leaves
    // no entry at all; elsewhere the next run removes what it left.
    const int probe = open(dir.Path().c_str(), O_TMPFILE | O_RDWR, 0600);
    const bool unnamed = probe >= 0;
    if (unnamed) close(probe);
    std::mt19937 rng(12345);
    for (int round = 0; round < 12; ++round) {
        const pid_t pid = Spawn(args);
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 60000));
        kill(pid, SIGKILL);
        Reap(pid);
        if (!fs::exists(dir / "out")) continue;
        ExpectOnlyCleanOutputs(dir / "out", source);
        for (const std::string& name : NamesIn(dir / "out"))
            EXPECT_TRUE(!unnamed || name.rfind(".zorezaz-part-", 0) != 0) << name;
    }
    EXPECT_EQ(Reap(Spawn(args)).first, 0);
    ExpectOnlyCleanOutputs(dir / "out", source);
    for (const std::string& name : NamesIn(dir / "out"))
        EXPECT_NE(name.rfind(".zorezaz-part-", 0), 0u) << name;
}

TEST(Cli, CleansATreeAndPrintsTheStatusTexts)
{
    TempDir dir;
    fs::create_directories(dir / "in/sub");
    WriteFile(dir / "in/a.jpg", batchfix::ExifAndComment());
    WriteFile(dir / "in/sub/b.jpg", batchfix::Plain());

    const TResult r =
        Cli(dir, Q(dir / "in") + " --subfolders --exif --com --out " + Q(dir / "out") + " --copy-unchanged");

    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    EXPECT_NE(r.Out.find("Processing " + dir / "in/a.jpg" + "\n"), std::string::npos);
    EXPECT_NE(r.Out.find("Processing " + dir / "in/sub/b.jpg" + "\n"), std::string::npos);
    EXPECT_EQ(r.Out.substr(r.Out.rfind('\n', r.Out.size() - 2) + 1), "Done  (1 of 2 files changed.)\n");
    EXPECT_EQ(ReadFile(dir / "out/b.jpg"), batchfix::Plain());
    EXPECT_EQ(ReadFile(dir / "out/a.jpg").find("secret words"), std::string::npos);
}

TEST(Cli, FilesLeftAloneAreNamedOnStandardErrorAndAreNoFailure)
{
    TempDir dir;
    fs::create_directories(dir / "in");
    for (const auto& [name, bytes] : batchfix::MixedFolder()) WriteFile(dir / ("in/" + name), bytes);
    for (const char* keepGoing : {"", " --keep-going"}) {
        SCOPED_TRACE(keepGoing);
        fs::remove_all(dir / "out");
        const TResult r = Cli(dir, Q(dir / "in") + " --exif --com --iptc --other --out " + Q(dir / "out") +
                                       " --copy-unchanged" + keepGoing);
        EXPECT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(r.Out.substr(r.Out.rfind("Done")),
                  "Done  (5 of 6 files changed, 2 files of other types left alone)\n");
        std::set<std::string> lines;
        std::istringstream err(r.Err);
        for (std::string line; std::getline(err, line);) lines.insert(line);
        std::set<std::string> expected;
        for (const auto& [name, why] : batchfix::MixedLeftAlone())
            expected.insert("Left alone " + dir / ("in/" + name) + ": " + why);
        EXPECT_EQ(lines, expected);
        std::set<std::string> written;
        for (const auto& e : fs::directory_iterator(dir / "out")) written.insert(e.path().filename());
        std::set<std::string> outputs = batchfix::MixedCleaned();
        outputs.insert("b.jpg");
        EXPECT_EQ(written, outputs);
    }
}

TEST(Cli, TypesChooseWhatIsCleanedAndAnUnknownWordIsAUsageError)
{
    TempDir dir;
    fs::create_directories(dir / "in");
    WriteFile(dir / "in/a.jpg", batchfix::ExifAndComment());
    WriteFile(dir / "in/b.jpeg", batchfix::ExifOnly());
    const std::string leftA = "Left alone " + dir / "in/a.jpg" + ": type not ticked under File types.\n";
    const struct {
        const char* Types;  // nullptr: no --types
        int Status;
        const char* Error;  // the usage error, or the start of standard error
        const char* Done;
    } cases[] = {
        {nullptr, 0, "", "Done  (2 files processed)\n"},
        {"jpeg", 0, "", "Done  (2 files processed)\n"},
        {"webp,jpeg,png", 0, "", "Done  (2 files processed)\n"},
        {"png,webp", 0, "Left alone ", "Done  (0 files processed, 2 files of other types left alone)\n"},
        {"png", 0, "Left alone ", "Done  (0 files processed, 2 files of other types left alone)\n"},
        {"jpeg,gif", 2, "zorezaz-cli: unknown type gif in --types (jpeg, png, webp, heif, video)\n", nullptr},
        {"JPEG", 2, "zorezaz-cli: unknown type JPEG in --types (jpeg, png, webp, heif, video)\n", nullptr},
        {"", 2, "zorezaz-cli: --types needs a comma list of jpeg, png, webp, heif and video\n", nullptr},
        {"jpeg,", 2, "zorezaz-cli: --types needs a comma list of jpeg, png, webp, heif and video\n", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Types ? c.Types : "(none)");
        fs::remove_all(dir / "out");
        const TResult r = Cli(dir, Q(dir / "in") + " --exif --out " + Q(dir / "out") +
                                       (c.Types ? " --types " + Q(c.Types) : std::string()));
        EXPECT_EQ(r.Status, c.Status) << r.Err;
        EXPECT_EQ(r.Err.substr(0, std::string(c.Error).size()), c.Error);
        if (!c.Done) {
            EXPECT_EQ(r.Out, "");
            EXPECT_FALSE(Exists(dir / "out"));
            continue;
        }
        EXPECT_EQ(r.Out.substr(r.Out.rfind("Done")), c.Done);
        // Unticked, the JPEGs are named; nothing is written for them.
        EXPECT_EQ(r.Err.find(leftA) != std::string::npos, *c.Error != '\0');
        EXPECT_EQ(Exists(dir / "out/a.jpg"), *c.Error == '\0');
    }
    EXPECT_EQ(Cli(dir, Q(dir / "in") + " --exif --out " + Q(dir / "out") + " --types").Err,
              "zorezaz-cli: --types needs a value\nTry 'zorezaz-cli --help'.\n");
}

TEST(Cli, PrefixModeAndAnEmptyPrefix)
{
    TempDir dir;
    fs::create_directories(dir / "in");
    WriteFile(dir / "in/a.jpg", batchfix::ExifOnly());
    TResult r = Cli(dir, Q(dir / "in") + " --exif --prefix ''");
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "Processing " + dir / "in/a.jpg" + "\nDone  (1 file processed)\n");
    EXPECT_TRUE(Exists(dir / "in/a_1.jpg"));  // the source's own name is taken
    // Again: the output is there, nothing is written.
    r = Cli(dir, Q(dir / "in") + " --exif --prefix ''");
    EXPECT_EQ(r.Out.substr(r.Out.rfind("Done")), "Done  (1 file already clean)\n");

    // --keep-dates: the output carries the source's last-write time.
    const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "in/a.jpg").c_str(), old, 0), 0);
    EXPECT_EQ(Cli(dir, Q(dir / "in") + " --exif --keep-dates --prefix dated_").Status, 0);
    struct stat st {};
    ASSERT_EQ(::stat((dir / "in/dated_a.jpg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
}

TEST(Cli, RunErrorsGoToStandardErrorAsTheErrorBoxShowsThem)
{
    TempDir dir;
    fs::create_directories(dir / "in");
    TResult r = Cli(dir, Q(dir / "missing") + " --exif --prefix x_");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(r.Err, "Folder " + dir / "missing" + " does not exist.\n");

    r = Cli(dir, "'' --exif --prefix x_");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "Choose a start folder first.\n");

    r = Cli(dir, Q(dir / "in") + " --exif --out " + Q(dir / "a/b"));
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "Cannot create " + dir / "a/b" + ".\n\nNo such file or directory.\n");

    // Nothing to strip is wrong arguments, worded in the command line's own terms.
    r = Cli(dir, Q(dir / "in") + " --prefix x_");
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(r.Err, "zorezaz-cli: nothing to do: give at least one of --exif, --com, --iptc and --other\n"
                     "Try 'zorezaz-cli --help'.\n");

    r = Cli(dir, Q(dir / "in") + " --com --out ''");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "You must specify a valid output folder.\n");

    // A missing start folder is reported before the output folder is made.
    r = Cli(dir, Q(dir / "missing") + " --com --out " + Q(dir / "made"));
    EXPECT_EQ(r.Status, 1);
    EXPECT_FALSE(fs::exists(dir / "made"));

    r = Cli(dir, Q(dir / "in") + " --com --prefix ../x_");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err.rfind("The file name prefix cannot contain \"/\".\n", 0), 0u) << r.Err;
}

TEST(Cli, ArgumentsAreChecked)
{
    TempDir dir;
    TResult r = Cli(dir, "--help");
    EXPECT_EQ(r.Status, 0);
    EXPECT_NE(r.Out.find("Usage: zorezaz-cli START"), std::string::npos);
    EXPECT_NE(r.Out.find("--copy-unchanged"), std::string::npos);
    EXPECT_NE(r.Out.find("--keep-going"), std::string::npos);
    EXPECT_NE(r.Out.find("--types LIST"), std::string::npos);

    for (const std::string args : {"", "in --exif", "in --exif --prefix a --out b", "in --exif --prefix",
                                   "in --exif --prefix a --copy-unchanged", "in out --exif --prefix a",
                                   "in --exif --prefix a --bogus"}) {
        r = Cli(dir, args);
        EXPECT_EQ(r.Status, 2) << args;
        EXPECT_NE(r.Err.find("zorezaz-cli: "), std::string::npos) << args;
        EXPECT_EQ(r.Out, "") << args;
    }
}

TEST(Cli, KeepGoingOverAThousandFilesListsEachBadOneAndARunAgainCreatesNothing)
{
    TempDir dir;
    fs::create_directories(dir / "in/sub");
    const std::string good = batchfix::ExifAndComment();
    const std::string cut = good.substr(0, 40);
    std::set<std::string> bad;
    for (int i = 0; i < 1000; ++i) {
        const std::string name = (i % 2 ? "in/sub/p" : "in/p") + std::to_string(i) + ".jpg";
        const bool damaged = i % 83 == 5;  // a dozen
        WriteFile(dir / name, damaged ? cut : good);
        if (damaged) bad.insert(dir / name);
    }
    ASSERT_EQ(bad.size(), 12u);
    const std::string locked = dir / "in/p0.jpg";
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    bad.insert(locked);
    const std::vector<std::string> args{dir / "in", "--subfolders", "--exif", "--com", "--out", dir / "out",
                                        "--keep-going", "--no-flush"};

    TResult r = BoundCli(dir, args);
    EXPECT_EQ(r.Status, 3) << r.Err;
    std::set<std::string> listed;
    std::istringstream lines(r.Err);
    for (std::string line; std::getline(lines, line);) {
        ASSERT_EQ(line.rfind("Skipped ", 0), 0u) << line;
        const std::string file = line.substr(8, line.find(": ") - 8);
        listed.insert(file);
        const std::string reason = line.substr(line.find(": ") + 2);
        if (file == locked)
            EXPECT_EQ(reason, "Cannot open file " + locked + ". Permission denied.");
        else
            EXPECT_EQ(reason, "Damaged JPEG header in " + file + ".");
    }
    EXPECT_EQ(listed, bad);
    const auto outputs = NamesIn(dir / "out");
    EXPECT_EQ(outputs.size(), 1000u - bad.size());
    for (const std::string& name : outputs) {
        const std::string bytes = ReadFile(dir / ("out/" + name));
        ASSERT_EQ(batchfix::ImageData(bytes), batchfix::ImageData(good)) << name;
        ASSERT_EQ(bytes.find("secret words"), std::string::npos) << name;
    }

    // The same run again: the good files are found done, the bad ones listed again.
    r = BoundCli(dir, args);
    EXPECT_EQ(r.Status, 3);
    EXPECT_EQ(NamesIn(dir / "out").size(), outputs.size());
}

TEST(Cli, ASignalEndsTheRunAfterTheFileInHandLeavingNoTemporaryFile)
{
    TempDir dir;
    fs::create_directories(dir / "in");
    // Large enough that the run is still going when the signal comes.
    const std::string source = batchfix::WithIptc() + std::string(256 << 10, '\x33');
    for (int i = 0; i < 300; ++i) WriteFile(dir / ("in/p" + std::to_string(i) + ".jpg"), source);
    for (const auto& [signal, status] : {std::pair{SIGTERM, 143}, std::pair{SIGINT, 130}}) {
        SCOPED_TRACE(signal);
        fs::remove_all(dir / "out");
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            execl(ZOREZAZ_CLI, ZOREZAZ_CLI, (dir / "in").c_str(), "--exif", "--iptc", "--out",
                  (dir / "out").c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        // The signal comes once the first file is being read.
        std::string printed;
        char c;
        while (printed.find('\n') == std::string::npos && read(out[0], &c, 1) == 1) printed += c;
        kill(pid, signal);
        while (read(out[0], &c, 1) == 1) printed += c;
        close(out[0]);
        EXPECT_EQ(Reap(pid).first, status);
        const std::string last = printed.substr(printed.rfind('\n', printed.size() - 2) + 1);
        EXPECT_EQ(last.rfind("Stopped  (", 0), 0u) << last;
        const auto names = NamesIn(dir / "out");
        EXPECT_LT(names.size(), 300u);
        EXPECT_EQ(last, "Stopped  (" + std::to_string(names.size()) + (names.size() == 1 ? " file" : " files") +
                            " processed)\n");
        ExpectOnlyCleanOutputs(dir / "out", source);
        for (const std::string& name : names) EXPECT_NE(name.rfind(".zorezaz-part-", 0), 0u) << name;
    }
}

}  // namespace

TEST(Cli, ListShowsWhatAFileHoldsAndWhatWouldGo)
{
    TempDir dir;
    fixture::TiffBuilder t(false);
    // A Model without its terminating zero, and IFD1 with a JPEG thumbnail.
    const std::string thumbnail = "\xFF\xD8\xFF\xD9";
    const uint32_t at = t.AddBytes(thumbnail);
    const uint32_t ifd0 = t.AddDirectory({t.Ascii(0x010F, "Maker of cameras"), {0x0110, 2, 8, "Model 10"}});
    t.SetFirstDirectory(ifd0);
    t.SetNextDirectory(ifd0, t.AddDirectory({t.Short(0x0103, 6), t.Long(0x0201, at), t.Long(0x0202, 4)}));
    const std::string xmp = Segment(
        0xE1, std::string("http://ns.adobe.com/xap/1.0/\0", 29) +
                  "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
                  "<rdf:Description xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" "
                  "xmlns:I=\"http://iptc.org/std/Iptc4xmpCore/1.0/xmlns/\" xmp:Rating=\"4\"><dc:creator><rdf:Seq>"
                  "<rdf:li>Jane</rdf:li><rdf:li>John</rdf:li></rdf:Seq></dc:creator><I:CreatorContactInfo "
                  "I:CiAdrCity=\"Springfield\"/><dc:subject><rdf:Bag><rdf:li rdf:parseType=\"Resource\"><I:Name>"
                  "Home</I:Name></rdf:li></rdf:Bag></dc:subject></rdf:Description></rdf:RDF></x:xmpmeta>");
    // Stray bytes before the first block, which decoders pass over too.
    const std::string file =
        AfterSoi(TinyJpeg(), std::string("\x0F\x00\x82", 3) + ExifSegment(t.Bytes()) + xmp + Segment(0xFE, "a note")) + "TRAILER";
    WriteFile(dir / "a.jpg", file);
    const TResult r = Cli(dir, "--list --exif --other " + Q(dir / "a.jpg"));
    EXPECT_EQ(r.Status, 0) << r.Err;
    for (const std::string expected :
         {"APP1   Exif", "removed (EXIF)", "Make = Maker of cameras\n", "Model = Model 10\n", "  XMP: ",
          "\n    xmp:Rating = 4\n", "\n    dc:creator = Jane; John\n",
          "\n    I:CreatorContactInfo/I:CiAdrCity = Springfield\n", "\n    dc:subject[1]/I:Name = Home\n",
          "removed (other)", "COM    comment", "Comment: \"a note\"",
          "Trailer: bytes after the picture, removed (other)", "SOF0",
          "  Thumbnail directory (IFD1):\n    Compression = Jpeg\n", "  Thumbnail: JPEG, 4 bytes\n",
          "  Stray bytes: 3 between the segments, no part of any; never written to an output\n"})
        EXPECT_NE(r.Out.find(expected), std::string::npos) << expected << "\n" << r.Out;
    EXPECT_EQ(r.Out.find("FF0F"), std::string::npos) << r.Out;
    // A packet that is no XML says so, and shows nothing of itself.
    WriteFile(dir / "b.jpg", AfterSoi(TinyJpeg(), Segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0", 29) +
                                                                 "<x:xmpmeta><dc:creator>Jane</x:xmpmeta>")));
    const std::string b = Cli(dir, "--list " + Q(dir / "b.jpg")).Out;
    EXPECT_NE(b.find("  XMP: 39 bytes; not well-formed XML (unbound prefix, line 1)\n"), std::string::npos) << b;
    EXPECT_EQ(b.find("Jane"), std::string::npos) << b;
    EXPECT_EQ(Cli(dir, "--list").Status, 2);

    // The block of the orientation alone that a cleaned file keeps.
    fixture::TiffBuilder o(true);
    o.SetFirstDirectory(o.AddDirectory({o.Short(0x0112, 6)}));
    WriteFile(dir / "b.jpg", AfterSoi(TinyJpeg(), ExifSegment(o.Bytes())));
    const struct {
        const char* Options;
        const char* Fate;
    } fates[] = {
        {"--exif", "kept (orientation only)"},
        {"--exif --drop-orientation", "orientation only, removed only with other metadata"},
        {"--com", "kept"},
    };
    for (const auto& f : fates) {
        const TResult b = Cli(dir, "--list " + std::string(f.Options) + " " + Q(dir / "b.jpg"));
        EXPECT_NE(b.Out.find(std::string("Exif                     36 bytes        ") + f.Fate + "\n"),
                  std::string::npos)
            << f.Options << "\n" << b.Out;
    }
}
