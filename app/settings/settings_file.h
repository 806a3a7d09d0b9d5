#pragma once
// The settings store on Linux and other POSIX systems: one text file per user,
// $XDG_CONFIG_HOME/Zidovez/Zorezaz.conf (XDG_CONFIG_HOME defaults to ~/.config).
// It keeps the registry's model (keys, typed values) in a registry-export-like
// form, and every write replaces the file atomically (temporary file, fsync, rename):
//
//     [Software\Zidovez\Zorezaz]
//     "Source"=sz:"/home/me/Pictures"
//     "InclSubfolders"=dword:00000001
//     "Odd"=hex(3):01,ff
//
// In quoted text, \\ \" and \xHH stand for a backslash, a quote and any byte;
// other bytes are kept as they are, so paths need not be UTF-8.

#include <map>
#include <string>

#include "app/settings/settings_store.h"

class TFileSettingsStore : public ISettingsStore {
public:
    explicit TFileSettingsStore(std::string fileName = DefaultFileName());

    static std::string DefaultFileName();
    const std::string& FileName() const { return FFileName; }

    bool OpenKey(const std::string& keyPath) override;
    std::optional<TStoredValue> QueryValue(const std::string& name) override;
    bool SetValue(const std::string& name, const TStoredValue& value) override;
    void CloseKey() override;

    using tValues = tStoredValues;
    using tKeys = std::map<std::string, tValues>;
    // The text form, and back; lines that cannot be read are passed over.
    static std::string Format(const tKeys& keys);
    static tKeys Parse(const std::string& text);

private:
    bool Save() const;

    std::string FFileName;
    tKeys FKeys;
    std::string FKey;
    bool FOpen = false;
};
