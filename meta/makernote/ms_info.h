#pragma once
// The maker-note decoder: picks the camera maker's layout for the MakerNote
// entry (Exif 2.3 tag 0x927C) and has the EXIF decoder walk its directory.

class TImageInfo;

class TmsInfo {
public:
    // tiffMode is handed over by the EXIF walk; it plays no part in decoding.
    TmsInfo(bool tiffMode, TImageInfo* decoder);

    // True when the make is known (whatever the walk found), false otherwise;
    // then nothing is walked. Raises nothing of its own.
    bool DecodeMakerNote();

private:
    bool FTiffMode;
    TImageInfo* FDecoder;  // not owned
};
