#pragma once
// A per-user store of typed named values under a key path, shaped after the
// Windows registry: the registry is one implementation, a file under the XDG
// configuration folder another, and an in-memory store serves the tests.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

// Value types, numbered as the registry numbers them.
enum : int32_t {
    kRegString = 1,        // REG_SZ: text with its terminating zero byte
    kRegExpandString = 2,  // REG_EXPAND_SZ
    kRegBinary = 3,        // REG_BINARY
    kRegInteger = 4,       // REG_DWORD: 32-bit little-endian
};

struct TStoredValue {
    int32_t Type = kRegBinary;
    std::string Data;  // raw bytes as stored
    bool operator==(const TStoredValue&) const = default;
};

// The values of one key, by name: what the file and in-memory stores hold.
using tStoredValues = std::map<std::string, TStoredValue>;

// The value of that name, or none.
inline std::optional<TStoredValue> FindStoredValue(const tStoredValues& values, const std::string& name)
{
    const auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
}


class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    // Opens the key, creating it when missing; false when it cannot be had.
    virtual bool OpenKey(const std::string& keyPath) = 0;
    // The value's type and bytes, or nothing when the open key has no such value.
    virtual std::optional<TStoredValue> QueryValue(const std::string& name) = 0;
    // Stores the value in the open key; false when that failed.
    virtual bool SetValue(const std::string& name, const TStoredValue& value) = 0;
    virtual void CloseKey() = 0;
};

// The program's key below the per-user root.
inline constexpr const char* kSettingsKeyPath = "Software\\Zidovez\\Zorezaz";
