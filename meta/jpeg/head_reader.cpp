#include "meta/jpeg/head_reader.h"

#include <algorithm>
#include <string_view>

#include "meta/exif/end_ind.h"
#include "meta/jpeg/markers.h"

tHeadRead tHeadReader::Next()
{
    FIn.Skip(FUnread);
    FUnread = 0;
    FPrefix.clear();
    FSeg = tHeadSegment{};
    FSeg.Start = FIn.Offset();
    uint8_t code = 0;
    for (;;) {
        const int64_t at = FIn.Offset();
        if (!FIn.ReadByte(code)) return tHeadRead::End;
        if (code != marker::Fill) continue;
        while (code == marker::Fill)
            if (!FIn.ReadByte(code)) return tHeadRead::End;
        // FF 00 is no marker either (T.81, B.1.1.5): it goes with the stray bytes.
        if (code == 0x00) continue;
        FSeg.Stray = at - FSeg.Start;
        FSeg.Start = at;
        break;
    }
    FStray += FSeg.Stray;
    FSeg.Marker = code;
    if (!marker::HasLength(code)) {
        FSeg.End = FIn.Offset();
        return tHeadRead::Whole;
    }
    uint8_t hi, lo;
    if (!FIn.ReadByte(hi) || !FIn.ReadByte(lo)) return tHeadRead::End;
    const int length = hi * 256 + lo;
    Ensure(length >= 2, "Invalid JPEG segment length");
    FSeg.Length = static_cast<uint16_t>(length);
    const uint64_t body = static_cast<uint64_t>(length - 2);
    const int64_t left = FIn.Size() - FIn.Offset();
    const bool whole = left >= 0 && body <= static_cast<uint64_t>(left);
    FIn.Read(FPrefix, static_cast<size_t>(std::min<uint64_t>(body, kPrefixSize)));
    FUnread = body - FPrefix.size();
    if (!whole) {
        FSeg.End = FIn.Size();
        return tHeadRead::Cut;
    }
    FSeg.End = FIn.Offset() + static_cast<int64_t>(FUnread);
    return tHeadRead::Whole;
}

std::string tHeadReader::ReadBody()
{
    std::string body;
    body.reserve(2 + FPrefix.size() + FUnread);
    body += static_cast<char>(FSeg.Length >> 8);
    body += static_cast<char>(FSeg.Length & 0xFF);
    body += FPrefix;
    FIn.Read(body, static_cast<size_t>(FUnread));
    FUnread = 0;
    return body;
}

namespace {

bool StartsWith(const std::string& s, std::string_view prefix)
{
    return s.size() >= prefix.size() && std::string_view(s).substr(0, prefix.size()) == prefix;
}

}  // namespace

tBlockKind KindOf(uint8_t code, const std::string& prefix)
{
    using namespace std::string_view_literals;
    switch (code) {
    case marker::APP0:
        // A JFXX extension holds a thumbnail, which may show the picture as it
        // was before an edit: no decoder needs it.
        return StartsWith(prefix, "JFIF\0"sv) ? tBlockKind::Jfif : tBlockKind::OtherApp;
    case marker::APP1:
        if (StartsWith(prefix, "Exif"sv)) return tBlockKind::Exif;
        if (StartsWith(prefix, "http://ns.adobe.com/xap/1.0/\0"sv)) return tBlockKind::Xmp;
        if (StartsWith(prefix, "http://ns.adobe.com/xmp/extension/\0"sv)) return tBlockKind::ExtendedXmp;
        return tBlockKind::OtherApp;
    case marker::APP2:
        if (StartsWith(prefix, "ICC_PROFILE\0"sv)) return tBlockKind::Icc;
        if (StartsWith(prefix, "MPF\0"sv)) return tBlockKind::Mpf;
        if (StartsWith(prefix, "urn:iso:std:iso:ts:21496:-1\0"sv)) return tBlockKind::GainMap;
        return tBlockKind::OtherApp;
    case marker::APP13:
        return tBlockKind::Photoshop;
    case marker::APP14:
        return StartsWith(prefix, "Adobe"sv) ? tBlockKind::Adobe : tBlockKind::OtherApp;
    default:
        return code >= marker::APP0 && code <= marker::APP15 ? tBlockKind::OtherApp : tBlockKind::Other;
    }
}

tSection PlaceOf(const tHeadReader& head)
{
    const tHeadSegment& seg = head.Segment();
    tSection s;
    s.Marker = seg.Marker;
    s.SegLength = seg.Length;
    s.Start = seg.Start;
    s.End = seg.End;
    s.Kind = KindOf(seg.Marker, head.Prefix());
    s.ExifHeader = s.Kind == tBlockKind::Exif;
    return s;
}

int64_t FindImageEnd(int fd, int64_t sos)
{
    tByteSource in(fd, sos);
    // Markers and their segments (the scan headers, the tables between the
    // scans of a progressive picture) are stepped over by their lengths;
    // between them, the coded data is searched for the next marker.
    for (;;) {
        if (!in.SkipPast(marker::Fill)) return in.Size();
        uint8_t code = marker::Fill;
        while (code == marker::Fill)
            if (!in.ReadByte(code)) return in.Size();
        // In entropy-coded data an FF followed by 00 or RSTn is data (T.81, B.1.1.5).
        if (code == 0x00 || (code >= marker::RST0 && code <= marker::RST7)) continue;
        if (code == marker::EOI) return in.Offset();
        if (!marker::HasLength(code)) continue;
        uint8_t hi, lo;
        if (!in.ReadByte(hi) || !in.ReadByte(lo)) return in.Size();
        const int length = hi * 256 + lo;
        if (length < 2 || in.Skip(static_cast<uint64_t>(length - 2)) != static_cast<uint64_t>(length - 2))
            return in.Size();
    }
}
