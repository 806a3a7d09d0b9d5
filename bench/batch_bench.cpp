// The batch run against cp on the same files, in one run: a generated set of
// about 200 photos of 2-8 MB (images made with libjpeg here, heads taken from
// the camera files in ../shared/corpus when it is there) and the small real
// corpus itself. Prints each time as a ratio to `cp -r` and to
// `cp -r && sync`, for the default run and for --no-flush, and the run's peak
// resident memory.
//
//   bench_batch ZOREZAZ_CLI [SCRATCH_DIR]

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
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
constexpr int kRounds = 2;           // the best of these counts

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

// An APP13 block with one caption, for files whose head has none.
std::string IptcSegment()
{
    const std::string caption = "a caption that must not be published";
    std::string data = std::string("\x1C\x02\x78\x00", 4) + static_cast<char>(caption.size()) + caption;
    if (data.size() % 2) data += '\0';
    std::string payload = std::string("Photoshop 3.0\0" "8BIM\x04\x04\0\0\0\0\0", 24) + static_cast<char>(data.size()) + data;
    const size_t n = payload.size() + 2;
    return std::string("\xFF\xED", 2) + static_cast<char>(n >> 8) + static_cast<char>(n & 0xFF) + payload;
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

// Each contender copies `set` into a fresh folder; written data is flushed
// and the output removed between runs so no run pays for another's writes.
void Compare(const std::string& title, const std::string& cli, const std::string& set, const std::string& scratch)
{
    const std::string out = scratch + "/out";
    const std::string clean = "rm -rf " + Q(out) + " && sync";
    struct tContender {
        const char* Name;
        std::string Command;
        tRun Best{1e9, 0};
    } contenders[] = {
        {"cp -r", "cp -r " + Q(set) + " " + Q(out)},
        {"cp -r && sync", "cp -r " + Q(set) + " " + Q(out) + " && sync"},
        {"zorezaz-cli", Q(cli) + " " + Q(set) + " --subfolders --exif --com --iptc --out " + Q(out) + " >/dev/null"},
        {"zorezaz-cli --no-flush",
         Q(cli) + " " + Q(set) + " --subfolders --exif --com --iptc --out " + Q(out) + " --no-flush >/dev/null"},
    };
    Timed("cat " + Q(set) + "/* >/dev/null 2>&1; true");  // sources in the page cache for all alike
    for (int round = 0; round < kRounds; ++round)
        for (auto& c : contenders) {
            Timed(clean);
            const tRun r = Timed(c.Command);
            if (r.Seconds < c.Best.Seconds) c.Best = r;
        }
    Timed(clean);
    const double cp = contenders[0].Best.Seconds, cpSync = contenders[1].Best.Seconds;
    std::printf("%s\n", title.c_str());
    std::printf("  %-24s %9s %10s %16s %12s\n", "", "seconds", "/ cp -r", "/ cp -r && sync", "peak RSS");
    for (const auto& c : contenders)
        std::printf("  %-24s %9.3f %10.2f %16.2f %9.1f MB\n", c.Name, c.Best.Seconds, c.Best.Seconds / cp,
                    c.Best.Seconds / cpSync, c.Best.PeakKiB / 1024.0);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_batch ZOREZAZ_CLI [SCRATCH_DIR]\n");
        return 2;
    }
    const std::string cli = fs::absolute(argv[1]).string();
    const std::string scratch = argc > 2 ? std::string(argv[2]) : fs::temp_directory_path().string() + "/zorezaz-bench";
    const std::string corpus = fs::path(ZOREZAZ_SOURCE_DIR).parent_path().string() + "/shared/corpus";
    fs::remove_all(scratch);
    fs::create_directories(scratch + "/set");

    // Made in a child process, so that the programs timed later are not
    // started from a process holding the images (their peak memory would
    // count it).
    const pid_t maker = fork();
    if (maker == 0) {
        std::vector<std::string> heads;
        for (const std::string& f : CorpusFiles(corpus)) heads.push_back(MetadataSegments(ReadFile(f)));
        if (heads.empty()) heads.push_back("");
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
            const std::string bytes = image.substr(0, 2) + heads[static_cast<size_t>(i) % heads.size()] +
                                      IptcSegment() + image.substr(2);
            total += bytes.size();
            WriteFile(scratch + "/set/photo" + std::to_string(i) + ".jpg", bytes);
        }
        std::printf("Generated set: %d files, %.0f MB; heads from the shared corpus: %s\n", kFiles, total / 1e6,
                    heads.size() > 1 ? "yes" : "no (corpus absent)");
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(maker, &status, 0);
    Compare("Generated set (" + std::to_string(kFiles) + " photos of 2-8 MB)", cli, scratch + "/set", scratch);
    if (fs::is_directory(corpus)) Compare("Small real corpus (../shared/corpus)", cli, corpus, scratch);
    fs::remove_all(scratch);
    return 0;
}
