#pragma once
// HEIF pictures (HEIC, AVIF; ISO/IEC 23008-12) as the format table sees them.
// What a file holds is a list of items in its meta box: coded pictures,
// grids, auxiliary pictures and thumbnails, and metadata items (EXIF, XMP
// and other mime or uri items, JUMBF). Cleaning removes metadata items from
// the item tables and blanks their bytes where they stand; the meta box keeps
// its place and size (a free box fills what the tables no longer take), so
// no offset in the file moves and every other byte is copied as it stands.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "meta/bmff/box_reader.h"
#include "meta/clean/picture_file.h"

// Removed payloads are blanked with zeros made in memory: an EXIF item holds
// at most 64 KiB and XMP rarely more than a few hundred; more is refused.
inline constexpr int64_t kMaxBlankedBytes = int64_t{16} << 20;
// A phone photo holds a few dozen items (a 48-tile grid, thumbnails,
// auxiliary pictures), a large panorama a few thousand; more is a crafted file.
inline constexpr size_t kMaxItems = 65536;

bool LooksLikeHeif(std::string_view first);
std::unique_ptr<tPictureFile> ScanHeif(tFileHandle file, const struct stat& st, const std::string& name,
                                       bool listing);

class tHeifFile : public tPictureFile {
public:
    // Scans the file open in `file`, `size` bytes long. Raises EDamagedFile
    // with a reason when it is broken or cannot be cleaned safely.
    tHeifFile(tFileHandle file, int64_t size, bool listing);
    tFileType Type() const override { return tFileType::Heif; }
    const tPlan& Plan(const tChoices& choices) override;

    struct tExtent {
        int64_t Offset = 0, Length = 0;  // in the file
    };
    struct tItem {
        uint32_t Id = 0;
        uint32_t Type = 0;        // the infe item type; 0 without one (infe versions 0 and 1)
        std::string ContentType;  // of a mime item
        tPartKind Kind = tPartKind::Picture;
        bool InIdat = false;      // its extents lie in the idat box (iloc construction method 1)
        std::vector<tExtent> Extents;
        const tBox* Infe = nullptr;            // its entry in iinf, if any
        size_t IlocAt = 0, IlocLength = 0;     // its entry in the iloc payload; length 0: none
    };
    const std::vector<tItem>& Items() const { return FItems; }

protected:
    std::unique_ptr<tPictureFile> Reread(int fd, const std::vector<tPart>& copied) const override;

private:
    void ScanMeta(const tBox& meta);
    void ReadItemInfo(const tBox& iinf);
    void ReadItemLocations(const tBox& iloc);
    void ReadReferences(const tBox& iref);
    void CheckExtents();
    void MakeParts(bool listing);
    void ReadTexts();
    tItem& ItemFor(uint32_t id);
    bool Blanked(const tItem& item, const tChoices& choices) const;
    // The meta box rewritten without the items `gone` marks, then a free box.
    void PlanMeta(const std::vector<bool>& gone, const std::vector<tExtent>& idatHoles);
    // [begin, end) of the source with `holes` (sorted, apart) as zeros.
    void PlanRange(int64_t begin, int64_t end, const std::vector<tExtent>& holes);

    int64_t FSize;
    tBoxReader FReader;
    std::vector<tBox> FTop;
    const tBox* FMeta = nullptr;
    std::vector<tBox> FMetaChildren;
    const tBox* FIinf = nullptr;
    const tBox* FIloc = nullptr;
    const tBox* FIref = nullptr;
    const tBox* FIdat = nullptr;
    std::vector<tBox> FInfes;
    std::string FIlocPayload;
    size_t FIlocCountAt = 0, FIlocCountSize = 0;  // where the item count stands in the iloc payload
    size_t FIinfCountSize = 0;
    uint8_t FIrefVersion = 0;
    struct tReference {
        tBox Box;
        uint32_t From = 0;
        std::vector<uint32_t> To;
    };
    std::vector<tReference> FReferences;
    std::vector<tItem> FItems;
    std::map<uint32_t, size_t> FItemIndex;  // item number: its place in FItems
    std::vector<bool> FTopBlankable;  // per top-level box: metadata to blank when Other goes
    tPlan FPlan;
};
