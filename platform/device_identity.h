// Which device this is, as the device says it: its name, its maker's OEM
// text, its platform type and its system's version. The capture's header
// and the installer's log both carry it, so that forty captures and forty
// logs from forty handhelds can be told apart, and both word it with
// DeviceIdentityFormat, so that they say the same thing in the same words.
//
// As with the system services, the link line chooses the implementation of
// DeviceIdentityRead, one folder a system: device/device_identity_device.cpp
// (coredll.dll), windows/device_identity_windows.cpp (desktop Windows and
// Wine, which have no name nor platform type to give) and
// host/device_identity_host.cpp (a fake that tests set). The formatter,
// device_identity_text.cpp, is the same everywhere: plain code without a C
// run-time library, heap or division, for the driver and the installer alike.
#ifndef PENWICK_PLATFORM_DEVICE_IDENTITY_H
#define PENWICK_PLATFORM_DEVICE_IDENTITY_H

#include <stdint.h>

// Room for each text, in UTF-16 units with the terminator; a longer one is
// not known.
const uint32_t kDeviceNameUnits = 32;
const uint32_t kDeviceOemUnits = 128;
const uint32_t kDevicePlatformUnits = 32;

// The platform id of Windows CE, as the system's version gives it.
const uint32_t kDevicePlatformWindowsCe = 3;  // VER_PLATFORM_WIN32_CE

// What the system says of itself. A text it does not give is empty, a
// number it does not give 0.
struct DeviceIdentity {
    char16_t name[kDeviceNameUnits];          // HKLM\Ident, value Name (REG_SZ)
    char16_t oem[kDeviceOemUnits];            // SystemParametersInfo SPI_GETOEMINFO
    char16_t platform[kDevicePlatformUnits];  // SPI_GETPLATFORMTYPE: "PocketPC", "SmartPhone"
    uint32_t major, minor, build;             // GetVersionEx: 5, 1, 1702 on Windows Mobile 5.0
    uint32_t platformId;                      // kDevicePlatformWindowsCe on a device
};

// Fills the record with what the system gives. Never fails: whatever the
// system does not give (or refuses) stays empty or 0.
void DeviceIdentityRead(DeviceIdentity* identity);

// The longest line DeviceIdentityFormat writes, its terminator included:
// each UTF-16 unit is at most three bytes of UTF-8, and 80 bytes are for
// the words and the version's digits.
const uint32_t kDeviceIdentityTextBytes =
    3 * (kDeviceNameUnits + kDeviceOemUnits + kDevicePlatformUnits) + 80;

// The identity as one line of UTF-8 text, terminated and without a line
// break:
//
//   device "Pocket_PC", OEM "HTC Wizard", platform PocketPC, Windows CE 5.1.1702
//
// What is not known reads "(unknown)"; a system that is not Windows CE is
// named "Windows". Control characters become '?' and double quotes single
// ones, so that the line stays one line and each quoted text ends where it
// seems to.
void DeviceIdentityFormat(const DeviceIdentity& identity, char text[kDeviceIdentityTextBytes]);

#endif
