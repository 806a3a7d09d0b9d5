#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "meta/clean/picture_file.h"
#include "tests/support/jpeg_fixtures.h"

using fixture::TempDir;

namespace {

tPart Part(tPartKind kind, int32_t orientation = 0, bool nothing = false, bool keeps = false)
{
    tPart p;
    p.Kind = kind;
    p.Orientation = orientation;
    p.NothingToRemove = nothing;
    p.KeepsSomething = keeps;
    return p;
}

tChoices Pick(bool exif, bool com, bool iptc, bool other, bool orientation = false)
{
    tChoices c;
    c.Exif = exif;
    c.Comment = com;
    c.Iptc = iptc;
    c.Other = other;
    c.KeepOrientation = orientation;
    return c;
}

TEST(CleaningPolicy, EachKindGoesOnlyWithItsChoiceAndOrientationAndKeptPropertiesAreRewritten)
{
    const tChoices all = Pick(true, true, true, true), none = Pick(false, false, false, false);
    const struct {
        const char* What;
        tPart Part;
        tChoices Choices;
        tFate Fate;
        bool Removes;  // a reason to change the file
    } rows[] = {
        {"EXIF, chosen", Part(tPartKind::Exif, 6), all, tFate::Drop, true},
        {"EXIF, not chosen", Part(tPartKind::Exif, 6), Pick(false, true, true, true), tFate::Keep, false},
        {"EXIF with orientation kept", Part(tPartKind::Exif, 6), Pick(true, false, false, false, true), tFate::Rewrite, true},
        {"EXIF of orientation 1, orientation kept", Part(tPartKind::Exif, 1), Pick(true, false, false, false, true), tFate::Drop, true},
        {"orientation-only EXIF, kept", Part(tPartKind::Exif, 6, true), Pick(true, false, false, false, true), tFate::Keep, false},
        {"orientation-only EXIF, orientation not wanted", Part(tPartKind::Exif, 6, true), all, tFate::Drop, false},
        {"comment", Part(tPartKind::Comment), Pick(false, true, false, false), tFate::Drop, true},
        {"empty comment", Part(tPartKind::Comment, 0, true), all, tFate::Drop, false},
        {"comment, other chosen", Part(tPartKind::Comment), Pick(false, false, false, true), tFate::Keep, false},
        {"IPTC", Part(tPartKind::Iptc), Pick(false, false, true, false), tFate::Drop, true},
        {"IPTC beside resources", Part(tPartKind::Iptc, 0, false, true), all, tFate::Rewrite, true},
        {"XMP", Part(tPartKind::Other), Pick(false, false, false, true), tFate::Drop, true},
        {"XMP with gain-map properties", Part(tPartKind::Other, 0, false, true), all, tFate::Rewrite, true},
        {"XMP of gain-map properties alone", Part(tPartKind::Other, 0, true, true), all, tFate::Rewrite, false},
        {"other, not chosen", Part(tPartKind::Other), Pick(true, true, true, false), tFate::Keep, false},
        {"colour profile", Part(tPartKind::Display), all, tFate::Keep, false},
        {"picture data", Part(tPartKind::Picture), all, tFate::Keep, false},
        {"EXIF, nothing chosen", Part(tPartKind::Exif, 6), none, tFate::Keep, false},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(FateOf(r.Part, r.Choices), r.Fate) << r.What;
        EXPECT_EQ(Removes(r.Part, r.Choices), r.Removes) << r.What;
    }
}

// A format of lines: "E..." is EXIF, "C..." a comment, anything else the
// picture. It is enough to drive the check before publish.
class tLineFile : public tPictureFile {
public:
    explicit tLineFile(int fd)
    {
        FSource = tFileHandle(::dup(fd));
        std::string all(static_cast<size_t>(::lseek(fd, 0, SEEK_END)), '\0');
        if (!ReadAt(fd, all.data(), all.size(), 0)) throw EDamagedFile("cannot read");
        for (size_t at = 0; at < all.size();) {
            const size_t end = std::min(all.find('\n', at), all.size() - 1) + 1;
            tPart p;
            p.Kind = all[at] == 'E' ? tPartKind::Exif : all[at] == 'C' ? tPartKind::Comment : tPartKind::Picture;
            p.Offset = static_cast<int64_t>(at);
            p.Length = static_cast<int64_t>(end - at);
            FParts.push_back(p);
            at = end;
        }
    }
    tFileType Type() const override { return tFileType::Jpeg; }
    const tPlan& Plan(const tChoices& choices) override
    {
        FPlan.Pieces.clear();
        FPlan.Length = 0;
        FPlan.SourceFd = FSource.Get();
        for (const tPart& p : FParts)
            if (FateOf(p, choices) == tFate::Keep) FPlan.AddRange(p.Offset, p.Length);
        return FPlan;
    }
    tPlan FPlan;

protected:
    std::unique_ptr<tPictureFile> Reread(int fd, const std::vector<tPart>&) const override { return std::make_unique<tLineFile>(fd); }
};

TEST(CheckBeforePublish, FiresForEveryWayAWrittenCopyCanDifferFromItsPlan)
{
    TempDir dir;
    const std::string src = dir.Write("a.txt", "picture 1\nE camera\nC hello\npicture 2\n");
    const tFileHandle in(::open(src.c_str(), O_RDONLY | O_CLOEXEC));
    const tChoices exif = Pick(true, false, false, false);
    const struct {
        const char* What;
        void (*Alter)(tPlan&);
        bool Fires;
    } rows[] = {
        {"the plan as made", [](tPlan&) {}, false},
        {"a dropped part written after all", [](tPlan& p) { p.AddRange(10, 9); }, true},
        {"new bytes that bring the kind back", [](tPlan& p) { p.AddBytes("E again\n"); }, true},
        {"a length other than planned", [](tPlan& p) { p.Length += 1; }, true},
        {"a kept range from the wrong place", [](tPlan& p) { p.Pieces[0].Offset += 1; }, true},
        {"a kept part left out", [](tPlan& p) { p.Length -= p.Pieces.back().Length; p.Pieces.pop_back(); }, true},
    };
    for (const auto& r : rows) {
        tLineFile file(in.Get());
        file.Plan(exif);
        tPlan& plan = file.FPlan;
        r.Alter(plan);
        const auto folder = std::make_shared<const tOutputFolder>(dir.Path(), "out", true);
        tPendingFile out(folder, "out");
        if (r.Fires)
            EXPECT_THROW(file.Write(plan, out, src, exif), ECheckFailed) << r.What;
        else
            EXPECT_NO_THROW(file.Write(plan, out, src, exif)) << r.What;
    }
}

TEST(WritePlan, APlanThatKeepsOffsetsIsOneCopyOfTheSourceWithTheNewBytesOver)
{
    TempDir dir;
    // Three megabytes and a part page, no two pages alike: a byte out of
    // place shows.
    std::string source((3 << 20) + 1000, '\0');
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<char>(i * 7 + i / 4093);
    const std::string src = dir.Write("a", source);
    const tFileHandle in(::open(src.c_str(), O_RDONLY | O_CLOEXEC));
    std::vector<size_t> copies;
    CopyFileRangeHook = [&](int from, off_t* offset, int to, size_t length) {
        copies.push_back(length);
        return ::copy_file_range(from, offset, to, nullptr, length, 0);
    };
    const int64_t n = int64_t(source.size());
    // The whole pages are one copy; the part page is written.
    const size_t pages = size_t(n) / 4096 * 4096;
    std::string big((1 << 20) + 5000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 13 + i / 4099);
    const struct {
        const char* What;
        std::vector<tPlan::tPiece> Pieces;
        std::vector<size_t> Copies;  // what the kernel was asked to copy, in turn
        // Source bytes the plan knows from memory (offset, length); their
        // middle byte differs from the file's, to show it is written.
        std::pair<int64_t, int64_t> Known = {0, 0};
    } rows[] = {
        {"bytes replaced in place", {{0, 4, {}}, {-1, 0, "xx"}, {6, n - 6, {}}}, {pages}},
        {"bytes at both ends and far apart",
         {{-1, 0, "x"}, {1, 5000, {}}, {-1, 0, "yy"}, {5003, 1500000, {}}, {-1, 0, "z"}, {1505004, n - 1505005, {}},
          {-1, 0, "w"}},
         {pages}},
        {"bytes in place, the source around them known from mid-page to mid-page",
         {{0, 10000, {}}, {-1, 0, "xx"}, {10002, n - 10002, {}}},
         {pages},
         {9000, 2400}},
        {"bytes over more than a megabyte", {{0, 70000, {}}, {-1, 0, big}, {70000 + int64_t(big.size()), n - 70000 - int64_t(big.size()), {}}},
         {pages}},
        // Short ranges go out with the new bytes.
        {"a range left out", {{0, 4, {}}, {6, n - 6, {}}}, {size_t(n - 6)}},
        {"bytes of another length", {{0, 4, {}}, {-1, 0, "x"}, {6, n - 6, {}}, {3, 5, {}}}, {size_t(n - 6)}},
        {"a long range before a short one", {{1, 20000, {}}, {0, 4, {}}, {30000, 20000, {}}}, {20000, 20000}},
    };
    for (const auto& r : rows) {
        tPlan plan;
        plan.SourceFd = in.Get();
        std::string known = source;
        if (const auto [at, length] = r.Known; length > 0) {
            const size_t middle = size_t(at + length / 2);
            known[middle] = static_cast<char>(known[middle] ^ 1);
            auto bytes = std::make_shared<tFileBytes>(at, size_t(length));
            std::memcpy(bytes->Data(), known.data() + at, size_t(length));
            plan.Known = bytes;
        }
        std::string expected;
        for (const tPlan::tPiece& p : r.Pieces) {
            p.Offset < 0 ? plan.AddBytes(p.Bytes) : plan.AddRange(p.Offset, p.Length);
            expected += p.Offset < 0 ? p.Bytes : known.substr(size_t(p.Offset), size_t(p.Length));
        }
        copies.clear();
        const auto folder = std::make_shared<const tOutputFolder>(dir.Path(), "out", true);
        tPendingFile out(folder, "out");
        WritePlan(plan, out);
        std::string written(expected.size() + 1, '\0');
        EXPECT_EQ(::pread(out.Fd(), written.data(), written.size(), 0), static_cast<ssize_t>(expected.size())) << r.What;
        written.resize(expected.size());
        EXPECT_TRUE(written == expected) << r.What;
        EXPECT_EQ(copies, r.Copies) << r.What;
        EXPECT_TRUE(OutputFollowsPlan(plan, out.Fd())) << r.What;
        // What a re-scan read of a copy in place is taken as the copy's: a
        // byte wrong there is wrong.
        tFileBytes kept(0, 6000);
        std::memcpy(kept.Data(), written.data(), 6000);
        EXPECT_TRUE(OutputFollowsPlan(plan, out.Fd(), &kept)) << r.What;
        kept.Data()[10] = static_cast<char>(kept.Data()[10] ^ 1);
        EXPECT_EQ(OutputFollowsPlan(plan, out.Fd(), &kept), !KeepsOffsets(plan)) << r.What;
        // A kept byte beside the last new piece, or at the start, changed
        // after all: the check sees it.
        int64_t at = 0, beside = 0;
        for (const tPlan::tPiece& p : plan.Pieces) {
            at += p.Offset < 0 ? int64_t(p.Bytes.size()) : p.Length;
            if (p.Offset < 0 && at < n) beside = at;
        }
        for (const int64_t changed : {beside, int64_t{0}}) {
            char c = 0;
            ASSERT_EQ(::pread(out.Fd(), &c, 1, changed), 1);
            c = static_cast<char>(c ^ 1);
            ASSERT_EQ(::pwrite(out.Fd(), &c, 1, changed), 1);
            EXPECT_FALSE(OutputFollowsPlan(plan, out.Fd())) << r.What << ", byte " << changed;
            c = static_cast<char>(c ^ 1);
            ASSERT_EQ(::pwrite(out.Fd(), &c, 1, changed), 1);
        }
    }
    CopyFileRangeHook = nullptr;
}

}  // namespace
