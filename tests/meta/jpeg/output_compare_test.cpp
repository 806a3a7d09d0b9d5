#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "meta/jpeg/img_data.h"
#include "meta/clean/plan.h"
#include "store/file_io.h"
#include "tests/support/jpeg_fixtures.h"

using namespace fixture;
using namespace std::string_literals;

namespace {

struct tOpen {
    explicit tOpen(const std::string& path) : Fd(::open(path.c_str(), O_RDONLY)) {}
    ~tOpen() { ::close(Fd); }
    int Fd;
};

TEST(OutputCheck, AWrittenFileThatDoesNotMatchItsPlanNeverGetsItsName)
{
    TempDir dir;
    const std::string second = AfterSoi(TinyJpeg(8, 8), Segment(0xFE, "second"));
    const std::string src = dir.Write(
        "a.jpg", MultiPicture(ExifSegment(EmptyTiffLE()) + Segment(0xE1, "vendor"), Segment(0xFE, "first"), {second}));
    // Each plan is altered after planning, as a faulty planner would leave it.
    const struct {
        const char* What;
        void (*Alter)(tOutputPlan&);
    } faults[] = {
        {"an EXIF block kept though removed", [](tOutputPlan& p) { p.ExifRemoved = true; }},
        {"another program's block kept though removed", [](tOutputPlan& p) { p.OtherRemoved = true; }},
        {"a comment other than planned", [](tOutputPlan& p) { p.CheckComment = true; }},
        {"a further picture's comment kept", [](tOutputPlan& p) { p.FurtherCleaning.Comment = true; }},
        {"a length other than planned", [](tOutputPlan& p) { p.Length += 1; }},
        {"the image data not where the head ends", [](tOutputPlan& p) { p.HeadLength -= 1; }},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.What);
        TimgData data(255);
        data.ScanFile(src);
        tOutputPlan plan = data.PlanOutput(false);
        ASSERT_EQ(plan.FurtherPictures.size(), 1u);
        f.Alter(plan);
        auto folder = std::make_shared<const tOutputFolder>(dir.Path(), dir / "out.jpg");
        tPendingFile out(folder, dir / "out.jpg");
        try {
            data.WriteOutput(plan, out, src);
            ADD_FAILURE() << "no error";
        } catch (const EMetaError& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot clean " + src + ": the written file did not match what was planned");
        }
    }
    EXPECT_FALSE(Exists(dir / "out.jpg"));
}

TEST(OutputMatches, KnowsTheWrittenOutputAndNoFileThatDiffersAnywhere)
{
    TempDir dir;
    const std::string head = ExifSegment(EmptyTiffLE()) + Segment(0xE2, "ICC_PROFILE kept") + Segment(0xFE, "gone");
    const std::string src = dir.Write("a.jpg", AfterSoi(TinyJpeg(16, 16), head) + "trailer");
    TimgData data(255);
    ASSERT_TRUE(data.ScanFile(src));
    data.ReplaceComment("");
    data.ExifRef = kNoRef;
    const tOutputPlan plan = data.PlanOutput(false);
    ASSERT_GE(plan.Pieces.size(), 2u);  // new bytes and source ranges
    {
        auto folder = std::make_shared<const tOutputFolder>(dir.Path(), dir / "out.jpg");
        tPendingFile out(folder, dir / "out.jpg");
        data.WriteOutput(plan, out, dir / "out.jpg");
        out.Publish("out.jpg", false);
    }
    const std::string written = ReadFile(dir / "out.jpg");
    EXPECT_TRUE(OutputMatches(plan, tOpen(dir / "out.jpg").Fd));

    // One byte changed in the header, in the kept segment, in the image data,
    // in the trailer; one byte more; one less.
    const size_t kept = written.find("ICC_PROFILE kept");
    const size_t image = SosOffset(written) + 4;
    std::vector<std::string> others;
    for (size_t at : {size_t{3}, kept + 2, image, written.size() - 1}) {
        std::string other = written;
        other[at] ^= 0x01;
        others.push_back(other);
    }
    others.push_back(written + "x");
    others.push_back(written.substr(0, written.size() - 1));
    others.push_back("");
    for (size_t i = 0; i < others.size(); ++i) {
        WriteFile(dir / "other.jpg", others[i]);
        EXPECT_FALSE(OutputMatches(plan, tOpen(dir / "other.jpg").Fd)) << i;
    }
    // The source itself is not its cleaned output.
    EXPECT_FALSE(OutputMatches(plan, tOpen(src).Fd));
}

TEST(SameContent, ComparesEveryByte)
{
    TempDir dir;
    const std::string big(200 * 1024, 'z');  // more than one chunk
    std::string late = big;
    late[150 * 1024] = 'y';
    dir.Write("a", big);
    dir.Write("b", big);
    dir.Write("c", late);
    dir.Write("d", big + "!");
    dir.Write("e", "");
    dir.Write("f", "");
    EXPECT_TRUE(SameContent(tOpen(dir / "a").Fd, tOpen(dir / "b").Fd));
    EXPECT_FALSE(SameContent(tOpen(dir / "a").Fd, tOpen(dir / "c").Fd));
    EXPECT_FALSE(SameContent(tOpen(dir / "a").Fd, tOpen(dir / "d").Fd));
    EXPECT_TRUE(SameContent(tOpen(dir / "e").Fd, tOpen(dir / "f").Fd));
}

TEST(FileErrors, CarryTheSystemsReasonBelowThePlainMessage)
{
    EXPECT_EQ(WithReason("Cannot create file /x/a.jpg", EROFS), "Cannot create file /x/a.jpg.\n\nRead-only file system");
    // A message that ends in a character before "." gets no full stop, as in an error box.
    EXPECT_EQ(WithReason("Cannot open file /x/(1)", "Gone"), "Cannot open file /x/(1)\n\nGone");
    EXPECT_EQ(WithReason("Stream write error", ""), "Stream write error.");
    TempDir dir;
    try {
        OpenForReading(dir.Path());
        FAIL();
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + dir.Path() + ".\n\nNot a regular file");
    }
    try {
        tOutputFolder folder(dir / "missing", dir / "missing/a.jpg");
        FAIL();
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + dir / "missing/a.jpg" + ".\n\nNo such file or directory");
    }
}

}  // namespace
