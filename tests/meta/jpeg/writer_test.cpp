#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "meta/exif/image_info.h"
#include "meta/jpeg/img_data.h"
#include "meta/jpeg/jpeg_image.h"
#include "store/file_io.h"
#include "tests/support/file_permissions.h"
#include "tests/support/jpeg_fixtures.h"
#include "tests/support/tiff_builder.h"

using namespace fixture;
using namespace std::string_literals;

namespace {

const std::string kSoi = "\xFF\xD8"s;
const std::string kTemplate =
    "\xFF\xE0\x00\x10\x4A\x46\x49\x46\x00\x01\x02\x01\x01\x2C\x01\x2C\x00\x00"s;
const std::string kEmptyCom = "\xFF\xFE\x00\x02"s;
const std::string kApp0 = Segment(0xE0, "JFIF\0\x01\x01\0\0\x01\0\x01\0\0"s);
const std::string kExif = ExifSegment(EmptyTiffLE());
const std::string kXmp = Segment(0xE1, "http://ns.adobe.com/xap/1.0/\0<x/>"s);
const std::string kApp2 = Segment(0xE2, "ICC_PROFILE");
const std::string kIptc = Segment(0xED, "Photoshop 3.0\0 old"s);
const std::string kCom1 = Segment(0xFE, "first");
const std::string kCom2 = Segment(0xFE, "second");

struct tStrip {
    bool Exif = false, Comment = false;
};

class Writer : public ::testing::Test {
protected:
    // Scans SOI + head + image, applies the batch's choices, writes, returns the output.
    std::string Clean(const std::string& head, tStrip strip)
    {
        const std::string src = dir.Write("src.jpg", AfterSoi(image, head));
        EXPECT_TRUE(data.ScanFile(src));
        if (strip.Comment) data.ReplaceComment("");
        if (strip.Exif) data.ExifRef = kNoRef;
        const std::string target = dir / ("out" + std::to_string(++outputs) + ".jpg");
        data.SaveAs(target);
        return ReadFile(target);
    }
    std::string Rest() const { return image.substr(2); }  // DQT ... EOI of the image

