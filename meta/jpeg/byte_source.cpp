#include "meta/jpeg/byte_source.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

#include "meta/exif/end_ind.h"

bool tByteSource::Refill()
{
    if (FFd < 0) return false;
    FBuffer.resize(kBufferSize);
    ssize_t got;
    do {
        got = ::read(FFd, FBuffer.data(), FBuffer.size());
    } while (got < 0 && errno == EINTR);
    if (got < 0) throw EMetaError("Stream read error");
    FData = FBuffer.data();
    FPos = 0;
    FLen = static_cast<size_t>(got);
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
