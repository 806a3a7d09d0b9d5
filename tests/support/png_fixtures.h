#pragma once
// PNG fixtures for tests and fuzz seeds: chunks with right CRCs, a tiny
// valid picture made with zlib, and a walk of a PNG's chunks that does not
// rest on the library it checks.

#include <cstdint>
#include <string>
#include <vector>

#include "meta/clean/clean_policy.h"

namespace fixture {

// `raw` as a zlib stream.
std::string Deflate(const std::string& raw);
// Length, type, data, CRC.
std::string PngChunk(const std::string& type, const std::string& data);
// The signature, then `chunks` in turn.
std::string PngFile(const std::vector<std::string>& chunks);

// IHDR of a w x h 8-bit RGB picture.
std::string PngIhdr(int width, int height);
// The rows of a w x h RGB picture (a gradient) compressed with zlib, cut
// into `pieces` IDAT chunks of about equal size (fewer when it is short).
std::vector<std::string> PngPictureData(int width, int height, int pieces = 1);
std::string PngIend();
// IHDR, the picture data in `pieces` IDAT chunks, IEND; `before` goes after
// IHDR, `after` between the picture data and IEND.
std::string TinyPng(const std::vector<std::string>& before = {}, const std::vector<std::string>& after = {},
                    int pieces = 1, int width = 4, int height = 3);

// An APNG of two frames: acTL, fcTL, IDAT, fcTL, fdAT, with `before` after acTL.
std::string TinyApng(const std::vector<std::string>& before = {});
// A 16 x 16 picture whose data is cut into 4 IDAT chunks with a tEXt Author amid them.
std::string TextAmidPictureData();

// Text chunks (ISO/IEC 15948 11.3.4).
std::string TextChunk(const std::string& keyword, const std::string& text);
std::string ZtxtChunk(const std::string& keyword, const std::string& text);
std::string ItxtChunk(const std::string& keyword, const std::string& text, bool compressed = false);

// One chunk as WalkPng finds it.
struct tPngChunkAt {
    std::string Type;
    size_t Offset = 0;  // of its length field
    std::string Bytes;  // the whole chunk, length to CRC
    std::string Data() const { return Bytes.substr(8, Bytes.size() - 12); }
    // Its CRC is that of its type and data.
    bool CrcRight() const;
};
// The chunks of `png` up to IEND; stops at the first that does not fit.
std::vector<tPngChunkAt> WalkPng(const std::string& png);

// True when `c` holds something `choices` remove, told from its type and
// keyword alone, without the library. An eXIf of nothing or of the
// orientation alone holds nothing to remove.
bool HoldsRemoved(const tPngChunkAt& c, const tChoices& choices);

}  // namespace fixture