    TempDir dir;
    TimgData data{255};
    std::string image = TinyJpeg();
    int outputs = 0;
};

TEST_F(Writer, CanonicalLayoutsByteForByte)
{
    EXPECT_EQ(Clean(kApp0 + kExif, {true, true}), kSoi + kApp0 + kEmptyCom + Rest());
    EXPECT_EQ(Clean(kExif, {true, false}), kSoi + kTemplate + Rest());
    EXPECT_EQ(Clean(kApp0 + kExif, {false, true}), kSoi + kExif + kEmptyCom + Rest());
    EXPECT_EQ(Clean(kApp0 + kExif + kIptc + kCom1, {true, false}),
              kSoi + kApp0 + kIptc + kCom1 + Rest());
    EXPECT_EQ(Clean(kApp0 + kExif + kIptc + kCom1, {false, true}),
              kSoi + kExif + kIptc + kEmptyCom + Rest());
    EXPECT_EQ(Clean(kIptc, {true, true}), kSoi + kTemplate + kIptc + kEmptyCom + Rest());
}

TEST_F(Writer, EverythingFromSosOnIsCopiedWithTrailingBytes)
{
    image = TinyJpeg(16, 16);
    const std::string trailer = "after EOI \0\xFF\xD9 trailer"s;
    const std::string src = dir.Write("t.jpg", AfterSoi(image, kExif + kCom1) + trailer);
    ASSERT_TRUE(data.ScanFile(src));
    data.ExifRef = kNoRef;
    data.ReplaceComment("");
    data.SaveAs(dir / "t-out.jpg");
    const std::string in = ReadFile(src), out = ReadFile(dir / "t-out.jpg");
    EXPECT_EQ(out.substr(SosOffset(out)), in.substr(SosOffset(in)));
}

TEST_F(Writer, HeadsAroundTheFirstReadAreWrittenWhole)
{
    // The scan reads 32 KiB first; libjpeg later takes those bytes from
    // memory and reads on from the file. Heads that end just before, at and
    // after that point, and a frame header that straddles it.
    for (const size_t end : {32768 - 200, 32768 - 40, 32768 - 20, 32768 - 8, 32768, 32768 + 10, 100000}) {
        SCOPED_TRACE(end);
        // SOI, the blocks, kept APP2 segments filling up to `end`, then the
        // image's own head.
        std::string app2;
        for (size_t left = end - 2 - kExif.size() - kCom1.size(); left > 0;) {
            const size_t take = std::min<size_t>(left, 60000);
            app2 += Segment(0xE2, std::string(take - 4, 'p'));
            left -= take;
        }
        const std::string head = kExif + kCom1 + app2;
        ASSERT_EQ(2 + head.size(), end);
        const std::string out = Clean(head, {true, true});
        EXPECT_EQ(out, kSoi + kTemplate + kEmptyCom + app2 + Rest());
    }
}

TEST_F(Writer, AScanOfAnOpenFileWritesFromThatFileWhateverItsNameComesToLeadTo)
{
    const std::string src = dir.Write("open.jpg", AfterSoi(image, kExif + kCom1));
    struct stat st;
    tFileHandle file(OpenForReading(src, st));
    ASSERT_TRUE(data.ScanFile(src, std::move(file), st));
    // Another file under the name, with another head: not what is written.
    ASSERT_EQ(unlink(src.c_str()), 0);
    dir.Write("open.jpg", AfterSoi(TinyJpeg(16, 16), kCom2));
    data.ExifRef = kNoRef;
    const tOutputPlan plan = data.PlanFromScanned(false);
    const auto folder = std::make_shared<const tOutputFolder>(dir.Path(), dir / "open-out.jpg");
    tPendingFile out(folder, dir / "open-out.jpg");
    data.WriteOutput(plan, out, dir / "open-out.jpg");
    out.Publish("open-out.jpg", false);
    EXPECT_EQ(ReadFile(dir / "open-out.jpg"), kSoi + kTemplate + kCom1 + Rest());
}

TEST_F(Writer, KeptCommentIsNeverLostNorDoubled)
{
    // The comment written in the header is the last one; the first stays in place.
    const std::string out = Clean(kApp0 + kCom1 + kCom2, {true, false});
    EXPECT_EQ(out, kSoi + kApp0 + kCom2 + kCom1 + Rest());
    EXPECT_EQ(Clean(kApp0 + kCom1 + kCom2, {false, true}), kSoi + kApp0 + kEmptyCom + Rest());
}

TEST_F(Writer, StrippedExifIsGoneWhereverItStood)
{
    EXPECT_EQ(Clean(kApp2 + kExif, {true, false}), kSoi + kTemplate + kApp2 + Rest());
    // A second Exif block is stripped with the first.
    EXPECT_EQ(Clean(kExif + kApp2 + kExif, {true, false}), kSoi + kTemplate + kApp2 + Rest());
    // With EXIF kept, the block is written once, in front.
    EXPECT_EQ(Clean(kApp2 + kExif, {false, false}), kSoi + kExif + kApp2 + Rest());
}

TEST_F(Writer, XmpAfterExifIsKeptWhenExifIsKept)
{
    EXPECT_EQ(Clean(kExif + kXmp, {false, true}), kSoi + kExif + kEmptyCom + kXmp + Rest());
    EXPECT_EQ(Clean(kExif + kXmp, {true, false}), kSoi + kTemplate + kXmp + Rest());
}

TEST_F(Writer, ReplacedIptcRemovesEveryOldBlock)
{
    const std::string src = dir.Write("i.jpg", AfterSoi(TinyJpeg(), kIptc + kApp2 + kIptc));
    ASSERT_TRUE(data.ScanFile(src));
    data.ReplaceIptcSegment("Photoshop 3.0\0new"s);
    data.SaveTo(dir / "i-out.jpg", true);
    EXPECT_EQ(ReadFile(dir / "i-out.jpg"),
              kSoi + kTemplate + Segment(0xED, "Photoshop 3.0\0new"s) + kApp2 + TinyJpeg().substr(2));
}

TEST_F(Writer, ReplaceCommentAddsAnEntryOnlyWhenNeeded)
{
    const std::string src = dir.Write("c.jpg", AfterSoi(TinyJpeg(), kExif));
    ASSERT_TRUE(data.ScanFile(src));
    const int32_t before = data.SegmentCount;
    data.ReplaceComment("");
    EXPECT_EQ(data.SegmentCount, before + 1);
    data.ReplaceComment("abc");
    EXPECT_EQ(data.SegmentCount, before + 1);
    EXPECT_EQ(data.Section(data.CommentRef)->Bytes, "\x00\x05" "abc"s);
    EXPECT_EQ(data.Section(data.CommentRef)->SegLength, 5);
    EXPECT_THROW(data.ReplaceComment(std::string(65534, 'x')), EMetaError);
    EXPECT_NO_THROW(data.ReplaceComment(std::string(65533, 'x')));
}

TEST_F(Writer, NeverReplacesAFileItDidNotWrite)
{
    const std::string src = dir.Write("n.jpg", AfterSoi(TinyJpeg(), kCom1));
    ASSERT_TRUE(data.ScanFile(src));
    const std::string target = dir.Write("taken.jpg", "someone else's");
    try {
        data.SaveAs(target);
        FAIL() << "replaced an existing file";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + target + ".\n\nFile exists");
    }
    EXPECT_EQ(ReadFile(target), "someone else's");
    // A dangling link holds the name too.
    const std::string link = dir / "link.jpg";
    ASSERT_EQ(symlink((dir / "nowhere").c_str(), link.c_str()), 0);
    EXPECT_THROW(data.SaveAs(link), std::runtime_error);
    EXPECT_FALSE(Exists(dir / "nowhere"));
}

