// Arbitrary registry contents (any types, sizes, and names of any length,
// the real ones among them in any case) through the configuration and the
// library's attach. The name handed to the loader must always end inside its
// 128 bytes, filtering must be on exactly when the key exists and all eight
// settings could be read, and the capture's values must come out sound.

#include <string>

#include "fuzz_input.h"
#include "platform/host/host_system.h"
#include "proxy/configuration.h"
#include "proxy/original_driver.h"

namespace {

const std::u16string kKey = kConfigurationKey;

std::u16string FuzzName(FuzzInput& in) {
    uint8_t choice = in.Read<uint8_t>();
    if (choice < 200) {
        // The eight settings, then the other values of the key.
        const char16_t* const others[] = {u"OrigDriverName", u"CaptureFile", u"CaptureLimit"};
        int index = choice % (kConfigurationSettingCount + 3);
        std::u16string name = index < kConfigurationSettingCount
                                  ? kConfigurationSettings[index].name
                                  : others[index - kConfigurationSettingCount];
        if (choice & 0x80) {
            for (char16_t& c : name) {
                c = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
            }
        }
        return name;  // a real name, in either case
    }
    std::u16string name;
    size_t length = in.Read<uint8_t>();
    for (size_t i = 0; i < length && !in.Empty(); i++) {
        name.push_back(static_cast<char16_t>(in.Read<uint16_t>()));
    }
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in{data, size};
    HostSystemReset();
    LibraryResetToLoadTime();

    bool keyExists = in.Read<uint8_t>() & 1;
    if (keyExists) {
        HostCreateRegistryKey(kKey);
    }
    while (keyExists && !in.Empty()) {
        std::u16string name = FuzzName(in);
        uint32_t type = in.Read<uint8_t>();
        size_t length = in.Read<uint8_t>();
        HostSetRegistryValue(kKey, name, type, in.Bytes(length));
    }

    bool allSettingsFit = keyExists;
    for (const ConfigurationSetting& setting : kConfigurationSettings) {
        const std::vector<uint8_t>* value = HostFindRegistryValue(kKey, setting.name);
        allSettingsFit = allSettingsFit && value != nullptr && value->size() <= 4;
    }

    LibraryEntry(nullptr, kLibraryProcessAttach);

    // The loader's copy of the name would have run past the buffer without a
    // terminator inside it (AddressSanitizer); it must also fit.
    FuzzCheck(g_hostSystem.loadRequests.size() == 1);
    FuzzCheck(g_hostSystem.loadRequests[0].size() < 64);
    FuzzCheck(g_configuration.filteringEnabled == allSettingsFit);
    FuzzCheck(g_hostSystem.openKeys == 0);
    // A capture file is a terminated full path or nothing; the limit, once
    // read, is within its bounds.
    const char16_t* file = g_configuration.captureFile;
    size_t length = 0;
    while (length < kCaptureFileUnits && file[length] != 0) {
        length++;
    }
    FuzzCheck(length < kCaptureFileUnits && (length == 0 || file[0] == u'\\' || file[1] == u':'));
    FuzzCheck(!keyExists || (g_configuration.captureLimit >= 1 &&
                             g_configuration.captureLimit <= kCaptureLargestLimit));
    return 0;
}
