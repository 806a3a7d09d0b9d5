#pragma once
// A settings store that lives in memory, for tests and throwaway runs.

#include <map>
#include <string>

#include "app/settings/settings_store.h"

class TMemorySettingsStore : public ISettingsStore {
public:
    using tValues = tStoredValues;

    bool OpenKey(const std::string& keyPath) override;
    std::optional<TStoredValue> QueryValue(const std::string& name) override;
    bool SetValue(const std::string& name, const TStoredValue& value) override;
    void CloseKey() override;

    // Keys by path, each with its values.
    std::map<std::string, tValues> Keys;
    // Test switches: refuse to open, refuse writes.
    bool FailOpen = false;
    bool FailWrites = false;
    int OpenCount = 0;  // keys currently open

private:
    std::string FKey;
    bool FOpen = false;
};
