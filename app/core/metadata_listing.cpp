#include "app/core/metadata_listing.h"

#include <algorithm>
#include <cstdio>

#include "meta/exif/image_info.h"
#include "meta/exif/tiff_block.h"
#include "meta/formats/formats.h"
#include "meta/makernote/ms_info.h"
#include "meta/iptc/iptc_data.h"
#include "meta/jpeg/img_data.h"
#include "meta/jpeg/markers.h"
#include "meta/jpeg/xmp_gain_map.h"
#include "meta/xmp/xmp_packet.h"

namespace {

std::string MarkerName(int32_t code)
{
    char name[16];
    if (code >= marker::APP0 && code <= marker::APP15) {
        std::snprintf(name, sizeof name, "APP%d", code - marker::APP0);
        return name;
    }
    switch (code) {
    case marker::COM: return "COM";
    case marker::SOS: return "SOS";
    case marker::EOI: return "EOI";
    case 0xDB: return "DQT";
    case 0xC4: return "DHT";
    case 0xDD: return "DRI";
    default: break;
    }
    if (code >= 0xC0 && code <= 0xCF) {
        std::snprintf(name, sizeof name, "SOF%d", code - 0xC0);
        return name;
    }
    std::snprintf(name, sizeof name, "FF%02X", static_cast<unsigned>(code) & 0xFF);
    return name;
}

const char* KindName(const tSection& s)
{
    switch (s.Kind) {
    case tBlockKind::Jfif: return "JFIF";
    case tBlockKind::Exif: return "Exif";
    case tBlockKind::Xmp: return "XMP";
    case tBlockKind::ExtendedXmp: return "extended XMP";
    case tBlockKind::Icc: return "ICC profile";
    case tBlockKind::Mpf: return "MPF index";
    case tBlockKind::GainMap: return "HDR gain map";
    case tBlockKind::Photoshop: return "Photoshop/IPTC";
    case tBlockKind::Adobe: return "Adobe";
    case tBlockKind::OtherApp: return "other metadata";
    case tBlockKind::Other: break;
    }
    return s.Marker == marker::COM ? "comment" : "image structure";
}

// What the options would do to a segment, as the cleaning policy decides it.
std::string Fate(int32_t index, const tSection& s, const IBatchOptions& o, const TimgData& data)
{
    tPart part;
    part.Kind = PartKindOf(s);
    if (index == data.ExifRef) {
        part.Orientation = data.Orientation();
        part.NothingToRemove = data.ExifIsOrientationOnly();
    }
    const bool gainMap = index == data.XmpRef && s.Held() &&
                         HasGainMapProperties(std::string_view(s.Bytes).substr(std::min(s.Bytes.size(), 2 + kXmpIdentifier.size())));
    // The first APP13 is rebuilt without its datasets.
    part.KeepsSomething = part.Kind == tPartKind::Iptc || gainMap;
    const tFate fate = FateOf(part, ChoicesOf(o));
    switch (part.Kind) {
    case tPartKind::Exif:
        // A block of the orientation alone is what a cleaned file keeps: no
        // file is changed for it, and where one is, the same block is written
        // again unless the orientation is dropped.
        if (fate == tFate::Keep) return o.StripExif() ? "kept (orientation only)" : "kept";
        if (part.NothingToRemove) return "orientation only, removed only with other metadata";
        return "removed (EXIF)";
    case tPartKind::Comment: return fate == tFate::Keep ? "kept" : "removed (COM)";
    case tPartKind::Iptc: return fate == tFate::Keep ? "kept" : "replaced by an empty IPTC block";
    case tPartKind::Other:
        if (fate == tFate::Keep) return "kept";
        return fate == tFate::Rewrite ? "removed (other), gain-map properties kept" : "removed (other)";
    default: return "kept";
    }
}

// The JPEG thumbnail that IFD1 points at (Exif 2.3 section 4.5.4), if any.
std::string ThumbnailLine(const TImageInfo& exif)
{
    if (exif.ThumbnailLength <= 0) return {};
    const std::string length = std::to_string(exif.ThumbnailLength) + " bytes";
    const std::string bytes = exif.ThumbnailBytes();
    if (bytes.empty()) return "  Thumbnail: " + length + " recorded, not inside the EXIF block\n";
    const bool jpeg = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                      static_cast<unsigned char>(bytes[1]) == marker::SOI;
    return "  Thumbnail: " + std::string(jpeg ? "JPEG, " : "not JPEG data, ") + length + "\n";
}

void Listing(std::string& out, const char* title, const std::string& lines)
{
    if (lines.empty()) return;
    out += title;
    // The decoder's listing separates entries with CR LF.
    for (size_t at = 0; at < lines.size();) {
        size_t end = lines.find("\r\n", at);
        if (end == std::string::npos) end = lines.size();
        if (end > at) out += "    " + lines.substr(at, end - at) + "\n";
        at = end + 2;
    }
}

// One line per value: "prefix:name = value"; the values of an array of plain
// values joined with "; ", struct fields as "outer/inner", array items that
// are structs or arrays as "name[1]". Line breaks in a value become spaces, so
// each value stays on its line.
void XmpLines(std::string& out, const std::string& name, const tXmpValue& value)
{
    auto line = [&](const std::string& text) {
        std::string shown = text;
        for (char& c : shown)
            if (static_cast<unsigned char>(c) < 0x20) c = ' ';
        out += "\r\n" + name + " = " + shown;
    };
    bool plainItems = true;
    for (const tXmpValue& item : value.Items) plainItems &= item.Kind == tXmpValue::tKind::Simple;
    switch (value.Kind) {
    case tXmpValue::tKind::Simple: line(value.Text); return;
    case tXmpValue::tKind::Array:
        if (plainItems) {
            std::string joined;
            for (const tXmpValue& item : value.Items) joined += (joined.empty() ? "" : "; ") + item.Text;
            line(joined);
        } else {
            for (size_t i = 0; i < value.Items.size(); ++i)
                XmpLines(out, name + "[" + std::to_string(i + 1) + "]", value.Items[i]);
        }
        break;
    case tXmpValue::tKind::Struct:
        for (const tXmpProperty& field : value.Fields) XmpLines(out, name + "/" + field.Name.Qualified(), field.Value);
        if (value.Fields.empty() && value.Text.empty()) line({});
        break;
    }
    // Text beside fields or items is no RDF, but it is in the packet.
    if (!value.Text.empty()) line(value.Text);
}

// The XMP section: the packet's size, then its properties with their values.
std::string XmpSection(const std::string& packet)
{
    const std::string head = "  XMP: " + std::to_string(packet.size()) + " bytes";
    std::string lines;
    try {
        for (const tXmpProperty& p : ReadXmp(packet)) XmpLines(lines, p.Name.Qualified(), p.Value);
    } catch (const EMetaError& e) {
        return head + "; " + e.what() + "\n";
    }
    std::string out;
    Listing(out, (head + ":\n").c_str(), lines);
    return out.empty() ? head + "; no properties\n" : out;
}

// The EXIF of a format that carries it as a TIFF block.
std::string ExifSection(const std::string& tiff)
{
    TImageInfo exif(255);
    exif.OnMakerNote = [](TImageInfo& decoder) { TmsInfo(decoder.TiffMode, &decoder).DecodeMakerNote(); };
    try {
        if (!DecodeTiff(exif, tiff)) return "  EXIF: " + std::to_string(tiff.size()) + " bytes without a TIFF header\n";
    } catch (const EMetaError& e) {
        return "  EXIF: " + std::string(e.what()) + "\n";
    }
    std::string out;
    Listing(out, "  EXIF:\n", exif.Listing);
    Listing(out, "  Maker note:\n", exif.MakerListing);
    Listing(out, "  Thumbnail directory (IFD1):\n", exif.ThumbnailListing);
    return out;
}

// A file of a format other than JPEG: its parts with their fates, then what
// its metadata says.
std::string DescribePicture(const tPictureFile& picture, const IBatchOptions& options)
{
    const tChoices choices = ChoicesOf(options);
    std::string out = "  Parts:\n";
    char line[200];
    for (const tPart& part : picture.Parts()) {
        std::snprintf(line, sizeof line, "    %-28s %-8s %10lld bytes  %s\n", part.Name.c_str(), KindName(part.Kind),
                      static_cast<long long>(part.Length), FateText(part, choices).c_str());
        out += line;
    }
    const tPictureFile::tTexts& texts = picture.Texts;
    if (!texts.ExifTiff.empty()) out += ExifSection(texts.ExifTiff);
    std::string lines;
    for (const auto& [keyword, text] : texts.Lines) {
        std::string shown = text;
        for (char& c : shown)
            if (static_cast<unsigned char>(c) < 0x20) c = ' ';
        lines += "\r\n" + keyword + " = " + shown;
    }
    Listing(out, "  Text:\n", lines);
    if (!texts.Xmp.empty()) out += XmpSection(texts.Xmp);
    if (!std::any_of(picture.Parts().begin(), picture.Parts().end(), [](const tPart& p) {
            return p.Kind != tPartKind::Display && p.Kind != tPartKind::Picture;
        }))
        out += "  No metadata.\n";
    return out;
}

}  // namespace

