#include "meta/png/text_chunks.h"

#include <algorithm>

#include <zlib.h>

#include "meta/clean/plan.h"
#include "meta/png/chunks.h"

namespace png {

std::string KeywordOf(const std::string& head)
{
    return head.substr(0, head.find('\0'));
}

std::string Latin1ToUtf8(const std::string& latin1)
{
    std::string utf8;
    utf8.reserve(latin1.size());
    for (const char c : latin1) {
        const auto b = uint8_t(c);
        if (b < 0x80) {
            utf8 += c;
        } else {
            utf8 += char(0xC0 | (b >> 6));
            utf8 += char(0x80 | (b & 0x3F));
        }
    }
    return utf8;
}

std::string InflateAt(int fd, int64_t offset, int64_t length, size_t max)
{
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return {};
    constexpr size_t kBlock = 16 * 1024;
    std::string in(kBlock, '\0'), out;
    length = std::min(length, kMaxInflateInput);
    int status = Z_OK;
    while (status == Z_OK && out.size() < max && length > 0) {
        const auto n = size_t(std::min<int64_t>(length, kBlock));
        if (!ReadAt(fd, in.data(), n, offset)) break;
        offset += int64_t(n);
        length -= int64_t(n);
        z.next_in = reinterpret_cast<Bytef*>(in.data());
        z.avail_in = uInt(n);
        while (z.avail_in > 0 && out.size() < max) {
            const size_t had = out.size();
            const size_t room = std::min(kBlock, max - had);
            out.resize(had + room);
            z.next_out = reinterpret_cast<Bytef*>(out.data() + had);
            z.avail_out = uInt(room);
            status = inflate(&z, Z_NO_FLUSH);
            out.resize(had + room - z.avail_out);
            if (status != Z_OK) break;
        }
    }
    inflateEnd(&z);
    return out;
}

std::string TextOf(const tChunkReader& reader, size_t keywordLength, size_t max)
{
    const tChunk& chunk = reader.Chunk();
    size_t start = keywordLength + 1;  // past the keyword's NUL
    bool compressed = chunk.Type == zTXt;
    if (chunk.Type == zTXt) {
        ++start;  // the compression method: 0, zlib, is the only one
    } else if (chunk.Type == iTXt) {
        // Flag and method, then a language tag and a translated keyword, each with a NUL.
        const std::string head = reader.ReadData(kTextHeaderBytes);
        if (head.size() < start + 2) return {};
        compressed = head[start] != 0;
        const size_t language = head.find('\0', start + 2);
        const size_t translated = language == std::string::npos ? language : head.find('\0', language + 1);
        if (translated == std::string::npos) return {};
        start = translated + 1;
    }
    if (start > chunk.Length) return {};
    const int64_t at = chunk.DataOffset() + int64_t(start);
    const int64_t length = int64_t{chunk.Length} - int64_t(start);
    std::string text;
    if (compressed) {
        text = InflateAt(reader.Fd(), at, length, max);
    } else {
        text.resize(size_t(std::min<int64_t>(length, int64_t(max))));
        if (!ReadAt(reader.Fd(), text.data(), text.size(), at)) return {};
    }
    return chunk.Type == iTXt ? text : Latin1ToUtf8(text);
}

}  // namespace png
