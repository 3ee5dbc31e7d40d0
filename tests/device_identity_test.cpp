// The device's identity as the capture and the installer's log word it.
#include "platform/device_identity.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "platform/host/host_system.h"

namespace {

std::string Formatted() {
    DeviceIdentity identity;
    DeviceIdentityRead(&identity);
    char text[kDeviceIdentityTextBytes];
    DeviceIdentityFormat(identity, text);
    return text;
}

struct IdentityRow {
    HostDevice device;
    std::string line;
};

TEST(DeviceIdentityTest, says_what_the_system_gives_on_one_line_and_what_it_does_not_as_unknown) {
    const IdentityRow rows[] = {
        {{u"Pocket_PC", u"HTC Wizard", u"PocketPC", 5, 1, 1702, kDevicePlatformWindowsCe},
         "device \"Pocket_PC\", OEM \"HTC Wizard\", platform PocketPC, Windows CE 5.1.1702"},
        {{u"", u"", u"", 0, 0, 0, 0},
         "device (unknown), OEM (unknown), platform (unknown), version (unknown)"},
        // A line break and quotes would break the line and its quoting;
        // UTF-16 becomes UTF-8, a surrogate without its pair '?'.
        {{u"Bob's \"PDA\"\r\n", u"M\u00fcller \U0001F600 \xD800", u"SmartPhone", 6, 1, 7601, 2},
         "device \"Bob's 'PDA'??\", OEM \"M\xc3\xbcller \xf0\x9f\x98\x80 ?\", platform SmartPhone, "
         "Windows 6.1.7601"},
    };
    for (const IdentityRow& row : rows) {
        HostSystemReset();
        g_hostSystem.device = row.device;
        EXPECT_EQ(Formatted(), row.line);
    }
    HostSystemReset();
}

TEST(DeviceIdentityTest, the_longest_line_fits_its_room) {
    // Every unit of every text taken (no terminator), each three bytes of
    // UTF-8, and the longest version.
    DeviceIdentity identity;
    for (char16_t& unit : identity.name) unit = u'\u20ac';
    for (char16_t& unit : identity.oem) unit = u'\u20ac';
    for (char16_t& unit : identity.platform) unit = u'\u20ac';
    identity.major = identity.minor = identity.build = UINT32_MAX;
    identity.platformId = kDevicePlatformWindowsCe;
    char text[2 * kDeviceIdentityTextBytes];
    memset(text, 'x', sizeof text);
    DeviceIdentityFormat(identity, text);
    EXPECT_LT(strlen(text), kDeviceIdentityTextBytes);
    EXPECT_NE(strstr(text, "Windows CE 4294967295.4294967295.4294967295"), nullptr);
}

}  // namespace
