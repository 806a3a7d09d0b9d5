// The batch run against cp on the same files, in one run: a generated set of
// about 200 photos of 2-8 MB (images made with libjpeg here, heads taken from
// the camera files in ../shared/corpus when it is there), a set of 5,000
// photos of 20 KB-2 MB in 50 folders, where the cost per file shows, the same
// set on tmpfs (/dev/shm) where nothing waits for a disk, and the small real
// corpus itself. Prints each contender's median time and the median of its
// ratios to `cp -r` and to `cp -r && sync` timed in the same round (the
// machine may be shared: a ratio from one round is fairer than one across
// rounds; each round starts with another contender), for the default run and
// for --no-flush, and the run's peak resident memory. Then a set of PNG, a set of WebP and a set of HEIC
// pictures of 0.1-5 MB, each with EXIF (make, model, owner, dates, GPS) and
// XMP, the PNGs also with text chunks: their ratios and peak memory are
// checked against the goals, and every source must have its cleaned output.
//
// Then a set of MOV and MP4 clips of 50-300 MB made by ffmpeg, with a phone's
// keys naming the owner, checked against the same goals; one clip past 4 GiB
// cleaned once for its peak memory; and the video set cleaned where copies
// can share the sources' extents (a file system with reflink), or a line
// saying why not.
//
//   bench_batch ZOREZAZ_CLI [SCRATCH_DIR] [--make-only | --pictures | --videos]
//
// --make-only leaves the generated sets in SCRATCH_DIR and times nothing, for
// profiling a run by hand; --pictures makes and times the PNG, WebP and HEIC
// sets only, --videos the video part only.

#include <sys/resource.h>
#include <sys/statvfs.h>
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
#include <zlib.h>

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
constexpr int kFewerRounds = 3;  // for a set whose kRounds would take too long
// The picture sets take a second a round, which the machine's noise can
// double: more rounds for their medians.
constexpr int kPictureRounds = 9;
// The PNG and WebP sets: sizes spread evenly on a log scale, each file taking
// the base picture nearest its size behind metadata of its own.
constexpr int kPictureFiles = 300;
constexpr int kPictureDistinct = 24;
// HEIC bases cost an encoder run and an exiftool run each: fewer of them.
constexpr int kHeicDistinct = 12;
constexpr double kPictureMin = 100e3, kPictureMax = 5e6;
// The goals for those sets.
constexpr double kGoalRatio = 1.2;  // to cp -r && sync, and --no-flush to cp -r
constexpr double kGoalPeakMB = 32;
// The video set: clips of sizes spread evenly on a log scale, MOV and MP4 in
// turn, the second half with the movie header first (faststart). Its timing
// takes kFewerRounds when kRounds would pass the budget.
constexpr int kVideoFiles = 10;
constexpr double kVideoMin = 50e6, kVideoMax = 300e6;
constexpr double kVideoBudget = 240;
// One large clip, cleaned once for its peak memory: past 4 GiB, so that its
// chunk offsets take 64 bits (co64). It and its copy need this much room.
constexpr double kBigVideo = 4.3e9;
constexpr double kBigVideoRoom = 10e9;
// Rounds of the timing where copies share extents: milliseconds each, where
// one busy moment of a shared machine moves a round by half, so many of them.
constexpr int kSharedRounds = 21;
// Every one of those pictures names its owner in EXIF, XMP and (PNG) text.
constexpr const char* kOwner = "A. Person";
// exiftool writes this serial into a HEIC base; each copy of the base gets
// its own of the same length in its place, so no offset moves.
constexpr const char* kHeicSerial = "SN000000";

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Q(const std::string& s) { return "'" + s + "'"; }

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

std::string Le16(uint32_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }
std::string Le32(uint32_t v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }
std::string Be32(uint32_t v)
{
    return {static_cast<char>(v >> 24), static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 8) & 0xFF),
            static_cast<char>(v & 0xFF)};
}

struct tEntry {
    uint16_t Tag, Type;
    uint32_t Count;
    std::string Value;  // little-endian
};

tEntry Ascii(uint16_t tag, const std::string& text) { return {tag, 2, static_cast<uint32_t>(text.size() + 1), text + '\0'}; }
tEntry Long(uint16_t tag, uint32_t v) { return {tag, 4, 1, Le32(v)}; }
tEntry Degrees(uint16_t tag, uint32_t d, uint32_t m, uint32_t hundredthSeconds)
{
    return {tag, 5, 3, Le32(d) + Le32(1) + Le32(m) + Le32(1) + Le32(hundredthSeconds) + Le32(100)};
}

// A TIFF 6.0 directory placed at `at`: the entries (sorted by tag), no next
// directory, then the values longer than 4 bytes, each at an even offset.
std::string Ifd(const std::vector<tEntry>& entries, uint32_t at)
{
    std::string dir = Le16(static_cast<uint32_t>(entries.size())), values;
    const uint32_t valuesAt = at + 2 + 12 * static_cast<uint32_t>(entries.size()) + 4;
    for (const tEntry& e : entries) {
        dir += Le16(e.Tag) + Le16(e.Type) + Le32(e.Count);
        if (e.Value.size() <= 4) {
            dir += e.Value + std::string(4 - e.Value.size(), '\0');
        } else {
            dir += Le32(valuesAt + static_cast<uint32_t>(values.size()));
            values += e.Value;
            if (values.size() % 2) values += '\0';
        }
    }
    return dir + Le32(0) + values;
}

