#include "meta/heif/heif_file.h"

#include <algorithm>
#include <array>

namespace {

void Ensure(bool condition, const char* message)
{
    if (!condition) throw EDamagedFile(message);
}

// A file that may be sound but that no rewrite here can clean safely.
void Refuse(bool condition, const char* message)
{
    if (!condition) throw ECannotClean(message);
}

// The brands of HEIF image files and sequences (ISO/IEC 23008-12, annex B;
// AV1 image file format, 7.2); "hevc"/"hevx" for older HEVC sequences.
constexpr std::array<uint32_t, 8> kBrands = {FourCC("heic"), FourCC("heix"), FourCC("mif1"), FourCC("msf1"),
                                             FourCC("avif"), FourCC("avis"), FourCC("hevc"), FourCC("hevx")};

bool ImageBrand(uint32_t brand)
{
    return std::find(kBrands.begin(), kBrands.end(), brand) != kBrands.end();
}

uint32_t BrandAt(std::string_view bytes, size_t at)
{
    tBoxCursor c(bytes.substr(at, 4));
    return c.U32();
}

// What an item holds, from its type: EXIF, metadata (XMP, other mime and
// uri items, JUMBF), or part of the picture (coded images, grids, overlays,
// tone maps, auxiliary pictures, thumbnails: anything else).
tPartKind KindOf(uint32_t type, bool hasInfe, const std::string& contentType)
{
    if (!hasInfe) return tPartKind::Picture;
    if (type == FourCC("Exif")) return tPartKind::Exif;
    if (type == FourCC("uri ") || type == FourCC("jumb")) return tPartKind::Other;
    // infe versions 0 and 1 name a content type only, as mime items do.
    if (type == FourCC("mime") || type == 0)
        return contentType.compare(0, 6, "image/") == 0 ? tPartKind::Picture : tPartKind::Other;
    return tPartKind::Picture;
}

std::string ItemName(const tHeifFile::tItem& item)
{
    std::string name = item.Type != 0 ? FourCCText(item.Type) : std::string("item");
    while (!name.empty() && name.back() == ' ') name.pop_back();
    name += " item " + std::to_string(item.Id);
    if (item.ContentType == "application/rdf+xml") name += " (XMP)";
    return name;
}

// Top-level boxes that are the file's structure; any other holds data no
// picture needs unless an item's bytes lie in it.
bool StructureBox(uint32_t type)
{
    return type == FourCC("ftyp") || type == FourCC("meta") || type == FourCC("mdat") || type == FourCC("free") ||
           type == FourCC("skip") || type == FourCC("wide");
}

bool Overlap(const tHeifFile::tExtent& a, const tHeifFile::tExtent& b)
{
    return a.Offset < b.Offset + b.Length && b.Offset < a.Offset + a.Length;
}

}  // namespace

bool LooksLikeHeif(std::string_view first)
{
    // An ftyp box first (ISO/IEC 14496-12, 4.3): size, type, major brand,
    // minor version, then compatible brands to the end of the box.
    if (first.size() < 16 || first.substr(4, 4) != "ftyp") return false;
    if (ImageBrand(BrandAt(first, 8))) return true;
    tBoxCursor c(first.substr(0, 4));
    const uint32_t size = c.U32();
    const size_t end = std::min<size_t>(first.size(), size < 16 ? 16 : size);
    for (size_t at = 16; at + 4 <= end; at += 4)
        if (ImageBrand(BrandAt(first, at))) return true;
    return false;
}

std::unique_ptr<tPictureFile> ScanHeif(tFileHandle file, const struct stat& st, const std::string&, bool listing)
{
    return std::make_unique<tHeifFile>(std::move(file), static_cast<int64_t>(st.st_size), listing);
}

tHeifFile::tHeifFile(tFileHandle file, int64_t size, bool listing) : FSize(size), FReader(file.Get(), size)
{
    FSource = std::move(file);
    FTop = FReader.TopLevel();
    Ensure(!FTop.empty() && FTop[0].Type == FourCC("ftyp"), "no ftyp box first");
    for (const tBox& box : FTop) {
        if (box.Type == FourCC("meta")) {
            Refuse(!FMeta, "two meta boxes");
            FMeta = &box;
        }
        // Tracks may hold metadata of their own (udta, their own meta boxes):
        // not cleaned yet, so never called clean.
        Refuse(box.Type != FourCC("moov") && box.Type != FourCC("moof"),
               "an image sequence: its tracks are not cleaned yet");
    }
    Ensure(FMeta, "no meta box");
    FReader.Hold(*FMeta);
    ScanMeta(*FMeta);
    CheckExtents();
    MakeParts(listing);
    if (listing) ReadTexts();
}

