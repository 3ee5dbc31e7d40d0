// A settings file as an install leaves the registry, for the configuration
// check to judge before anything is written: DriverName names Penwick.dll,
// OrigDriverName names the driver Penwick forwards to, and every other value
// of Penwick's key is the file's, whatever the registry holds now, so that a
// file lacking a setting is refused even where an earlier install left that
// setting behind. The installer judges its settings file so, and so does
// `penwick check --installer`: the one rule for both.
#ifndef PENWICK_SETUP_INSTALLED_SETTINGS_H
#define PENWICK_SETUP_INSTALLED_SETTINGS_H

#include "registry/configuration_check.h"
#include "setup/settings_file.h"

// What the registry below reads: `file`, read and kept by the caller, and
// the original driver's terminated name.
void InstalledSettingsUse(const SettingsFile* file, const char16_t* originalDriver);

// The two keys as an install of that file leaves them.
extern const ConfigurationRegistry kInstalledSettingsRegistry;

#endif
