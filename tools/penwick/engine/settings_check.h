// The configuration check on a .reg file: the file imported into the fake
// platform's registry, the driver's configuration read from it as at boot,
// and the check's findings.
#ifndef PENWICK_TOOLS_ENGINE_SETTINGS_CHECK_H
#define PENWICK_TOOLS_ENGINE_SETTINGS_CHECK_H

#include <vector>

#include "engine/replay.h"
#include "files/reg_file.h"
#include "registry/configuration_check.h"

// Every finding, in order; `start` gets what the configuration read.
std::vector<ConfigurationFinding> CheckRegFile(const RegFile& file, ReplayStart* start);

// Every finding on a .reg file's bytes (already read by ParseRegFile) as
// PenwickSetup judges them before it installs them (setup/installed_settings.h),
// touch.dll standing for the device's own driver.
std::vector<ConfigurationFinding> CheckAsInstalled(const std::string& bytes);

#endif
