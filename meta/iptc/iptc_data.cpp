#include "meta/iptc/iptc_data.h"
#include "meta/exif/end_ind.h"

TIPTCdata::TIPTCdata(TimgData* parent) : Parent(parent) {}
TIPTCdata::~TIPTCdata() = default;
void TIPTCdata::Clear() {}
bool TIPTCdata::HasData() const { return false; }
void TIPTCdata::WriteFile(const std::string&, const std::string&)
{
    throw EMetaError("IPTC writer not built yet");
}
