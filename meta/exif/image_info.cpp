#include "meta/exif/image_info.h"

#include "meta/jpeg/img_data.h"

TImageInfo::TImageInfo(TimgData* owner, int32_t buildSelector)
    : Owner(owner), BuildSelector(buildSelector)
{
}

TImageInfo::~TImageInfo() = default;

void TImageInfo::WalkDirectory(int64_t, int64_t, int64_t, tDirKind) {}

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
