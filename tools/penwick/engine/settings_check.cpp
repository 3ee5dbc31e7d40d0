#include "engine/settings_check.h"

#include <algorithm>
#include <memory>

#include "setup/installed_settings.h"

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

std::vector<ConfigurationFinding> CheckAsInstalled(const std::string& bytes) {
    auto read = std::make_unique<SettingsFile>();
    uint32_t size = static_cast<uint32_t>(std::min<size_t>(bytes.size(), kSettingsFileBytes + 1));
    SettingsFileRead(reinterpret_cast<const uint8_t*>(bytes.data()), size, read.get());
    InstalledSettingsUse(read.get(), u"touch.dll");
    std::vector<ConfigurationFinding> findings;
    CheckConfigurationIn(kInstalledSettingsRegistry, CollectFinding, &findings);
    return findings;
}
