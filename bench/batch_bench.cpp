// The batch run against cp on the same files, in one run: a generated set of
// about 200 photos of 2-8 MB (images made with libjpeg here, heads taken from
// the camera files in ../shared/corpus when it is there), a set of 5,000
// photos of 20 KB-2 MB in 50 folders, where the cost per file shows, the same
// set on tmpfs (/dev/shm) where nothing waits for a disk, and the small real
// corpus itself. Prints each contender's median time and the median of its
// ratios to `cp -r` and to `cp -r && sync` timed in the same round (the
// machine may be shared: a ratio from one round is fairer than one across
// rounds), for the default run and for --no-flush, and the run's peak
// resident memory.
//
//   bench_batch ZOREZAZ_CLI [SCRATCH_DIR] [--make-only]
//
// --make-only leaves the generated sets in SCRATCH_DIR and times nothing, for
// profiling a run by hand.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 200;
constexpr int kDistinctImages = 20;  // images are reused under other heads
// The set of many small files: 95 in 100 of 20-200 KB, the rest of 20 KB-2 MB
// (both spread evenly on a log scale), about 100 KB each on average.
constexpr int kSmallFiles = 5000;
constexpr int kSmallFolders = 50;
constexpr int kSmallDistinct = 100;
constexpr double kSmallMin = 20e3, kSmallMax = 2e6, kSmallUsual = 200e3;
constexpr int kRounds = 5;  // the median of these counts

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A noisy w x h image compresses badly, which is what makes it 2-8 MB.
std::string NoisyJpeg(int width, int height, std::mt19937& rng)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &mem, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 92, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (auto& b : row) b = static_cast<unsigned char>(rng());
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string out(reinterpret_cast<char*>(mem), size);
    std::free(mem);
    return out;
}

// A noisy image of about `bytes` bytes, its size learnt from a first image.
std::string NoisyJpegOfSize(double bytes, std::mt19937& rng)
{
    static const double perPixel = [&] { return NoisyJpeg(256, 256, rng).size() / 65536.0; }();
    const double pixels = std::max(256.0, bytes / perPixel);
    const int width = std::max(16, static_cast<int>(std::sqrt(pixels * 1.5)));
    return NoisyJpeg(width, std::max(16, static_cast<int>(pixels / width)), rng);
}

// The APPn and COM segments of a camera file's head, as they stand.
std::string MetadataSegments(const std::string& jpeg)
{
    std::string out;
    size_t pos = 2;
    while (pos + 4 <= jpeg.size() && static_cast<unsigned char>(jpeg[pos]) == 0xFF) {
        const auto code = static_cast<unsigned char>(jpeg[pos + 1]);
        const size_t length = static_cast<unsigned char>(jpeg[pos + 2]) * 256u + static_cast<unsigned char>(jpeg[pos + 3]);
        if (code == 0xDA || length < 2 || pos + 2 + length > jpeg.size()) break;
        if ((code >= 0xE0 && code <= 0xEF) || code == 0xFE) out += jpeg.substr(pos, 2 + length);
        pos += 2 + length;
    }
    return out;
}

std::string Segment(unsigned char code, const std::string& payload)
{
    const size_t n = payload.size() + 2;
    return std::string(1, '\xFF') + static_cast<char>(code) + static_cast<char>(n >> 8) +
           static_cast<char>(n & 0xFF) + payload;
}

// An APP13 block with one caption, for files whose head has none.
std::string IptcSegment()
{
    const std::string caption = "a caption that must not be published";
    std::string data = std::string("\x1C\x02\x78\x00", 4) + static_cast<char>(caption.size()) + caption;
    if (data.size() % 2) data += '\0';
    std::string payload = std::string("Photoshop 3.0\0" "8BIM\x04\x04\0\0\0\0\0", 24) + static_cast<char>(data.size()) + data;
    return Segment(0xED, payload);
}

std::string CommentSegment()
{
    return Segment(0xFE, "a comment that must not be published");
}

// An EXIF block with Make and Model, for when the corpus is absent.
std::string ExifSegment()
{
    // Little-endian TIFF header, IFD0 at 8 with two ASCII entries whose
    // values follow the directory.
    std::string tiff("II\x2A\x00\x08\x00\x00\x00" "\x02\x00", 10);
    const std::string make("Bench\0", 6), model("Camera 1\0", 9);
    const uint32_t values = 8 + 2 + 2 * 12 + 4;
    auto entry = [&](uint16_t tag, const std::string& text, uint32_t at) {
        const char e[12] = {static_cast<char>(tag & 0xFF), static_cast<char>(tag >> 8), 2, 0,
                            static_cast<char>(text.size()), 0, 0, 0,
                            static_cast<char>(at & 0xFF), static_cast<char>(at >> 8), 0, 0};
        tiff.append(e, 12);
    };
    entry(0x010F, make, values);
    entry(0x0110, model, values + static_cast<uint32_t>(make.size()));
    tiff += std::string(4, '\0');
    tiff += make + model;
    return Segment(0xE1, std::string("Exif\0\0", 6) + tiff);
}

