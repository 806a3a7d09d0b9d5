#pragma once
// Movies in ISO base media files and QuickTime files (MP4, MOV, M4V, 3GP)
// as the format table sees them. The metadata is in boxes of the movie
// header (moov): user data (udta: place, phone, software), meta boxes of
// QuickTime keys (location, make, model, creation date), XMP, the creation
// and modification times of the movie, its tracks and their media, and
// timed metadata tracks (a location or a camera's sensor readings per
// frame). Cleaning never moves a byte: a removed box becomes a free box of
// the same size, its bytes zeros; the times become zeros where they stand;
// a metadata track's samples in mdat become zeros. So no chunk offset
// (stco, co64) changes, the copy is as long as the source, and every kept
// byte stays at its offset, which lets the kernel share the movie's extents.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "meta/bmff/box_reader.h"
#include "meta/clean/picture_file.h"

// Removed bytes are planned as zeros made in memory: a phone's metadata is a
// few kilobytes, a camera's GPS track some hundreds for an hour; more is refused.
inline constexpr int64_t kMaxZeroedBytes = int64_t{16} << 20;

bool LooksLikeMovie(std::string_view first);
std::unique_ptr<tPictureFile> ScanMovie(tFileHandle file, const struct stat& st, const std::string& name,
                                        bool listing);

class tMovieFile : public tPictureFile {
public:
    // Scans the file open in `file`, `size` bytes long. Raises EDamagedFile
    // when it is broken, ECannotClean when it cannot be cleaned in place.
    tMovieFile(tFileHandle file, int64_t size, bool listing);
    tFileType Type() const override { return tFileType::Video; }
    const tPlan& Plan(const tChoices& choices) override;
    const tFileBytes* KeptBytes() const override { return FMoovBytes.get(); }

    struct tRange {
        int64_t Offset = 0, Length = 0;
    };
    // Where the bytes of the removed tracks' samples lie, sorted and apart.
    const std::vector<tRange>& MetadataSamples() const { return FSamples; }

protected:
    std::unique_ptr<tPictureFile> Reread(int fd, const std::vector<tPart>& copied) const override;

private:
    void ScanMoov(const tBox& moov, bool listing);
    void ScanTrak(const tBox& trak, const std::string& name, bool listing);
    void ScanUserData(const tBox& udta, const std::string& name, bool listing, bool goesWhole = false);
    void AddTimes(const tBox& box, const std::string& name);
    void AddRemovable(const tBox& box, const std::string& name);
    void AddFree(const tBox& box, const std::string& name);
    // Calls visit(offset, length) with where the samples of each chunk the
    // track's tables name lie; raises ECannotClean when the tables do not
    // add up.
    template <class tVisit>
    void VisitChunks(const tBox& stbl, tVisit&& visit);
    void ReadSamples(const tBox& stbl);
    void ReadMetaTexts(const tBox& meta);
    void CheckKeptChunks();
    bool AllZero(int64_t offset, int64_t length);

    tBoxReader FReader;
    std::vector<tBox> FTop;
    std::vector<tBox> FRemovable;  // boxes that become free boxes with other metadata removed
    std::vector<tRange> FTimes;     // creation and modification times not yet zero
    std::vector<tRange> FSamples;
    tRange FMoov;
    std::shared_ptr<const tFileBytes> FMoovBytes;  // when it was small enough to hold
    std::vector<tBox> FKeptSampleTables;  // the stbl boxes of kept tracks
    tPlan FPlan;
};
