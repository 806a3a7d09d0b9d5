#include "meta/makernote/ms_info.h"

TmsInfo::TmsInfo(bool tiffMode, TImageInfo* decoder) : FTiffMode(tiffMode), FDecoder(decoder) {}
bool TmsInfo::DecodeMakerNote() { return false; }
