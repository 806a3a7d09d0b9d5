#include "meta/jpeg/jpeg_image.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include <jpeglib.h>
#include <jerror.h>

#include "store/file_io.h"

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

// A data source that reads an open file with pread: what libjpeg skips is
// never read, and memory stays one small buffer whatever the file holds.
struct tFileSource {
    jpeg_source_mgr Pub;
    int Fd;
    off_t Next;
    // The file's first bytes, already in memory: handed over before any read.
    const JOCTET* Head;
    size_t HeadSize;
    JOCTET Buffer[16 * 1024];
};

const JOCTET kFakeEoi[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    auto* src = reinterpret_cast<tFileSource*>(cinfo->src);
    if (src->Head) {
        src->Pub.next_input_byte = src->Head;
        src->Pub.bytes_in_buffer = src->HeadSize;
        src->Next = static_cast<off_t>(src->HeadSize);
        src->Head = nullptr;
        return TRUE;
    }
    ssize_t got;
    do {
        got = ::pread(src->Fd, src->Buffer, sizeof src->Buffer, src->Next);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        // As libjpeg's own sources do at the end of the data: a warning and an EOI.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->Pub.next_input_byte = kFakeEoi;
        src->Pub.bytes_in_buffer = 2;
        return TRUE;
    }
    src->Next += got;
    src->Pub.next_input_byte = src->Buffer;
    src->Pub.bytes_in_buffer = static_cast<size_t>(got);
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count)
{
    auto* src = reinterpret_cast<tFileSource*>(cinfo->src);
    if (count <= 0) return;
    const auto n = static_cast<size_t>(count);
    if (n <= src->Pub.bytes_in_buffer) {
        src->Pub.next_input_byte += n;
        src->Pub.bytes_in_buffer -= n;
        return;
    }
    src->Next += static_cast<off_t>(n - src->Pub.bytes_in_buffer);
    src->Pub.bytes_in_buffer = 0;
}

void AttachFile(j_decompress_ptr cinfo, tFileSource* src, int fd)
{
    src->Pub.init_source = InitSource;
    src->Pub.fill_input_buffer = FillInputBuffer;
    src->Pub.skip_input_data = SkipInputData;
    src->Pub.resync_to_restart = jpeg_resync_to_restart;
    src->Pub.term_source = TermSource;
    src->Pub.bytes_in_buffer = 0;
    src->Pub.next_input_byte = nullptr;
    src->Fd = fd;
    src->Next = 0;
    cinfo->src = &src->Pub;
}

// Where the stream comes from: bytes in memory, or an open file.
struct tInput {
    const unsigned char* Data = nullptr;
    unsigned long Size = 0;
    tFileSource* File = nullptr;
    int Fd = -1;
};

// Plain C-style function: no C++ object with a destructor lives across setjmp.
// Returns 0 on success, else libjpeg's message code (or -1 when it gave none)
// with libjpeg's text for it in `message` (JMSG_LENGTH_MAX bytes).
int ReadHeader(const tInput* in, tJpegHeader* out, char* message)
{
    jpeg_decompress_struct cinfo;
    tErrorManager err;
    cinfo.err = jpeg_std_error(&err.Pub);
    err.Pub.error_exit = ErrorExit;
    err.Pub.emit_message = IgnoreLevel;  // warnings are ignored
    err.Pub.output_message = Ignore;
    err.Pub.reset_error_mgr = Ignore;
    message[0] = '\0';
    if (setjmp(err.Escape)) {
        const int code = err.Pub.msg_code;
        err.Pub.format_message(reinterpret_cast<j_common_ptr>(&cinfo), message);
        jpeg_destroy_decompress(&cinfo);
        return code > 0 ? code : -1;
    }
    jpeg_create_decompress(&cinfo);
    if (in->File)
        AttachFile(&cinfo, in->File, in->Fd);
    else
        jpeg_mem_src(&cinfo, in->Data, in->Size);
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
    tJpegHeader header;
    tInput in;
    in.Data = reinterpret_cast<const unsigned char*>(FBytes.data());
    in.Size = static_cast<unsigned long>(FBytes.size());
    char message[JMSG_LENGTH_MAX];
    const int code = ReadHeader(&in, &header, message);
    if (code != 0) throw EJPEG(code, message);
    FWidth = header.Width;
    FHeight = header.Height;
    FGrayscale = header.Grayscale;
    FProgressive = header.Progressive;
}

EJPEG::EJPEG(int code, std::string text)
    : EMetaError("JPEG error #" + std::to_string(code)), Code(code), Text(std::move(text))
{
}

tJpegHeader ReadJpegHeader(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) == 0 && st.st_size == 0) return {};
    return ReadJpegHeader(fd, -1, {});
}

tJpegHeader ReadJpegHeader(int fd, int64_t size, const std::string& head)
{
    tJpegHeader header;
    if (size == 0) return header;
    tFileSource source;
    source.Head = head.empty() ? nullptr : reinterpret_cast<const JOCTET*>(head.data());
    source.HeadSize = head.size();
    tInput in;
    in.File = &source;
    in.Fd = fd;
    char message[JMSG_LENGTH_MAX];
    const int code = ReadHeader(&in, &header, message);
    if (code != 0) throw EJPEG(code, message);
    return header;
}
