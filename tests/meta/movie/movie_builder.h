#pragma once
// Movies made by hand, for the layouts ffmpeg does not write: 64-bit box
// sizes, co64, version 1 headers, a timed metadata track, QuickTime's user
// data terminator, and broken or fragmented files. The samples are made-up
// bytes: these files are read back by the scanner, not played.

#include <cstdint>
#include <string>
#include <vector>

struct tMovieLayout {
    bool MoovFirst = false;      // "faststart": moov before mdat
    bool LargeSizes = false;     // moov and mdat with 64-bit sizes
    bool Co64 = false;           // chunk offsets in co64 rather than stco
    bool Version1 = false;       // mvhd, tkhd and mdhd of version 1 (64-bit times)
    bool MetadataTrack = false;  // a track of handler "meta" whose samples hold the place
    bool Terminator = false;     // moov/udta ends with QuickTime's 32-bit zero
    bool XmpBox = false;         // a top-level uuid box of XMP
    bool TrackUserData = false;  // the video track has a udta of its own
    // Made-up hostile variants.
    bool Fragment = false;       // a moof box after mdat
    bool TwoMoovs = false;
    bool ShortSizeTable = false;  // the metadata track's stsz counts more samples than its chunks hold
    int CompactSizeBits = 0;      // the metadata track's sizes in stz2 fields of 8 or 16 bits
    bool SamplesOutside = false;  // the metadata track's chunk points into moov
    bool LongVideo = false;       // the video's size table runs into the metadata samples after it
    // Where the metadata track's runs of chunks begin (stsc), a sample a chunk.
    std::vector<uint32_t> RunStarts = {1};
};

// What a built file holds, to search for afterwards.
struct tMovieParts {
    std::string File;
    std::string Video;        // the video samples, one chunk
    int64_t VideoAt = -1;     // where they stand
    std::string Matrix;       // the video tkhd's matrix (a 90° rotation)
};

// The place every removable payload names, and the phone.
inline constexpr const char* kPlace = "+48.1234+011.5678/";
inline constexpr const char* kMake = "AcmePhone";

tMovieParts BuildMovie(const tMovieLayout& layout);
