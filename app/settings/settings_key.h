#pragma once
// Typed reads and writes on one open key, with the rules the options rely on.

#include <functional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "app/settings/settings_store.h"

class ESettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Opens a key of a store and closes it when it goes out of scope.
class TSettingsKey {
public:
    explicit TSettingsKey(ISettingsStore& store) : FStore(store) {}
    ~TSettingsKey();
    TSettingsKey(const TSettingsKey&) = delete;
    TSettingsKey& operator=(const TSettingsKey&) = delete;

    bool Open(const std::string& keyPath);

    // A missing (or empty) value reads as ""; another type than a string is an
    // error; the text ends at its first zero byte; expandable text is not expanded.
    std::string ReadString(const std::string& name);
    // A 32-bit integer, non-zero meaning true. Missing, or longer than four
    // bytes: "Failed to get data"; another type: "Invalid data type".
    bool ReadBool(const std::string& name);
    int32_t ReadInteger(const std::string& name);

    void WriteString(const std::string& name, const std::string& text);
    void WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }
    void WriteInteger(const std::string& name, int32_t value);

private:
    ISettingsStore& FStore;
    bool FOpen = false;
};

// One kept option: the name of its value, what it is before anything is read
// (a first start), and where it lives. Its kind, yes/no or a text of bytes,
// is the default's.
struct tSettingRow {
    using tValue = std::variant<bool, std::string>;
    std::string Name;
    tValue Default;
    std::function<tValue()> Get;
    std::function<void(const tValue&)> Set;
};

// Sets every row to its default, then reads the values in order from the key
// `keyPath`. The first value that cannot be read ends the reading, silently:
// what was read stays, the rest keeps its default (a file from an older
// version lacks the newer values). A key that cannot be opened is read as empty.
void LoadRows(ISettingsStore& store, const std::string& keyPath, const std::vector<tSettingRow>& rows);
// Writes every row's value; raises ESettingsError at the first that cannot be written.
void SaveRows(ISettingsStore& store, const std::string& keyPath, const std::vector<tSettingRow>& rows);
