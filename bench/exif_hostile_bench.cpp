// Decodes crafted EXIF blocks (overlapping directories that point at one
// another, one directory of thousands of entries that each hold the whole
// block, large values rendered through value codes, maker notes that lead
// into each other, maker hooks over many thousand values) and reports, per block, the decoding time and the peak
// resident size of a process that built and decoded only that block.
//
//   bench_exif_hostile
//
// Each case runs in a child process of its own, so that the peak size is that
// case's. The goal: every block of at most 1 MiB in at most 100 ms and 32 MB.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "meta/exif/image_info.h"
#include "meta/makernote/ms_info.h"
#include "tests/support/hostile_exif.h"

namespace {

constexpr size_t kMiB = size_t{1} << 20;
constexpr size_t kAppSegment = 65000;  // about as much as one APP1 segment holds
constexpr int kRuns = 3;               // the fastest of these is reported

struct tCase {
    const char* Name;
    std::function<std::string()> Tiff;
};

// Builds the block, then decodes it as the container does (maker walk
// installed), kRuns times with a fresh decoder each.
void RunCase(const tCase& c)
{
    const std::string segment = hostile::Segment(c.Tiff());
    double best = 1e300;
    std::string status;
    int32_t tags = 0;
    for (int run = 0; run < kRuns; ++run) {
        TImageInfo dec(255);
        dec.OnStatus = [&status](const std::string& text) { status = text; };
        dec.OnMakerNote = [](TImageInfo& d) { TmsInfo(d.TiffMode, &d).DecodeMakerNote(); };
        dec.Block = segment;
        dec.BigEndian = true;
        const auto t0 = std::chrono::steady_clock::now();
        dec.WalkDirectory(17, 9, static_cast<int64_t>(segment.size()) - 6, tDirKind::ExifKind);
        dec.DeriveFocal35();
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - t0;
        if (took.count() < best) best = took.count();
        tags = dec.TagCount;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%-38s %8zu bytes %9.2f ms %7.1f MB peak  %6d tags  %s\n", c.Name, segment.size(), best,
                static_cast<double>(usage.ru_maxrss) / 1024.0, tags, status.c_str());
    std::fflush(stdout);
}

}  // namespace

int main()
{
    using namespace hostile;
    // Value sizes below the byte cap, so that the values are copied and rendered.
    const std::vector<tCase> cases = {
        {"fan-out, 64 KiB", [] { return PointerSoupTiff(kAppSegment); }},
        {"5400 entries x whole block, 64 KiB", [] { return WideDirectoryTiff(5400, 0x9286, 7, 0); }},
        {"5400 small entries, 64 KiB", [] { return WideDirectoryTiff(5400, 0x010E, 2, 4); }},
        {"maker notes x 100, 64 KiB", [] { return MakerNotesTiff(100, kAppSegment); }},
        {"Canon hooks over 10000 values", [] { return CanonHooksTiff(10000); }},
        {"fan-out, 1 MiB", [] { return PointerSoupTiff(kMiB); }},
        {"65535 entries x 64 KiB bytes", [] { return WideDirectoryTiff(65535, 0x0112, 1, 65536, kMiB); }},
        {"65535 small entries, 1 MiB", [] { return WideDirectoryTiff(65535, 0x010E, 2, 4, kMiB); }},
        {"rationals with codes, 1 MiB", [] { return WideDirectoryTiff(6, 0x0112, 5, 32768, kMiB); }},
        {"shorts with codes, 1 MiB", [] { return WideDirectoryTiff(6, 0x0112, 3, 131072, kMiB); }},
        {"bytes with codes, 1 MiB", [] { return WideDirectoryTiff(6, 0x0112, 1, 262144, kMiB); }},
        {"maker notes x 5000, 1 MiB", [] { return MakerNotesTiff(5000, kMiB, 65536); }},
        {"Canon hooks over 60000 values", [] { return CanonHooksTiff(60000); }},
    };
    std::printf("goal: each block of at most 1 MiB in at most 100 ms and 32 MB peak\n");
    std::fflush(stdout);
    int failures = 0;
    for (const tCase& c : cases) {
        const pid_t child = fork();
        if (child < 0) return 1;
        if (child == 0) {
            RunCase(c);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::printf("%-38s failed\n", c.Name);
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
