#include "meta/jpeg/byte_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "meta/exif/end_ind.h"

tByteSource::tByteSource(int fd, int64_t start, size_t firstRead)
    : FFd(fd), FNext(start), FFirstRead(std::clamp<size_t>(firstRead, 1, kBufferSize))
{
    struct stat st;
    if (::fstat(fd, &st) != 0) throw EMetaError("Stream read error");
    FSize = st.st_size;
}

tByteSource::tByteSource(int fd, int64_t start, int64_t size, size_t firstRead)
    : FFd(fd), FNext(start), FSize(size), FFirstRead(std::clamp<size_t>(firstRead, 1, kBufferSize))
{
}

bool tByteSource::Refill()
{
    if (FFd < 0) return false;
    const size_t want = FReads++ == 0 ? FFirstRead : kBufferSize;
    // Not zeroed first: the read fills it, and a head costs one read of it per file.
    if (FCapacity < want) {
        FBuffer = std::make_unique_for_overwrite<char[]>(want);
        FCapacity = want;
    }
    ssize_t got;
    do {
        got = ::pread(FFd, FBuffer.get(), want, FNext);
    } while (got < 0 && errno == EINTR);
    if (got < 0) throw EMetaError("Stream read error");
    if (FReads == 1) FFirstGot = static_cast<size_t>(got);
    FData = FBuffer.get();
    FPos = 0;
    FLen = static_cast<size_t>(got);
    FNext += got;
    return got > 0;
}

size_t tByteSource::Read(std::string& out, size_t n)
{
    size_t done = 0;
    while (done < n) {
        if (FPos == FLen && !Refill()) break;
        const size_t take = std::min(n - done, FLen - FPos);
        out.append(FData + FPos, take);
        FPos += take;
        done += take;
    }
    return done;
}

uint64_t tByteSource::Skip(uint64_t n)
{
    const uint64_t buffered = std::min<uint64_t>(n, FLen - FPos);
    FPos += static_cast<size_t>(buffered);
    if (buffered == n || FFd < 0) return buffered;
    // Past the buffer: move the read position instead of reading the bytes.
    const uint64_t left = n - buffered;
    const uint64_t room = FNext < FSize ? static_cast<uint64_t>(FSize - FNext) : 0;
    const uint64_t skipped = std::min(left, room);
    FNext += static_cast<int64_t>(skipped);
    FPos = FLen = 0;
    return buffered + skipped;
}

bool tByteSource::SkipPast(uint8_t b)
{
    for (;;) {
        if (FPos == FLen && !Refill()) return false;
        const void* hit = std::memchr(FData + FPos, b, FLen - FPos);
        if (hit) {
            FPos = static_cast<size_t>(static_cast<const char*>(hit) - FData) + 1;
            return true;
        }
        FPos = FLen;
    }
}

std::string tByteSource::TakeFirstRead()
{
    std::string out;
    if (FFd >= 0 && FReads == 1) out.assign(FBuffer.get(), FFirstGot);
    FData = nullptr;
    FPos = FLen = 0;
    FNext = FSize;
    return out;
}
