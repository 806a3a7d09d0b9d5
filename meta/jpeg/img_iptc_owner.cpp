// What the IPTC container asks of the image container that owns it.

#include "meta/iptc/iptc_data.h"
#include "meta/jpeg/img_data.h"

const std::string* TimgData::ScanForIptc(const std::string& fileName)
{
    ScanFile(fileName);
    const tSection* const iptc = Section(IptcRef);
    return iptc != nullptr ? &iptc->Bytes : nullptr;
}

TIPTCdata* TimgData::HeldIptc() const { return IptcContainer.get(); }

void TimgData::WriteWithIptc(const std::string& payload, const std::string& target, const std::string& source)
{
    // Open first: a source that cannot be read leaves the sections unchanged.
    const std::string from = source.empty() ? target : source;
    { const tFileHandle probe(OpenForReading(from)); }
    ReplaceIptcSegment(payload);
    // Rewriting the target in place is what an empty source asks for.
    SaveTo(target, true, source.empty(), from);
}
