#pragma once
// What the IPTC container needs from the object that owns it: a scan that
// finds the APP13 block, and a write that carries a new one. The JPEG
// container implements it; the IPTC code knows nothing else of it.

#include <string>

class TIPTCdata;

class IIptcOwner {
public:
    virtual ~IIptcOwner() = default;
    // Scans `fileName` afresh (this frees the IPTC container the owner held and may create a new one).
    // Returns the bytes of the APP13 block found (from its length field on), or nullptr; valid until the next scan.
    virtual const std::string* ScanForIptc(const std::string& fileName) = 0;
    // The IPTC container the owner holds now, or nullptr.
    virtual TIPTCdata* HeldIptc() const = 0;
    // Writes `target` from `source` with `payload` (everything after FF ED and the length) as the new APP13
    // block, other changes the owner holds included, image size fields synced; `source` empty = rewrite
    // `target` in place (may replace it).
    virtual void WriteWithIptc(const std::string& payload, const std::string& target, const std::string& source) = 0;
};