std::vector<std::string> CorpusFiles(const std::string& corpus)
{
    std::vector<std::string> files;
    if (!fs::is_directory(corpus)) return files;
    for (const auto& e : fs::recursive_directory_iterator(corpus)) {
        std::string ext = e.path().extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (e.is_regular_file() && (ext == ".jpg" || ext == ".jpeg")) files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

struct tRun {
    double Seconds = 0;
    long PeakKiB = 0;
};

// Runs a command through the shell, timed from start to exit.
tRun Timed(const std::string& command)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return {took.count(), usage.ru_maxrss};
}

std::string Q(const std::string& s) { return "'" + s + "'"; }

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Each contender copies `set` into a fresh folder beside it; written data is
// flushed and the output removed between runs so no run pays for another's
// writes. Without `durable` (tmpfs) only cp -r and --no-flush run.
void Compare(const std::string& title, const std::string& cli, const std::string& set, const std::string& scratch,
             bool durable = true)
{
    const std::string out = scratch + "/out";
    const std::string clean = "rm -rf " + Q(out) + " && sync";
    const std::string run = Q(cli) + " " + Q(set) + " --subfolders --exif --com --iptc --out " + Q(out);
    struct tContender {
        const char* Name;
        std::string Command;
        bool Durable;
        std::vector<double> Seconds, ToCp, ToCpSync;
        long PeakKiB = 0;
    } all[] = {
        {"cp -r", "cp -r " + Q(set) + " " + Q(out), false, {}, {}, {}},
        {"cp -r && sync", "cp -r " + Q(set) + " " + Q(out) + " && sync", true, {}, {}, {}},
        {"zorezaz-cli", run + " >/dev/null", true, {}, {}, {}},
        {"zorezaz-cli --no-flush", run + " --no-flush >/dev/null", false, {}, {}, {}},
    };
    std::vector<tContender*> contenders;
    for (auto& c : all)
        if (durable || !c.Durable) contenders.push_back(&c);
    // Sources in the page cache for all alike.
    Timed("find " + Q(set) + " -type f -exec cat {} + >/dev/null 2>&1; true");
    for (int round = 0; round < kRounds; ++round) {
        for (tContender* c : contenders) {
            Timed(clean);
            const tRun r = Timed(c->Command);
            c->Seconds.push_back(r.Seconds);
            c->PeakKiB = std::max(c->PeakKiB, r.PeakKiB);
        }
        for (tContender* c : contenders) {
            c->ToCp.push_back(c->Seconds.back() / all[0].Seconds.back());
            if (durable) c->ToCpSync.push_back(c->Seconds.back() / all[1].Seconds.back());
        }
    }
    Timed(clean);
    std::printf("%s, medians of %d rounds\n", title.c_str(), kRounds);
    std::printf("  %-24s %9s %10s %16s %12s\n", "", "seconds", "/ cp -r", durable ? "/ cp -r && sync" : "",
                "peak RSS");
    for (const tContender* c : contenders) {
        std::printf("  %-24s %9.3f %10.2f ", c->Name, Median(c->Seconds), Median(c->ToCp));
        if (durable)
            std::printf("%16.2f", Median(c->ToCpSync));
        else
            std::printf("%16s", "");
        std::printf(" %9.1f MB\n", c->PeakKiB / 1024.0);
    }
    std::printf("\n");
    std::fflush(stdout);
}

// The camera heads of the corpus, or one made-up EXIF block without it.
std::vector<std::string> Heads(const std::string& corpus)
{
    std::vector<std::string> heads;
    for (const std::string& f : CorpusFiles(corpus)) heads.push_back(MetadataSegments(ReadFile(f)));
    if (heads.empty()) heads.push_back("");
    return heads;
}

void MakeLargeSet(const std::string& dir, const std::vector<std::string>& heads)
{
    std::mt19937 rng(2026);
    std::vector<std::string> images;
    for (int i = 0; i < kDistinctImages; ++i) {
        // Between about 1700 x 1200 and 3400 x 2400 pixels of noise: 2 to 8 MB.
        const int width = 1700 + static_cast<int>(rng() % 1700);
        images.push_back(NoisyJpeg(width, width * 7 / 10, rng));
    }
    uint64_t total = 0;
    for (int i = 0; i < kFiles; ++i) {
        const std::string& image = images[static_cast<size_t>(i) % images.size()];
        const std::string bytes =
            image.substr(0, 2) + heads[static_cast<size_t>(i) % heads.size()] + IptcSegment() + image.substr(2);
        total += bytes.size();
        WriteFile(dir + "/photo" + std::to_string(i) + ".jpg", bytes);
    }
    std::printf("Generated set: %d files, %.0f MB; heads from the shared corpus: %s\n", kFiles, total / 1e6,
                heads.size() > 1 ? "yes" : "no (corpus absent)");
}

void MakeSmallSet(const std::string& dir, const std::vector<std::string>& heads)
{
    std::mt19937 rng(2027);
    // Images of sizes spread over the whole range; each file takes the one
    // nearest its own size, behind one of the heads, so every file holds
    // EXIF, a comment and IPTC.
    std::vector<std::string> images;
    for (int i = 0; i < kSmallDistinct; ++i)
        images.push_back(
            NoisyJpegOfSize(kSmallMin * std::pow(kSmallMax / kSmallMin, (i + 0.5) / kSmallDistinct), rng));
    std::uniform_real_distribution<double> unit(0, 1);
    uint64_t total = 0;
    for (int f = 0; f < kSmallFolders; ++f) fs::create_directories(dir + "/folder" + std::to_string(f));
    for (int i = 0; i < kSmallFiles; ++i) {
        const double top = unit(rng) < 0.05 ? kSmallMax : kSmallUsual;
        const double size = kSmallMin * std::pow(top / kSmallMin, unit(rng));
        std::string head = heads[static_cast<size_t>(i) % heads.size()];
        if (head.find("Exif") == std::string::npos) head = ExifSegment() + head;
        head += CommentSegment() + IptcSegment();
        const double want = std::max(1.0, size - static_cast<double>(head.size()));
        const auto image = std::min_element(images.begin(), images.end(), [&](const auto& a, const auto& b) {
            return std::abs(a.size() - want) < std::abs(b.size() - want);
        });
        const std::string bytes = image->substr(0, 2) + head + image->substr(2);
        total += bytes.size();
        WriteFile(dir + "/folder" + std::to_string(i % kSmallFolders) + "/photo" + std::to_string(i) + ".jpg",
                  bytes);
    }
    std::printf("Generated set of small files: %d files in %d folders, %.0f MB\n", kSmallFiles, kSmallFolders,
                total / 1e6);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_batch ZOREZAZ_CLI [SCRATCH_DIR] [--make-only]\n");
        return 2;
    }
    const std::string cli = fs::absolute(argv[1]).string();
    const std::string scratch = argc > 2 ? std::string(argv[2]) : fs::temp_directory_path().string() + "/zorezaz-bench";
    const bool makeOnly = argc > 3 && std::string(argv[3]) == "--make-only";
    const std::string corpus = fs::path(ZOREZAZ_SOURCE_DIR).parent_path().string() + "/shared/corpus";
    fs::remove_all(scratch);
    fs::create_directories(scratch + "/set");
    fs::create_directories(scratch + "/small");

    // Made in a child process, so that the programs timed later are not
    // started from a process holding the images (their peak memory would
    // count it).
    const pid_t maker = fork();
    if (maker == 0) {
        const std::vector<std::string> heads = Heads(corpus);
        MakeLargeSet(scratch + "/set", heads);
        MakeSmallSet(scratch + "/small", heads);
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(maker, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
    if (makeOnly) return 0;
    std::printf("\n");
    Compare("Generated set (" + std::to_string(kFiles) + " photos of 2-8 MB)", cli, scratch + "/set", scratch);
    Compare("Many small files (" + std::to_string(kSmallFiles) + " photos of 20 KB-2 MB in " +
                std::to_string(kSmallFolders) + " folders)",
            cli, scratch + "/small", scratch);
    // On tmpfs no disk waits: what is left is the work per file.
    const std::string shm = "/dev/shm/zorezaz-bench-" + std::to_string(getpid());
    if (fs::is_directory("/dev/shm")) {
        fs::create_directories(shm);
        Timed("cp -r " + Q(scratch + "/small") + " " + Q(shm + "/small"));
        Compare("The same small files on tmpfs (/dev/shm)", cli, shm + "/small", shm, false);
        fs::remove_all(shm);
    } else {
        std::printf("The same small files on tmpfs: skipped, no /dev/shm\n\n");
    }
    if (fs::is_directory(corpus)) Compare("Small real corpus (../shared/corpus)", cli, corpus, scratch);
    fs::remove_all(scratch);
    return 0;
}
