#pragma once
// The EXIF decoder: walks the TIFF-structured directories of an EXIF block.
// (Minimal for now: the directory walk is filled in with the EXIF parser.)

#include <cstdint>
#include <string>

#include "meta/exif/end_ind.h"

class TimgData;

// Directory kinds handed to WalkDirectory.
enum class tDirKind { ExifKind, GpsKind, InteropKind, MakerKind };

class TImageInfo : public tEndInd {
public:
    TImageInfo(TimgData* owner, int32_t buildSelector);
    ~TImageInfo() override;

    TimgData* Owner;           // not owned
    int32_t BuildSelector;
    bool TiffMode = false;
    std::string Listing;       // text listing of the decoded entries

    int32_t ImageWidth = 0;    // EXIF width and height as recorded in the block
    int32_t ImageHeight = 0;
    int64_t WidthPos = 0;      // 1-based positions of their 4-byte value fields
    int64_t HeightPos = 0;

    void WalkDirectory(int64_t start, int64_t base, int64_t limit, tDirKind kind);
    void DeriveFocal35();
    // Brings the width and height values of the owner's EXIF segment up to date.
    void SyncDimensions(int32_t realHeight, int32_t realWidth);
};
