#include "tests/support/jpeg_fixtures.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <jpeglib.h>

#include "tests/support/tiff_builder.h"

namespace fs = std::filesystem;

namespace fixture {

std::string TinyJpeg(int width, int height, bool jfif)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* mem = nullptr;
    unsigned long memSize = 0;
    jpeg_mem_dest(&cinfo, &mem, &memSize);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    cinfo.write_JFIF_header = jfif ? TRUE : FALSE;
    jpeg_set_quality(&cinfo, 75, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < width; ++x) {
            row[x * 3] = static_cast<unsigned char>(x * 31 + cinfo.next_scanline * 7);
            row[x * 3 + 1] = static_cast<unsigned char>(x * 5);
            row[x * 3 + 2] = static_cast<unsigned char>(cinfo.next_scanline * 13);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string out(reinterpret_cast<char*>(mem), memSize);
    free(mem);
    return out;
}

std::string Segment(uint8_t marker, const std::string& payload)
{
    const size_t n = payload.size() + 2;
    if (n > 0xFFFF) throw std::length_error("segment payload too long");
    std::string s;
    s += '\xFF';
    s += static_cast<char>(marker);
    s += static_cast<char>(n >> 8);
    s += static_cast<char>(n & 0xFF);
    return s + payload;
}

std::string AfterSoi(const std::string& jpeg, const std::string& segments)
{
    return jpeg.substr(0, 2) + segments + jpeg.substr(2);
}

std::string ExifSegment(const std::string& tiff)
{
    return Segment(0xE1, std::string("Exif\0\0", 6) + tiff);
}

std::string EmptyTiffLE()
{
    // "II", 42, first directory at 8; a directory with no entries and no next.
    return std::string("II\x2A\x00\x08\x00\x00\x00" "\x00\x00" "\x00\x00\x00\x00", 14);
}

std::string MpfSegment(size_t pictures)
{
    using namespace std::string_literals;
    TiffBuilder t(false);
    const auto count = static_cast<uint32_t>(pictures);
    // MP header, version, count, then the entries right after the IFD (CIPA DC-007).
    std::string index = "MPF\0"s + "II*\0"s + t.U32(8) + t.U16(3);
    index += t.U16(0xB000) + t.U16(7) + t.U32(4) + "0100";
    index += t.U16(0xB001) + t.U16(4) + t.U32(1) + t.U32(count);
    index += t.U16(0xB002) + t.U16(7) + t.U32(16 * count) + t.U32(8 + 2 + 36 + 4);
    index += t.U32(0);
    index += t.U32(0x030000) + t.U32(0) + t.U32(0) + t.U32(0);
    for (size_t i = 1; i < pictures; ++i) index += t.U32(0) + t.U32(0) + t.U32(0) + t.U32(0);
    return Segment(0xE2, index);
}

std::string MultiPicture(const std::string& before, const std::string& after, const std::vector<std::string>& further,
                         const std::string& trailer)
{
    const std::string primary = AfterSoi(TinyJpeg(16, 16), before + MpfSegment(further.size() + 1) + after);
    const size_t mpHeader = primary.find(std::string("MPF\0", 4)) + 4;
    const size_t entries = mpHeader + 8 + 2 + 36 + 4;
    TiffBuilder t(false);
    std::string file = primary + trailer;
    file.replace(entries + 4, 4, t.U32(static_cast<uint32_t>(primary.size())));
    for (size_t i = 0; i < further.size(); ++i) {
        const size_t entry = entries + 16 * (i + 1);
        file.replace(entry + 4, 4, t.U32(static_cast<uint32_t>(further[i].size())));
        file.replace(entry + 8, 4, t.U32(static_cast<uint32_t>(file.size() - mpHeader)));
        file += further[i];
    }
    return file;
}

std::string ExifSegmentOf(const std::string& jpeg)
{
    // The head walked by segment lengths up to SOS or EOI (ITU T.81, B.1.1).
    size_t pos = 2;
    while (pos + 4 <= jpeg.size() && static_cast<uint8_t>(jpeg[pos]) == 0xFF) {
        const auto code = static_cast<uint8_t>(jpeg[pos + 1]);
        if (code == 0xFF) {
            ++pos;
            continue;
        }
        if (code == 0xDA || code == 0xD9) break;
        const size_t length = static_cast<uint8_t>(jpeg[pos + 2]) * 256u + static_cast<uint8_t>(jpeg[pos + 3]);
        if (code == 0xE1 && jpeg.compare(pos + 4, 4, "Exif") == 0) return jpeg.substr(pos + 2, length);
        pos += 2 + length;
    }
    return {};
}

size_t SosOffset(const std::string& jpeg)
{
    return jpeg.find("\xFF\xDA");
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool Exists(const std::string& path)
{
    std::error_code ec;
    return fs::symlink_status(path, ec).type() != fs::file_type::not_found && !ec;
}

TempDir::TempDir(const std::string& parent)
{
    std::string tmpl = ((parent.empty() ? fs::temp_directory_path() : fs::path(parent)) / "zorezaz-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    FPath = tmpl;
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Tests may leave read-only folders behind; make them removable first.
    for (auto it = fs::recursive_directory_iterator(FPath, ec); !ec && it != fs::end(it); it.increment(ec))
        if (it->is_directory(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(FPath, ec);
    // A tree deeper than a path may be long (see DeepFolder) needs rm, which
    // works relative to each folder.
    if (fs::exists(FPath, ec)) std::system(("rm -rf '" + FPath + "'").c_str());
}

std::string DeepFolder(const std::string& root, size_t minLength, const std::string& fileName,
                       const std::string& bytes)
{
    std::string path = root;
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (char c = 'a'; path.size() <= minLength; ++c) {
        const std::string name(200, c);
        if (fd < 0 || ::mkdirat(fd, name.c_str(), 0755) != 0) throw std::runtime_error("mkdirat failed");
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        path += "/" + name;
    }
    const int file = ::openat(fd, fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool written = file >= 0 && ::write(file, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    if (file >= 0) ::close(file);
    ::close(fd);
    if (!written) throw std::runtime_error("cannot write " + fileName);
    return path;
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const
{
    const std::string path = FPath + "/" + name;
    WriteFile(path, bytes);
    return path;
}

std::string CorpusDir()
{
    const fs::path dir = fs::path(ZOREZAZ_SOURCE_DIR).parent_path() / "shared" / "corpus";
    std::error_code ec;
    return fs::is_directory(dir, ec) ? dir.string() : std::string();
}

std::vector<std::string> CorpusJpegs()
{
    std::vector<std::string> files;
    const std::string dir = CorpusDir();
    if (dir.empty()) return files;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        std::string ext = e.path().extension().string();
        for (char& c : ext)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (e.is_regular_file() && (ext == ".jpg" || ext == ".jpeg")) files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace fixture
