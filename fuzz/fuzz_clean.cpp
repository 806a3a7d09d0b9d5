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
//  - the bytes from the first SOS to the end are the source's (with "other"
//    or further pictures, to the end of the first picture);
//  - each further picture the MPF index names holds none of it either, and
//    its bytes from its SOS on are its source's;
//  - it is no larger than the source plus the new header (and a rewritten
//    gain-map packet).
// A file found to need no cleaning holds none of it in any picture: the
// batch run would copy it as it stands. Heads are walked as a decoder walks
// them: bytes that are no marker are passed over.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "meta/exif/end_ind.h"
#include "meta/iptc/iptc_data.h"
#include "meta/jpeg/head_reader.h"
#include "meta/jpeg/img_data.h"
#include "meta/jpeg/jpeg_file.h"
#include "meta/jpeg/markers.h"
#include "meta/jpeg/mpf.h"
#include "meta/jpeg/xmp_gain_map.h"

namespace {

namespace fs = std::filesystem;

const tFuzzScratch& Scratch()
{
    static const tFuzzScratch scratch("clean", "jpg");
    return scratch;
}

// A head segment as the scan reads it: fill bytes, the code, a length that
// counts itself (ITU T.81, B.1.1.4).
struct tSegment {
    uint8_t Marker;
    std::string Payload;
    size_t At;  // where the payload starts
};

// The segments of a head up to SOS or EOI, a length below 2 or a segment the
// data cuts short; `sos` gets the offset where the fill bytes of the SOS (or
// an EOI before any SOS) start, or npos. Independent of the library, so the
// checks do not rest on the code they check.
std::vector<tSegment> WalkHead(const std::string& bytes, size_t& sos)
{
    std::vector<tSegment> segs;
    sos = std::string::npos;
    size_t pos = 2;
    while (pos < bytes.size()) {
        // Like a decoder: bytes other than FF, and FF 00, are no marker and are passed over.
        while (pos < bytes.size() && static_cast<uint8_t>(bytes[pos]) != marker::Fill) ++pos;
        const size_t start = pos;
        while (pos < bytes.size() && static_cast<uint8_t>(bytes[pos]) == marker::Fill) ++pos;
        if (pos >= bytes.size()) break;
        const auto code = static_cast<uint8_t>(bytes[pos]);
        if (code == 0x00) continue;
        if (code == marker::SOS || code == marker::EOI) sos = start;
        if (code == marker::SOS || code == marker::EOI || bytes.size() - pos < 3) break;
        if (!marker::HasLength(code)) {
            ++pos;
            continue;
        }
        const size_t length = static_cast<uint8_t>(bytes[pos + 1]) * 256u + static_cast<uint8_t>(bytes[pos + 2]);
        if (length < 2 || length > bytes.size() - pos - 1) break;
        segs.push_back({code, bytes.substr(pos + 3, length - 2), pos + 3});
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

struct tPick {
    bool Exif, Comment, Iptc, Other, Orientation;
};

// The one place this target drives the library, as the batch run does.
// Returns false when nothing was written: the scan found nothing the choices
// remove in any picture (the batch run then copies the file as it is; `copied`
// says so), the head is damaged, or the library refused the file.
bool Clean(const std::string& source, const std::string& target, const tPick& c, std::string& header,
           bool& copied)
{
    copied = false;
    struct stat st;
    tFileHandle file(OpenForReading(source, st));
    std::unique_ptr<tPictureFile> picture;
    try {
        picture = ScanJpeg(std::move(file), st, source, true);
    } catch (const EDamagedFile&) {
        return false;
    }
    tChoices choices;
    choices.Exif = c.Exif;
    choices.Comment = c.Comment;
    choices.Iptc = c.Iptc;
    choices.Other = c.Other;
    choices.KeepOrientation = c.Orientation;
    try {
        if (!picture->Removes(choices)) {
            copied = true;
            return false;
        }
        const tPlan& plan = picture->Plan(choices);
        static_cast<tJpegFile&>(*picture).Data().WriteHeaderSegments(header);
        const auto folder = std::make_shared<const tOutputFolder>(FolderOf(target), target, true);
        tPendingFile out(folder, target, plan.SourceMode);
        picture->Write(plan, out, source, choices);
        out.Publish(NameOf(target), true);
    } catch (const std::exception&) {
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
    case marker::APP0: return !StartsWith(s.Payload, "JFIF\0"sv);
    case marker::APP1: return !StartsWith(s.Payload, "Exif"sv) && !StartsWith(s.Payload, "http://ns.adobe.com/xap/1.0/\0"sv);
    case marker::APP2:
        return !StartsWith(s.Payload, "ICC_PROFILE\0"sv) && !StartsWith(s.Payload, "MPF\0"sv) &&
               !StartsWith(s.Payload, "urn:iso:std:iso:ts:21496:-1\0"sv);
    case marker::APP13: return false;
    case marker::APP14: return !StartsWith(s.Payload, "Adobe"sv);
    default: return true;
    }
}

// No kind the choices remove in one picture's head; returns the bytes of the
// gain-map packets written anew.
size_t CheckHead(const std::vector<tSegment>& head, const tPick& c)
{
    size_t rewritten = 0;
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
            rewritten += s.Payload.size() + 4;
        }
    }
    return rewritten;
}

// Where the pictures after the first stand that the MPF index of `file` names
// and that a clean rewrites: after `imageEnd`, inside the file, not inside
// an earlier one (`all`: every entry but the first picture's, as it points);
// by their place in the index.
std::map<size_t, std::pair<size_t, size_t>> FurtherPictures(const std::string& file, size_t imageEnd,
                                                            bool all = false)
{
    std::map<size_t, std::pair<size_t, size_t>> pictures;
    size_t sos;
    const std::vector<tSegment> head = WalkHead(file, sos);
    const auto mpf = std::find_if(head.begin(), head.end(), [](const tSegment& s) {
        return s.Marker == marker::APP2 && s.Payload.compare(0, 4, std::string("MPF\0", 4)) == 0;
    });
    if (mpf == head.end()) return pictures;
    const size_t mpHeader = mpf->At + 4;
    const std::string bytes = std::string(2, '\0') + mpf->Payload;
    bool big = false;
    const std::vector<tMpfEntry> entries = ReadMpfEntries(bytes, big);
    for (size_t i = 0; i < entries.size(); ++i) {
        const size_t start = mpHeader + entries[i].Offset;
        if (entries[i].Offset == 0 || start >= file.size() || (start < imageEnd && !all)) continue;
        pictures[i] = {start, std::min<size_t>(file.size(), start + entries[i].Size)};
    }
    if (all) return pictures;
    // A picture that starts inside another is part of it.
    std::map<size_t, size_t> byStart;
    for (const auto& [i, p] : pictures) byStart.emplace(p.first, i);
    size_t cursor = imageEnd;
    for (const auto& [start, i] : byStart) {
        if (start < cursor) pictures.erase(i);
        else cursor = pictures[i].second;
    }
    return pictures;
}

size_t ImageEnd(const std::string& name, size_t sos)
{
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    Check(fd >= 0, "a file can be read again");
    const auto end = static_cast<size_t>(FindImageEnd(fd, static_cast<int64_t>(sos)));
    ::close(fd);
    return end;
}

// Every picture of `output` made from `input`: no removed kind left in any
// head, the image data of each the source's.
void CheckCopy(const std::string& input, const std::string& output, size_t headerSize, const tPick& c)
{
    Check(output.compare(0, 2, "\xFF\xD8") == 0, "the copy starts with SOI");

    size_t inSos, outSos;
    WalkHead(input, inSos);
    size_t rewritten = CheckHead(WalkHead(output, outSos), c);
    if (inSos != std::string::npos) {
        Check(outSos != std::string::npos, "the copy has the source's image data");
        // To the end of the first picture: what follows it may go or be cleaned.
        const size_t inEnd = ImageEnd(Scratch().Source, inSos);
        const auto inPictures = FurtherPictures(input, inEnd);
        const size_t length = c.Other || !inPictures.empty() ? inEnd - inSos : std::string::npos;
        Check(output.compare(outSos, length, input, inSos, length) == 0, "the image data is the source's");
        const auto outPictures = FurtherPictures(output, 0, true);
        for (const auto& [i, in] : inPictures) {
            const auto out = outPictures.find(i);
            Check(out != outPictures.end(), "every further picture is where the index says");
            const std::string inPicture = input.substr(in.first, in.second - in.first);
            const std::string outPicture = output.substr(out->second.first, out->second.second - out->second.first);
            size_t inPictureSos, outPictureSos;
            WalkHead(inPicture, inPictureSos);
            rewritten += CheckHead(WalkHead(outPicture, outPictureSos), c);
            Check(inPictureSos != std::string::npos && outPictureSos != std::string::npos,
                  "a further picture has image data");
            // With "other", to the picture's own end: what follows it is a trailer.
            const size_t pictureLength =
                c.Other ? std::min(in.second, ImageEnd(Scratch().Source, in.first + inPictureSos)) - in.first -
                              inPictureSos
                        : std::string::npos;
            Check(inPicture.compare(inPictureSos, pictureLength, outPicture, outPictureSos, pictureLength) == 0,
                  "a further picture's image data is the source's");
        }
    }
    Check(output.size() <= input.size() + headerSize + rewritten,
          "the copy is no larger than the source plus the new header");

    TimgData again(255);
    again.ScanFile(Scratch().Target);
    // (An XMP block right after SOI may stand in for the EXIF block; it carries no Exif header.)
    const tSection* exif = again.Section(again.ExifRef);
    Check(!c.Exif || !exif || !exif->ExifHeader || again.ExifIsOrientationOnly(),
          "a re-scan finds no EXIF block but the orientation");
}

// A file found to need no cleaning is copied as it stands: it must hold
// nothing the choices remove, in any picture.
void CheckUnchanged(const std::string& input, const tPick& c)
{
    // (What does not start with SOI is no JPEG, and no JPEG head is read in it.)
    if (input.compare(0, 2, "\xFF\xD8") != 0) return;
    size_t sos;
    CheckHead(WalkHead(input, sos), c);
    if (sos == std::string::npos) return;
    for (const auto& [i, p] : FurtherPictures(input, ImageEnd(Scratch().Source, sos))) {
        size_t pictureSos;
        CheckHead(WalkHead(input.substr(p.first, p.second - p.first), pictureSos), c);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The choices follow from the bytes, so every input has its own and
    // replays with the same.
    unsigned fold = static_cast<unsigned>(size);
    for (size_t i = 0; i < size; ++i) fold ^= data[i];
    const tPick choices{(fold & 1) != 0, (fold & 2) != 0, (fold & 4) != 0, (fold & 8) != 0, (fold & 16) != 0};
    const tFuzzScratch& scratch = Scratch();
    const std::string input(reinterpret_cast<const char*>(data), size);
    WriteFile(scratch.Source, input);
    std::string header;
    bool copied = false;
    if (Clean(scratch.Source, scratch.Target, choices, header, copied))
        CheckCopy(input, ReadFile(scratch.Target), header.size(), choices);
    else if (copied)
        CheckUnchanged(input, choices);
    scratch.RemoveFiles();
    return 0;
}
