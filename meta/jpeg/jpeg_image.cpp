#include "meta/jpeg/jpeg_image.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "meta/jpeg/file_io.h"

namespace {

// libjpeg must never exit the process and must not be unwound through by a C++
// exception: its fatal-error handler jumps back into ReadHeader, which cleans
// up and reports the message code to C++ code that throws.
struct tErrorManager {
    jpeg_error_mgr Pub;
    std::jmp_buf Escape;
};

void ErrorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<tErrorManager*>(cinfo->err)->Escape, 1);
}
void Ignore(j_common_ptr) {}
void IgnoreLevel(j_common_ptr, int) {}
void NoFormat(j_common_ptr, char* buffer) { buffer[0] = '\0'; }

struct tHeader {
    int Width = 0, Height = 0;
    bool Grayscale = false, Progressive = false;
};

// Plain C-style function: no C++ object with a destructor lives across setjmp.
// Returns 0 on success, else libjpeg's message code (or -1 when it gave none).
int ReadHeader(const unsigned char* data, unsigned long size, tHeader* out)
{
    jpeg_decompress_struct cinfo;
    tErrorManager err;
    cinfo.err = jpeg_std_error(&err.Pub);
    err.Pub.error_exit = ErrorExit;
    err.Pub.emit_message = IgnoreLevel;  // warnings are ignored
    err.Pub.output_message = Ignore;
    err.Pub.format_message = NoFormat;
    err.Pub.reset_error_mgr = Ignore;
    if (setjmp(err.Escape)) {
        const int code = err.Pub.msg_code;
        jpeg_destroy_decompress(&cinfo);
        return code > 0 ? code : -1;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    out->Width = static_cast<int>(cinfo.image_width);
    out->Height = static_cast<int>(cinfo.image_height);
    out->Grayscale = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    out->Progressive = cinfo.progressive_mode != 0;
    jpeg_destroy_decompress(&cinfo);
    return 0;
}

}  // namespace

void TJPEGImage::LoadFile(const std::string& fileName)
{
    const tFileHandle file(OpenForReading(fileName));
    LoadBytes(ReadAll(file.Get()));
}

void TJPEGImage::LoadBytes(std::string bytes)
{
    FBytes = std::move(bytes);
    FWidth = FHeight = 0;
    FGrayscale = FProgressive = false;
    if (FBytes.empty()) return;
    tHeader header;
    const int code = ReadHeader(reinterpret_cast<const unsigned char*>(FBytes.data()),
                                static_cast<unsigned long>(FBytes.size()), &header);
    if (code != 0) throw EJPEG("JPEG error #" + std::to_string(code));
    FWidth = header.Width;
    FHeight = header.Height;
    FGrayscale = header.Grayscale;
    FProgressive = header.Progressive;
}