void tHeifFile::ScanMeta(const tBox& meta)
{
    Ensure(FReader.FullBox(meta).Version == 0, "a meta box of an unknown version");
    FMetaChildren = FReader.Children(meta, 4);
    for (const tBox& child : FMetaChildren) {
        const tBox** slot = child.Type == FourCC("iinf")   ? &FIinf
                            : child.Type == FourCC("iloc") ? &FIloc
                            : child.Type == FourCC("iref") ? &FIref
                            : child.Type == FourCC("idat") ? &FIdat
                                                            : nullptr;
        if (!slot) continue;
        Ensure(!*slot, "two item tables of one kind in the meta box");
        *slot = &child;
    }
    if (FIinf) ReadItemInfo(*FIinf);
    if (FIloc) ReadItemLocations(*FIloc);
    if (FIref) ReadReferences(*FIref);
}

tHeifFile::tItem& tHeifFile::ItemFor(uint32_t id)
{
    const auto [at, added] = FItemIndex.emplace(id, FItems.size());
    if (!added) return FItems[at->second];
    Ensure(FItems.size() < kMaxItems, "too many items to read");
    FItems.push_back({});
    FItems.back().Id = id;
    return FItems.back();
}

void tHeifFile::ReadItemInfo(const tBox& iinf)
{
    // ISO/IEC 14496-12, 8.11.6: a count (16 bits in version 0), then an infe box per item.
    const tFullBox full = FReader.FullBox(iinf);
    FIinfCountSize = full.Version == 0 ? 2 : 4;
    Ensure(iinf.PayloadLength() >= 4 + static_cast<int64_t>(FIinfCountSize), "a box ends inside its fields");
    const std::string countBytes = FReader.Read(iinf.Payload() + 4, static_cast<int64_t>(FIinfCountSize));
    tBoxCursor count(countBytes);
    const uint64_t n = count.UInt(FIinfCountSize);
    FInfes = FReader.Children(iinf, 4 + static_cast<int64_t>(FIinfCountSize));
    Ensure(n == FInfes.size(), "the item count of iinf does not match its entries");
    for (const tBox& infe : FInfes) {
        Ensure(infe.Type == FourCC("infe"), "an item entry that is no infe box");
        const std::string payload = FReader.Payload(infe);
        tBoxCursor c(payload);
        const uint8_t version = c.U8();
        c.Skip(3);
        uint32_t id, type = 0;
        std::string contentType;
        if (version < 2) {
            id = c.U16();
            c.Skip(2);  // protection index
            c.CString();  // name
            contentType = c.CString();
        } else {
            id = version == 2 ? c.U16() : c.U32();
            c.Skip(2);
            type = c.U32();
            c.CString();
            if (type == FourCC("mime")) contentType = c.CString();
        }
        tItem& item = ItemFor(id);
        Ensure(!item.Infe, "two item entries of one number");
        item.Type = type;
        item.ContentType = contentType;
        item.Infe = &infe;
        item.Kind = KindOf(type, true, contentType);
    }
}

