#include "meta/exif/image_info.h"

#include "meta/jpeg/img_data.h"

// Placeholder walk until the directory parser lands.

TImageInfo::TImageInfo(TimgData* owner, int32_t buildSelector)
    : Owner(owner), BuildSelector(buildSelector)
{
}

TImageInfo::~TImageInfo() = default;

int32_t TImageInfo::FindTagIndex(const std::string&) const { return -1; }
std::string TImageInfo::TagText(const std::string&) const { return {}; }
TTagEntry TImageInfo::TagByName(const std::string&) const { return BlankTag; }
double TImageInfo::NumericByName(const std::string&) const { return 0; }
int32_t TImageInfo::IntegerByName(const std::string&) const { return 0; }
int32_t TImageInfo::AddTag(const TTagEntry&) { return TagCount - 1; }
void TImageInfo::WalkDirectory(int64_t, int64_t, int64_t, tDirKind) {}
void TImageInfo::WalkMakerDirectory(const std::string&, std::span<const TTagEntry>, int64_t,
                                    int64_t, int64_t)
{
}
void TImageInfo::DeriveFocal35() {}

void TImageInfo::SyncDimensions(int32_t realHeight, int32_t realWidth)
{
    if (ImageWidth <= 0 || ImageHeight <= 0) return;
    if (realWidth == ImageWidth && realHeight == ImageHeight) return;
    tSection* exif = Owner->Section(Owner->ExifRef);
    if (!exif) return;
    Owner->PutUInt32(exif->Bytes, static_cast<uint32_t>(realHeight), HeightPos);
    Owner->PutUInt32(exif->Bytes, static_cast<uint32_t>(realWidth), WidthPos);
}
