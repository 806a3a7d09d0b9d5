#include "app/settings/settings_user.h"

#ifdef _WIN32
#include "app/settings/settings_registry_win.h"
#else
#include "app/settings/settings_file.h"
#endif

std::unique_ptr<ISettingsStore> MakeUserSettingsStore()
{
#ifdef _WIN32
    return std::make_unique<TRegistrySettingsStore>();
#else
    return std::make_unique<TFileSettingsStore>();
#endif
}