void tHeifFile::ReadItemLocations(const tBox& iloc)
{
    // ISO/IEC 14496-12, 8.11.3.
    FIlocPayload = FReader.Payload(iloc);
    tBoxCursor c(FIlocPayload);
    const uint8_t version = c.U8();
    c.Skip(3);
    Ensure(version <= 2, "an iloc box of an unknown version");
    const uint8_t sizes = c.U8(), more = c.U8();
    const size_t offsetSize = sizes >> 4, lengthSize = sizes & 15;
    const size_t baseSize = more >> 4, indexSize = version >= 1 ? more & 15 : 0;
    for (size_t s : {offsetSize, lengthSize, baseSize, indexSize})
        Ensure(s == 0 || s == 4 || s == 8, "an iloc field size other than 0, 4 or 8");
    FIlocCountAt = c.Pos();
    FIlocCountSize = version < 2 ? 2 : 4;
    const uint64_t count = c.UInt(FIlocCountSize);
    for (uint64_t i = 0; i < count; ++i) {
        const size_t at = c.Pos();
        const auto id = static_cast<uint32_t>(c.UInt(version < 2 ? 2 : 4));
        uint16_t method = 0;
        if (version >= 1) method = c.U16() & 15;
        Refuse(method != 2, "an item made of other items' bytes (iloc construction method 2)");
        Ensure(method <= 1, "an iloc construction method that is not known");
        Refuse(c.U16() == 0, "an item's data in another file");
        const uint64_t base = c.UInt(baseSize);
        const uint16_t extents = c.U16();
        tItem& item = ItemFor(id);
        Ensure(item.IlocLength == 0, "two item locations of one number");
        item.InIdat = method == 1;
        // (Every extent is checked below; the count of items is bounded by the bytes read.)
        int64_t dataBegin = 0, dataEnd = FSize;
        if (item.InIdat) {
            Ensure(FIdat, "an item in an idat box that is not there");
            dataBegin = FIdat->Payload();
            dataEnd = FIdat->End();
        }
        for (uint16_t e = 0; e < extents; ++e) {
            c.UInt(indexSize);
            const uint64_t offset = c.UInt(offsetSize), length = c.UInt(lengthSize);
            const uint64_t room = static_cast<uint64_t>(dataEnd - dataBegin);
            Refuse(base <= room && offset <= room - base, "an item's data runs past the end of the file");
            tExtent extent;
            extent.Offset = dataBegin + static_cast<int64_t>(base + offset);
            // Length 0: to the end of the data (ISO/IEC 14496-12, 8.11.3.3).
            const uint64_t left = room - base - offset;
            Refuse(length <= left, "an item's data runs past the end of the file");
            extent.Length = static_cast<int64_t>(length == 0 ? left : length);
            item.Extents.push_back(extent);
        }
        item.IlocAt = at;
        item.IlocLength = c.Pos() - at;
    }
}

void tHeifFile::ReadReferences(const tBox& iref)
{
    // ISO/IEC 14496-12, 8.11.12: a box per reference type and source item.
    FIrefVersion = FReader.FullBox(iref).Version;
    Ensure(FIrefVersion <= 1, "an iref box of an unknown version");
    const size_t idSize = FIrefVersion == 0 ? 2 : 4;
    for (const tBox& box : FReader.Children(iref, 4)) {
        const std::string payload = FReader.Payload(box);
        tBoxCursor c(payload);
        tReference ref;
        ref.Box = box;
        ref.From = static_cast<uint32_t>(c.UInt(idSize));
        const uint16_t n = c.U16();
        for (uint16_t i = 0; i < n; ++i) ref.To.push_back(static_cast<uint32_t>(c.UInt(idSize)));
        Ensure(c.AtEnd(), "an item reference box longer than its references");
        FReferences.push_back(std::move(ref));
    }
}

void tHeifFile::CheckExtents()
{
    // Blanking a metadata item must touch no other item's bytes and nothing
    // of the meta box, whose contents move when its tables shrink.
    std::vector<tExtent> metadata;
    int64_t blanked = 0;
    for (const tItem& item : FItems)
        for (const tExtent& e : item.Extents) {
            if (!item.InIdat) Refuse(!Overlap(e, {FMeta->Offset, FMeta->Length}), "an item's data inside the meta box");
            if (item.Kind == tPartKind::Exif || item.Kind == tPartKind::Other) {
                metadata.push_back(e);
                Refuse(e.Length <= kMaxBlankedBytes - blanked, "a metadata item too large to remove");
                blanked += e.Length;
            }
        }
    std::sort(metadata.begin(), metadata.end(), [](const tExtent& a, const tExtent& b) { return a.Offset < b.Offset; });
    // Each inside the data of one top-level box that is not ftyp: the zeros
    // written over it must not touch a box header or the brands.
    for (const tExtent& e : metadata) {
        if (e.Length == 0) continue;
        auto box = std::upper_bound(FTop.begin(), FTop.end(), e.Offset,
                                    [](int64_t at, const tBox& b) { return at < b.End(); });
        Ensure(box != FTop.end() && box->Type != FourCC("ftyp") && e.Offset >= box->Payload() &&
                   e.Length <= box->End() - e.Offset,
               "a metadata item's data outside the boxes that hold data");
    }
    for (size_t i = 1; i < metadata.size(); ++i)
        Refuse(!Overlap(metadata[i - 1], metadata[i]), "an item's data overlaps another item's");
    // Apart from one another, the metadata extents end in the order they start.
    for (const tItem& item : FItems) {
        if (item.Kind == tPartKind::Exif || item.Kind == tPartKind::Other) continue;
        for (const tExtent& e : item.Extents) {
            auto after = std::upper_bound(metadata.begin(), metadata.end(), e.Offset,
                                          [](int64_t at, const tExtent& m) { return at < m.Offset + m.Length; });
            Refuse(after == metadata.end() || e.Length == 0 || !Overlap(e, *after),
                   "an item's data overlaps another item's");
        }
    }
}

