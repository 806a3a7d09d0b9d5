#include "meta/jpeg/img_data.h"

#include "meta/exif/image_info.h"
#include "meta/iptc/iptc_data.h"
#include "meta/jpeg/jpeg_image.h"

// Placeholder until the container lands: compiles, does nothing useful.
TimgData::TimgData(int32_t buildSelector) : BuildSelector(buildSelector) { Clear(); }
TimgData::~TimgData() = default;
tSection* TimgData::Section(tSectionRef ref)
{
    return ref >= 0 && ref < static_cast<tSectionRef>(SegmentTable.size()) ? &SegmentTable[ref] : nullptr;
}
const tSection* TimgData::Section(tSectionRef ref) const
{
    return ref >= 0 && ref < static_cast<tSectionRef>(SegmentTable.size()) ? &SegmentTable[ref] : nullptr;
}
void TimgData::Clear() {}
bool TimgData::ScanFile(const std::string&) { return false; }
bool TimgData::HoldsMetadata() const { return false; }
void TimgData::ReplaceComment(const std::string&) {}
void TimgData::ReplaceIptcSegment(const std::string&) {}
void TimgData::SaveAs(const std::string&) {}
void TimgData::SaveWithImage(TJPEGImage&, const std::string&, bool, bool) {}
