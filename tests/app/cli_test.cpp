#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <sys/wait.h>

#include "tests/app/batch_fixtures.h"

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

TEST(Cli, PrefixModeAndAnEmptyPrefix)
{
    TempDir dir;
    fs::create_directories(dir / "in");
    WriteFile(dir / "in/a.jpg", batchfix::ExifOnly());
    const TResult r = Cli(dir, Q(dir / "in") + " --exif --prefix ''");
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "Processing " + dir / "in/a.jpg" + "\nDone  (1 files processed)\n");
    EXPECT_TRUE(Exists(dir / "in/a_1.jpg"));  // the source's own name is taken
}

TEST(Cli, RunErrorsGoToStandardErrorAsTheErrorBoxShowsThem)
{
    TempDir dir;
    fs::create_directories(dir / "in");
    TResult r = Cli(dir, Q(dir / "missing") + " --exif --prefix x_");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(r.Err, "Device " + dir / "missing" + " not ready.\n");

    r = Cli(dir, Q(dir / "in") + " --exif --out " + Q(dir / "a/b"));
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "Cannot create " + dir / "a/b" + ".\n");

    r = Cli(dir, Q(dir / "in") + " --prefix x_");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "Nothing to do..\n\nYou must select at least one checkbox\n"
                     "(EXIF, COM or IPTC) under Output options.\n");

    r = Cli(dir, Q(dir / "in") + " --com --out ab");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "You must specify a valid output folder.\n");
}

TEST(Cli, ArgumentsAreChecked)
{
    TempDir dir;
    TResult r = Cli(dir, "--help");
    EXPECT_EQ(r.Status, 0);
    EXPECT_NE(r.Out.find("Usage: zorezaz-cli START"), std::string::npos);
    EXPECT_NE(r.Out.find("--copy-unchanged"), std::string::npos);

    for (const std::string args : {"", "in --exif", "in --exif --prefix a --out b", "in --exif --prefix",
                                   "in --exif --prefix a --copy-unchanged", "in out --exif --prefix a",
                                   "in --exif --prefix a --bogus"}) {
        r = Cli(dir, args);
        EXPECT_EQ(r.Status, 2) << args;
        EXPECT_NE(r.Err.find("zorezaz-cli: "), std::string::npos) << args;
        EXPECT_EQ(r.Out, "") << args;
    }
}

}  // namespace