void tHeifFile::MakeParts(bool)
{
    std::vector<tPart> items;
    for (const tItem& item : FItems) {
        const std::string name = ItemName(item);
        if (item.Extents.empty()) items.push_back({item.Kind, -1, 0, name});
        for (size_t i = 0; i < item.Extents.size(); ++i) {
            const std::string suffix = item.Extents.size() > 1 ? " extent " + std::to_string(i + 1) : "";
            items.push_back({item.Kind, item.Extents[i].Offset, item.Extents[i].Length, name + suffix});
        }
    }
    FTopBlankable.assign(FTop.size(), false);
    // Which top-level boxes picture items' bytes lie in: each extent marks a
    // run of boxes (they stand in file order, apart), counted by differences.
    std::vector<int64_t> marks(FTop.size() + 1, 0);
    for (const tPart& p : items) {
        if (p.Kind != tPartKind::Picture || p.Length <= 0) continue;
        const auto first = std::upper_bound(FTop.begin(), FTop.end(), p.Offset,
                                            [](int64_t at, const tBox& b) { return at < b.End(); });
        const auto last = std::lower_bound(FTop.begin(), FTop.end(), p.Offset + p.Length,
                                           [](const tBox& b, int64_t end) { return b.Offset < end; });
        if (first >= last) continue;
        ++marks[static_cast<size_t>(first - FTop.begin())];
        --marks[static_cast<size_t>(last - FTop.begin())];
    }
    int64_t holding = 0;
    for (size_t i = 0; i < FTop.size(); ++i) {
        holding += marks[i];
        const tBox& box = FTop[i];
        const std::string type = FourCCText(box.Type);
        if (&box == FMeta) {
            // Rewritten when an item goes: listed, not copied as it stands.
            FParts.push_back({tPartKind::Picture, -1, box.Length, "meta"});
            for (const tBox& child : FMetaChildren) {
                const bool tables = &child == FIinf || &child == FIloc || &child == FIref || &child == FIdat;
                FParts.push_back({tPartKind::Picture, tables ? -1 : child.Offset, child.Length,
                                  "meta/" + FourCCText(child.Type)});
                if (child.Type != FourCC("iprp")) continue;
                // The properties: colour, rotation, mirroring, clean aperture, size, ...
                for (const tBox& ipco : FReader.Children(child)) {
                    if (ipco.Type != FourCC("ipco")) continue;
                    for (const tBox& property : FReader.Children(ipco))
                        FParts.push_back({tPartKind::Display, property.Offset, property.Length,
                                          "property " + FourCCText(property.Type)});
                }
            }
            continue;
        }
        const bool holdsPicture = holding > 0;
        if (box.Type == FourCC("mdat") || holdsPicture) {
            // Its items are listed below; blanked ones are not copied as they stand.
            FParts.push_back({tPartKind::Picture, -1, box.Length, type});
        } else if (StructureBox(box.Type)) {
            FParts.push_back({tPartKind::Picture, box.Offset, box.Length, type});
        } else {
            // A box of no image file's structure (a uuid box of XMP, ...).
            Refuse(box.Length <= kMaxBlankedBytes, "a box of unknown data too large to remove");
            FTopBlankable[i] = true;
            FParts.push_back({tPartKind::Other, box.Offset, box.Length, type});
        }
    }
    FParts.insert(FParts.end(), items.begin(), items.end());
}

// What a listing reads of one metadata item.
constexpr int64_t kMaxListedItemBytes = 1 << 20;