// Makes every pending file a named temporary for one scope, as on a file
// system without unnamed files.
struct TNamedTemporaries {
    explicit TNamedTemporaries(bool on) { ForceNamedTemporaries = on; }
    ~TNamedTemporaries() { ForceNamedTemporaries = false; }
};

TEST_F(Writer, SecondWriteOfItsOwnTargetReplacesIt)
{
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "named temporary" : "unnamed file");
        const TNamedTemporaries seam(named);
        const std::string src = dir.Write("s.jpg", AfterSoi(TinyJpeg(), kCom1));
        ASSERT_TRUE(data.ScanFile(src));
        const std::string target = dir / (named ? "s-named.jpg" : "s-out.jpg");
        data.SaveAs(target);
        data.ReplaceComment("");
        data.SaveAs(target);
        EXPECT_EQ(ReadFile(target), kSoi + kTemplate + kEmptyCom + TinyJpeg().substr(2));
        // After a new scan the old output is no longer ours to replace.
        ASSERT_TRUE(data.ScanFile(src));
        EXPECT_THROW(data.SaveAs(target), std::runtime_error);
    }
}

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* d = opendir(folder.c_str());
    while (dirent* e = readdir(d))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(Writer, FailedLoadCreatesNoTargetAndLeavesNoTemporaryFile)
{
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "named temporary" : "unnamed file");
        const TNamedTemporaries seam(named);
        // A whole head, but a frame header libjpeg rejects (a length of 3).
        const std::string src =
            dir.Write("bad.jpg", "\xFF\xD8"s + kCom1 + "\xFF\xC0\x00\x03\x08"s + TinyJpeg().substr(2));
        ASSERT_TRUE(data.ScanFile(src));
        EXPECT_THROW(data.SaveAs(dir / "bad-out.jpg"), EJPEG);
        EXPECT_FALSE(Exists(dir / "bad-out.jpg"));
        ASSERT_TRUE(data.ScanFile(dir.Write("gone.jpg", AfterSoi(TinyJpeg(), kCom1))));
        unlink((dir / "gone.jpg").c_str());
        try {
            data.SaveAs(dir / "gone-out.jpg");
            FAIL();
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Cannot open file " + dir / "gone.jpg" + ".\n\nNo such file or directory");
        }
        EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"bad.jpg"});
    }
}

