#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "driver_fixture.h"
#include "proxy/configuration.h"

namespace {

const std::u16string kKey = u"HARDWARE\\DEVICEMAP\\TOUCH\\Penwick";

std::vector<uint8_t> Bytes(const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

std::vector<uint8_t> Dword(uint32_t value) { return Bytes(&value, 4); }

// A UTF-16 name's bytes; with or without its terminator.
std::vector<uint8_t> Name(const std::u16string& name, bool terminated = true) {
    return Bytes(name.c_str(), (name.size() + (terminated ? 1 : 0)) * sizeof(char16_t));
}

struct StoredValue {
    std::u16string name;
    uint32_t type;
    std::vector<uint8_t> bytes;
};

// The eight settings stored as 1..8, but for those named in `skip`.
std::vector<StoredValue> Settings(std::initializer_list<std::u16string> skip = {}) {
    std::vector<StoredValue> values;
    for (int i = 0; i < kConfigurationSettingCount; i++) {
        const char16_t* name = kConfigurationSettings[i].name;
        if (std::find(skip.begin(), skip.end(), name) == skip.end()) {
            values.push_back({name, kSystemRegistryDword, Dword(i + 1)});
        }
    }
    return values;
}

std::vector<StoredValue> With(std::vector<StoredValue> values, std::vector<StoredValue> more) {
    values.insert(values.end(), more.begin(), more.end());
    return values;
}

const std::u16string k63Units(63, u'w');

struct ConfigurationCase {
    const char* name;
    bool keyExists;
    std::vector<StoredValue> values;
    std::u16string expectedName;
    bool expectedFiltering;
    std::vector<int32_t> expectedSettings;  // LowSpeed .. MaxErrorDelay
};

void PrintTo(const ConfigurationCase& c, std::ostream* out) { *out << c.name; }

const std::vector<int32_t> kOneToEight = {1, 2, 3, 4, 5, 6, 7, 8};
const std::vector<int32_t> kZeros(8, 0);

const ConfigurationCase kConfigurationCases[] = {
    {"no_key", false, {}, u"touch.dll", false, kZeros},
    {"empty_key", true, {}, u"touch.dll", false, kZeros},
    {"settings_without_name", true, Settings(), u"touch.dll", true, kOneToEight},
    {"name_and_seven_settings", true,
     With(Settings({u"MaxDirDiff"}), {{u"OrigDriverName", kSystemRegistryString, Name(u"tsp.dll")}}),
     u"tsp.dll", false, {1, 2, 3, 4, 5, 0, 7, 8}},
    // More than 4 bytes cannot be read: that setting stays 0, filtering off.
    {"five_byte_setting", true,
     With(Settings({u"HighSpeed"}), {{u"HighSpeed", kRegistryBinary, {9, 0, 0, 0, 0}}}),
     u"touch.dll", false, {1, 2, 0, 4, 5, 6, 7, 8}},
    // Fewer bytes fill only the first bytes of the field: zero-extended.
    {"two_byte_setting", true,
     With(Settings({u"LowSpeed"}), {{u"LowSpeed", kRegistryBinary, {0x34, 0x12}}}), u"touch.dll",
     true, {0x1234, 2, 3, 4, 5, 6, 7, 8}},
    {"negative_setting", true,
     With(Settings({u"ErrorDelay"}), {{u"ErrorDelay", kSystemRegistryDword, Dword(0xFFFFFFFB)}}),
     u"touch.dll", true, {1, 2, 3, 4, 5, 6, -5, 8}},
    // No value's type is examined.
    {"types_not_examined", true,
     With(Settings({u"MinDirSpeed"}),
          {{u"MinDirSpeed", kSystemRegistryString, Dword(77)},
           {u"OrigDriverName", kRegistryBinary, Name(u"raw.dll")}}),
     u"raw.dll", true, {1, 77, 3, 4, 5, 6, 7, 8}},
    {"longest_name_that_fits", true, {{u"OrigDriverName", kSystemRegistryString, Name(k63Units)}},
     k63Units, false, kZeros},
    // 64 units and a terminator are 130 bytes: the read fails.
    {"name_of_64_units", true,
     {{u"OrigDriverName", kSystemRegistryString, Name(k63Units + u"x")}}, u"touch.dll", false, kZeros},
    // 64 units stored without a terminator fit but leave none: ignored.
    {"name_of_64_units_unterminated", true,
     {{u"OrigDriverName", kSystemRegistryString, Name(k63Units + u"x", false)}}, u"touch.dll", false,
     kZeros},
    // A short name stored without its terminator overwrites only the start
    // of the default.
    {"short_name_unterminated", true,
     {{u"OrigDriverName", kSystemRegistryString, Name(u"ab", false)}}, u"abuch.dll", false, kZeros},
    {"long_name_unterminated", true,
     {{u"OrigDriverName", kSystemRegistryString, Name(u"mytouch.dll", false)}}, u"mytouch.dll", false,
     kZeros},
};

class ConfigurationTest : public DriverTest,
                          public ::testing::WithParamInterface<ConfigurationCase> {};

TEST_P(ConfigurationTest, registry_contents_give_name_settings_and_filtering) {
    const ConfigurationCase& c = GetParam();
    if (c.keyExists) {
        HostCreateRegistryKey(kKey);
    }
    for (const StoredValue& value : c.values) {
        HostSetRegistryValue(kKey, value.name, value.type, value.bytes);
    }
    char16_t name[kDriverNameUnits];
    memset(name, 0xAB, sizeof name);
    LoadConfiguration(name);

    EXPECT_EQ(std::u16string(name), c.expectedName);
    EXPECT_EQ(g_configuration.filteringEnabled, c.expectedFiltering);
    const FilterSettings& s = g_filterSettings;
    EXPECT_EQ((std::vector<int32_t>{s.LowSpeed, s.MinDirSpeed, s.HighSpeed, s.MaxSpeedDiff,
                                    s.MaxSpeedDiff2, s.MaxDirDiff, s.ErrorDelay, s.MaxErrorDelay}),
              c.expectedSettings);
    EXPECT_EQ(g_hostSystem.openKeys, 0);
}

INSTANTIATE_TEST_SUITE_P(Registry, ConfigurationTest, ::testing::ValuesIn(kConfigurationCases),
                         [](const ::testing::TestParamInfo<ConfigurationCase>& info) {
                             return info.param.name;
                         });

TEST_F(DriverTest, configuration_queries_every_value_in_order_whatever_fails) {
    HostSetRegistryDword(kKey, u"MaxSpeedDiff", 4);
    char16_t name[kDriverNameUnits];
    LoadConfiguration(name);
    // Spelled out here, not taken from the driver's table: this is the order
    // the table must have. The capture's two values come after the nine.
    std::vector<std::u16string> expected = {
        u"OrigDriverName", u"LowSpeed",      u"MinDirSpeed", u"HighSpeed",    u"MaxSpeedDiff",
        u"MaxSpeedDiff2",  u"MaxDirDiff",    u"ErrorDelay",  u"MaxErrorDelay", u"CaptureFile",
        u"CaptureLimit"};
    EXPECT_EQ(g_hostSystem.queriedValues, expected);
    EXPECT_EQ(g_filterSettings.MaxSpeedDiff, 4);
    EXPECT_FALSE(g_configuration.filteringEnabled);
}

// The capture's values: what turns capture on, and the limit it keeps to.
// None of them takes part in whether filtering is enabled.
struct CaptureValues {
    const char* name;
    std::vector<StoredValue> values;
    std::u16string expectedFile;  // empty: capture off
    uint32_t expectedLimit;
};

void PrintTo(const CaptureValues& c, std::ostream* out) { *out << c.name; }

class CaptureConfigurationTest : public DriverTest, public ::testing::WithParamInterface<CaptureValues> {};

TEST_P(CaptureConfigurationTest, capture_values_give_file_and_limit_and_never_filtering) {
    const CaptureValues& c = GetParam();
    for (const StoredValue& value : With(Settings(), c.values)) {
        HostSetRegistryValue(kKey, value.name, value.type, value.bytes);
    }
    char16_t name[kDriverNameUnits];
    LoadConfiguration(name);
    EXPECT_EQ(std::u16string(g_configuration.captureFile), c.expectedFile);
    EXPECT_EQ(g_configuration.captureLimit, c.expectedLimit);
    EXPECT_TRUE(g_configuration.filteringEnabled);
}

const std::u16string kCapturePath = u"\\My Documents\\capture.csv";

INSTANTIATE_TEST_SUITE_P(
    Registry, CaptureConfigurationTest,
    ::testing::Values(
        CaptureValues{"none", {}, u"", kCaptureDefaultLimit},
        CaptureValues{"file_and_limit",
                      {{u"CaptureFile", kSystemRegistryString, Name(kCapturePath)},
                       {u"CaptureLimit", kSystemRegistryDword, Dword(4096)}},
                      kCapturePath, 4096},
        CaptureValues{"drive_path_zero_limit",
                      {{u"CaptureFile", kSystemRegistryString, Name(u"C:\\t\\c.csv")},
                       {u"CaptureLimit", kSystemRegistryDword, Dword(0)}},
                      u"C:\\t\\c.csv", kCaptureDefaultLimit},
        CaptureValues{"limit_above_the_largest",
                      {{u"CaptureLimit", kSystemRegistryDword, Dword(kCaptureLargestLimit + 1)}}, u"",
                      kCaptureLargestLimit},
        CaptureValues{"limit_of_two_bytes", {{u"CaptureLimit", kRegistryBinary, {1, 2}}}, u"",
                      kCaptureDefaultLimit},
        CaptureValues{"file_not_a_string",
                      {{u"CaptureFile", kRegistryBinary, Name(kCapturePath)}}, u"", kCaptureDefaultLimit},
        CaptureValues{"file_empty", {{u"CaptureFile", kSystemRegistryString, Name(u"")}}, u"",
                      kCaptureDefaultLimit},
        CaptureValues{"file_relative", {{u"CaptureFile", kSystemRegistryString, Name(u"capture.csv")}},
                      u"", kCaptureDefaultLimit},
        CaptureValues{"file_unterminated",
                      {{u"CaptureFile", kSystemRegistryString, Name(kCapturePath, false)}}, u"",
                      kCaptureDefaultLimit},
        CaptureValues{"file_longer_than_a_path",
                      {{u"CaptureFile", kSystemRegistryString, Name(u"\\" + std::u16string(259, u'c'))}},
                      u"", kCaptureDefaultLimit}),
    [](const ::testing::TestParamInfo<CaptureValues>& info) { return info.param.name; });

TEST_F(DriverTest, configuration_name_buffer_holds_the_default_then_zeros) {
    char16_t name[kDriverNameUnits];
    memset(name, 0xAB, sizeof name);
    LoadConfiguration(name);
    char16_t expected[kDriverNameUnits] = u"touch.dll";
    EXPECT_EQ(memcmp(name, expected, sizeof name), 0);
    EXPECT_TRUE(g_hostSystem.queriedValues.empty());
}

}  // namespace
