#pragma once
// EXIF as containers other than JPEG carry it: the TIFF header and its
// directories, without JPEG's APP1 framing.

#include <cstdint>
#include <string>
#include <string_view>

class TImageInfo;

// A big-endian TIFF header and IFD0 with one SHORT entry, the Orientation:
// what a cleaned file keeps of EXIF to be shown the right way up.
std::string OrientationTiff(int32_t orientation);

// Walks the TIFF block `tiff` (from its "II"/"MM" header on) with `decoder`,
// as an EXIF block in a JPEG is walked, within the decoder's budget. False
// when `tiff` starts with no TIFF header.
bool DecodeTiff(TImageInfo& decoder, std::string_view tiff);

// The Orientation `decoder` found in IFD0 (1 to 8), or 0.
int32_t OrientationOf(const TImageInfo& decoder);
