// The configuration: read once, at attach, from
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\TOUCH\Penwick.
//
// It yields the file name of the original driver and the eight filter
// settings. Filtering is enabled exactly when the key exists and all eight
// settings were read; anything less leaves the driver a plain pass-through,
// so a mistyped setting can never make the pen unusable. Nothing is written.
#ifndef PENWICK_PROXY_CONFIGURATION_H
#define PENWICK_PROXY_CONFIGURATION_H

#include <stdint.h>

#include "filter/sample_filter.h"
#include "platform/system_services.h"
#include "registry/registry_contract.h"

struct Configuration {
    bool filteringEnabled;  // the key exists and all eight settings were read
    // The opt-in capture of samples: CaptureFile, a terminated full path, or
    // empty when capture is off; CaptureLimit in bytes.
    char16_t captureFile[kCaptureFileUnits];
    uint32_t captureLimit;
};

extern Configuration g_configuration;

// Sets nameBuffer to "touch.dll", then fills it, the filter settings and the
// filtering-enabled flag from the registry; then reads the capture's two
// values, which never take part in whether filtering is enabled.
void LoadConfiguration(char16_t nameBuffer[kDriverNameUnits]);

#endif
