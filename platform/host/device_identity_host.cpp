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
    const HostDevice& device = g_hostSystem.device;
    CopyText(device.name, identity->name, kDeviceNameUnits);
    CopyText(device.oem, identity->oem, kDeviceOemUnits);
    CopyText(device.platform, identity->platform, kDevicePlatformUnits);
    identity->major = device.major;
    identity->minor = device.minor;
    identity->build = device.build;
    identity->platformId = device.platformId;
}
