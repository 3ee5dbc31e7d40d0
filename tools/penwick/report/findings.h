// The configuration check's findings as lines a person reads.
#ifndef PENWICK_TOOLS_REPORT_FINDINGS_H
#define PENWICK_TOOLS_REPORT_FINDINGS_H

#include <string>

#include "registry/configuration_check.h"

// "MaxDirDiff is missing: filtering is off".
std::string FormatFinding(const ConfigurationFinding& finding);

#endif
