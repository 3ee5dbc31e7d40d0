#include "engine/settings_check.h"

namespace {

void CollectFinding(const ConfigurationFinding& finding, void* findings) {
    static_cast<std::vector<ConfigurationFinding>*>(findings)->push_back(finding);
}

}  // namespace

std::vector<ConfigurationFinding> CheckRegFile(const RegFile& file, ReplayStart* start) {
    *start = StartDriver(file, ReplayScreens());
    std::vector<ConfigurationFinding> findings;
    CheckConfiguration(CollectFinding, &findings);
    return findings;
}
