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

// The driver-name buffer: 128 bytes, a UTF-16 file name with its terminator.
const int kDriverNameUnits = 64;

// Sets nameBuffer to "touch.dll", then fills it, the filter settings and the
// filtering-enabled flag from the registry.
void LoadConfiguration(char16_t nameBuffer[kDriverNameUnits]);

#endif