// What a phone writes, told apart by `n`: make, model, owner, dates and GPS
// position in IFD0, its EXIF and its GPS directory (little-endian TIFF bytes,
// as PNG's eXIf and WebP's EXIF chunk hold them).
std::string PhoneTiff(int n)
{
    const std::string date = "2025:" + std::to_string(10 + n % 3) + ":" + std::to_string(10 + n % 19) + " " +
                             std::to_string(10 + n % 14) + ":" + std::to_string(10 + n % 50) + ":" +
                             std::to_string(10 + n % 50);
    std::vector<tEntry> ifd0 = {Ascii(0x010F, "Bench"), Ascii(0x0110, "Phone " + std::to_string(n % 7)),
                                {0x0112, 3, 1, Le16(1)}, Ascii(0x0132, date), Ascii(0x013B, kOwner),
                                Long(0x8769, 0), Long(0x8825, 0)};
    const std::vector<tEntry> exif = {Ascii(0x9003, date), Ascii(0x9004, date),
                                      Ascii(0xA431, "SN" + std::to_string(100000 + n))};
    const std::vector<tEntry> gps = {Ascii(0x0001, "N"), Degrees(0x0002, 48, 51, static_cast<uint32_t>(n % 6000)),
                                     Ascii(0x0003, "E"), Degrees(0x0004, 2, 21, static_cast<uint32_t>(n * 7 % 6000)),
                                     Ascii(0x001D, date.substr(0, 10))};
    const uint32_t exifAt = 8 + static_cast<uint32_t>(Ifd(ifd0, 8).size());
    const uint32_t gpsAt = exifAt + static_cast<uint32_t>(Ifd(exif, exifAt).size());
    ifd0[5].Value = Le32(exifAt);
    ifd0[6].Value = Le32(gpsAt);
    return std::string("II\x2A\x00\x08\x00\x00\x00", 8) + Ifd(ifd0, 8) + Ifd(exif, exifAt) + Ifd(gps, gpsAt);
}

// An XMP packet with creator, date and place, padded as editors pad it.
std::string XmpPacket(int n)
{
    return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
           "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
           "xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" xmlns:exif=\"http://ns.adobe.com/exif/1.0/\" "
           "xmp:CreateDate=\"2025-11-" + std::to_string(10 + n % 19) + "T12:00:00\" exif:GPSLatitude=\"48," +
           std::to_string(n % 60) + ".5N\" exif:GPSLongitude=\"2,21.1E\">\n"
           "<dc:creator><rdf:Seq><rdf:li>" + std::string(kOwner) + "</rdf:li></rdf:Seq></dc:creator>\n"
           "</rdf:Description></rdf:RDF></x:xmpmeta>\n" +
           std::string(1024, ' ') + "\n<?xpacket end=\"w\"?>";
}

std::string Deflated(const std::string& bytes, int level)
{
    uLongf size = compressBound(bytes.size());
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(bytes.data()),
                  bytes.size(), level) != Z_OK) {
        std::fprintf(stderr, "zlib failed\n");
        std::exit(1);
    }
    out.resize(size);
    return out;
}

