// What the IPTC container asks of the image container that owns it.

#include "meta/iptc/iptc_data.h"
#include "meta/jpeg/img_data.h"
#include "meta/jpeg/jpeg_image.h"

const std::string* TimgData::ScanForIptc(const std::string& fileName)
{
    ScanFile(fileName);
    const tSection* const iptc = Section(IptcRef);
    return iptc != nullptr ? &iptc->Bytes : nullptr;
}

TIPTCdata* TimgData::HeldIptc() const { return IptcContainer.get(); }

void TimgData::WriteWithIptc(const std::string& payload, const std::string& target, const std::string& source)
{
    // Load first: a source that cannot be read leaves the sections unchanged.
    TJPEGImage holder;
    holder.LoadFile(source.empty() ? target : source);
    ReplaceIptcSegment(payload);
    // Rewriting the target in place is what an empty source asks for.
    SaveWithImage(holder, target, true, source.empty());
}
