// The whole per-file clean as the batch run does it with every box ticked:
// scan a file, strip EXIF, the comment and IPTC, save a copy, then check the
// copy. The library's own error (EMetaError, e.g. a frame header libjpeg
// rejects) is a normal outcome; any other exception is a fault.
//
// Invariants of a saved copy:
//  - no Exif APP1, no COM with text, no APP13 with IPTC datasets in its head,
//    and a re-scan finds no EXIF block;
//  - the bytes from the first SOS to the end are the source's;
//  - it is no larger than the source plus the new header.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "meta/exif/end_ind.h"
#include "meta/iptc/iptc_data.h"
#include "meta/jpeg/img_data.h"
#include "meta/jpeg/markers.h"

namespace {

namespace fs = std::filesystem;

// One folder per process for the run's source and copy, removed at exit; the
// files themselves are removed after every run.
class tScratch {
public:
    tScratch()
    {
        std::string tmpl = (fs::temp_directory_path() / "zorezaz-fuzz-XXXXXX").string();
        Check(::mkdtemp(tmpl.data()) != nullptr, "a scratch folder can be made");
        Dir = tmpl;
        Source = Dir + "/source.jpg";
        Target = Dir + "/target.jpg";
    }
    ~tScratch()
    {
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }
    void RemoveFiles() const
    {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(Dir, ec)) fs::remove(e.path(), ec);
    }
    std::string Dir, Source, Target;
};

const tScratch& Scratch()
{
    static const tScratch scratch;
    return scratch;
}

void WriteFile(const std::string& name, const std::string& bytes)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    Check(static_cast<bool>(out), "the source can be written");
}

std::string ReadFile(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A head segment as the scan reads it: fill bytes, the code, a length that
// counts itself (ITU T.81, B.1.1.4).
struct tHeadSegment {
    uint8_t Marker;
    std::string Payload;
};

// The segments of a head up to SOS or EOI, a length below 2 or a segment the
// data cuts short; `sos` gets the offset where the SOS marker's fill bytes
// start, or npos. Independent of the library, so the checks do not rest on
// the code they check.
std::vector<tHeadSegment> WalkHead(const std::string& bytes, size_t& sos)
{
    std::vector<tHeadSegment> segs;
    sos = std::string::npos;
    size_t pos = 2;
    while (pos < bytes.size()) {
        const size_t start = pos;
        while (pos < bytes.size() && static_cast<uint8_t>(bytes[pos]) == marker::Fill) ++pos;
        if (pos >= bytes.size()) break;
        const auto code = static_cast<uint8_t>(bytes[pos]);
        if (code == marker::SOS) sos = start;
        if (code == marker::SOS || code == marker::EOI || bytes.size() - pos < 3) break;
        const size_t length = static_cast<uint8_t>(bytes[pos + 1]) * 256u + static_cast<uint8_t>(bytes[pos + 2]);
        if (length < 2 || length > bytes.size() - pos - 1) break;
        segs.push_back({code, bytes.substr(pos + 3, length - 2)});
        pos += 1 + length;
    }
    return segs;
}

bool HoldsIptc(const std::string& payload)
{
    TIPTCdata iptc(nullptr);
    const size_t n = payload.size() + 2;
    iptc.ParseSegment(std::string{static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)} + payload);
    return iptc.HasData();
}

// The one place this target drives the library. Returns false when nothing
// was written: the scan found no metadata (the batch run then copies the
// file as it is), or the library refused the file.
bool Clean(const std::string& source, const std::string& target, std::string& header)
{
    TimgData img(255);
    if (!img.ScanFile(source)) return false;
    img.ReplaceComment("");
    img.ExifRef = kNoRef;
    try {
        if (img.IptcContainer) {
            img.IptcContainer->Clear();
            img.ReplaceIptcSegment(img.IptcContainer->BuildSegmentPayload());
        }
        img.WriteHeaderSegments(header);
        img.SaveAs(target);
    } catch (const EMetaError&) {
        return false;
    }
    return true;
}

void CheckCopy(const std::string& input, const std::string& output, size_t headerSize)
{
    Check(output.size() <= input.size() + headerSize, "the copy is no larger than the source plus the new header");
    Check(output.compare(0, 2, "\xFF\xD8") == 0, "the copy starts with SOI");

    size_t inSos, outSos;
    WalkHead(input, inSos);
    const std::vector<tHeadSegment> head = WalkHead(output, outSos);
    if (inSos != std::string::npos)
        Check(outSos != std::string::npos && output.compare(outSos, std::string::npos, input, inSos) == 0,
              "the bytes from SOS to the end are the source's");
    for (const tHeadSegment& s : head) {
        Check(!(s.Marker == marker::APP1 && s.Payload.starts_with("Exif")), "no Exif APP1 is left");
        Check(!(s.Marker == marker::COM && !s.Payload.empty()), "no comment text is left");
        Check(!(s.Marker == marker::APP13 && HoldsIptc(s.Payload)), "no IPTC dataset is left");
    }

    TimgData again(255);
    again.ScanFile(Scratch().Target);
    Check(again.ExifRef == kNoRef, "a re-scan finds no EXIF block");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const tScratch& scratch = Scratch();
    const std::string input(reinterpret_cast<const char*>(data), size);
    WriteFile(scratch.Source, input);
    std::string header;
    if (Clean(scratch.Source, scratch.Target, header)) CheckCopy(input, ReadFile(scratch.Target), header.size());
    scratch.RemoveFiles();
    return 0;
}
