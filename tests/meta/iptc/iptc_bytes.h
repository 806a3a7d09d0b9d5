#pragma once
// Byte builders shared by the IPTC tests.

#include <cstdint>
#include <string>

namespace iptcbytes {

inline std::string Record(uint8_t recordNo, uint8_t datasetNo, const std::string& value)
{
    std::string out{'\x1C', static_cast<char>(recordNo), static_cast<char>(datasetNo),
                    static_cast<char>(value.size() >> 8), static_cast<char>(value.size() & 0xFF)};
    return out + value;
}

// A Photoshop image resource block with an empty name.
inline std::string Resource(uint16_t id, const std::string& data)
{
    std::string out = "8BIM";
    out += static_cast<char>(id >> 8);
    out += static_cast<char>(id & 0xFF);
    out += std::string("\0\0", 2);
    const size_t n = data.size();
    out += std::string{static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
                       static_cast<char>(n & 0xFF)};
    out += data;
    if (n % 2) out += '\0';
    return out;
}

// An APP13 section's bytes as the scan stores them: length field and payload.
inline std::string App13Bytes(const std::string& resources)
{
    const std::string payload = std::string("Photoshop 3.0\0", 14) + resources;
    const size_t n = payload.size() + 2;
    return std::string{static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)} + payload;
}

inline std::string IptcBlock(const std::string& records) { return App13Bytes(Resource(0x0404, records)); }

}  // namespace iptcbytes