std::string DescribeFile(const std::string& fileName, const IBatchOptions& options)
{
    std::string out = fileName + "\n";
    // Content decides which format lists the file, as it decides which one cleans it.
    try {
        struct stat st;
        tFileHandle file(OpenForReading(fileName, st));
        if (const tFormat* format = SniffFormat(file.Get(), fileName); format && format->Type != tFileType::Jpeg) {
            try {
                return out + DescribePicture(*format->Scan(std::move(file), st, fileName, true), options);
            } catch (const EDamagedFile& e) {
                return out + "  Damaged " + format->Name + " file: " + e.what() + "\n";
            } catch (const ECannotClean& e) {
                return out + "  Cannot be cleaned: " + e.what() + "\n";
            }
        }
    } catch (const std::exception&) {
        // The JPEG reading below says why the file cannot be read.
    }
    TimgData data(255);
    const bool holds = data.ScanFile(fileName);
    if (data.Damaged) return out + "  Damaged JPEG header: what it holds cannot be read.\n";
    if (data.SegmentCount == 0) return out + "  Not a JPEG file.\n";
    out += "  Head segments:\n";
    char line[160];
    for (int32_t i = 0; i < static_cast<int32_t>(data.SegmentTable.size()); ++i) {
        const tSection& s = data.SegmentTable[static_cast<size_t>(i)];
        if (!s.FromSource()) continue;
        const std::string count = s.Count > 1 ? " x" + std::to_string(s.Count) : "";
        std::snprintf(line, sizeof line, "    %-6s %-16s %10lld bytes%-7s %s\n", MarkerName(s.Marker).c_str(),
                      KindName(s), static_cast<long long>(s.End - s.Start), count.c_str(),
                      s.Marker == marker::SOS ? "" : Fate(i, s, options, data).c_str());
        out += line;
    }
    if (data.StrayBytes > 0)
        out += "  Stray bytes: " + std::to_string(data.StrayBytes) +
               " between the segments, no part of any; never written to an output\n";
    if (data.ExifDecoder) {
        Listing(out, "  EXIF:\n", data.ExifDecoder->Listing);
        Listing(out, "  Maker note:\n", data.ExifDecoder->MakerListing);
        if (data.ExifDecoder->MakerListing.empty() && !data.ExifDecoder->MakerNoteBytes.empty())
            out += "  Maker note: " + std::to_string(data.ExifDecoder->MakerNoteBytes.size()) +
                   " bytes in a layout this program does not decode\n";
        Listing(out, "  Thumbnail directory (IFD1):\n", data.ExifDecoder->ThumbnailListing);
        out += ThumbnailLine(*data.ExifDecoder);
        const int32_t orientation = data.Orientation();
        if (orientation > 1 && options.StripExif())
            out += std::string("  Orientation ") + std::to_string(orientation) +
                   (options.KeepOrientation() ? ": kept in a minimal EXIF block\n" : ": removed with EXIF\n");
    }
    if (const tSection* iptc = data.Section(data.IptcRef); iptc && data.IptcContainer) {
        data.IptcContainer->ParseSegment(iptc->Bytes);
        std::string lines;
        for (int32_t i = 0; i < data.IptcContainer->TagCount(); ++i) {
            const TTagEntry e = data.IptcContainer->GetEntry(i);
            lines += "\r\n" + e.TagName + " = " + e.Text;
        }
        Listing(out, "  IPTC:\n", lines);
    }
    if (const tSection* xmp = data.Section(data.XmpRef)) {
        const std::string packet = xmp->Bytes.substr(std::min(xmp->Bytes.size(), 2 + kXmpIdentifier.size()));
        out += XmpSection(packet);
    }
    if (const tSection* com = data.Section(data.CommentRef))
        out += "  Comment: \"" + com->Bytes.substr(2) + "\"\n";
    if (data.MpfRef != kNoRef) out += "  MPF: further pictures after this one (depth maps, gain maps)\n";
    if (data.HasTrailer())
        out += std::string("  Trailer: bytes after the picture") + (options.StripOther() ? ", removed (other)\n" : "\n");
    if (!holds && !data.HasOtherMetadata()) out += "  No metadata.\n";
    return out;
}