void tHeifFile::ReadTexts()
{
    for (const tItem& item : FItems) {
        if (item.Kind == tPartKind::Picture) continue;
        // A listing shows the first megabyte of an item: a hostile length costs no memory.
        std::string bytes;
        for (const tExtent& e : item.Extents) {
            const int64_t room = kMaxListedItemBytes - static_cast<int64_t>(bytes.size());
            if (room <= 0) break;
            bytes += FReader.Read(e.Offset, std::min<int64_t>(e.Length, room));
        }
        if (item.Kind == tPartKind::Exif && Texts.ExifTiff.empty()) {
            // A 32-bit offset from its end to the TIFF header (ISO/IEC 23008-12, A.2.1).
            if (bytes.size() < 4) continue;
            tBoxCursor c(bytes);
            const uint64_t skip = c.U32();
            if (skip <= bytes.size() - 4) Texts.ExifTiff = bytes.substr(4 + skip);
        } else if (item.ContentType == "application/rdf+xml" && Texts.Xmp.empty()) {
            Texts.Xmp = bytes;
        }
    }
}

bool tHeifFile::Blanked(const tItem& item, const tChoices& choices) const
{
    tPart part;
    part.Kind = item.Kind;
    return FateOf(part, choices) != tFate::Keep;
}

const tPlan& tHeifFile::Plan(const tChoices& choices)
{
    FPlan = tPlan();
    FPlan.SourceFd = FSource.Get();
    std::vector<bool> gone(FItems.size());
    std::vector<tExtent> holes, idatHoles;
    for (size_t i = 0; i < FItems.size(); ++i) {
        gone[i] = Blanked(FItems[i], choices);
        if (gone[i])
            for (const tExtent& e : FItems[i].Extents) (FItems[i].InIdat ? idatHoles : holes).push_back(e);
    }
    auto byOffset = [](const tExtent& a, const tExtent& b) { return a.Offset < b.Offset; };
    std::sort(holes.begin(), holes.end(), byOffset);
    std::sort(idatHoles.begin(), idatHoles.end(), byOffset);
    for (size_t i = 0; i < FTop.size(); ++i) {
        const tBox& box = FTop[i];
        if (&box == FMeta) {
            PlanMeta(gone, idatHoles);
        } else if (FTopBlankable[i] && choices.Other) {
            // A free box of the same size, its bytes zeroed: nothing after it moves.
            const bool large = box.LargeSize || box.Length > 0xFFFFFFFFll;
            const std::string header = BoxHeader(FourCC("free"), static_cast<uint64_t>(box.Length) - (large ? 16 : 8), large);
            FPlan.AddBytes(header);
            FPlan.AddBytes(std::string(static_cast<size_t>(box.Length) - header.size(), '\0'));
        } else {
            // Blanked items' bytes inside it; a blanked box holds them all itself.
            std::vector<tExtent> inside;
            for (const tExtent& h : holes)
                if (Overlap(h, {box.Offset, box.Length})) inside.push_back(h);
            PlanRange(box.Offset, box.End(), inside);
        }
    }
    return FPlan;
}

void tHeifFile::PlanRange(int64_t begin, int64_t end, const std::vector<tExtent>& holes)
{
    int64_t at = begin;
    for (const tExtent& h : holes) {
        const int64_t from = std::max(h.Offset, at), to = std::min(h.Offset + h.Length, end);
        if (from >= to) continue;
        FPlan.AddRange(at, from - at);
        FPlan.AddBytes(std::string(static_cast<size_t>(to - from), '\0'));
        at = to;
    }
    FPlan.AddRange(at, end - at);
}

