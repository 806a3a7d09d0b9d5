#include "tests/meta/heif/heif_builder.h"

#include <vector>

#include "meta/bmff/box_reader.h"
#include "tests/meta/bmff/box_fixtures.h"

namespace {

using namespace boxfix;

std::string Infe(uint32_t id, const char (&type)[5], const std::string& contentType = {})
{
    std::string fields = U16(id) + U16(0) + type + std::string("name", 5);
    if (!contentType.empty()) fields += contentType + std::string(1, '\0');
    return FullBox("infe", 2, fields);
}

struct tExtentAt {
    uint64_t Offset, Length;
};

struct tItemAt {
    uint32_t Id;
    int Method;
    std::vector<tExtentAt> Extents;
};

std::string Iloc(const tHeifLayout& l, const std::vector<tItemAt>& items)
{
    const int v = l.IlocVersion;
    std::string p;
    p += static_cast<char>(l.OffsetSize << 4 | l.LengthSize);
    p += static_cast<char>(l.BaseSize << 4);
    p += v < 2 ? U16(items.size()) : U32(items.size());
    for (const tItemAt& item : items) {
        p += v < 2 ? U16(item.Id) : U32(item.Id);
        if (v >= 1) p += U16(static_cast<uint64_t>(item.Method));
        p += U16(0);
        // With offsets of size 0 every extent starts at the base offset: one extent each.
        const uint64_t base = l.BaseSize ? item.Extents[0].Offset : 0;
        p += BigEndian(base, static_cast<size_t>(l.BaseSize));
        p += U16(item.Extents.size());
        for (const tExtentAt& e : item.Extents)
            p += BigEndian(e.Offset - base, static_cast<size_t>(l.OffsetSize)) +
                 BigEndian(e.Length, static_cast<size_t>(l.LengthSize));
    }
    return FullBox("iloc", v, p);
}

std::string Pattern(const char* seed, size_t n)
{
    std::string s;
    for (size_t i = 0; s.size() < n; ++i) s += std::string(seed) + std::to_string(i * 7919 % 1000) + ";";
    return s.substr(0, n);
}

}  // namespace

tHeifParts BuildHeif(const tHeifLayout& l)
{
    tHeifParts parts;
    parts.Picture = Pattern("PIC", 300);
    const std::string thumb = Pattern("THUMB", 60);
    // An EXIF item: the offset to its TIFF header, then the TIFF block.
    parts.Exif = U32(0) + std::string("MM\0*\0\0\0\x08", 8) + "SecretCam Model X9 serial 0xC0FFEE 2024:05:06 " +
                 Pattern("GPS", 80);
    parts.Xmp = "<x:xmpmeta xmlns:x='adobe:ns:meta/'><dc:creator>Jane Roe</dc:creator>" + Pattern("XMP", 90) +
                "</x:xmpmeta>";
    parts.Colr = Box("colr", "nclx" + U16(1) + U16(13) + U16(6) + std::string(1, '\x80'));
    parts.Irot = Box("irot", std::string(1, '\x01'));
    const std::string ispe = FullBox("ispe", 0, U32(64) + U32(48));

    // mdat: picture and metadata interleaved when split; idat: the metadata when asked.
    const bool split = l.SplitExtents;
    const std::string p1 = parts.Picture.substr(0, 150), p2 = parts.Picture.substr(150);
    const std::string e1 = parts.Exif.substr(0, 40), e2 = parts.Exif.substr(40);
    std::string mdatPayload, idatPayload;
    std::vector<tExtentAt> pic, exif, xmp, th;  // offsets relative to the mdat payload (or idat)
    auto put = [](std::string& into, const std::string& bytes, std::vector<tExtentAt>& at) {
        at.push_back({into.size(), bytes.size()});
        into += bytes;
    };
    if (split) {
        put(mdatPayload, p1, pic);
        put(l.MetadataInIdat ? idatPayload : mdatPayload, e1, exif);
        put(mdatPayload, p2, pic);
        put(l.MetadataInIdat ? idatPayload : mdatPayload, e2, exif);
    } else {
        put(mdatPayload, parts.Picture, pic);
        put(l.MetadataInIdat ? idatPayload : mdatPayload, parts.Exif, exif);
    }
    put(l.MetadataInIdat ? idatPayload : mdatPayload, parts.Xmp, xmp);
    if (l.Thumbnail) put(mdatPayload, thumb, th);

    const std::string ftyp = Box("ftyp", "heic" + U32(0) + "mif1heic");
    // Two passes: the meta box's size does not depend on the offsets in it.
    auto metaBox = [&](uint64_t mdatAt) {
        auto shift = [&](std::vector<tExtentAt> extents, uint64_t by) {
            for (tExtentAt& e : extents) e.Offset += by;
            return extents;
        };
        const int metaMethod = l.MetadataInIdat ? 1 : 0;
        std::vector<tExtentAt> exifAt = shift(exif, metaMethod ? 0 : mdatAt);
        exifAt[0].Offset += static_cast<uint64_t>(l.ExifShift);
        std::vector<tItemAt> items = {{1, 0, shift(pic, mdatAt)},
                                      {2, l.Method >= 0 ? l.Method : metaMethod, exifAt},
                                      {3, metaMethod, shift(xmp, metaMethod ? 0 : mdatAt)}};
        if (l.Thumbnail) items.push_back({4, 0, shift(th, mdatAt)});
        std::string infes = Infe(1, "hvc1") + Infe(2, "Exif") + Infe(3, "mime", "application/rdf+xml");
        if (l.Thumbnail) infes += Infe(4, "hvc1");
        std::string refs = Box("cdsc", U16(2) + U16(1) + U16(1)) + Box("cdsc", U16(3) + U16(1) + U16(1));
        if (l.Thumbnail) refs += Box("thmb", U16(4) + U16(1) + U16(1));
        const std::string ipco = Box("ipco", parts.Colr + parts.Irot + ispe);
        const std::string ipma = FullBox("ipma", 0, U32(1) + U16(1) + std::string(1, 3) + "\x81\x02\x03");
        std::string children = FullBox("hdlr", 0, U32(0) + "pict" + std::string(13, '\0')) +
                               FullBox("pitm", 0, U16(1)) + Iloc(l, items) +
                               FullBox("iinf", 0, U16(l.Thumbnail ? 4 : 3) + infes) + FullBox("iref", 0, refs) +
                               Box("iprp", ipco + ipma);
        if (l.MetadataInIdat) children += Box("idat", idatPayload);
        return Box("meta", std::string(4, '\0') + children, l.LargeSizes);
    };
    const std::string mdatHeader = BoxHeader(FourCC("mdat"), mdatPayload.size(), l.LargeSizes);
    const size_t metaLength = metaBox(0).size();
    const std::string extraMeta = l.TwoMetas ? Box("meta", std::string(4, '\0')) : std::string();
    if (l.MdatFirst) {
        const uint64_t mdatAt = ftyp.size() + mdatHeader.size();
        parts.File = ftyp + mdatHeader + mdatPayload + metaBox(mdatAt) + extraMeta;
    } else {
        const uint64_t mdatAt = ftyp.size() + metaLength + extraMeta.size() + mdatHeader.size();
        parts.File = ftyp + metaBox(mdatAt) + extraMeta + mdatHeader + mdatPayload;
    }
    parts.PictureAt = static_cast<int64_t>(parts.File.find(l.SplitExtents ? p1 : parts.Picture));
    return parts;
}
