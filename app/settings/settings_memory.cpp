#include "app/settings/settings_memory.h"

bool TMemorySettingsStore::OpenKey(const std::string& keyPath)
{
    if (FailOpen) return false;
    FKey = keyPath;
    Keys[FKey];  // created when missing
    FOpen = true;
    ++OpenCount;
    return true;
}

std::optional<TStoredValue> TMemorySettingsStore::QueryValue(const std::string& name)
{
    if (!FOpen) return std::nullopt;
    return FindStoredValue(Keys[FKey], name);
}

bool TMemorySettingsStore::SetValue(const std::string& name, const TStoredValue& value)
{
    if (!FOpen || FailWrites) return false;
    Keys[FKey][name] = value;
    return true;
}

void TMemorySettingsStore::CloseKey()
{
    if (FOpen) --OpenCount;
    FOpen = false;
}
