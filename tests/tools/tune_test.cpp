// From traces to settings a user can trust: the search, the labels it
// learns from, and the check of a settings file.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/label.h"
#include "engine/settings_check.h"
#include "engine/synth.h"
#include "engine/tune.h"
#include "files/recommended_settings.h"
#include "files/reg_file.h"

namespace {

const std::string kPenwickKey = "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\n";
const std::string kTouchKey = "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH]\n";

// No bound on the strokes lost.
const long long kAnyStrokes = 1LL << 40;

TraceEvent Sample(uint32_t flags, int32_t x, int32_t y, Truth truth) {
    TraceEvent event{};
    event.kind = TraceEvent::Sample;
    event.sample = {flags, x, y, truth, 0};
    return event;
}

// Strokes along x at 8 units a sample, every tenth sample kinked 4 units
// sideways. The steps into and out of a kink are 8.94 long against 8: the
// change of length truncates to 0, and no length setting can tell 64 from
// 80 squared. Only the turn, 26.6 degrees into the kink, gives it away.
std::vector<TraceEvent> KinkedStrokes() {
    std::vector<TraceEvent> events;
    for (int stroke = 0; stroke < 20; stroke++) {
        int32_t y = 100 + 30 * stroke;
        for (int i = 0; i < 40; i++) {
            bool kink = i % 10 == 5;
            events.push_back(Sample(i == 0 ? 0x07 : 0x0F, 8 * i, kink ? y + 4 : y,
                                    kink ? Truth::Fault : Truth::Ok));
        }
        events.push_back(Sample(0x0D, 312, y, Truth::Ok));
    }
    return events;
}

TEST(TuneTest, faults_only_a_turn_gives_away_are_caught_by_a_direction_setting) {
    RegFile base = ParseRegFile(kRecommendedSettings, "recommended");
    std::vector<TuneTrace> traces = {MakeTuneTrace("kinked", KinkedStrokes())};
    TuneOutcome outcome = Tune(traces, base, {SettingsOf(base, {})}, 40, kAnyStrokes, nullptr);
    ASSERT_TRUE(outcome.found);
    EXPECT_GE(outcome.best.KeptPercent(), 90.0);
    // A kink turns by 26.6 degrees; straight steps by none.
    EXPECT_LE(outcome.best.settings.MaxDirDiff, 26);
    EXPECT_GT(outcome.best.settings.MaxDirDiff, 0);
}

TEST(TuneTest, the_choice_loses_no_more_than_allowed_and_is_the_same_every_time) {
    SynthOptions options;
    options.samples = 2000;
    options.spikes = 0.03;
    std::vector<TraceSample> samples = Synthesize(options);
    std::vector<TraceEvent> events;
    for (const TraceSample& sample : samples) {
        events.push_back(Sample(sample.flags, sample.x, sample.y, sample.truth));
    }
    RegFile base = ParseRegFile(kRecommendedSettings, "recommended");
    std::vector<TuneTrace> traces = {MakeTuneTrace("scribble", events)};
    TuneOutcome strict = Tune(traces, base, {SettingsOf(base, {})}, 4, kAnyStrokes, nullptr);
    ASSERT_TRUE(strict.found);
    EXPECT_LE(strict.best.LossPercent(), 4.0);
    // The same settings replayed again score the same, and are what a second
    // search chooses too.
    TuneScore again = ScoreSettings(traces, base, strict.best.settings);
    EXPECT_EQ(again.faultsKept, strict.best.faultsKept);
    EXPECT_EQ(again.goodLost, strict.best.goodLost);
    TuneOutcome second = Tune(traces, base, {SettingsOf(base, {})}, 4, kAnyStrokes, nullptr);
    EXPECT_EQ(0, memcmp(&second.best.settings, &strict.best.settings, sizeof(FilterSettings)));
    // Allowed more loss, the search keeps at least as many faults.
    TuneOutcome loose = Tune(traces, base, {SettingsOf(base, {})}, 15, kAnyStrokes, nullptr);
    EXPECT_GE(loose.best.faultsKept, strict.best.faultsKept);
}

TEST(TuneTest, a_lost_tap_weighs_more_than_a_spike_or_two) {
    SynthOptions options;
    options.samples = 2000;
    options.spikes = 0.03;
    options.taps = kSynthTapShare;
    options.jitter = 3;  // a tap's steps are some units long
    std::vector<TraceEvent> events;
    for (const TraceSample& sample : Synthesize(options)) {
        events.push_back(Sample(sample.flags, sample.x, sample.y, sample.truth));
    }
    RegFile base = ParseRegFile(kRecommendedSettings, "recommended");
    std::vector<TuneTrace> traces = {MakeTuneTrace("taps", events)};
    // LowSpeed 0 loses every tap of two pen-down samples; its score counts
    // them, and the single ones, which no settings deliver.
    FilterSettings zero = SettingsOf(base, {});
    zero.LowSpeed = 0;
    TuneScore lossy = ScoreSettings(traces, base, zero);
    EXPECT_GT(lossy.strokesLost, lossy.strokesLostAlways);
    EXPECT_GT(lossy.strokesLostAlways, 0);
    EXPECT_EQ(lossy.tapsLost, lossy.strokesLost);  // only taps are short enough to lose
    // Unbounded in strokes, the search still delivers every tap it can:
    // each lost one costs more than the faults a lower LowSpeed would keep.
    TuneOutcome outcome = Tune(traces, base, {zero}, 15, kAnyStrokes, nullptr);
    ASSERT_TRUE(outcome.found);
    EXPECT_EQ(outcome.best.strokesLost, lossy.strokesLostAlways);
}

TEST(LabelTest, a_spike_and_a_jump_that_returns_are_faults_and_nothing_else_is) {
    std::vector<TraceEvent> events;
    // A stroke along x, 10 units a sample with a little jitter; a spike at
    // sample 8 and a jump of four samples, 20 to 23. Measured against
    // neighbours that jumped too, the samples beside the jump would look
    // off: the jump is found first and left out.
    for (int i = 0; i < 30; i++) {
        int32_t y = 500 + (i % 3) - 1;
        if (i == 8) {
            y += 150;
        }
        if (i >= 20 && i <= 23) {
            y -= 200;
        }
        events.push_back(Sample(i == 0 ? 0x07 : 0x0F, 100 + 10 * i, y, Truth::Unknown));
    }
    events.push_back(Sample(0x0D, 390, 500, Truth::Unknown));
    // A tap, too short to judge, spike and all: six pen-down samples.
    for (int32_t x : {100, 101, 100, 600, 101, 100}) {
        events.push_back(Sample(x == 100 ? 0x07 : 0x0F, x, 900, Truth::Unknown));
    }
    events.push_back(Sample(0x0D, 600, 900, Truth::Unknown));

    LabelTrace(events, LabelRule());
    std::vector<int> faults;
    for (size_t i = 0; i < events.size(); i++) {
        if (events[i].sample.truth == Truth::Fault) {
            faults.push_back(static_cast<int>(i));
        }
        EXPECT_NE(events[i].sample.truth, Truth::Unknown) << i;
    }
    EXPECT_EQ(faults, (std::vector<int>{8, 20, 21, 22, 23}));
}

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
        // An error that withholds a second or more of samples, or ten.
        CheckCase{"delay_long", kDriver + Setting("MaxErrorDelay", "dword:c8"), kPenwickDriver,
                  FindingDelayLong, false, 200},
        CheckCase{"delay_deadly", kDriver + Setting("MaxErrorDelay", "dword:100000"), kPenwickDriver,
                  FindingDelayDeadlyLong, true, 0x100000}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return info.param.name; });

TEST(CheckTest, the_recommended_settings_pass) {
    ReplayStart start;
    EXPECT_TRUE(CheckRegFile(ParseRegFile(kRecommendedSettings, "install.reg"), &start).empty());
    EXPECT_TRUE(start.filteringEnabled);
}

}  // namespace
