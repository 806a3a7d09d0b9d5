#pragma once
// What the targets of formats cleaned in place (HEIF, movies) share: the scan
// that takes a refusal as a normal outcome, and the copy read back whole.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/fuzz_check.h"
#include "meta/clean/picture_file.h"
#include "store/file_io.h"

// The file at `path` scanned for a listing as a `T`, or nullptr when it is
// refused (damaged, or not cleanable in place).
template <class T>
std::unique_ptr<T> ScanOrRefused(const std::string& path)
{
    struct stat st;
    tFileHandle file(OpenForReading(path, st));
    try {
        return std::make_unique<T>(std::move(file), static_cast<int64_t>(st.st_size), true);
    } catch (const EDamagedFile&) {
        return nullptr;
    } catch (const ECannotClean&) {
        return nullptr;
    }
}

inline std::string ReadCopy(int fd)
{
    std::string bytes(static_cast<size_t>(::lseek(fd, 0, SEEK_END)), '\0');
    Check(ReadAt(fd, bytes.data(), bytes.size(), 0), "the copy can be read");
    return bytes;
}
