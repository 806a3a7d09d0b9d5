#pragma once
// The maker-note decoder (minimal until the maker tables land).

class TImageInfo;

class TmsInfo {
public:
    TmsInfo(bool tiffMode, TImageInfo* decoder);
    bool DecodeMakerNote();

private:
    bool FTiffMode;
    TImageInfo* FDecoder;
};
