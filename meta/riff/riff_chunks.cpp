#include "meta/riff/riff_chunks.h"

#include <cerrno>

#include <unistd.h>

#include "meta/clean/plan.h"

namespace {

uint32_t ReadLittleEndian32(const char* p)
{
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

void Ensure(bool condition, const char* reason)
{
    if (!condition) throw EDamagedFile(reason);
}

}  // namespace

std::string ReadRiffBytes(int fd, int64_t offset, int64_t length)
{
    std::string bytes(static_cast<size_t>(length), '\0');
    Ensure(ReadAt(fd, bytes.data(), bytes.size(), offset), "the file cannot be read to its end");
    return bytes;
}

std::vector<tRiffChunk> ReadChunks(int fd, int64_t begin, int64_t end, int64_t& budget,
                                   const tChunkReasons& reasons)
{
    std::vector<tRiffChunk> chunks;
    int64_t pos = begin;
    while (pos < end) {
        Ensure(budget-- > 0, reasons.Count);
        Ensure(kChunkHeaderLength <= end - pos, reasons.Header);
        const std::string head = ReadRiffBytes(fd, pos, kChunkHeaderLength);
        tRiffChunk chunk{head.substr(0, 4), pos, ReadLittleEndian32(head.data() + 4)};
        // (end - pos is at least 8 here: no difference below can wrap.)
        Ensure(chunk.Size <= end - pos - kChunkHeaderLength, reasons.Payload);
        Ensure(chunk.Span() <= end - pos, reasons.Pad);
        pos += chunk.Span();
        chunks.push_back(std::move(chunk));
    }
    return chunks;
}

tRiff ReadRiff(int fd, int64_t fileSize)
{
    tRiff riff;
    riff.FileSize = fileSize;
    Ensure(fileSize >= kRiffHeaderLength, "the file ends inside the RIFF header");
    const std::string header = ReadRiffBytes(fd, 0, kRiffHeaderLength);
    Ensure(header.compare(0, 4, "RIFF") == 0, "no RIFF header");
    riff.Form = header.substr(8, 4);
    const int64_t size = ReadLittleEndian32(header.data() + 4);
    Ensure(size >= 4, "the RIFF size is too small for its form type");
    Ensure(size <= fileSize - 8, "the RIFF size runs past the end of the file");
    riff.End = 8 + size;

    int64_t budget = kMaxRiffChunks;
    riff.Chunks = ReadChunks(fd, kRiffHeaderLength, riff.End, budget,
                             {"more chunks than any picture holds", "a chunk header runs past the end of the RIFF",
                              "a chunk runs past the end of the RIFF",
                              "a chunk's pad byte runs past the end of the RIFF"});
    return riff;
}

std::string LittleEndian32(uint32_t value)
{
    return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8 & 0xFF),
            static_cast<char>(value >> 16 & 0xFF), static_cast<char>(value >> 24)};
}

std::string RiffChunk(const std::string& fourCC, const std::string& payload)
{
    std::string chunk = fourCC + LittleEndian32(static_cast<uint32_t>(payload.size())) + payload;
    if (payload.size() & 1) chunk += '\0';
    return chunk;
}
