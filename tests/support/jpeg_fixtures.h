#pragma once
// Fixtures for tests: real JPEG streams made with libjpeg at test time, segments
// assembled as bytes, and a scratch folder that cleans up after itself.

#include <cstdint>
#include <string>
#include <vector>

namespace fixture {

// A w x h RGB image compressed by libjpeg: SOI, DQT, SOF0, DHT, SOS, data, EOI
// (no APP0 unless `jfif`).
std::string TinyJpeg(int width = 8, int height = 8, bool jfif = false);

// FF, marker, the two big-endian length bytes, payload.
std::string Segment(uint8_t marker, const std::string& payload);

// `jpeg` with `segments` inserted right after its SOI.
std::string AfterSoi(const std::string& jpeg, const std::string& segments);

// An APP1 "Exif" segment around a TIFF body (starting with "II" or "MM").
std::string ExifSegment(const std::string& tiff);
// A minimal little-endian TIFF body: header and an empty first directory.
std::string EmptyTiffLE();

// An APP2 MPF index (little-endian) for `pictures` pictures, sizes and
// offsets zero until MultiPicture patches them.
std::string MpfSegment(size_t pictures = 2);
// SOI, `before` the MPF block, the MPF block, `after`, the rest of a first
// picture, `trailer`, then each of `further` in turn; the index made to point
// at each (the first picture's offset 0, the others' from the MP header).
std::string MultiPicture(const std::string& before, const std::string& after,
                         const std::vector<std::string>& further, const std::string& trailer = {});

// The first APP1 segment of `jpeg`'s head whose payload starts with "Exif",
// from its length bytes on (as the container stores it); empty when none.
std::string ExifSegmentOf(const std::string& jpeg);

// Offset of the first FF DA in `jpeg` (npos when none).
size_t SosOffset(const std::string& jpeg);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);

// A fresh folder under the system's temporary folder (or under `parent`),
// removed with its content.
class TempDir {
public:
    explicit TempDir(const std::string& parent = {});
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return FPath; }
    // Path + "/" + name.
    std::string operator/(const std::string& name) const { return FPath + "/" + name; }
    // Writes `bytes` to Path()/name and returns that path.
    std::string Write(const std::string& name, const std::string& bytes) const;

private:
    std::string FPath;
};

// Folders of 200-byte names below `root`, nested until the path is longer
// than `minLength` bytes (made relative to each folder, so it may exceed
// PATH_MAX), with `fileName` holding `bytes` in the deepest. Returns its path.
std::string DeepFolder(const std::string& root, size_t minLength, const std::string& fileName,
                       const std::string& bytes);

// ../shared/corpus next to the source tree, or empty when it is absent.
std::string CorpusDir();
// Every .jpg/.jpeg file below CorpusDir() (any case), sorted; empty without it.
std::vector<std::string> CorpusJpegs();

}  // namespace fixture
