#include "tests/support/png_fixtures.h"

#include <algorithm>

#include <zlib.h>

#include "meta/exif/tiff_block.h"

namespace fixture {

namespace {

std::string U32(uint32_t v)
{
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

}  // namespace

std::string Deflate(const std::string& raw)
{
    uLongf size = compressBound(uLong(raw.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
              uLong(raw.size()), 9);
    out.resize(size);
    return out;
}

std::string PngChunk(const std::string& type, const std::string& data)
{
    const std::string body = type + data;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()));
    return U32(uint32_t(data.size())) + body + U32(uint32_t(crc));
}

std::string PngFile(const std::vector<std::string>& chunks)
{
    std::string png("\x89PNG\r\n\x1A\n", 8);
    for (const std::string& c : chunks) png += c;
    return png;
}

std::string PngIhdr(int width, int height)
{
    // Bit depth 8, colour type 2 (RGB), deflate, adaptive filtering, no interlace.
    return PngChunk("IHDR", U32(uint32_t(width)) + U32(uint32_t(height)) + std::string("\x08\x02\0\0\0", 5));
}

std::vector<std::string> PngPictureData(int width, int height, int pieces)
{
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';  // filter type None
        for (int x = 0; x < width; ++x) raw += {char(x * 40), char(y * 60), char((x + y) * 20)};
    }
    const std::string z = Deflate(raw);
    std::vector<std::string> chunks;
    const size_t step = (z.size() + size_t(pieces) - 1) / size_t(pieces);
    for (size_t at = 0; at < z.size(); at += step) chunks.push_back(PngChunk("IDAT", z.substr(at, step)));
    return chunks;
}

std::string PngIend()
{
    return PngChunk("IEND", {});
}

std::string TinyPng(const std::vector<std::string>& before, const std::vector<std::string>& after, int pieces,
                    int width, int height)
{
    std::vector<std::string> chunks{PngIhdr(width, height)};
    chunks.insert(chunks.end(), before.begin(), before.end());
    for (const std::string& c : PngPictureData(width, height, pieces)) chunks.push_back(c);
    chunks.insert(chunks.end(), after.begin(), after.end());
    chunks.push_back(PngIend());
    return PngFile(chunks);
}

std::string TinyApng(const std::vector<std::string>& before)
{
    const std::string frame = PngPictureData(4, 3)[0];
    const std::string fctl = U32(4) + U32(3) + U32(0) + U32(0) + std::string("\0\1\0\x0A\0\0", 6);
    std::vector<std::string> chunks{PngIhdr(4, 3), PngChunk("acTL", U32(2) + U32(0))};
    chunks.insert(chunks.end(), before.begin(), before.end());
    chunks.insert(chunks.end(), {PngChunk("fcTL", U32(0) + fctl), frame, PngChunk("fcTL", U32(1) + fctl),
                                 PngChunk("fdAT", U32(2) + frame.substr(8, frame.size() - 12)), PngIend()});
    return PngFile(chunks);
}

std::string TextAmidPictureData()
{
    std::vector<std::string> chunks = PngPictureData(16, 16, 4);
    chunks.insert(chunks.begin() + 2, TextChunk("Author", "Ann"));
    chunks.insert(chunks.begin(), PngIhdr(16, 16));
    chunks.push_back(PngIend());
    return PngFile(chunks);
}

std::string TextChunk(const std::string& keyword, const std::string& text)
{
    return PngChunk("tEXt", keyword + '\0' + text);
}

std::string ZtxtChunk(const std::string& keyword, const std::string& text)
{
    return PngChunk("zTXt", keyword + std::string(2, '\0') + Deflate(text));
}

std::string ItxtChunk(const std::string& keyword, const std::string& text, bool compressed)
{
    return PngChunk("iTXt", keyword + '\0' + char(compressed ? 1 : 0) + '\0' + "en" + '\0' + '\0' +
                                (compressed ? Deflate(text) : text));
}

bool tPngChunkAt::CrcRight() const
{
    return PngChunk(Type, Data()) == Bytes;
}

std::vector<tPngChunkAt> WalkPng(const std::string& png)
{
    std::vector<tPngChunkAt> chunks;
    size_t pos = 8;
    while (png.size() >= 12 && pos <= png.size() - 12) {
        const auto* p = reinterpret_cast<const uint8_t*>(png.data() + pos);
        const uint64_t length = uint64_t(p[0]) << 24 | uint64_t(p[1]) << 16 | uint64_t(p[2]) << 8 | p[3];
        if (length > png.size() - pos - 12) break;
        chunks.push_back({png.substr(pos + 4, 4), pos, png.substr(pos, size_t(length) + 12)});
        pos += size_t(length) + 12;
        if (chunks.back().Type == "IEND") break;
    }
    return chunks;
}

bool HoldsRemoved(const tPngChunkAt& c, const tChoices& choices)
{
    static const std::vector<std::string> kept{"iCCP", "sRGB", "gAMA", "cHRM", "cICP", "mDCV", "cLLI", "pHYs", "sBIT",
                                               "bKGD", "tRNS", "hIST", "sPLT", "acTL", "fcTL", "fdAT"};
    if (c.Type == "eXIf") {
        bool minimal = c.Data().empty();
        for (int o = 1; o <= 8; ++o) minimal |= c.Data() == OrientationTiff(o);
        return choices.Exif && !minimal;
    }
    if (c.Type == "tEXt" || c.Type == "zTXt" || c.Type == "iTXt") {
        std::string k = c.Data().substr(0, c.Data().find('\0'));
        std::transform(k.begin(), k.end(), k.begin(), [](char x) { return x >= 'A' && x <= 'Z' ? char(x + 32) : x; });
        if (k == "raw profile type exif" || k == "raw profile type app1") return choices.Exif;
        if (k == "raw profile type iptc" || k == "raw profile type 8bim") return choices.Iptc;
        return k == "comment" ? choices.Comment : choices.Other;
    }
    const bool critical = c.Type[0] >= 'A' && c.Type[0] <= 'Z';
    return !critical && choices.Other && std::find(kept.begin(), kept.end(), c.Type) == kept.end();
}

}  // namespace fixture
