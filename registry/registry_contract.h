// What Penwick keeps in the registry, in one place for the driver that reads
// it (proxy/configuration), the installer that writes it (setup/) and the
// desktop tool that judges and writes .reg files (tools/penwick): the keys,
// every value's name, the table of the eight settings, and the rules for
// the capture's two values.
#ifndef PENWICK_REGISTRY_REGISTRY_CONTRACT_H
#define PENWICK_REGISTRY_REGISTRY_CONTRACT_H

#include <stdint.h>

#include "filter/sample_filter.h"
#include "platform/system_services.h"

// Where the host looks for the name of its touch driver.
const char16_t kTouchKey[] = u"HARDWARE\\DEVICEMAP\\TOUCH";
const char16_t kTouchDriverValue[] = u"DriverName";

// The driver-name buffer: 128 bytes, a UTF-16 file name with its terminator.
const int kDriverNameUnits = 64;

// The key below HKEY_LOCAL_MACHINE that holds Penwick's values.
const char16_t kConfigurationKey[] = u"HARDWARE\\DEVICEMAP\\TOUCH\\Penwick";

// The capture's file: the longest full path, with its terminator.
const int kCaptureFileUnits = 260;
// The most bytes a capture file may reach when CaptureLimit does not say,
// and the most it may say.
const uint32_t kCaptureDefaultLimit = 1u << 20;
const uint32_t kCaptureLargestLimit = 64u << 20;

// A full path: from the root of the device's file system ("\\My
// Documents\\..."), or of a drive on the desktop ("C:\\...").
inline bool ConfigurationIsFullPath(const char16_t* path) {
    if (path[0] == u'\\') {
        return true;
    }
    bool letter = (path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z');
    return letter && path[1] == u':' && path[2] == u'\\';
}

// Whether CaptureFile, read as `type` and `size` bytes at `path`, turns
// capture on: a string of at least one character that ends with its
// terminator inside the data and is a full path. Anything else is ignored.
inline bool ConfigurationCaptureFileUsable(uint32_t type, const char16_t* path, uint32_t size) {
    return type == kSystemRegistryString && size >= 2 * sizeof(char16_t) && size % 2 == 0 &&
           path[size / 2 - 1] == 0 && path[0] != 0 && ConfigurationIsFullPath(path);
}

// The capture's limit from CaptureLimit: `read` when it was read as 4
// bytes; missing, unreadable or zero means the default, more than the
// largest means the largest.
inline uint32_t ConfigurationCaptureLimit(bool read, uint32_t limit) {
    if (!read || limit == 0) {
        limit = kCaptureDefaultLimit;
    }
    return limit > kCaptureLargestLimit ? kCaptureLargestLimit : limit;
}

// Penwick's module in the system's folder: Penwick.dll as it comes, and
// installed under a name of each version's own, "Penwick-0.2.0.dll" (or
// "Penwick-0.2.0-2.dll" beside a different file of that version), so that
// an install never touches the module the host has loaded.
const char16_t kPenwickModuleStem[] = u"Penwick";
const char16_t kPenwickModuleVersioned[] = u"Penwick-";

// The other values the driver reads from its key.
const char16_t kOriginalDriverValue[] = u"OrigDriverName";
const char16_t kCaptureFileValue[] = u"CaptureFile";
const char16_t kCaptureLimitValue[] = u"CaptureLimit";

// The installer's own value in Penwick's key, which the driver does not
// read: 1 when Penwick.dll was installed with /untrusted though the device's
// store does not trust it.
const char16_t kUntrustedValue[] = u"InstalledUntrusted";

// The eight settings: the registry value each is read from, in the order
// they are read, and the field of the filter settings it fills.
struct ConfigurationSetting {
    const char16_t* name;
    int32_t FilterSettings::*field;
};

const int kConfigurationSettingCount = 8;

const ConfigurationSetting kConfigurationSettings[kConfigurationSettingCount] = {
    {u"LowSpeed", &FilterSettings::LowSpeed},
    {u"MinDirSpeed", &FilterSettings::MinDirSpeed},
    {u"HighSpeed", &FilterSettings::HighSpeed},
    {u"MaxSpeedDiff", &FilterSettings::MaxSpeedDiff},
    {u"MaxSpeedDiff2", &FilterSettings::MaxSpeedDiff2},
    {u"MaxDirDiff", &FilterSettings::MaxDirDiff},
    {u"ErrorDelay", &FilterSettings::ErrorDelay},
    {u"MaxErrorDelay", &FilterSettings::MaxErrorDelay},
};

#endif
