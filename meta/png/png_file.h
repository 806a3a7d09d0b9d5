#pragma once
// A PNG file as the format table sees it: its chunks as parts, and the plan
// of a cleaned copy that copies every kept chunk as it stands.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>

#include "meta/clean/picture_file.h"

// Cameras and editors write a few dozen chunks besides the picture data; a
// file of thousands is crafted, and is refused before it costs memory.
inline constexpr size_t kMaxPngParts = 4096;
// The EXIF a PNG carries is a camera's block, well below this; more is read
// no further (the orientation stands in IFD0, at the start).
inline constexpr uint32_t kMaxPngExifBytes = 1u << 20;
// What a listing shows: each text chunk up to kMaxShownText, the XMP packet
// up to kMaxShownXmp, and all texts together up to kMaxListedBytes.
inline constexpr size_t kMaxShownText = 64 * 1024;
inline constexpr size_t kMaxShownXmp = 1u << 20;
inline constexpr size_t kMaxListedBytes = 8u << 20;

bool LooksLikePng(std::string_view first);
std::unique_ptr<tPictureFile> ScanPng(tFileHandle file, const struct stat& st, const std::string& name,
                                      bool listing);

// eXIf with `tiff` as its data, its CRC computed.
std::string ExifChunk(const std::string& tiff);

class tPngFile : public tPictureFile {
public:
    // `copied`: runs of picture data known to lie at these offsets, which
    // the scan steps over (see Reread).
    tPngFile(tFileHandle file, const struct stat& st, const std::string& name, bool listing,
             const std::vector<tPart>& copied = {});
    tFileType Type() const override { return tFileType::Png; }
    // The signature and every kept chunk as source ranges; with EXIF
    // rewritten, a new eXIf of the orientation alone before the picture data.
    const tPlan& Plan(const tChoices& choices) override;

protected:
    std::unique_ptr<tPictureFile> Reread(int fd, const std::vector<tPart>& copied) const override;

private:
    std::string FName;
    mode_t FMode = 0644;
    size_t FPictureAt = 0;  // the part a new eXIf goes before: the first IDAT's, or IEND's
    tPlan FPlan;
};
