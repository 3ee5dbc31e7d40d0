#include "setup/installed_settings.h"

#include <string.h>

#include "platform/setup_services.h"

namespace {

struct InstalledSettings {
    const SettingsFile* file;
    const char16_t* originalDriver;
};
InstalledSettings g_installedSettings;

const char16_t kPenwickDriverName[] = u"Penwick.dll";

char g_touchKey;
char g_penwickKey;

int32_t InstalledOpenKey(const char16_t* subKey, SystemKey* key) {
    bool penwick = AsciiSameText(subKey, kConfigurationKey) && g_installedSettings.file->penwickKey;
    *key = AsciiSameText(subKey, kTouchKey) ? &g_touchKey : penwick ? &g_penwickKey : nullptr;
    return *key != nullptr ? 0 : kSetupErrorNotFound;
}

int32_t InstalledValue(uint32_t storedType, const void* stored, uint32_t storedSize,
                       uint32_t* type, void* data, uint32_t* size) {
    uint32_t room = *size;
    *type = storedType;
    *size = storedSize;
    if (storedSize > room) {
        return kSetupErrorMoreData;
    }
    memcpy(data, stored, storedSize);
    return 0;
}

int32_t InstalledQueryValue(SystemKey key, const char16_t* name, uint32_t* type, void* data,
                            uint32_t* size) {
    const InstalledSettings& s = g_installedSettings;
    if (key == &g_touchKey) {
        return AsciiSameText(name, kTouchDriverValue)
                   ? InstalledValue(kSystemRegistryString, kPenwickDriverName,
                                    sizeof kPenwickDriverName, type, data, size)
                   : kSetupErrorNotFound;
    }
    if (AsciiSameText(name, kOriginalDriverValue)) {
        uint32_t units = 0;
        while (s.originalDriver[units] != 0) {
            units++;
        }
        return InstalledValue(kSystemRegistryString, s.originalDriver,
                              (units + 1) * sizeof(char16_t), type, data, size);
    }
    for (int i = 0; i < s.file->count; i++) {
        const SettingsValue& value = s.file->values[i];
        if (AsciiSameText(name, value.name)) {
            return InstalledValue(value.type, value.data, value.size, type, data, size);
        }
    }
    return kSetupErrorNotFound;
}

void InstalledCloseKey(SystemKey) {}

}  // namespace

void InstalledSettingsUse(const SettingsFile* file, const char16_t* originalDriver) {
    g_installedSettings = {file, originalDriver};
}

const ConfigurationRegistry kInstalledSettingsRegistry = {InstalledOpenKey, InstalledQueryValue,
                                                          InstalledCloseKey};
