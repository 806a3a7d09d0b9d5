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
#include "meta/jpeg/section.h"

class TImageInfo;
class TIPTCdata;
class TJPEGImage;
class tByteSource;

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
    tSectionRef App0Ref = kNoRef;     // the last APP0

    std::string SourceName;
    std::time_t SourceTime = 0;
    int64_t SourceSize = 0;
    std::string StatusText;

    std::unique_ptr<TImageInfo> ExifDecoder;
    std::unique_ptr<TIPTCdata> IptcContainer;

    // The entry a reference points at, or nullptr for kNoRef.
    tSection* Section(tSectionRef ref);
    const tSection* Section(tSectionRef ref) const;

    // --- Reading ---
    void Clear();
    bool ScanFile(const std::string& fileName);
    bool HoldsMetadata() const;
    bool ScanJpeg(const std::string& fileName);
    bool WalkSegments(tByteSource& in);
    void OpenExifBlock();
    bool ScanTiff(const std::string& fileName);
    void ReadSourceInfo(const std::string& fileName);

    // --- Writing ---
    void ReplaceComment(const std::string& text);
    void ReplaceIptcSegment(const std::string& payload);
    void WriteHeaderSegments(std::string& out) const;
    void SaveAs(const std::string& target);
    // mayReplace: the caller asks to replace whatever holds `target`; otherwise
    // only a file this object itself wrote there for this source is replaced.
    void SaveWithImage(TJPEGImage& holder, const std::string& target, bool sync,
                       bool mayReplace = false);

    // --- For the IPTC container it owns ---
    const std::string* ScanForIptc(const std::string& fileName) override;
    TIPTCdata* HeldIptc() const override;
    void WriteWithIptc(const std::string& payload, const std::string& target, const std::string& source) override;

private:
    void CreateExifDecoder();
    // Chooses among the first `examined` entries.
    tSectionRef ChooseExifBlock(tSectionRef examined) const;
    void AddSection(tSection section);
    std::string AssembleOutput(const std::string& source) const;
    tSectionRef SetSegment(tSectionRef ref, int32_t marker, const std::string& payload);

    int32_t ScannedCount = 0;  // entries read from the file (the rest were added)
    // What the scan referenced: those segments are rewritten in the header or
    // dropped on purpose, so the remainder leaves them out.
    tSectionRef ScannedRefs[4] = {kNoRef, kNoRef, kNoRef, kNoRef};
    bool CommentReplaced = false;
    bool IptcReplaced = false;
    // Targets this object wrote for the current source, with their file identity.
    struct tWritten { std::string Name; uint64_t Dev, Ino; };
    std::vector<tWritten> Written;
};
