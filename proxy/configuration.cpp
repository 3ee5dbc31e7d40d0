#include "proxy/configuration.h"

#include <string.h>

#include "platform/system_services.h"

Configuration g_configuration;

namespace {

const char16_t kDefaultDriverName[] = u"touch.dll";

// Reads a value into `destination` of `size` bytes. What the platform leaves
// in its buffer after a failed query is undefined, so the query goes to a
// copy and only a successful read reaches the destination. Data shorter than
// `size` replaces only the first bytes; the rest keep what they held.
bool ConfigurationReadValue(SystemKey key, const char16_t* name, void* destination,
                            uint32_t size) {
    unsigned char buffer[kDriverNameUnits * sizeof(char16_t)];
    memcpy(buffer, destination, size);
    uint32_t type = 0;
    uint32_t length = size;
    if (SystemQueryRegistryValue(key, name, &type, buffer, &length) != 0) {
        return false;
    }
    memcpy(destination, buffer, size);
    return true;
}

// CaptureFile: anything but a usable full path leaves capture off.
void ConfigurationReadCaptureFile(SystemKey key) {
    char16_t path[kCaptureFileUnits];
    uint32_t type = 0;
    uint32_t size = sizeof(path);
    if (SystemQueryRegistryValue(key, kCaptureFileValue, &type, path, &size) != 0 ||
        !ConfigurationCaptureFileUsable(type, path, size)) {
        return;
    }
    memcpy(g_configuration.captureFile, path, size);
}

void ConfigurationReadCaptureLimit(SystemKey key) {
    uint32_t limit = 0;
    uint32_t type = 0;
    uint32_t size = sizeof(limit);
    bool read = SystemQueryRegistryValue(key, kCaptureLimitValue, &type, &limit, &size) == 0 &&
                size == sizeof(limit);
    g_configuration.captureLimit = ConfigurationCaptureLimit(read, limit);
}

bool IsTerminated(const char16_t* name) {
    for (int i = 0; i < kDriverNameUnits; i++) {
        if (name[i] == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

void LoadConfiguration(char16_t nameBuffer[kDriverNameUnits]) {
    memset(nameBuffer, 0, kDriverNameUnits * sizeof(char16_t));
    memcpy(nameBuffer, kDefaultDriverName, sizeof(kDefaultDriverName));

    SystemKey key;
    if (SystemOpenRegistryKey(kConfigurationKey, &key) != 0) {
        return;
    }

    // A stored name that leaves no terminator inside the buffer would send the
    // loader past its end; such a name is ignored and "touch.dll" kept.
    char16_t name[kDriverNameUnits];
    memcpy(name, nameBuffer, sizeof(name));
    if (ConfigurationReadValue(key, kOriginalDriverValue, name, sizeof(name)) && IsTerminated(name)) {
        memcpy(nameBuffer, name, sizeof(name));
    }

    g_configuration.filteringEnabled = true;
    for (const ConfigurationSetting& setting : kConfigurationSettings) {
        if (!ConfigurationReadValue(key, setting.name, &(g_filterSettings.*setting.field),
                                    sizeof(int32_t))) {
            g_configuration.filteringEnabled = false;
        }
    }

    ConfigurationReadCaptureFile(key);
    ConfigurationReadCaptureLimit(key);
    SystemCloseRegistryKey(key);
}
