// The device's identity on the device itself (platform/device_identity.h):
// its name from the registry, the OEM text and the platform type from
// SystemParametersInfo, the version from GetVersionEx, each a function of
// coredll.dll called through its import address slot (coredll.h). Both
// Penwick.dll and PenwickSetup.exe link it; each one's .def lists the slots.
#include "platform/device_identity.h"

#include "platform/device/coredll.h"

namespace {

struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion, dwMinorVersion, dwBuildNumber, dwPlatformId;
    char16_t szCSDVersion[128];
};

// Asks SystemParametersInfo for a text; empty when it gives none. The size
// is given in units, which is also no more than the buffer's bytes,
// whichever the system takes it for.
void AskText(unsigned question, char16_t* text, uint32_t units) {
    text[0] = 0;
    if (!coredllSystemParametersInfoW(question, units, text, 0)) {
        text[0] = 0;
    }
    text[units - 1] = 0;
}

}  // namespace

extern "C" {
extern BOOL (*const coredllGetVersionExW)(OSVERSIONINFOW* version) __asm__("__imp_GetVersionExW");
}

void DeviceIdentityRead(DeviceIdentity* identity) {
    *identity = DeviceIdentity();
    // The name: documented as a DWORD, given as REG_SZ; anything else, or a
    // name longer than the room for it, is not known.
    HKEY key;
    if (coredllRegOpenKeyExW(kHkeyLocalMachine, u"Ident", 0, 0, &key) == kErrorSuccess) {
        DWORD type = 0;
        DWORD size = sizeof identity->name;
        if (coredllRegQueryValueExW(key, u"Name", nullptr, &type,
                                    reinterpret_cast<unsigned char*>(identity->name),
                                    &size) != kErrorSuccess ||
            type != 1) {  // REG_SZ
            identity->name[0] = 0;
        }
        identity->name[kDeviceNameUnits - 1] = 0;
        coredllRegCloseKey(key);
    }
    AskText(kSpiGetOemInfo, identity->oem, kDeviceOemUnits);
    AskText(kSpiGetPlatformType, identity->platform, kDevicePlatformUnits);
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (coredllGetVersionExW(&version)) {
        identity->major = version.dwMajorVersion;
        identity->minor = version.dwMinorVersion;
        identity->build = version.dwBuildNumber;
        identity->platformId = version.dwPlatformId;
    }
}
