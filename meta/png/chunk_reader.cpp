#include "meta/png/chunk_reader.h"

#include <algorithm>
#include <cerrno>

#include "meta/clean/picture_file.h"
#include "meta/clean/plan.h"
#include "meta/png/chunks.h"

namespace png {

namespace {

// A broken structure: what is wrong, in the words the batch shows after
// "Damaged PNG file FILE: ".
void Ensure(bool ok, const char* reason)
{
    if (!ok) throw EDamagedFile(reason);
}

uint32_t BigEndian32(const char* p)
{
    return uint32_t(uint8_t(p[0])) << 24 | uint32_t(uint8_t(p[1])) << 16 | uint32_t(uint8_t(p[2])) << 8 |
           uint32_t(uint8_t(p[3]));
}

}  // namespace

tChunkReader::tChunkReader(int fd, int64_t size, std::string name) : FFd(fd), FSize(size), FName(std::move(name))
{
    Ensure(FSize >= int64_t(kSignature.size()), "the file ends inside the PNG signature");
    char signature[8];
    Read(signature, sizeof signature, 0);
    Ensure(std::string_view(signature, sizeof signature) == kSignature, "no PNG signature");
    FPos = int64_t(kSignature.size());
}

void tChunkReader::Read(char* buffer, size_t n, int64_t offset) const
{
    errno = 0;
    if (!ReadAt(FFd, buffer, n, offset)) {
        // An early end: the file shrank since it was measured.
        if (errno == 0) throw EDamagedFile("the file ended while it was read");
        throw EFileError(EFileError::TStep::Read, FName, errno);
    }
}

bool tChunkReader::Next()
{
    if (FEnded) return false;
    Ensure(FPos < FSize, "no IEND chunk");
    Ensure(FSize - FPos >= 12, "a chunk is cut short at the end of the file");
    char header[8];
    Read(header, sizeof header, FPos);
    FChunk.Offset = FPos;
    FChunk.Length = BigEndian32(header);
    FChunk.Type = BigEndian32(header + 4);
    Ensure(FChunk.Length <= kMaxChunkLength, "a chunk length is larger than 2^31-1");
    Ensure(int64_t{FChunk.Length} <= FSize - FPos - 12, "a chunk runs past the end of the file");
    Ensure(IsValidType(FChunk.Type), "a chunk type is not four letters");
    Ensure(FPos != int64_t(kSignature.size()) || FChunk.Type == IHDR, "the first chunk is not IHDR");
    FPos = FChunk.End();
    FEnded = FChunk.Type == IEND;
    return true;
}

bool tChunkReader::StepOver(int64_t length)
{
    if (FEnded || length <= 0 || length > FSize - FPos) return false;
    FPos += length;
    return true;
}

std::string tChunkReader::ReadData(uint32_t max) const
{
    std::string data(std::min(max, FChunk.Length), '\0');
    Read(data.data(), data.size(), FChunk.DataOffset());
    return data;
}

}  // namespace png
