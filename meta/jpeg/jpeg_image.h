#pragma once
// Holds a JPEG file's bytes unchanged and learns the image size from its frame
// header through libjpeg. Never decodes the image data.

#include <cstdint>
#include <string>

#include "meta/exif/end_ind.h"

// libjpeg rejected the header: "JPEG error #<libjpeg message code>". The
// message names no file; whoever knows the file adds it and the text.
class EJPEG : public EMetaError {
public:
    EJPEG(int code, std::string text);
    int Code;
    std::string Text;  // libjpeg's own words for the code, e.g. "Not a JPEG file: starts with 0x6e 0x6f"
};

// What libjpeg reads from a frame header.
struct tJpegHeader {
    int32_t Width = 0, Height = 0;
    bool Grayscale = false, Progressive = false;
};

// Has libjpeg read the header of the JPEG stream in an open file, from its
// start, without loading the file: the bodies of the blocks libjpeg passes
// over are not even read. An empty file gives 0 x 0. Raises EJPEG.
tJpegHeader ReadJpegHeader(int fd);
// The same for a file of `size` bytes whose first bytes, `head`, are read
// already: only what lies past them is read from the file.
tJpegHeader ReadJpegHeader(int fd, int64_t size, const std::string& head);

class TJPEGImage {
public:
    // Reads the whole file; "Cannot open file %s" when it cannot be opened.
    void LoadFile(const std::string& fileName);
    // Takes `bytes` as the stored content and reads the header from them.
    void LoadBytes(std::string bytes);

    int32_t Width() const { return FWidth; }
    int32_t Height() const { return FHeight; }
    bool Grayscale() const { return FGrayscale; }
    bool Progressive() const { return FProgressive; }
    // The stored bytes, exactly as loaded.
    const std::string& Bytes() const { return FBytes; }
    void SaveStream(std::string& out) const { out.append(FBytes); }

private:
    std::string FBytes;
    int32_t FWidth = 0, FHeight = 0;
    bool FGrayscale = false, FProgressive = false;
};
