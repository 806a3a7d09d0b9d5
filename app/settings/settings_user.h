#pragma once
// The current user's settings store on this platform.

#include <memory>

#include "app/settings/settings_store.h"

std::unique_ptr<ISettingsStore> MakeUserSettingsStore();
