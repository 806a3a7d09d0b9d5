// The whole per-file clean as the batch run does it: scan a file, strip what
// the choices say (the first input byte picks them: EXIF, comment, IPTC,
// other metadata, keep orientation), save a copy, then check the copy. The
// library's own error (EMetaError, e.g. a frame header libjpeg rejects) is a
// normal outcome; any other exception is a fault.
//
// Invariants of a saved copy:
//  - no removed kind in its head: no Exif APP1 but the orientation block, no
//    COM with text, no APP13 with IPTC datasets; with "other", no XMP but
//    gain-map properties (a packet the gain-map filter gives back unchanged,
//    so a second run keeps it as it is) and no APPn block of a camera or
//    program;
//  - the bytes from the first SOS to the end are the source's (with "other",
//    to the end of the first picture);
//  - it is no larger than the source plus the new header (and a rewritten
//    gain-map packet).

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "meta/exif/end_ind.h"
#include "meta/iptc/iptc_data.h"
#include "meta/jpeg/head_reader.h"
#include "meta/jpeg/img_data.h"
#include "meta/jpeg/markers.h"
#include "meta/jpeg/xmp_gain_map.h"

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
struct tSegment {
    uint8_t Marker;
    std::string Payload;
};

// The segments of a head up to SOS or EOI, a length below 2 or a segment the
// data cuts short; `sos` gets the offset where the SOS marker's fill bytes
// start, or npos. Independent of the library, so the checks do not rest on
// the code they check.
std::vector<tSegment> WalkHead(const std::string& bytes, size_t& sos)
{
    std::vector<tSegment> segs;
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

struct tChoices {
    bool Exif, Comment, Iptc, Other, Orientation;
};

// The one place this target drives the library. Returns false when nothing
// was written: the scan found nothing the choices remove (the batch run then
// copies the file as it is), the head is damaged, or the library refused the file.
bool Clean(const std::string& source, const std::string& target, const tChoices& c, std::string& header)
{
    TimgData img(255);
    const bool holds = img.ScanFile(source);
    if (img.Damaged || !(holds || (c.Other && img.HasOtherMetadata()))) return false;
    img.StripOther = c.Other;
    img.KeepOrientation = c.Orientation;
    if (c.Comment) img.ReplaceComment("");
    if (c.Exif) img.ExifRef = kNoRef;
    try {
        if (c.Iptc && img.IptcContainer) {
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

bool StartsWith(const std::string& s, std::string_view prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// APPn blocks of cameras and programs, which "other" removes.
bool OtherMetadata(const tSegment& s)
{
    using namespace std::string_view_literals;
    if (s.Marker < marker::APP0 || s.Marker > marker::APP15) return false;
    switch (s.Marker) {
    case marker::APP0: return !StartsWith(s.Payload, "JFIF\0"sv) && !StartsWith(s.Payload, "JFXX\0"sv);
    case marker::APP1: return !StartsWith(s.Payload, "Exif"sv) && !StartsWith(s.Payload, "http://ns.adobe.com/xap/1.0/\0"sv);
    case marker::APP2:
        return !StartsWith(s.Payload, "ICC_PROFILE\0"sv) && !StartsWith(s.Payload, "MPF\0"sv) &&
               !StartsWith(s.Payload, "urn:iso:std:iso:ts:21496:-1\0"sv);
    case marker::APP13: return false;
    case marker::APP14: return !StartsWith(s.Payload, "Adobe"sv);
    default: return true;
    }
}

void CheckCopy(const std::string& input, const std::string& output, size_t headerSize, const tChoices& c)
{
    Check(output.compare(0, 2, "\xFF\xD8") == 0, "the copy starts with SOI");

    size_t inSos, outSos;
    WalkHead(input, inSos);
    const std::vector<tSegment> head = WalkHead(output, outSos);
    size_t rewritten = 0;  // gain-map packets made anew
    for (const tSegment& s : head) {
        const bool exif = s.Marker == marker::APP1 && s.Payload.starts_with("Exif");
        const bool xmp = s.Marker == marker::APP1 && StartsWith(s.Payload, "http://ns.adobe.com/xap/1.0/");
        bool orientationOnly = false;
        for (int32_t o = 2; o <= 8; ++o) orientationOnly |= s.Payload == TimgData::OrientationBlock(o).substr(4);
        Check(!(c.Exif && exif && !(c.Orientation && orientationOnly)), "no Exif APP1 but the orientation block");
        Check(!(c.Comment && s.Marker == marker::COM && !s.Payload.empty()), "no comment text is left");
        Check(!(c.Iptc && s.Marker == marker::APP13 && HoldsIptc(s.Payload)), "no IPTC dataset is left");
        Check(!(c.Other && OtherMetadata(s)), "no other metadata block is left");
        if (c.Other && xmp) {
            const std::string packet = s.Payload.substr(std::min(s.Payload.size(), kXmpIdentifier.size()));
            Check(HasGainMapProperties(packet) && GainMapOnlyPacket(packet, {}) == packet,
                  "no XMP is left but gain-map properties");
        }
        if (c.Other && xmp) rewritten += s.Payload.size() + 4;
    }
    Check(output.size() <= input.size() + headerSize + rewritten,
          "the copy is no larger than the source plus the new header");
    if (inSos != std::string::npos) {
        Check(outSos != std::string::npos, "the copy has the source's image data");
        size_t length = std::string::npos;
        if (c.Other) {
            // To the end of the first picture: what follows it may go or be cleaned.
            const int fd = ::open(Scratch().Source.c_str(), O_RDONLY | O_CLOEXEC);
            Check(fd >= 0, "the source can be read again");
            length = static_cast<size_t>(FindImageEnd(fd, static_cast<int64_t>(inSos))) - inSos;
            ::close(fd);
        }
        Check(output.compare(outSos, length, input, inSos, length) == 0, "the image data is the source's");
    }

    TimgData again(255);
    again.ScanFile(Scratch().Target);
    // (An XMP block right after SOI may stand in for the EXIF block; it carries no Exif header.)
    const tSection* exif = again.Section(again.ExifRef);
    Check(!c.Exif || !exif || !exif->ExifHeader || again.ExifIsOrientationOnly(),
          "a re-scan finds no EXIF block but the orientation");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The choices follow from the bytes, so every input has its own and
    // replays with the same.
    unsigned fold = static_cast<unsigned>(size);
    for (size_t i = 0; i < size; ++i) fold ^= data[i];
    const tChoices choices{(fold & 1) != 0, (fold & 2) != 0, (fold & 4) != 0, (fold & 8) != 0, (fold & 16) != 0};
    const tScratch& scratch = Scratch();
    const std::string input(reinterpret_cast<const char*>(data), size);
    WriteFile(scratch.Source, input);
    std::string header;
    if (Clean(scratch.Source, scratch.Target, choices, header))
        CheckCopy(input, ReadFile(scratch.Target), header.size(), choices);
    scratch.RemoveFiles();
    return 0;
}
