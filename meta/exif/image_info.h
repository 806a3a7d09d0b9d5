#pragma once
// The EXIF decoder: walks the TIFF-structured directories of an EXIF block
// (TIFF 6.0 section 2, Exif 2.3 section 4.6), names and renders every entry,
// and records the image size fields that the writer keeps up to date.

#include <cstdint>
#include <functional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "meta/exif/decode_budget.h"
#include "meta/exif/end_ind.h"
#include "meta/exif/tag_entry.h"

// Directory kinds handed to WalkDirectory: which tag table names the entries.
enum class tDirKind { ExifKind = 1, GpsKind = 2 };

// A build selector for a file that is only being cleaned: no listing, no text,
// no maker note; the tag list holds the Orientation entries alone, and the
// size fields are recorded as always.
constexpr int32_t kBuildForCleaning = 1;

class TImageInfo : public tEndInd {
public:
    explicit TImageInfo(int32_t buildSelector);
    ~TImageInfo() override;

    std::vector<TTagEntry> TagList;  // decoded entries, in the order added
    int32_t TagCount = 0;            // entries of TagList in use
    int32_t TagCapacity = 0;         // grows by 25 when one free slot is left
    std::string MakeText;            // camera maker, at most 32 characters
    int32_t ImageWidth = 0;          // EXIF width and height as recorded
    int32_t ImageHeight = 0;
    int64_t WidthPos = 0;            // 1-based positions of their value fields
    int64_t HeightPos = 0;
    uint16_t WidthType = 0;          // field type and count of the entries that
    uint16_t HeightType = 0;         // set them, to update them in place
    int32_t WidthCount = 0;
    int32_t HeightCount = 0;
    int32_t BuildSelector;           // 2 listing, 4 tag list, 255 both, kBuildForCleaning
    std::string MakerNoteBytes;
    int64_t MakerNotePos = 0;
    bool TiffMode = false;
    std::string Listing;             // CR LF, label, " = ", text per entry
    std::string MakerListing;
    // IFD1, the thumbnail's directory (TIFF 6.0 section 2, Exif 2.3 section
    // 4.5.4), listed like IFD0 but kept out of TagList: its Orientation, size
    // and resolution describe the thumbnail, not the picture.
    std::string ThumbnailListing;
    // IFD1's JPEGInterchangeFormat (1-based position in Block) and
    // JPEGInterchangeFormatLength; 0 when IFD1 records no JPEG thumbnail.
    int64_t ThumbnailPos = 0;
    int64_t ThumbnailLength = 0;

    // Status texts the walk reports ("Illegally sized directory", "Error
    // Detected = ..."); the owning container installs it.
    std::function<void(const std::string&)> OnStatus;
    // The maker-note walk, installed by the owner; called at the MakerNote
    // entry once MakerNoteBytes and MakerNotePos are set.
    std::function<void(TImageInfo&)> OnMakerNote;

    virtual int32_t FindTagIndex(const std::string& name) const;
    virtual std::string TagText(const std::string& name) const;
    TTagEntry TagByName(const std::string& name) const;
    double NumericByName(const std::string& name) const;
    int32_t IntegerByName(const std::string& name) const;
    int32_t AddTag(TTagEntry entry);

    // Walks a directory and, depth first, the sub-directories it points at.
    // Called for the first directory of a block, it starts the block's budget
    // and raises nothing; a spent budget is reported as "Error Detected = ...".
    void WalkDirectory(int64_t start, int64_t base, int64_t limit, tDirKind kind);
    // Walks one maker directory against a maker tag table. No error leaves it:
    // a failure is reported through OnStatus as "Error Detected = ...".
    void WalkMakerDirectory(const std::string& makerBytes, std::span<const TTagEntry> table,
                            int64_t dirOffset, int64_t makerBase, int64_t blockBase);
    // Adds FocalLengthIn35mmFilm, computed from FocalLength and the sensor
    // size, when the block records none and the sensor size can be told.
    void DeriveFocal35();
    // The thumbnail's bytes when IFD1 records one that lies inside Block,
    // else empty.
    std::string ThumbnailBytes() const;
    // Brings the width/height value fields inside `exifBytes` (the APP1 segment
    // bytes from the length field on, 1-based positions as WidthPos/HeightPos)
    // up to date, in this decoder's byte order.
    void SyncDimensions(std::string& exifBytes, int32_t realHeight, int32_t realWidth) const;

    // What decoding the current block has cost so far.
    const tDecodeBudget& Budget() const { return FBudget; }

private:
    // Walks one directory; gives the position of its next-directory link
    // (0 when the directory is not read). A thumbnail directory is only listed.
    int64_t WalkEntries(int64_t start, int64_t base, int64_t limit, tDirKind kind, bool thumbnail = false);
    // The directory after IFD0 that the link at `link` names, if any.
    void WalkThumbnailDirectory(int64_t link, int64_t base, int64_t limit);
    // Sensor width and height in mm from the focal-plane resolution; 0 when
    // the block does not tell them soundly.
    double SensorDiagonal() const;
    void SetStatus(const std::string& text);

    int FDepth = 0;                  // directories being walked
    std::set<int64_t> FEntered;      // start positions entered in this block
    tDecodeBudget FBudget;           // shared by every walk of this block
};
