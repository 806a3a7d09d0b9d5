#pragma once
// The settings store on Windows: the registry below HKEY_CURRENT_USER.

#include "app/settings/settings_store.h"

#ifdef _WIN32
#include <windows.h>

class TRegistrySettingsStore : public ISettingsStore {
public:
    ~TRegistrySettingsStore() override;
    bool OpenKey(const std::string& keyPath) override;
    std::optional<TStoredValue> QueryValue(const std::string& name) override;
    bool SetValue(const std::string& name, const TStoredValue& value) override;
    void CloseKey() override;

private:
    HKEY FKey = nullptr;
};
#endif
