// The device's identity on the build machine's fake platform: what the
// test set in g_hostSystem (platform/host/host_system.h).
#include "platform/device_identity.h"

#include "platform/host/host_system.h"

namespace {

void CopyText(const std::u16string& from, char16_t* to, uint32_t units) {
    uint32_t i = 0;
    for (; i < from.size() && i + 1 < units; i++) {
        to[i] = from[i];
    }
    to[i] = 0;
}

}  // namespace

void DeviceIdentityRead(DeviceIdentity* identity) {
    *identity = DeviceIdentity();
    CopyText(g_hostSystem.deviceName, identity->name, kDeviceNameUnits);
    CopyText(g_hostSystem.deviceOem, identity->oem, kDeviceOemUnits);
    CopyText(g_hostSystem.devicePlatform, identity->platform, kDevicePlatformUnits);
    identity->major = g_hostSystem.deviceMajor;
    identity->minor = g_hostSystem.deviceMinor;
    identity->build = g_hostSystem.deviceBuild;
    identity->platformId = g_hostSystem.devicePlatformId;
}