// The mark a file carries, or "" without one.
std::string MarkOf(int fd)
{
    char value[64];
    const ssize_t n = fgetxattr(fd, kTemporaryMark, value, sizeof value);
    return n < 0 ? std::string() : std::string(value, static_cast<size_t>(n));
}

// Whether files in `folder` can carry user attributes.
bool KeepsAttributes(const std::string& folder)
{
    const std::string probe = folder + "/attribute-probe";
    const int fd = open(probe.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    const bool keeps = fd >= 0 && fsetxattr(fd, "user.probe", "1", 1, 0) == 0;
    if (fd >= 0) close(fd);
    unlink(probe.c_str());
    return keeps;
}

TEST_F(Writer, APendingFileHasNoNameWhereItNeedsNoneAndOurMarkOnlyWhileNamed)
{
    const auto folder = std::make_shared<const tOutputFolder>(dir.Path(), dir / "x");
    // Unnamed files linked by their descriptor, then through /proc.
    for (const std::string road : {"n", "u", "p"}) {
        const bool named = road == "n";
        SCOPED_TRACE(named ? "named temporary" : road == "u" ? "unnamed file" : "unnamed file, through /proc");
        const TNamedTemporaries seam(named);
        const struct TByDescriptor {
            explicit TByDescriptor(bool on) { LinkByDescriptor = on; }
            ~TByDescriptor() { LinkByDescriptor = true; }
        } byDescriptor(road != "p");
        for (const bool replace : {false, true}) {
            const std::string target = road + (replace ? "-replaced" : "-new");
            if (replace) dir.Write(target, "old");
            {
                // Unpublished: while written, a name only on the named road, and none after.
                tPendingFile out(folder, dir / target);
                out.Write("half");
                const std::vector<std::string> during = Names(dir.Path());
                EXPECT_EQ(out.TempName().empty(), !named);
                if (named) {
                    EXPECT_TRUE(IsTemporaryName(out.TempName())) << out.TempName();
                    EXPECT_NE(std::find(during.begin(), during.end(), out.TempName()), during.end());
                    // Unmarked only where the file system keeps no attributes.
                    if (KeepsAttributes(dir.Path())) {
                        EXPECT_EQ(kTemporaryPrefix + MarkOf(out.Fd()), out.TempName());
                    }
                }
            }
            const std::vector<std::string> before = Names(dir.Path());
            EXPECT_TRUE(std::none_of(before.begin(), before.end(), IsTemporaryName));
            tPendingFile out(folder, dir / target);
            out.Write("whole");
            EXPECT_EQ(out.Publish(target, replace), target);
            EXPECT_EQ(ReadFile(dir / target), "whole");
            const int fd = open((dir / target).c_str(), O_RDONLY);
            EXPECT_EQ(MarkOf(fd), "");  // an output never carries the mark
            close(fd);
            const std::vector<std::string> after = Names(dir.Path());
            EXPECT_TRUE(std::none_of(after.begin(), after.end(), IsTemporaryName));
        }
    }
    EXPECT_EQ(Names(dir.Path()),
              (std::vector<std::string>{"n-new", "n-replaced", "p-new", "p-replaced", "u-new", "u-replaced"}));
}

// Makes copy_file_range fail with `err` at call `failAt` (from 0); the calls
// before it copy at most 1000 bytes each, so that some bytes have moved.
struct TFailingKernelCopy {
    TFailingKernelCopy(int err, int failAt)
    {
        CopyFileRangeHook = [err, failAt, calls = 0](int from, off_t* at, int to, size_t length) mutable {
            if (calls++ == failAt) {
                errno = err;
                return ssize_t{-1};
            }
            return ::copy_file_range(from, at, to, nullptr, std::min<size_t>(length, 1000), 0);
        };
    }
    ~TFailingKernelCopy() { CopyFileRangeHook = nullptr; }
};

TEST(CopyRange, FallsBackToReadAndWriteWhereTheKernelWillNotCopyAndFailsWhereItBrokeOff)
{
    TempDir dir;
    std::string bytes(300000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    const std::string src = dir.Write("src", bytes);
    const int from = open(src.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(from, 0);
    const struct {
        int Err;
        bool Unsupported;  // falls back even after bytes have moved
        bool Refusal;      // falls back only before any byte has moved
    } rows[] = {
        {EXDEV, true, true},   {ENOSYS, true, true},   {EINVAL, true, true},    {EOPNOTSUPP, true, true},
        {EPERM, false, true},  {EACCES, false, true},  {EBADF, false, true},    {ETXTBSY, false, true},
        {ENOTTY, false, true}, {EIO, false, false},    {ENOSPC, false, false},
    };
    int n = 0;
    for (const auto& row : rows) {
        for (const int failAt : {0, 2}) {
            SCOPED_TRACE(std::string(strerror(row.Err)) + (failAt ? ", after some bytes" : ", before any byte"));
            const std::string target = dir / ("out" + std::to_string(n++));
            const int to = open(target.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            ASSERT_GE(to, 0);
            ASSERT_EQ(write(to, "head", 4), 4);
            const bool falls = failAt == 0 ? row.Refusal : row.Unsupported;
            {
                const TFailingKernelCopy seam(row.Err, failAt);
                if (falls) {
                    EXPECT_EQ(CopyRange(from, 100, -1, to), static_cast<int64_t>(bytes.size()) - 100);
                } else {
                    try {
                        CopyRange(from, 100, -1, to);
                        ADD_FAILURE() << "no error";
                    } catch (const std::runtime_error& e) {
                        EXPECT_EQ(std::string(e.what()), WithReason("Stream write error", row.Err));
                    }
                }
            }
            close(to);
            if (falls) {
                EXPECT_EQ(ReadFile(target), "head" + bytes.substr(100));
            }
        }
    }
    close(from);
}

TEST(CopyRange, CopiesWhosePagesDoNotLineUpAreWholeAndAFailedOneLeavesNothingBehind)
{
    TempDir dir;
    std::string bytes(3 << 20, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 4093);
    const std::string src = dir.Write("src", bytes);
    const tFileHandle from(open(src.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_GE(from.Get(), 0);
    // A copy that breaks off on a full disk leaves no bytes for the next copy.
    const tFileHandle full(open("/dev/full", O_WRONLY | O_CLOEXEC));
    if (full.Get() >= 0) {
        try {
            CopyRange(from.Get(), 1000, 5000, full.Get());
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), WithReason("Stream write error", ENOSPC));
        }
    }
    const struct {
        int64_t Offset;
        size_t Head;  // bytes already in the target
        int64_t Length;
    } rows[] = {
        {1000, 4, -1},       // past several pipefuls
        {1000, 0, 5000},     // no two pages line up
        {4096 + 4, 4, -1},   // pages that line up: the kernel's own copy
        {1, 4095, 1},        // a byte
        {int64_t(bytes.size()) - 10, 7, -1},  // the end
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.Offset) + " after " + std::to_string(r.Head));
        const std::string target = dir / "out";
        const tFileHandle to(open(target.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        ASSERT_EQ(write(to.Get(), bytes.data(), r.Head), static_cast<ssize_t>(r.Head));
        const std::string expected =
            bytes.substr(0, r.Head) + bytes.substr(size_t(r.Offset), r.Length < 0 ? std::string::npos : size_t(r.Length));
        EXPECT_EQ(CopyRange(from.Get(), r.Offset, r.Length, to.Get()), int64_t(expected.size() - r.Head));
        EXPECT_TRUE(ReadFile(target) == expected);
    }
}

TEST(TemporaryName, OnlyTheExactShapeCounts)
{
    const std::string p = kTemporaryPrefix;
    EXPECT_TRUE(IsTemporaryName(p + "0123456789abcdef"));
    for (const std::string& name : {p + "0123456789ABCDEF", p + "0123456789abcde", p + "0123456789abcdef0",
                                    p + "0123456789abcdeg", p + "0123456789abcdef.jpg", p + "photo.jpg",
                                    p + "diary", "x" + p + "0123456789abcdef", p.substr(1) + "0123456789abcdef"})
        EXPECT_FALSE(IsTemporaryName(name)) << name;
}

TEST_F(Writer, MissingFolderIsCannotCreate)
{
    const std::string src = dir.Write("m.jpg", AfterSoi(TinyJpeg(), kCom1));
    ASSERT_TRUE(data.ScanFile(src));
    try {
        data.SaveAs(dir / "no/such/out.jpg");
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file " + dir / "no/such/out.jpg" + ".\n\nNo such file or directory");
    }
}

TEST_F(Writer, ReadOnlyFolderLeavesNothingBehind)
{
    const std::string src = dir.Write("r.jpg", AfterSoi(TinyJpeg(), kCom1));
    ASSERT_TRUE(data.ScanFile(src));
    ASSERT_EQ(mkdir((dir / "ro").c_str(), 0555), 0);  // read-only for everyone, nobody too
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);  // reachable for nobody
    const auto failures = fixture::RunUnprivileged([&] {
        try {
            data.SaveAs(dir / "ro/out.jpg");
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot create file " + dir / "ro/out.jpg" + ".\n\nPermission denied");
        }
    });
    if (!failures) GTEST_SKIP() << "root writes anywhere";
    EXPECT_EQ(*failures, "");
    EXPECT_TRUE(Names(dir / "ro").empty());
}

std::string ExifWithSize(TiffBuilder& t, uint32_t width, uint32_t height, uint32_t* sub)
{
    *sub = t.AddDirectory({t.Long(0xA002, width), t.Long(0xA003, height)});
    t.SetFirstDirectory(t.AddDirectory({t.Long(0x8769, *sub)}));
    return ExifSegment(t.Bytes());
}

TEST_F(Writer, SyncDimensionsLeavesAgreeingSizesAlone)
{
    TiffBuilder t(false);
    uint32_t sub;
    const std::string src = dir.Write("e.jpg", AfterSoi(TinyJpeg(24, 16), ExifWithSize(t, 24, 16, &sub)));
    ASSERT_TRUE(data.ScanFile(src));
    const std::string before = data.Section(data.ExifRef)->Bytes;
    data.SaveTo(dir / "e1.jpg", true);
    EXPECT_EQ(data.Section(data.ExifRef)->Bytes, before);
}

TEST_F(Writer, SyncDimensionsTouchesOnlyTheWrittenCopy)
{
    TiffBuilder t(true);
    uint32_t sub;
    const std::string src = dir.Write("d.jpg", AfterSoi(TinyJpeg(24, 16), ExifWithSize(t, 30, 20, &sub)));
    ASSERT_TRUE(data.ScanFile(src));
    const TImageInfo& dec = *data.ExifDecoder;
    ASSERT_EQ(dec.ImageWidth, 30);
    ASSERT_EQ(dec.WidthPos, TiffBuilder::ValueField(sub, 0) + 9);
    const std::string before = data.Section(data.ExifRef)->Bytes;
    data.SaveTo(dir / "d1.jpg", true);
    const std::string after = data.Section(data.ExifRef)->Bytes;
    EXPECT_EQ(after.substr(dec.WidthPos - 1, 4), t.U32(24));
    EXPECT_EQ(after.substr(dec.HeightPos - 1, 4), t.U32(16));
    EXPECT_EQ(dec.Block, before);  // the decoder's copy keeps the old bytes
    EXPECT_NE(ReadFile(dir / "d1.jpg").find(after), std::string::npos);
    // Without sync (the EXIF/comment writer) nothing is touched in the source's file.
    EXPECT_EQ(ReadFile(src).find(after), std::string::npos);
}

}  // namespace
