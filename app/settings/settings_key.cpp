#include "app/settings/settings_key.h"

TSettingsKey::~TSettingsKey()
{
    if (FOpen) FStore.CloseKey();
}

bool TSettingsKey::Open(const std::string& keyPath)
{
    if (FOpen) {
        FStore.CloseKey();
        FOpen = false;
    }
    FOpen = FStore.OpenKey(keyPath);
    return FOpen;
}

std::string TSettingsKey::ReadString(const std::string& name)
{
    const auto value = FStore.QueryValue(name);
    if (!value || value->Data.empty()) return {};
    if (value->Type != kRegString && value->Type != kRegExpandString)
        throw ESettingsError("Invalid data type for '" + name + "'");
    const size_t zero = value->Data.find('\0');
    return zero == std::string::npos ? value->Data : value->Data.substr(0, zero);
}

int32_t TSettingsKey::ReadInteger(const std::string& name)
{
    const auto value = FStore.QueryValue(name);
    if (!value || value->Data.size() > 4) throw ESettingsError("Failed to get data for '" + name + "'");
    if (value->Type != kRegInteger) throw ESettingsError("Invalid data type for '" + name + "'");
    // Little-endian, as the registry keeps a DWORD; a short value fills the low bytes.
    uint32_t v = 0;
    for (size_t i = 0; i < value->Data.size(); ++i)
        v |= static_cast<uint32_t>(static_cast<unsigned char>(value->Data[i])) << (8 * i);
    return static_cast<int32_t>(v);
}

bool TSettingsKey::ReadBool(const std::string& name)
{
    return ReadInteger(name) != 0;
}

void TSettingsKey::WriteString(const std::string& name, const std::string& text)
{
    // Stored with its terminating zero, as a registry string is.
    if (!FOpen || !FStore.SetValue(name, {kRegString, text + '\0'}))
        throw ESettingsError("Failed to set data for '" + name + "'");
}

void TSettingsKey::WriteInteger(const std::string& name, int32_t value)
{
    const auto v = static_cast<uint32_t>(value);
    std::string data;
    for (int i = 0; i < 4; ++i) data += static_cast<char>((v >> (8 * i)) & 0xFF);
    if (!FOpen || !FStore.SetValue(name, {kRegInteger, data}))
        throw ESettingsError("Failed to set data for '" + name + "'");
}

void LoadRows(ISettingsStore& store, const std::string& keyPath, const std::vector<tSettingRow>& rows)
{
    for (const tSettingRow& row : rows) row.Set(row.Default);
    TSettingsKey key(store);
    if (!key.Open(keyPath)) return;
    try {
        for (const tSettingRow& row : rows) {
            if (std::holds_alternative<bool>(row.Default))
                row.Set(key.ReadBool(row.Name));
            else
                row.Set(key.ReadString(row.Name));
        }
    } catch (const ESettingsError&) {
    }
}

void SaveRows(ISettingsStore& store, const std::string& keyPath, const std::vector<tSettingRow>& rows)
{
    TSettingsKey key(store);
    if (!key.Open(keyPath)) return;
    for (const tSettingRow& row : rows) {
        const tSettingRow::tValue value = row.Get();
        if (const bool* on = std::get_if<bool>(&value))
            key.WriteBool(row.Name, *on);
        else
            key.WriteString(row.Name, std::get<std::string>(value));
    }
}
