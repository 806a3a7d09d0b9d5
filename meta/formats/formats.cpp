#include "meta/formats/formats.h"

#include <cerrno>

#include <unistd.h>

#include "meta/heif/heif_file.h"
#include "meta/jpeg/jpeg_file.h"
#include "meta/movie/movie_file.h"
#include "meta/png/png_file.h"
#include "meta/riff/webp_file.h"

const std::vector<tFormat>& Formats()
{
    static const std::vector<tFormat> formats = {
        {tFileType::Jpeg, "JPEG", "jpeg", {".jpg", ".jpeg"}, LooksLikeJpeg, ScanJpeg},
        {tFileType::Png, "PNG", "png", {".png"}, LooksLikePng, ScanPng},
        {tFileType::Webp, "WebP", "webp", {".webp"}, LooksLikeWebp, ScanWebp},
        {tFileType::Heif, "HEIC/AVIF", "heif", {".heic", ".heif", ".hif", ".avif"}, LooksLikeHeif, ScanHeif},
        // After HEIF: an image sequence's ftyp may name movie brands too. (The
        // name is the one messages use: "Damaged MOV/MP4 file ...".)
        {tFileType::Video, "MOV/MP4", "video", {".mov", ".mp4", ".m4v", ".3gp"}, LooksLikeMovie, ScanMovie},
    };
    return formats;
}

const tFormat* SniffFormat(std::string_view first)
{
    for (const tFormat& format : Formats())
        if (format.Sniff(first)) return &format;
    return nullptr;
}

const tFormat* SniffFormat(int fd, const std::string& name)
{
    char first[kSniffLength];
    size_t got = 0;
    while (got < sizeof first) {
        const ssize_t n = ::pread(fd, first + got, sizeof first - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EFileError(EFileError::TStep::Read, name, errno);
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return SniffFormat(std::string_view(first, got));
}
