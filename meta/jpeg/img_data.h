#pragma once
// The container for one image file: reads the head of a JPEG file into a table
// of segments, knows which hold metadata, and writes a cleaned copy.

#include <cstdint>
#include <ctime>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "meta/exif/end_ind.h"
#include "meta/iptc/iptc_owner.h"
#include "meta/clean/clean_policy.h"
#include "meta/clean/plan.h"
#include "meta/jpeg/section.h"
#include "store/file_io.h"

class TImageInfo;
class TIPTCdata;
class tByteSource;

// What the user chose to remove; it holds for every picture of a file.
struct tCleaning : tChoices {
    // Whether the segment goes from a further picture (FateOf decides).
    bool Drops(const tSection& seg) const;
    // XMP and the APPn blocks of cameras and programs.
    static bool IsOtherMetadata(tBlockKind kind);
};

// What a segment holds, in the words of the cleaning policy.
tPartKind PartKindOf(const tSection& seg);

// One output file as a JPEG plan has it: the pieces, and what the written
// heads are checked against.
struct tOutputPlan : tPlan {
    int64_t HeadLength = 0;  // where the first picture's image data starts in the output

    // What the written head is checked against before it is published.
    bool ExifRemoved = false, OtherRemoved = false;
    // Where each further picture stands in the output, and what goes from all of them.
    std::vector<std::pair<int64_t, int64_t>> FurtherPictures;
    tCleaning FurtherCleaning;
    bool CheckComment = false, CheckIptc = false;
    std::string Comment, Iptc;  // the only COM and APP13 blocks allowed then
    std::string Exif, Xmp;      // with those removed: the only such blocks allowed (or none)
};

class TimgData : public tEndInd, public IIptcOwner {
public:
    explicit TimgData(int32_t buildSelector);
    ~TimgData() override;
    TimgData(const TimgData&) = delete;
    TimgData& operator=(const TimgData&) = delete;

    // The head's segments in file order, then entries the setters add.
    std::vector<tSection> SegmentTable;
    bool TiffMode = false;
    int32_t BuildSelector;
    int32_t SegmentCount = 0;

    tSectionRef ExifRef = kNoRef;     // the EXIF APP1 block
    tSectionRef IptcRef = kNoRef;     // the first APP13
    tSectionRef CommentRef = kNoRef;  // the last COM
    tSectionRef App0Ref = kNoRef;     // the last JFIF APP0
    tSectionRef MpfRef = kNoRef;      // the first MPF index
    tSectionRef XmpRef = kNoRef;      // the first standard XMP packet

    // Beyond the three strip choices: XMP and every other metadata block,
    // and whatever follows the picture but the pictures the MPF index names.
    bool StripOther = false;
    // With the EXIF block dropped, a minimal one keeps the picture's orientation.
    bool KeepOrientation = false;
    // The user's choices, for every picture of the file. The first picture's
    // changes are made through the setters below; what they say is added.
    tCleaning Choices;

    std::string SourceName;
    std::time_t SourceTime = 0;
    int64_t SourceSize = 0;
    std::string StatusText;
    // The file starts like a JPEG but its head cannot be read to the image
    // data: what it holds is unknown, so it must never pass as metadata-free.
    bool Damaged = false;
    // Bytes in the head that were no marker and no segment; no output keeps them.
    int64_t StrayBytes = 0;

    std::unique_ptr<TImageInfo> ExifDecoder;
    std::unique_ptr<TIPTCdata> IptcContainer;

    // The entry a reference points at, or nullptr for kNoRef.
    tSection* Section(tSectionRef ref);
    const tSection* Section(tSectionRef ref) const;

    // --- Reading ---
    void Clear();
    bool ScanFile(const std::string& fileName);
    // ScanFile for a file the caller has opened (`st`: what it is): the
    // container takes the file, and from then on reads and copies only it,
    // whatever its name comes to lead to.
    bool ScanFile(const std::string& fileName, tFileHandle file, const struct stat& st);
    // The file scanned, open until the container is cleared; -1 without one.
    int SourceFd() const { return FSource.Get(); }
    bool HoldsMetadata() const;
    bool ScanJpeg(const std::string& fileName);
    bool WalkSegments(tByteSource& in);
    void OpenExifBlock();
    bool ScanTiff(const std::string& fileName);
    void ReadSourceInfo(const std::string& fileName);