void tHeifFile::PlanMeta(const std::vector<bool>& gone, const std::vector<tExtent>& idatHoles)
{
    const tBox& meta = *FMeta;
    const int64_t start = FPlan.Length;
    // Its header, version and flags stay: the size does not change.
    FPlan.AddRange(meta.Offset, meta.HeaderLength + 4);
    auto isGone = [&](uint32_t id) {
        const auto at = FItemIndex.find(id);
        return at != FItemIndex.end() && gone[at->second];
    };
    const bool any = std::find(gone.begin(), gone.end(), true) != gone.end();
    for (const tBox& child : FMetaChildren) {
        if (any && &child == FIinf) {
            std::vector<bool> goneInfe(FInfes.size());
            for (size_t i = 0; i < FItems.size(); ++i)
                if (gone[i] && FItems[i].Infe) goneInfe[static_cast<size_t>(FItems[i].Infe - FInfes.data())] = true;
            std::vector<const tBox*> kept;
            for (size_t i = 0; i < FInfes.size(); ++i)
                if (!goneInfe[i]) kept.push_back(&FInfes[i]);
            int64_t payload = 4 + static_cast<int64_t>(FIinfCountSize);
            for (const tBox* infe : kept) payload += infe->Length;
            FPlan.AddBytes(BoxHeader(child.Type, static_cast<uint64_t>(payload), child.LargeSize));
            FPlan.AddRange(child.Payload(), 4);
            FPlan.AddBytes(BigEndian(kept.size(), FIinfCountSize));
            for (const tBox* infe : kept) FPlan.AddRange(infe->Offset, infe->Length);
        } else if (any && &child == FIloc) {
            std::vector<const tItem*> kept;
            size_t entries = 0;
            int64_t payload = static_cast<int64_t>(FIlocCountAt + FIlocCountSize);
            // Entries in the order they stand.
            std::vector<const tItem*> located;
            for (const tItem& item : FItems)
                if (item.IlocLength != 0) located.push_back(&item);
            std::sort(located.begin(), located.end(), [](const tItem* a, const tItem* b) { return a->IlocAt < b->IlocAt; });
            for (const tItem* item : located)
                if (!isGone(item->Id)) {
                    kept.push_back(item);
                    payload += static_cast<int64_t>(item->IlocLength);
                    ++entries;
                }
            FPlan.AddBytes(BoxHeader(child.Type, static_cast<uint64_t>(payload), child.LargeSize));
            FPlan.AddRange(child.Payload(), static_cast<int64_t>(FIlocCountAt));
            FPlan.AddBytes(BigEndian(entries, FIlocCountSize));
            for (const tItem* item : kept)
                FPlan.AddRange(child.Payload() + static_cast<int64_t>(item->IlocAt), static_cast<int64_t>(item->IlocLength));
        } else if (any && &child == FIref) {
            // References from removed items go; so do removed targets, and a box left without any.
            const size_t idSize = FIrefVersion == 0 ? 2 : 4;
            tPlan refs;
            for (const tReference& ref : FReferences) {
                if (isGone(ref.From)) continue;
                std::vector<uint32_t> to;
                for (uint32_t id : ref.To)
                    if (!isGone(id)) to.push_back(id);
                if (to.empty()) continue;
                if (to.size() == ref.To.size()) {
                    refs.AddRange(ref.Box.Offset, ref.Box.Length);
                    continue;
                }
                std::string fields = BigEndian(ref.From, idSize) + BigEndian(to.size(), 2);
                for (uint32_t id : to) fields += BigEndian(id, idSize);
                refs.AddBytes(BoxHeader(ref.Box.Type, fields.size()) + fields);
            }
            if (refs.Length == 0) continue;
            FPlan.AddBytes(BoxHeader(child.Type, static_cast<uint64_t>(4 + refs.Length), child.LargeSize));
            FPlan.AddRange(child.Payload(), 4);
            for (const tPlan::tPiece& piece : refs.Pieces)
                piece.Offset < 0 ? FPlan.AddBytes(piece.Bytes) : FPlan.AddRange(piece.Offset, piece.Length);
        } else if (&child == FIdat) {
            PlanRange(child.Offset, child.End(), idatHoles);
        } else {
            FPlan.AddRange(child.Offset, child.Length);
        }
    }
    // A free box takes the room the tables gave up (ISO/IEC 14496-12, 8.1.2).
    const int64_t room = meta.Length - (FPlan.Length - start);
    // Every removed item gave up its infe box of at least 12 bytes, so the
    // room is 0 or enough for a free box's header.
    Refuse(room == 0 || (room >= 8 && room <= 0xFFFFFFFFll), "the meta box cannot be rewritten in place");
    if (room > 0) FPlan.AddBytes(BoxHeader(FourCC("free"), static_cast<uint64_t>(room - 8)) +
                                 std::string(static_cast<size_t>(room - 8), '\0'));
}

std::unique_ptr<tPictureFile> tHeifFile::Reread(int fd, const std::vector<tPart>&) const
{
    struct stat st;
    tFileHandle file = OwnCopy(fd, st);
    return std::make_unique<tHeifFile>(std::move(file), static_cast<int64_t>(st.st_size), false);
}
