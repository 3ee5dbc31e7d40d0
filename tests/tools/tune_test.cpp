// From traces to settings a user can trust: the search.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/synth.h"
#include "engine/tune.h"
#include "files/recommended_settings.h"
#include "files/reg_file.h"
#include "registry/configuration_check.h"

namespace {


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

    // Started also from settings check warns about, which do what the choice
    // does (a negative ErrorDelay adds no delay, as 0 does) and, smaller,
    // would win the tie: tune proposes none of them, at any loss.
    ASSERT_EQ(outcome.best.settings.ErrorDelay, 0);
    FilterSettings negativeDelay = outcome.best.settings;
    negativeDelay.ErrorDelay = -1;
    TuneOutcome again = Tune(traces, base, {SettingsOf(base, {}), negativeDelay}, 40, kAnyStrokes, nullptr);
    EXPECT_EQ(CheckFilterSettings(again.best.settings, nullptr, nullptr), 0);
    for (const TuneScore& score : again.tradeOff) {
        EXPECT_EQ(CheckFilterSettings(score.settings, nullptr, nullptr), 0);
    }
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
    // Its progress tells a share done that never goes back.
    std::vector<double> done;
    TuneOutcome outcome = Tune(traces, base, {zero}, 15, kAnyStrokes,
                               [&done](long long, const TuneScore&, double share) { done.push_back(share); });
    ASSERT_GT(done.size(), 10u);
    EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
    EXPECT_GT(done.back(), 0.9);
    EXPECT_LE(done.back(), 1.0);
    ASSERT_TRUE(outcome.found);
    EXPECT_EQ(outcome.best.strokesLost, lossy.strokesLostAlways);
}


}  // namespace