// A PNG chunk: length, type, data, and the CRC of type and data.
std::string PngChunk(const char* type, const std::string& data)
{
    const std::string body = std::string(type, 4) + data;
    return Be32(static_cast<uint32_t>(data.size())) + body +
           Be32(static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
}

// A w x h RGB picture: a gradient with noise in the low six bits, so that
// deflate gains little, and its IDAT cut into chunks of `idatSize` bytes as
// encoders cut it (libpng: 8 KiB).
std::string NoisyPng(int width, int height, size_t idatSize, std::mt19937& rng)
{
    std::string raw;
    raw.reserve(static_cast<size_t>(height) * (1 + static_cast<size_t>(width) * 3));
    for (int y = 0; y < height; ++y) {
        raw += '\0';  // filter type None
        for (int x = 0; x < width * 3; ++x)
            raw += static_cast<char>(((x / 3 + y) & 0xC0) | (rng() & 0x3F));
    }
    const std::string data = Deflated(raw, Z_BEST_SPEED);
    std::string png = "\x89PNG\r\n\x1A\n";
    png += PngChunk("IHDR", Be32(static_cast<uint32_t>(width)) + Be32(static_cast<uint32_t>(height)) +
                                std::string("\x08\x02\x00\x00\x00", 5));
    for (size_t at = 0; at < data.size(); at += idatSize) png += PngChunk("IDAT", data.substr(at, idatSize));
    return png + PngChunk("IEND", "");
}

// cwebp's lossy picture of w x h pixels of noise: RIFF, WEBP, one VP8 chunk.
std::string NoisyWebp(int width, int height, std::mt19937& rng, const std::string& scratch)
{
    const std::string ppm = scratch + "/base.ppm", webp = scratch + "/base.webp";
    std::string pixels = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    for (size_t i = 0; i < static_cast<size_t>(width) * height * 3; ++i) pixels += static_cast<char>(rng());
    WriteFile(ppm, pixels);
    if (std::system(("cwebp -quiet -q 100 -m 0 " + Q(ppm) + " -o " + Q(webp)).c_str()) != 0) {
        std::fprintf(stderr, "cwebp failed (Debian package webp)\n");
        std::exit(1);
    }
    std::string out = ReadFile(webp);
    fs::remove(ppm);
    fs::remove(webp);
    if (out.size() < 20 || out.compare(0, 4, "RIFF") != 0 || out.compare(12, 4, "VP8 ") != 0) {
        std::fprintf(stderr, "cwebp wrote no simple lossy WebP\n");
        std::exit(1);
    }
    return out;
}

// A RIFF chunk: FourCC, little-endian size, data, a pad byte to an even size.
std::string RiffChunk(const char* fourcc, const std::string& data)
{
    return std::string(fourcc, 4) + Le32(static_cast<uint32_t>(data.size())) + data +
           (data.size() % 2 ? std::string(1, '\0') : "");
}

// The simple file made extended: VP8X with the EXIF and XMP flags and the
// canvas size, its VP8 chunk as it stands, EXIF and XMP after it, the RIFF
// size made to fit.
std::string ExtendedWebp(const std::string& simple, int width, int height, const std::string& exif,
                         const std::string& xmp)
{
    std::string vp8x = "\x0C" + std::string(3, '\0');  // EXIF (0x08) and XMP (0x04) present
    vp8x += Le32(static_cast<uint32_t>(width - 1)).substr(0, 3) + Le32(static_cast<uint32_t>(height - 1)).substr(0, 3);
    const std::string body = "WEBP" + RiffChunk("VP8X", vp8x) + simple.substr(12) + RiffChunk("EXIF", exif) +
                             RiffChunk("XMP ", xmp);
    return "RIFF" + Le32(static_cast<uint32_t>(body.size())) + body;
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

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// What zorezaz-cli made of a flat set: how many sources have an output of
// their name, the first without one, how many outputs still name the owner
// (a run that removed nothing is no cleaning to time), and the last line it
// printed and the first it wrote on standard error.
struct tOutputs {
    int Sources = 0, Cleaned = 0, StillNamed = 0;
    std::string Missing, Named, Said, FirstError;
};

tOutputs CheckOutputs(const std::string& set, const std::string& out, const std::string& said,
                      const std::string& errors)
{
    tOutputs o;
    // grep reads the outputs, not this process: what it holds when it forks
    // would count in the next contender's peak memory.
    const std::string named = said + ".named";
    Timed("grep -rlF -- " + Q(kOwner) + " " + Q(out) + " >" + Q(named) + " 2>/dev/null; true");
    std::ifstream namedLines(named);
    for (std::string line; std::getline(namedLines, line); ++o.StillNamed)
        if (o.Named.empty()) o.Named = line;
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(set)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        ++o.Sources;
        std::error_code error;
        if (fs::file_size(out + "/" + name, error) > 0 && !error)
            ++o.Cleaned;
        else if (o.Missing.empty())
            o.Missing = name;
    }
    std::ifstream lines(said);
    for (std::string line; std::getline(lines, line);) o.Said = line;
    std::ifstream errorLines(errors);
    std::getline(errorLines, o.FirstError);
    return o;
}

const char* Mark(bool met) { return met ? "✓" : "✗"; }

// The goals for one set, from its medians; a set nothing was cleaned in
// meets or misses no timing goal.
void PrintGoals(const char* type, double durable, double noFlush, long peakKiB, const tOutputs& o)
{
    const bool any = o.Cleaned > 0;
    auto ratio = [&](const char* what, double value) {
        std::printf("  goal: %-38s <= %4.1f x  %5.2f x  %s\n", what, kGoalRatio, value,
                    any ? Mark(value <= kGoalRatio) : "- (nothing cleaned)");
    };
    ratio("zorezaz-cli / cp -r && sync", durable);
    ratio("zorezaz-cli --no-flush / cp -r", noFlush);
    std::printf("  goal: %-38s <= %4.0f MB %5.1f MB  %s\n", "peak RSS of zorezaz-cli", kGoalPeakMB, peakKiB / 1024.0,
                any ? Mark(peakKiB / 1024.0 <= kGoalPeakMB) : "- (nothing cleaned)");
    if (!any) {
        std::printf("  %s not cleaned by this build: no output for any of the %d files\n", type, o.Sources);
        std::printf("    zorezaz-cli said: %s\n", o.Said.c_str());
        if (!o.FirstError.empty()) std::printf("    first on standard error: %s\n", o.FirstError.c_str());
    } else {
        std::printf("  outputs: %d of %d sources cleaned %s", o.Cleaned, o.Sources, Mark(o.Cleaned == o.Sources));
        if (o.Cleaned != o.Sources)
            std::printf(" (none for %s; first on standard error: %s)", o.Missing.c_str(), o.FirstError.c_str());
        std::printf("\n");
        std::printf("  outputs naming the owner (\"%s\"): %d %s", kOwner, o.StillNamed, Mark(o.StillNamed == 0));
        if (o.StillNamed) std::printf(" (first: %s)", o.Named.c_str());
        std::printf("\n");
    }
}

// Each contender copies `set` into a fresh folder beside it; written data is
// flushed and the output removed between runs so no run pays for another's
// writes. Without `durable` (tmpfs) only cp -r and --no-flush run. With a
// `checked` type (a flat set) every strip option is on, zorezaz-cli's texts go
// to files beside the output, and after the last round its outputs and the
// goals are checked. With a `budget` in seconds, kFewerRounds are run instead
// of kRounds when the first round shows that kRounds would take longer.
void Compare(const std::string& title, const std::string& cli, const std::string& set, const std::string& scratch,
             bool durable = true, const char* checked = nullptr, double budget = 0, int wanted = kRounds)
{
    const std::string out = scratch + "/out";
    const std::string said = scratch + "/cli.out", errors = scratch + "/cli.err";
    const std::string clean = "rm -rf " + Q(out) + " && sync";
    const std::string run = Q(cli) + " " + Q(set) + " --subfolders --exif --com --iptc" +
                            (checked ? " --other" : "") + " --out " + Q(out);
    const std::string quiet = checked ? " >" + Q(said) + " 2>" + Q(errors) : " >/dev/null";
    struct tContender {
        const char* Name;
        std::string Command;
        bool Durable;
        std::vector<double> Seconds, ToCp, ToCpSync;
        long PeakKiB = 0;
    } all[] = {
        {"cp -r", "cp -r " + Q(set) + " " + Q(out), false, {}, {}, {}},
        {"cp -r && sync", "cp -r " + Q(set) + " " + Q(out) + " && sync", true, {}, {}, {}},
        {"zorezaz-cli", run + quiet, true, {}, {}, {}},
        {"zorezaz-cli --no-flush", run + " --no-flush" + quiet, false, {}, {}, {}},
    };
    std::vector<tContender*> contenders;
    for (auto& c : all)
        if (durable || !c.Durable) contenders.push_back(&c);
    // Sources in the page cache for all alike.
    Timed("find " + Q(set) + " -type f -exec cat {} + >/dev/null 2>&1; true");
    int rounds = wanted;
    std::string fewer;
    for (int round = 0; round < rounds; ++round) {
        double took = 0;
        // Each round starts with another contender: what one run leaves
        // behind for the next (outputs being written back, names just freed)
        // falls on each alike.
        std::rotate(contenders.begin(), contenders.begin() + 1, contenders.end());
        for (tContender* c : contenders) {
            took += Timed(clean).Seconds;
            const tRun r = Timed(c->Command);
            took += r.Seconds;
            c->Seconds.push_back(r.Seconds);
            c->PeakKiB = std::max(c->PeakKiB, r.PeakKiB);
        }
        if (round == 0 && budget > 0 && took * rounds > budget) {
            rounds = kFewerRounds;
            char why[160];
            std::snprintf(why, sizeof why, " (not %d: a round took %.0f s, %d would pass the budget of %.0f s)", wanted,
                          took, wanted, budget);
            fewer = why;
        }
        for (tContender* c : contenders) {
            c->ToCp.push_back(c->Seconds.back() / all[0].Seconds.back());
            if (durable) c->ToCpSync.push_back(c->Seconds.back() / all[1].Seconds.back());
        }
    }
    // The outputs checked are those of a run of zorezaz-cli: the last
    // one's, unless cp ran last.
    if (checked && contenders.back() != &all[2] && contenders.back() != &all[3]) {
        Timed(clean);
        Timed(all[3].Command);
    }
    const tOutputs outputs = checked ? CheckOutputs(set, out, said, errors) : tOutputs{};
    Timed(clean);
    std::printf("%s, medians of %d rounds%s\n", title.c_str(), rounds, fewer.c_str());
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
    if (checked) {
        std::vector<double> byRound = all[3].ToCp;
        std::sort(byRound.begin(), byRound.end());
        std::printf("  zorezaz-cli --no-flush / cp -r by round, sorted:");
        for (double r : byRound) std::printf(" %.2f", r);
        std::printf("\n");
        PrintGoals(checked, Median(all[2].ToCpSync), Median(all[3].ToCp), std::max(all[2].PeakKiB, all[3].PeakKiB),
                   outputs);
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

// Base pictures of sizes spread over the set's range, made by `make(bytes)`;
// each of the set's files takes the one nearest a size drawn evenly on a log
// scale, and `dress(base, n)` gives it metadata of its own.
template <class tMake, class tDress>
void MakePictureSet(const std::string& dir, const char* type, const char* extension, tMake make, tDress dress,
                    int distinct = kPictureDistinct)
{
    std::mt19937 rng(2028);
    std::vector<decltype(make(0.0, 0))> bases;
    for (int i = 0; i < distinct; ++i)
        bases.push_back(make(kPictureMin * std::pow(kPictureMax / kPictureMin, (i + 0.5) / distinct), i));
    std::uniform_real_distribution<double> unit(0, 1);
    uint64_t total = 0;
    double smallest = 1e12, largest = 0;
    for (int n = 0; n < kPictureFiles; ++n) {
        const double want = kPictureMin * std::pow(kPictureMax / kPictureMin, unit(rng));
        const auto base = std::min_element(bases.begin(), bases.end(), [&](const auto& a, const auto& b) {
            return std::abs(static_cast<double>(a.size()) - want) < std::abs(static_cast<double>(b.size()) - want);
        });
        const std::string bytes = dress(*base, n);
        total += bytes.size();
        smallest = std::min(smallest, static_cast<double>(bytes.size()));
        largest = std::max(largest, static_cast<double>(bytes.size()));
        WriteFile(dir + "/picture" + std::to_string(n) + extension, bytes);
    }
    std::printf("Generated %s set: %d files of %.2f-%.2f MB, %.0f MB\n", type, kPictureFiles, smallest / 1e6,
                largest / 1e6, total / 1e6);
}

// Every PNG has eXIf, XMP in iTXt and tEXt/zTXt before its IDAT; every other
// one also text and tIME after it, as some editors add them.
void MakePngSet(const std::string& dir)
{
    std::mt19937 rng(2029);
    const double perPixel = NoisyPng(256, 256, 8192, rng).size() / 65536.0;
    auto make = [&](double bytes, int i) {
        const double pixels = std::max(256.0, bytes / perPixel);
        const int width = std::max(16, static_cast<int>(std::sqrt(pixels * 1.5)));
        // Mostly libpng's 8 KiB IDAT chunks, some larger, some one chunk.
        const size_t idat = i % 4 == 3 ? (1u << 20) : i % 8 == 1 ? 65536 : 8192;
        return NoisyPng(width, std::max(16, static_cast<int>(pixels / width)), idat, rng);
    };
    auto dress = [](const std::string& png, int n) {
        const size_t afterIhdr = 8 + 25, iend = png.size() - 12;
        std::string before = PngChunk("eXIf", PhoneTiff(n)) +
                             PngChunk("iTXt", std::string("XML:com.adobe.xmp\0\0\0\0\0", 22) + XmpPacket(n)) +
                             PngChunk("tEXt", std::string("Author\0", 7) + kOwner) +
                             PngChunk("tEXt", std::string("Comment\0", 8) + "taken at home, picture " +
                                                  std::to_string(n)) +
                             PngChunk("zTXt", std::string("Description\0\0", 13) +
                                                  Deflated("a description that must not be published", 6));
        std::string after;
        if (n % 2)
            after = PngChunk("tEXt", std::string("date:modify\0", 12) + "2025-11-12T10:00:00+01:00") +
                    PngChunk("tIME", std::string("\x07\xE9\x0B\x0C\x0A\x00\x00", 7));
        return png.substr(0, afterIhdr) + before + png.substr(afterIhdr, iend - afterIhdr) + after + png.substr(iend);
    };
    MakePictureSet(dir, "PNG", ".png", make, dress);
}

// Every WebP is extended: VP8X, the picture, EXIF and XMP.
void MakeWebpSet(const std::string& dir, const std::string& scratch)
{
    std::mt19937 rng(2030);
    const double perPixel = NoisyWebp(256, 256, rng, scratch).size() / 65536.0;
    struct tBase {
        std::string Bytes;
        int Width, Height;
        size_t size() const { return Bytes.size(); }
    };
    auto make = [&](double bytes, int) {
        const double pixels = std::max(256.0, bytes / perPixel);
        const int width = std::max(16, static_cast<int>(std::sqrt(pixels * 1.5)));
        const int height = std::max(16, static_cast<int>(pixels / width));
        return tBase{NoisyWebp(width, height, rng, scratch), width, height};
    };
    auto dress = [](const tBase& base, int n) {
        return ExtendedWebp(base.Bytes, base.Width, base.Height, PhoneTiff(n), XmpPacket(n));
    };
    MakePictureSet(dir, "WebP", ".webp", make, dress);
}

// heif-enc's picture of w x h pixels of a noisy PNG (x265's fastest preset,
// high quality, so that the sizes reach 5 MB in little time), with a
// thumbnail when `thumbnail` as phones store one, and then what a phone
// writes, told apart by `n`, written into it by exiftool: make, model, owner,
// dates and GPS position in EXIF, creator, date and place in XMP, and
// kHeicSerial in both.
std::string PhoneHeic(int width, int height, bool thumbnail, int n, std::mt19937& rng, const std::string& scratch)
{
    const std::string png = scratch + "/base.png", heic = scratch + "/base.heic";
    WriteFile(png, NoisyPng(width, height, 1u << 20, rng));
    if (std::system(("heif-enc -q 90 -p preset=ultrafast" + std::string(thumbnail ? " -t 320" : "") + " " + Q(png) +
                     " -o " + Q(heic) + " >/dev/null")
                        .c_str()) != 0) {
        std::fprintf(stderr, "heif-enc failed (Debian package libheif-examples)\n");
        std::exit(1);
    }
    const std::string day = "2025:11:" + std::to_string(10 + n % 19);
    const std::string date = day + " " + std::to_string(10 + n % 14) + ":" + std::to_string(10 + n % 50) + ":12";
    const std::string latitude = "48." + std::to_string(8000 + n * 37 % 1000);
    const std::string tags =
        " -Make=Bench -Model=" + Q("Phone " + std::to_string(n % 7)) + " -Orientation#=1 -Artist=" + Q(kOwner) +
        " -OwnerName=" + Q(kOwner) + " -SerialNumber=" + kHeicSerial + " -ModifyDate=" + Q(date) +
        " -DateTimeOriginal=" + Q(date) + " -CreateDate=" + Q(date) + " -GPSLatitude=" + latitude +
        " -GPSLatitudeRef=N -GPSLongitude=2.35 -GPSLongitudeRef=E -GPSDateStamp=" + day +
        " -XMP-dc:Creator=" + Q(kOwner) + " -XMP-dc:Identifier=" + kHeicSerial + " -XMP-xmp:CreateDate=" + Q(date) +
        " -XMP-exif:GPSLatitude=" + latitude + " -XMP-exif:GPSLongitude=2.35";
    if (std::system(("exiftool -q -overwrite_original" + tags + " " + Q(heic)).c_str()) != 0) {
        std::fprintf(stderr, "exiftool failed to write a HEIC's metadata\n");
        std::exit(1);
    }
    std::string out = ReadFile(heic);
    fs::remove(png);
    fs::remove(heic);
    if (out.size() < 12 || out.compare(4, 8, "ftypheic") != 0 || out.find(kOwner) == std::string::npos ||
        out.find(kHeicSerial) == std::string::npos) {
        std::fprintf(stderr, "heif-enc and exiftool wrote no HEIC naming its owner\n");
        std::exit(1);
    }
    return out;
}

// Every HEIC holds EXIF and XMP items naming the owner; every other base has
// a thumbnail item too. Each file is a copy of its base with a serial of its
// own: the cost of cleaning does not depend on the rest being unique.
void MakeHeicSet(const std::string& dir, const std::string& scratch)
{
    std::mt19937 rng(2031);
    const double perPixel = PhoneHeic(256, 256, false, 0, rng, scratch).size() / 65536.0;
    auto make = [&](double bytes, int i) {
        const double pixels = std::max(256.0, bytes / perPixel);
        const int width = std::max(16, static_cast<int>(std::sqrt(pixels * 1.5)));
        return PhoneHeic(width, std::max(16, static_cast<int>(pixels / width)), i % 2 == 1, i, rng, scratch);
    };
    auto dress = [](const std::string& base, int n) {
        std::string bytes = base;
        char serial[16];
        std::snprintf(serial, sizeof serial, "SN%06d", n);
        const size_t length = std::char_traits<char>::length(kHeicSerial);
        for (size_t at = bytes.find(kHeicSerial); at != std::string::npos; at = bytes.find(kHeicSerial, at + length))
            bytes.replace(at, length, serial);
        return bytes;
    };
    MakePictureSet(dir, "HEIC", ".heic", make, dress, kHeicDistinct);
}

// Runs a command through the shell, untimed; false when it fails.
bool Ran(const std::string& command) { return std::system(command.c_str()) == 0; }

std::string FirstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// Bytes free for a user, and bytes in use, on the file system of `path`.
double FreeBytes(const std::string& path)
{
    struct statvfs st {};
    return statvfs(path.c_str(), &st) == 0 ? static_cast<double>(st.f_bavail) * st.f_frsize : 0;
}

double UsedBytes(const std::string& path)
{
    struct statvfs st {};
    return statvfs(path.c_str(), &st) == 0 ? static_cast<double>(st.f_blocks - st.f_bfree) * st.f_frsize : 0;
}

uint64_t SetBytes(const std::string& set)
{
    uint64_t total = 0;
    for (const auto& e : fs::directory_iterator(set))
        if (e.is_regular_file()) total += e.file_size();
    return total;
}

// ffmpeg's base clip for one container: 4 s of a 1280 x 720 test picture at
// 30 frames a second in MPEG-4 part 2 at high quality (about 1.7 MB a second,
// so that few loops reach a size) with a tone in AAC.
std::string VideoBase(const std::string& dir, const char* extension)
{
    const std::string path = dir + "/base" + extension;
    if (!Ran("ffmpeg -v error -y -f lavfi -i testsrc2=size=1280x720:rate=30:duration=4 -f lavfi -i sine=duration=4 "
             "-c:v mpeg4 -q:v 2 -c:a aac " + Q(path))) {
        std::fprintf(stderr, "ffmpeg failed to make a base clip (Debian package ffmpeg)\n");
        std::exit(1);
    }
    return path;
}

// A phone's clip of about `bytes` bytes, told apart by `n`: the base played
// over and over by stream copy (nothing encoded: it goes as fast as the
// disk), with what a phone writes as QuickTime keys (make, model, place,
// owner) and its creation time in the movie's and tracks' headers; with
// `faststart` the movie header stands before the media, as for streaming.
void PhoneClip(const std::string& base, double bytes, int n, bool faststart, const std::string& path)
{
    const long loops = std::max(0L, std::lround(bytes / static_cast<double>(fs::file_size(base))) - 1);
    char place[40], time[40];
    std::snprintf(place, sizeof place, "+48.%04d+002.%04d/", 8000 + n * 37 % 1000, 3000 + n * 53 % 1000);
    std::snprintf(time, sizeof time, "2025-11-%02dT%02d:%02d:12Z", 10 + n % 19, 10 + n % 14, 10 + n % 50);
    const std::string command = "ffmpeg -v error -y -stream_loop " + std::to_string(loops) + " -i " + Q(base) +
                                " -map 0 -c copy -metadata make=Bench -metadata model=" +
                                Q("Phone " + std::to_string(n % 7)) + " -metadata location=" + place +
                                " -metadata creation_time=" + time + " -metadata artist=" + Q(kOwner) +
                                " -metadata author=" + Q(kOwner) + " -movflags use_metadata_tags" +
                                (faststart ? "+faststart " : " ") + Q(path);
    // grep reads the clip, not this process.
    if (!Ran(command) || !Ran("grep -qF -- " + Q(kOwner) + " " + Q(path))) {
        std::fprintf(stderr, "ffmpeg wrote no clip naming its owner: %s\n", path.c_str());
        std::exit(1);
    }
}

// kVideoFiles clips from two bases, one MOV and one MP4 (kept in `bases` for
// the large clip); the sizes are dealt out of order so that neither container
// nor faststart gets only the large ones.
void MakeVideoSet(const std::string& dir, const std::string& bases)
{
    const auto start = std::chrono::steady_clock::now();
    const std::string mov = VideoBase(bases, ".mov"), mp4 = VideoBase(bases, ".mp4");
    std::vector<double> sizes;
    for (int i = 0; i < kVideoFiles; ++i)
        sizes.push_back(kVideoMin * std::pow(kVideoMax / kVideoMin, i / (kVideoFiles - 1.0)));
    std::shuffle(sizes.begin(), sizes.end(), std::mt19937(2032));
    uint64_t total = 0;
    double smallest = 1e18, largest = 0;
    for (int n = 0; n < kVideoFiles; ++n) {
        const bool isMov = n % 2 == 0;
        const std::string path = dir + "/clip" + std::to_string(n) + (isMov ? ".mov" : ".mp4");
        PhoneClip(isMov ? mov : mp4, sizes[static_cast<size_t>(n)], n, n >= kVideoFiles / 2, path);
        const auto size = static_cast<double>(fs::file_size(path));
        total += fs::file_size(path);
        smallest = std::min(smallest, size);
        largest = std::max(largest, size);
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("Generated video set: %d clips of %.0f-%.0f MB (MOV and MP4, %d with faststart), %.0f MB, in %.0f s\n",
                kVideoFiles, smallest / 1e6, largest / 1e6, kVideoFiles - kVideoFiles / 2, total / 1e6, took.count());
}

// One clip past 4 GiB cleaned once with --no-flush beside cp of it: its peak
// memory must not grow with the file.
void BigClip(const std::string& cli, const std::string& scratch)
{
    std::printf("One MP4 clip of %.1f GB (past 4 GiB: 64-bit chunk offsets), cleaned once\n", kBigVideo / 1e9);
    const double room = FreeBytes(scratch);
    if (room < kBigVideoRoom) {
        std::printf("  skipped: %.1f GB free in %s, it and its copy need %.0f GB\n\n", room / 1e9, scratch.c_str(),
                    kBigVideoRoom / 1e9);
        return;
    }
    const std::string dir = scratch + "/big", out = scratch + "/big-out", path = dir + "/big.mp4";
    const std::string said = scratch + "/big.out", errors = scratch + "/big.err";
    const std::string clean = "rm -rf " + Q(out) + " && sync";
    fs::create_directories(dir);
    const auto start = std::chrono::steady_clock::now();
    PhoneClip(scratch + "/video-bases/base.mp4", kBigVideo, kVideoFiles, false, path);
    const std::chrono::duration<double> made = std::chrono::steady_clock::now() - start;
    const double size = static_cast<double>(fs::file_size(path));
    Timed("cat " + Q(path) + " >/dev/null");
    Timed(clean);
    const tRun cp = Timed("mkdir " + Q(out) + " && cp " + Q(path) + " " + Q(out + "/"));
    Timed(clean);
    const tRun zz = Timed(Q(cli) + " " + Q(dir) + " --exif --com --iptc --other --no-flush --out " + Q(out) + " >" +
                          Q(said) + " 2>" + Q(errors));
    const tOutputs o = CheckOutputs(dir, out, said, errors);
    Timed(clean);
    fs::remove_all(dir);
    std::printf("  made in %.0f s, %.2f GB; deleted after the run\n", made.count(), size / 1e9);
    std::printf("  %-24s %9s %10s %12s\n", "", "seconds", "/ cp", "peak RSS");
    std::printf("  %-24s %9.3f %10s %9.1f MB\n", "cp", cp.Seconds, "", cp.PeakKiB / 1024.0);
    std::printf("  %-24s %9.3f %10.2f %9.1f MB\n", "zorezaz-cli --no-flush", zz.Seconds, zz.Seconds / cp.Seconds,
                zz.PeakKiB / 1024.0);
    std::printf("  goal: %-38s <= %4.0f MB %5.1f MB  %s\n", "peak RSS of zorezaz-cli", kGoalPeakMB,
                zz.PeakKiB / 1024.0, Mark(zz.PeakKiB / 1024.0 <= kGoalPeakMB));
    std::printf("  output: %s; naming the owner: %s", o.Cleaned == 1 ? "present ✓" : "missing ✗",
                o.StillNamed == 0 ? "no ✓" : "yes ✗");
    if (o.Cleaned != 1) std::printf(" (first on standard error: %s)", o.FirstError.c_str());
    std::printf("\n\n");
    std::fflush(stdout);
}

// Where the payload of a movie's top-level mdat box lies, read header by
// header (ISO/IEC 14496-12: a size of 1 means a 64-bit size follows, 0 the
// rest of the file).
bool MdatRange(const std::string& path, uint64_t& begin, uint64_t& end)
{
    std::ifstream in(path, std::ios::binary);
    const uint64_t size = fs::file_size(path);
    for (uint64_t at = 0; at < size && size - at >= 8;) {
        unsigned char h[16];
        in.seekg(static_cast<std::streamoff>(at));
        if (!in.read(reinterpret_cast<char*>(h), 8)) return false;
        uint64_t length = 0, header = 8;
        for (int i = 0; i < 4; ++i) length = length << 8 | h[i];
        if (length == 1) {
            if (!in.read(reinterpret_cast<char*>(h) + 8, 8)) return false;
            length = 0;
            for (int i = 8; i < 16; ++i) length = length << 8 | h[i];
            header = 16;
        } else if (length == 0) {
            length = size - at;
        }
        if (length < header || length > size - at) return false;
        if (std::string(reinterpret_cast<char*>(h) + 4, 4) == "mdat") {
            begin = at + header;
            end = at + length;
            return true;
        }
        at += length;
    }
    return false;
}

// How many of the file system blocks wholly inside [begin, end) of `path`
// lie in extents filefrag -v marks shared, and how many there are.
std::pair<uint64_t, uint64_t> SharedBlocks(const std::string& path, uint64_t begin, uint64_t end,
                                           const std::string& listing)
{
    Timed("filefrag -v " + Q(path) + " >" + Q(listing));
    std::ifstream lines(listing);
    uint64_t block = 0, shared = 0;
    for (std::string line; std::getline(lines, line);) {
        // "File size of F is N (M blocks of B bytes)", then one extent a line:
        // "  0:   0..  20479:   29077504..  29097983:  20480:   : last,shared,eof"
        unsigned long long bytes = 0, first = 0, last = 0;
        const size_t of = line.rfind(" blocks of ");
        if (of != std::string::npos && std::sscanf(line.c_str() + of, " blocks of %llu bytes", &bytes) == 1) block = bytes;
        if (block == 0 || std::sscanf(line.c_str(), " %*u: %llu.. %llu:", &first, &last) != 2) continue;
        const uint64_t from = std::max<uint64_t>(first, (begin + block - 1) / block);
        const uint64_t to = std::min<uint64_t>(last + 1, end / block);
        if (from < to && line.find("shared") != std::string::npos) shared += to - from;
    }
    const uint64_t inside = block && end / block > (begin + block - 1) / block ? end / block - (begin + block - 1) / block : 0;
    return {shared, inside};
}

// Cleans `set` (with flush) into a folder in `dir`, on a file system that
// shares extents, and checks that the copies share the sources' media:
// disk use grows by less than 1 % of the clips' size, and every block wholly
// inside an output's mdat lies in an extent filefrag marks shared.
void MeasureShared(const std::string& cli, const std::string& set, const std::string& dir, const std::string& where)
{
    const std::string out = dir + "/shared-out", said = dir + "/shared.out", errors = dir + "/shared.err";
    const double bytes = static_cast<double>(SetBytes(set));
    Timed("sync");
    const double before = UsedBytes(dir);
    const tRun run = Timed(Q(cli) + " " + Q(set) + " --exif --com --iptc --other --out " + Q(out) + " >" + Q(said) +
                           " 2>" + Q(errors));
    Timed("sync");
    const double grew = UsedBytes(dir) - before;
    const tOutputs o = CheckOutputs(set, out, said, errors);
    uint64_t shared = 0, inside = 0;
    std::string unshared;
    for (const auto& e : fs::directory_iterator(out)) {
        uint64_t begin = 0, end = 0;
        if (!MdatRange(e.path().string(), begin, end)) {
            if (unshared.empty()) unshared = e.path().filename().string() + " (no mdat found)";
            continue;
        }
        const auto [s, n] = SharedBlocks(e.path().string(), begin, end, dir + "/filefrag.txt");
        shared += s;
        inside += n;
        if (s < n && unshared.empty()) unshared = e.path().filename().string();
    }
    Timed("rm -rf " + Q(out) + " && sync");
    // Beside cp -r there (which shares extents too), in the same rounds:
    // both without a flush, as the durable run above waits for each file.
    // Each takes milliseconds, so one round is mostly noise: the median of
    // the rounds' ratios counts, each round in the other order.
    const std::string copy = "cp -r " + Q(set) + " " + Q(out);
    const std::string quick =
        Q(cli) + " " + Q(set) + " --exif --com --iptc --other --no-flush --out " + Q(out) + " >/dev/null 2>&1";
    std::vector<double> copies, quicks, ratios;
    for (int round = 0; round < kSharedRounds; ++round) {
        double seconds[2];
        for (int i = 0; i < 2; ++i) {
            const int which = (round + i) % 2;
            Timed("rm -rf " + Q(out) + " && sync");
            seconds[which] = Timed(which == 0 ? copy : quick).Seconds;
        }
        copies.push_back(seconds[0]);
        quicks.push_back(seconds[1]);
        ratios.push_back(seconds[1] / seconds[0]);
    }
    Timed("rm -rf " + Q(out) + " && sync");
    const double ratio = Median(ratios);
    std::printf("  on %s: zorezaz-cli took %.3f s (peak RSS %.1f MB); medians of %d rounds: --no-flush %.4f s, "
                "cp -r %.4f s\n",
                where.c_str(), run.Seconds, run.PeakKiB / 1024.0, kSharedRounds, Median(quicks), Median(copies));
    std::sort(ratios.begin(), ratios.end());
    std::printf("  zorezaz-cli --no-flush / cp -r there by round, sorted:");
    for (double r : ratios) std::printf(" %.2f", r);
    std::printf("\n");
    std::printf("  goal: %-38s <= 2 x   %5.2f x  %s\n", "zorezaz-cli --no-flush / cp -r there", ratio,
                Mark(ratio <= 2));
    std::printf("  goal: %-38s <  1 %%   %6.2f %%  %s\n", "disk use grown / size of the clips", 100 * grew / bytes,
                Mark(grew < bytes / 100));
    std::printf("  goal: %-38s all    %llu of %llu  %s", "mdat blocks in shared extents",
                static_cast<unsigned long long>(shared), static_cast<unsigned long long>(inside),
                Mark(inside > 0 && shared == inside && unshared.empty()));
    if (!unshared.empty()) std::printf(" (first not all shared: %s)", unshared.c_str());
    std::printf("\n  outputs: %d of %d sources cleaned %s; naming the owner: %d %s\n\n", o.Cleaned, o.Sources,
                Mark(o.Cleaned == o.Sources), o.StillNamed, Mark(o.StillNamed == 0));
}

// The video set where copies can share the sources' blocks: the scratch
// folder's own file system when cp --reflink=always works there, else an
// XFS with reflink made in a file and mounted on a loop device (root only).
void SharedExtents(const std::string& cli, const std::string& set, const std::string& scratch)
{
    std::printf("Shared extents: the video set cleaned where a copy can share the source's blocks\n");
    auto skipped = [](const std::string& why) { std::printf("  skipped: %s\n\n", why.c_str()); };
    const std::string probe = scratch + "/reflink-probe";
    WriteFile(probe, std::string(1 << 16, 'z'));
    const bool here = Ran("cp --reflink=always " + Q(probe) + " " + Q(probe + "-copy") + " 2>/dev/null");
    fs::remove(probe);
    fs::remove(probe + "-copy");
    if (here) return MeasureShared(cli, set, scratch, "the scratch folder's own file system");
    const std::string why = "cp --reflink=always fails in " + scratch + ", and ";
    if (!Ran("command -v mkfs.xfs >/dev/null 2>&1")) return skipped(why + "mkfs.xfs is missing (Debian xfsprogs)");
    if (geteuid() != 0) return skipped(why + "a loop mount needs root");
    // The image holds a copy of the set and the outputs' new blocks; it is
    // sparse, so only what is written takes room.
    const double bytes = static_cast<double>(SetBytes(set));
    if (FreeBytes(scratch) < 1.2 * bytes + 1e9)
        return skipped(why + "too little room for an XFS image holding the set");
    const std::string image = scratch + "/xfs.img", mount = scratch + "/xfs", log = scratch + "/xfs.log";
    fs::create_directories(mount);
    if (!Ran("truncate -s " + std::to_string(static_cast<uint64_t>(2 * bytes + 1e9)) + " " + Q(image) +
             " && mkfs.xfs -q -m reflink=1 " + Q(image) + " >" + Q(log) + " 2>&1")) {
        fs::remove(image);
        return skipped(why + "mkfs.xfs -m reflink=1 failed: " + FirstLine(log));
    }
    if (!Ran("mount -o loop " + Q(image) + " " + Q(mount) + " >" + Q(log) + " 2>&1")) {
        fs::remove(image);
        return skipped(why + "the loop mount of an XFS made in a file failed: " + FirstLine(log));
    }
    Timed("cp -r " + Q(set) + " " + Q(mount + "/video") + " && sync");
    MeasureShared(cli, mount + "/video", mount, "an XFS with reflink in a file, on a loop device");
    // Lazily if busy: the scratch folder is removed after this, and must not
    // be removed through a mount.
    if (!Ran("umount " + Q(mount) + " 2>/dev/null") && !Ran("umount -l " + Q(mount))) {
        std::fprintf(stderr, "cannot unmount %s; %s is left\n", mount.c_str(), image.c_str());
        std::exit(1);
    }
    fs::remove(image);
}

void CompareVideos(const std::string& cli, const std::string& scratch)
{
    const auto start = std::chrono::steady_clock::now();
    char title[120];
    std::snprintf(title, sizeof title, "Video set (%d clips of %.0f-%.0f MB, MOV and MP4, half with faststart)",
                  kVideoFiles, kVideoMin / 1e6, kVideoMax / 1e6);
    Compare(title, cli, scratch + "/video", scratch, true, "MOV/MP4", kVideoBudget);
    BigClip(cli, scratch);
    SharedExtents(cli, scratch + "/video", scratch);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("The video part took %.0f s\n\n", took.count());
}

void CompareJpegSets(const std::string& cli, const std::string& scratch, const std::string& corpus)
{
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
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_batch ZOREZAZ_CLI [SCRATCH_DIR] [--make-only | --pictures | --videos]\n");
        return 2;
    }
    const std::string cli = fs::absolute(argv[1]).string();
    const std::string scratch = argc > 2 ? std::string(argv[2]) : fs::temp_directory_path().string() + "/zorezaz-bench";
    const bool makeOnly = argc > 3 && std::string(argv[3]) == "--make-only";
    const bool picturesOnly = argc > 3 && std::string(argv[3]) == "--pictures";
    const bool videosOnly = argc > 3 && std::string(argv[3]) == "--videos";
    const std::string corpus = fs::path(ZOREZAZ_SOURCE_DIR).parent_path().string() + "/shared/corpus";
    fs::remove_all(scratch);
    fs::create_directories(scratch + "/set");
    fs::create_directories(scratch + "/small");
    fs::create_directories(scratch + "/png");
    fs::create_directories(scratch + "/webp");
    fs::create_directories(scratch + "/heic");
    fs::create_directories(scratch + "/video");
    fs::create_directories(scratch + "/video-bases");

    // Made in a child process, so that the programs timed later are not
    // started from a process holding the images (their peak memory would
    // count it).
    const pid_t maker = fork();
    if (maker == 0) {
        if (!picturesOnly && !videosOnly) {
            const std::vector<std::string> heads = Heads(corpus);
            MakeLargeSet(scratch + "/set", heads);
            MakeSmallSet(scratch + "/small", heads);
        }
        if (!videosOnly) {
            MakePngSet(scratch + "/png");
            MakeWebpSet(scratch + "/webp", scratch);
            MakeHeicSet(scratch + "/heic", scratch);
        }
        if (!picturesOnly) MakeVideoSet(scratch + "/video", scratch + "/video-bases");
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(maker, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
    if (makeOnly) return 0;
    std::printf("\n");
    if (!picturesOnly && !videosOnly) CompareJpegSets(cli, scratch, corpus);
    if (!videosOnly) {
        const std::string pictures = std::to_string(kPictureFiles) + " pictures of 0.1-5 MB)";
        Compare("PNG set (" + pictures, cli, scratch + "/png", scratch, true, "PNG", 0, kPictureRounds);
        Compare("WebP set (" + pictures, cli, scratch + "/webp", scratch, true, "WebP", 0, kPictureRounds);
        Compare("HEIC set (" + pictures, cli, scratch + "/heic", scratch, true, "HEIC", 0, kPictureRounds);
    }
    if (!picturesOnly) CompareVideos(cli, scratch);
    fs::remove_all(scratch);
    return 0;
}
