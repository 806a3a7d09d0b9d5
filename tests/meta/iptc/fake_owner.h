#pragma once
// A stand-in for the image container: a "file" is a name mapped to the APP13
// bytes it holds, and writes are recorded instead of made.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "meta/iptc/iptc_data.h"

class TFakeOwner : public IIptcOwner {
public:
    std::map<std::string, std::string> Files;  // name -> APP13 bytes; absent = no block
    std::unique_ptr<TIPTCdata> Held;
    int Scans = 0;

    struct tWrite { std::string Payload, Target, Source; };
    std::vector<tWrite> Writes;

    // As the real scan does: the held container goes, a block brings a new one.
    const std::string* ScanForIptc(const std::string& fileName) override
    {
        ++Scans;
        Held.reset();
        const auto it = Files.find(fileName);
        if (it == Files.end()) return nullptr;
        Held = std::make_unique<TIPTCdata>(this);
        return &it->second;
    }
    TIPTCdata* HeldIptc() const override { return Held.get(); }
    void WriteWithIptc(const std::string& payload, const std::string& target, const std::string& source) override
    {
        Writes.push_back({payload, target, source});
    }
};
