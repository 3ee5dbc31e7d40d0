// The configuration check on .reg files as penwick check reads them: each
// kind of finding, and the recommended settings passing.
#include <gtest/gtest.h>

#include "engine/settings_check.h"
#include "files/recommended_settings.h"
#include "files/reg_file.h"

namespace {

const std::string kPenwickKey = "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\n";
const std::string kTouchKey = "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH]\n";

// One .reg file and what the check must find in it.
struct CheckCase {
    const char* name;
    std::string penwickValues;  // below the Penwick key; no key at all when "-"
    std::string driverName;     // the touch key's DriverName line
    ConfigurationFindingKind kind;
    bool error;
    int number;
    // Set in Penwick's key after reading: a value that no .reg file penwick
    // reads can hold, but a device's registry can.
    std::vector<RegValue> stored = {};
};

void PrintTo(const CheckCase& c, std::ostream* out) { *out << c.name; }

const std::string kSettings =
    "\"LowSpeed\"=dword:c\n\"MinDirSpeed\"=dword:4\n\"HighSpeed\"=dword:3c\n"
    "\"MaxSpeedDiff\"=dword:a\n\"MaxSpeedDiff2\"=dword:20\n\"MaxDirDiff\"=dword:5a\n"
    "\"ErrorDelay\"=dword:2\n\"MaxErrorDelay\"=dword:2\n";
const std::string kDriver = "\"OrigDriverName\"=\"touch.dll\"\n";
const std::string kPenwickDriver = "\"DriverName\"=\"Penwick.dll\"\n";

// The settings with one of them stored otherwise.
std::string Setting(const std::string& name, const std::string& stored) {
    std::string values = kSettings;
    size_t at = values.find("\"" + name + "\"=");
    size_t end = values.find('\n', at);
    return values.replace(at, end - at, "\"" + name + "\"=" + stored);
}

class CheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CheckTest, finds_what_would_leave_the_device_without_touch_or_filtering) {
    const CheckCase& c = GetParam();
    std::string file = "REGEDIT4\n" + kTouchKey + c.driverName;
    if (c.penwickValues != "-") {
        file += kPenwickKey + c.penwickValues;
    }
    RegFile read = ParseRegFile(file, "c.reg");
    for (const RegValue& value : c.stored) {
        RegKeySet(read.penwick, value);
    }
    ReplayStart start;
    std::vector<ConfigurationFinding> findings = CheckRegFile(read, &start);
    ASSERT_EQ(findings.size(), 1u) << "one finding, and only one";
    EXPECT_EQ(findings[0].kind, c.kind);
    EXPECT_EQ(findings[0].error, c.error);
    EXPECT_EQ(findings[0].number, c.number);
}

