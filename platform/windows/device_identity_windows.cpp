// The device's identity on desktop Windows and Wine (platform/device_identity.h),
// asked as the device asks it: HKLM\Ident's Name, SystemParametersInfo's OEM
// text and platform type, which the desktop does not give (they stay
// empty), and GetVersionEx.
#include <windows.h>

#include "platform/device_identity.h"

namespace {

const UINT kSpiGetPlatformType = 257;  // SPI_GETPLATFORMTYPE, Windows CE only
const UINT kSpiGetOemInfo = 258;       // SPI_GETOEMINFO, Windows CE only

void AskText(UINT question, char16_t* text, uint32_t units) {
    text[0] = 0;
    if (!SystemParametersInfoW(question, units, text, 0)) {
        text[0] = 0;
    }
    text[units - 1] = 0;
}

}  // namespace

void DeviceIdentityRead(DeviceIdentity* identity) {
    *identity = DeviceIdentity();
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Ident", 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        DWORD type = 0;
        DWORD size = sizeof identity->name;
        if (RegQueryValueExW(key, L"Name", nullptr, &type,
                             reinterpret_cast<BYTE*>(identity->name), &size) != ERROR_SUCCESS ||
            type != REG_SZ) {
            identity->name[0] = 0;
        }
        identity->name[kDeviceNameUnits - 1] = 0;
        RegCloseKey(key);
    }
    AskText(kSpiGetOemInfo, identity->oem, kDeviceOemUnits);
    AskText(kSpiGetPlatformType, identity->platform, kDevicePlatformUnits);
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExW(&version)) {
        identity->major = version.dwMajorVersion;
        identity->minor = version.dwMinorVersion;
        identity->build = version.dwBuildNumber;
        identity->platformId = version.dwPlatformId;
    }
}
