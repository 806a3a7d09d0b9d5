#include "app/settings/settings_registry_win.h"

#ifdef _WIN32
TRegistrySettingsStore::~TRegistrySettingsStore()
{
    CloseKey();
}

bool TRegistrySettingsStore::OpenKey(const std::string& keyPath)
{
    CloseKey();
    return RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, nullptr, &FKey, nullptr) == ERROR_SUCCESS;
}

std::optional<TStoredValue> TRegistrySettingsStore::QueryValue(const std::string& name)
{
    if (!FKey) return std::nullopt;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(FKey, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    TStoredValue value;
    value.Type = static_cast<int32_t>(type);
    value.Data.resize(size);
    if (size > 0 &&
        RegQueryValueExA(FKey, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value.Data.data()), &size) !=
            ERROR_SUCCESS)
        return std::nullopt;
    value.Data.resize(size);
    return value;
}

bool TRegistrySettingsStore::SetValue(const std::string& name, const TStoredValue& value)
{
    return FKey && RegSetValueExA(FKey, name.c_str(), 0, static_cast<DWORD>(value.Type),
                                  reinterpret_cast<const BYTE*>(value.Data.data()),
                                  static_cast<DWORD>(value.Data.size())) == ERROR_SUCCESS;
}

void TRegistrySettingsStore::CloseKey()
{
    // No RegFlushKey: the system writes the hive back in its own time.
    if (FKey) RegCloseKey(FKey);
    FKey = nullptr;
}
#endif
