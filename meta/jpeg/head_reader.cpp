#include "meta/jpeg/head_reader.h"

#include <algorithm>

#include "meta/exif/end_ind.h"
#include "meta/jpeg/markers.h"

tHeadRead tHeadReader::Next()
{
    FIn.Skip(FUnread);
    FUnread = 0;
    FPrefix.clear();
    FSeg = tHeadSegment{};
    FSeg.Start = FIn.Offset();
    uint8_t code = marker::Fill;
    while (code == marker::Fill)
        if (!FIn.ReadByte(code)) return tHeadRead::End;
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

tSection PlaceOf(const tHeadReader& head)
{
    const tHeadSegment& seg = head.Segment();
    tSection s;
    s.Marker = seg.Marker;
    s.SegLength = seg.Length;
    s.Start = seg.Start;
    s.End = seg.End;
    s.ExifHeader = seg.Marker == marker::APP1 && head.Prefix().compare(0, 4, "Exif") == 0;
    return s;
}