    // The Orientation of IFD0 (1 to 8), or 0 when the file records none.
    int32_t Orientation() const;
    // The APP1 segment that holds IFD0 with this Orientation alone.
    static std::string OrientationBlock(int32_t orientation);
    // True when the EXIF block is just such a block.
    bool ExifIsOrientationOnly() const;
    // XMP or another metadata block in the head, or bytes after the picture
    // that are not a picture the MPF index names (a trailer).
    bool HasOtherMetadata() const;
    bool HasTrailer() const;
    // True when a picture after the first, as the MPF index names them, holds
    // metadata `choices` remove. Raises "Damaged JPEG header in picture N"
    // when one cannot be read.
    bool FurtherPicturesHold(const tCleaning& choices);

    // --- Writing ---
    void ReplaceComment(const std::string& text);
    void ReplaceIptcSegment(const std::string& payload);
    void WriteHeaderSegments(std::string& out) const;
    // The output for the choices made so far, from `source` (empty: the file
    // scanned, which stays open from the scan). Checks that libjpeg accepts
    // the source's header ("JPEG error #%d") and, with syncSize, brings the
    // EXIF width and height up to date. "Cannot open file %s" when the source
    // is gone.
    tOutputPlan PlanOutput(bool syncSize, const std::string& source = {});
    // The output from the file scanned, open since the scan, without asking
    // what its name leads to now.
    tOutputPlan PlanFromScanned(bool syncSize);
    // Writes the planned output into a temporary file and reads its heads
    // back: a removed block still there in any picture, or a length other than
    // planned, raises "Cannot clean %s: the written file did not match what
    // was planned" (the source's name).
    void WriteOutput(const tOutputPlan& plan, tPendingFile& out, const std::string& name) const;
    // Plans, writes and publishes `target` durably, without the size sync.
    void SaveAs(const std::string& target);
    // mayReplace: the caller asks to replace whatever holds `target`; otherwise
    // only a file this object itself wrote there for this source is replaced.
    void SaveTo(const std::string& target, bool syncSize, bool mayReplace = false,
                const std::string& source = {});

    // --- For the IPTC container it owns ---
    const std::string* ScanForIptc(const std::string& fileName) override;
    TIPTCdata* HeldIptc() const override;
    void WriteWithIptc(const std::string& payload, const std::string& target, const std::string& source) override;

private:
    void CreateExifDecoder();
    // Chooses among the first `examined` entries.
    tSectionRef ChooseExifBlock(tSectionRef examined) const;
    void AddSection(tSection section);
    // Adds a segment read from the file; a table already long joins a segment
    // that is not held to a like run before it, so a crafted head of millions
    // of segments costs little memory.
    void AddScanned(tSection section);
    // The held entry at `ref` is no longer referenced: its bytes go.
    void Release(tSectionRef ref);
    bool IsScannedFile(const std::string& name) const;
    bool ScanSource(const std::string& fileName);
    // `from` is the file scanned, open as FSource.
    tOutputPlan Plan(bool syncSize, const std::string& from, bool scanned);
    tSectionRef SetSegment(tSectionRef ref, int32_t marker, const std::string& payload);

    int32_t ScannedCount = 0;  // entries read from the file (the rest were added)
    // What the scan referenced: those segments are rewritten in the header or
    // dropped on purpose, so the remainder leaves them out.
    tSectionRef ScannedRefs[4] = {kNoRef, kNoRef, kNoRef, kNoRef};
    bool CommentReplaced = false;
    bool IptcReplaced = false;
    // Targets this object wrote for the current source, with their file identity.
    struct tWritten { std::string Name; tFileId Id; };
    std::vector<tWritten> Written;
    // The scanned file, open from the scan on, and where its head ends.
    tFileHandle FSource;
    tFileId FSourceId;
    mode_t FSourceMode = 0644;
    int64_t FRestStart = 0;
    // The file's first bytes as the scan read them: the head, mostly whole.
    std::string FHead;
    // Just past the first picture's EOI in the scanned file; -1 until asked for.
    mutable int64_t FImageEnd = -1;
    int64_t ImageEnd() const;
};