INSTANTIATE_TEST_SUITE_P(
    RegFiles, CheckTest,
    ::testing::Values(
        CheckCase{"no_penwick_key", "-", kPenwickDriver, FindingPenwickKeyMissing, true, 0},
        CheckCase{"driver_name_not_penwick", kDriver + kSettings, "\"DriverName\"=\"touch.dll\"\n",
                  FindingTouchDriverNotPenwick, true, 0},
        CheckCase{"no_driver_name", kDriver + kSettings, "", FindingTouchDriverNotPenwick, true, 0},
        CheckCase{"setting_missing", kDriver + Setting("HighSpeed", "-"), kPenwickDriver,
                  FindingSettingMissing, true, 0},
        // The string "8" is the bytes 38 00 00 00: it reads as 56.
        CheckCase{"setting_a_string", kDriver + Setting("ErrorDelay", "\"8\""), kPenwickDriver,
                  FindingSettingNotDword, true, 56},
        CheckCase{"setting_a_qword", kDriver + kSettings, kPenwickDriver, FindingSettingTooLong,
                  true, 8, {{u"MaxDirDiff", 11, {0x5a, 0, 0, 0, 0, 0, 0, 0}}}},
        CheckCase{"setting_two_bytes", kDriver + kSettings, kPenwickDriver, FindingSettingTooShort,
                  true, 2, {{u"LowSpeed", 3, {0xc, 0}}}},
        CheckCase{"original_driver_missing", kSettings, kPenwickDriver, FindingDriverNameMissing, true, 0},
        CheckCase{"original_driver_too_long",
                  "\"OrigDriverName\"=\"" + std::string(64, 'w') + ".dll\"\n" + kSettings, kPenwickDriver,
                  FindingDriverNameTooLong, true, 138},
        CheckCase{"original_driver_unterminated", kDriver + kSettings, kPenwickDriver,
                  FindingDriverNameUnterminated, true, 0, {{u"OrigDriverName", 1, {0x74, 0, 0x73, 0}}}},
        CheckCase{"original_driver_is_penwick", "\"OrigDriverName\"=\"\\\\Windows\\\\PENWICK.DLL\"\n" + kSettings,
                  kPenwickDriver, FindingDriverNameIsPenwick, true, 0},
        // The name an install gives each version's module.
        CheckCase{"original_driver_is_installed_penwick",
                  "\"OrigDriverName\"=\"Penwick-0.2.0-2.DLL\"\n" + kSettings, kPenwickDriver,
                  FindingDriverNameIsPenwick, true, 0},
        // Legal but useless: warnings, and the settings they name.
        CheckCase{"negative_length", kDriver + Setting("LowSpeed", "dword:fffffff4"), kPenwickDriver,
                  FindingLengthNegative, false, 12},
        // A still pen jitters by a unit: LowSpeed 1 passes only a step of 0.
        CheckCase{"low_speed_bars_taps", kDriver + Setting("LowSpeed", "dword:1"), kPenwickDriver,
                  FindingLowSpeedBarsTaps, false, 1},
        CheckCase{"low_speed_zero_bars_taps", kDriver + Setting("LowSpeed", "dword:0"), kPenwickDriver,
                  FindingLowSpeedBarsTaps, false, 0},
        CheckCase{"direction_over_180", kDriver + Setting("MaxDirDiff", "dword:c8"), kPenwickDriver,
                  FindingDirDiffAbove180, false, 200},
        CheckCase{"speed_diff2_not_above", kDriver + Setting("MaxSpeedDiff2", "dword:a"), kPenwickDriver,
                  FindingSpeedDiff2NotAboveSpeedDiff, false, 10},
        CheckCase{"delay_above_max", kDriver + Setting("ErrorDelay", "dword:3"), kPenwickDriver,
                  FindingErrorDelayAboveMax, false, 2},
        // The installer's DriverName rules, on OrigDriverName: a number, and
        // nothing.
        CheckCase{"original_driver_a_number", kDriver + kSettings, kPenwickDriver,
                  FindingDriverNameNotString, true, 4, {{u"OrigDriverName", 4, {0x41, 0, 0, 0}}}},
        CheckCase{"original_driver_empty", "\"OrigDriverName\"=\"\"\n" + kSettings, kPenwickDriver,
                  FindingDriverNameEmpty, true, 0},
        // 46341 squared is 2,147,488,281, past 2^31: it wraps to -2,147,479,015.
        CheckCase{"length_whose_square_wraps", kDriver + Setting("MinDirSpeed", "dword:b505"),
                  kPenwickDriver, FindingLengthSquareWraps, false, -2147479015},
        // And so does -46341's, to the same number; it is not just negative.
        CheckCase{"negative_length_whose_square_wraps",
                  kDriver + Setting("MinDirSpeed", "dword:ffff4afb"), kPenwickDriver,
                  FindingLengthSquareWraps, false, -2147479015},
        CheckCase{"high_speed_not_above_low", kDriver + Setting("HighSpeed", "dword:c"),
                  kPenwickDriver, FindingHighSpeedNotAboveLow, false, 12},
        CheckCase{"speed_diff_zero", kDriver + Setting("MaxSpeedDiff", "dword:0"), kPenwickDriver,
                  FindingSpeedDiffNotPositive, false, 0},
        CheckCase{"direction_zero", kDriver + Setting("MaxDirDiff", "dword:0"), kPenwickDriver,
                  FindingDirDiffNotPositive, false, 0},
        CheckCase{"delay_negative", kDriver + Setting("ErrorDelay", "dword:ffffffff"),
                  kPenwickDriver, FindingDelayNegative, false, -1},
        // An error that withholds a second or more of samples, or ten.
        CheckCase{"delay_long", kDriver + Setting("MaxErrorDelay", "dword:c8"), kPenwickDriver,
                  FindingDelayLong, false, 200},
        // 1000 is long, but not yet deadly: that is above it.
        CheckCase{"delay_long_at_the_deadly_bound", kDriver + Setting("MaxErrorDelay", "dword:3e8"),
                  kPenwickDriver, FindingDelayLong, false, 1000},
        CheckCase{"delay_deadly", kDriver + Setting("MaxErrorDelay", "dword:100000"), kPenwickDriver,
                  FindingDelayDeadlyLong, true, 0x100000}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return info.param.name; });

TEST(CheckTest, the_recommended_settings_pass) {
    ReplayStart start;
    EXPECT_TRUE(CheckRegFile(ParseRegFile(kRecommendedSettings, "install.reg"), &start).empty());
    EXPECT_TRUE(start.filteringEnabled);
}

}  // namespace
