#include <gtest/gtest.h>

#include <sstream>

#include "engine/replay.h"
#include "engine/replay_summary.h"
#include "engine/synth.h"
#include "files/reg_file.h"
#include "report/picture.h"
#include "report/summary.h"
#include "report/table.h"
#include "../worked_stroke.h"

namespace {

RegFile Settings(const std::string& values) {
    return ParseRegFile("REGEDIT4\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\n" + values,
                        "test");
}

const std::string kWorkedSettings = WorkedStrokeRegLines();

const std::vector<TraceSample> kWorkedStroke = {
    {0x07, 100, 100, Truth::Ok, 1}, {0x0F, 101, 101, Truth::Ok, 2}, {0x0F, 109, 100, Truth::Ok, 3},
    {0x0F, 117, 101, Truth::Ok, 4}, {0x0F, 160, 140, Truth::Fault, 5}, {0x0F, 125, 102, Truth::Ok, 6},
    {0x0F, 133, 103, Truth::Ok, 7}, {0x0F, 141, 104, Truth::Ok, 8}, {0x0F, 149, 105, Truth::Ok, 9},
    {0x0D, 150, 105, Truth::Ok, 10}, {0x05, 150, 105, Truth::Ok, 11}};

// The worked stroke through a replayer, with the summary of it.
std::vector<ReplayRecord> ReplayAll(const RegFile& settings, const std::vector<TraceSample>& trace,
                                    ReplaySummary* summary = nullptr,
                                    const ReplayScreens& screens = ReplayScreens()) {
    Replayer replayer(settings, screens);
    std::vector<ReplayRecord> records;
    for (const TraceSample& sample : trace) {
        records.push_back(replayer.Feed(sample));
        if (summary != nullptr) {
            summary->Add(records.back());
        }
    }
    return records;
}

std::vector<std::string> Rows(const std::vector<ReplayRecord>& records) {
    std::vector<std::string> rows;
    for (const ReplayRecord& record : records) {
        std::string row;
        AppendReplayRow(row, record);
        rows.push_back(row.substr(0, row.size() - 1));
    }
    return rows;
}

TEST(ReplayTest, worked_stroke_table_shows_what_the_filter_computed_and_the_host_received) {
    // The squared steps and speed changes follow from the coordinates: row 3
    // steps (8, -1), 65, after a step of 2: |sqrt 2 - sqrt 65| = 6.6, 6.
    // Row 6 turns from 47.79411 to -137.35736 degrees (each in single
    // precision, times 57.29747): 185.15147, folded to 174.84853.
    EXPECT_EQ(Rows(ReplayAll(Settings(kWorkedSettings), kWorkedStroke)),
              (std::vector<std::string>{
                  "1,0x07,100,100,ok,start,,,,0,dropped-rejected,,,,",
                  "2,0x0F,101,101,ok,a,2,,,0,delivered,0x07,101,101,",
                  "3,0x0F,109,100,ok,f,65,6,,0,dropped-rejected,,,,",
                  "4,0x0F,117,101,ok,c,65,0,,0,delivered,0x0F,117,101,",
                  "5,0x0F,160,140,fault,d,3370,49,,2,dropped-rejected,,,,",
                  "6,0x0F,125,102,ok,h,2669,6,174.84853,3,dropped-rejected,,,,",
                  "7,0x0F,133,103,ok,d,65,43,,3,dropped-rejected,,,,",
                  "8,0x0F,141,104,ok,c*,65,0,,2,dropped-rejected,,,,",
                  "9,0x0F,149,105,ok,c*,65,0,,1,dropped-rejected,,,,",
                  "10,0x0D,150,105,ok,a*,1,,,0,moved-up,0x0D,117,101,",
                  "11,0x05,150,105,ok,a,0,,,0,dropped-extra-up,,,,",
              }));
}

TEST(ReplayTest, worked_stroke_summary_adds_up) {
    ReplaySummary s;
    ReplayAll(Settings(kWorkedSettings), kWorkedStroke, &s);
    EXPECT_EQ(s.samples, 11);
    EXPECT_EQ(s.atOwnPlace, 2);  // rows 2 and 4
    EXPECT_EQ(s.moved, 1);       // row 10, the pen-up
    EXPECT_EQ(s.withheld, 8);
    auto cause = [&](ReplayCause c) { return s.byCause[static_cast<int>(c)]; };
    EXPECT_EQ(cause(ReplayCause::StrokeStart), 1);
    EXPECT_EQ(cause(ReplayCause::RuleF), 1);
    EXPECT_EQ(cause(ReplayCause::ErrorD), 2);
    EXPECT_EQ(cause(ReplayCause::ErrorH), 1);
    EXPECT_EQ(cause(ReplayCause::ErrorDelay), 3);  // rows 8 and 9 withheld, row 10 moved
    EXPECT_EQ(cause(ReplayCause::ExtraUp), 1);
    EXPECT_EQ(s.strokesIn, 1);
    EXPECT_EQ(s.strokesReached, 1);
    // The fault (row 5) was kept from the host; of ten good samples only two
    // reached it where they were. Kept and lost add up to moved and withheld.
    EXPECT_EQ(s.FaultsKept(), 1);
    EXPECT_EQ(s.GoodLost(), 8);
    EXPECT_EQ(s.goodMoved, 1);
    EXPECT_EQ(s.FaultsKept() + s.GoodLost(), s.moved + s.withheld);
}

// Taps of one, two, three and four pen-down samples, the pen still but for
// a unit of jitter, then a stroke the trace ends inside.
const std::vector<TraceSample> kTaps = {
    {0x07, 100, 100, Truth::Unknown, 1}, {0x0D, 100, 100, Truth::Unknown, 2},
    {0x07, 200, 200, Truth::Unknown, 3}, {0x0F, 201, 200, Truth::Unknown, 4},
    {0x0D, 201, 200, Truth::Unknown, 5}, {0x07, 300, 300, Truth::Unknown, 6},
    {0x0F, 300, 301, Truth::Unknown, 7}, {0x0F, 301, 301, Truth::Unknown, 8},
    {0x0D, 301, 301, Truth::Unknown, 9}, {0x07, 400, 400, Truth::Unknown, 10},
    {0x0F, 401, 400, Truth::Unknown, 11}, {0x0F, 400, 401, Truth::Unknown, 12},
    {0x0F, 401, 401, Truth::Unknown, 13}, {0x0D, 401, 401, Truth::Unknown, 14},
    {0x07, 500, 500, Truth::Unknown, 15}, {0x0F, 501, 500, Truth::Unknown, 16}};

struct TapCase {
    const char* lowSpeed;
    long long reached, lost, lostAlways;
    std::vector<std::string> strokeColumn;  // of the table, row by row
};

TEST(ReplayTest, strokes_and_taps_are_counted_by_what_reached_the_host) {
    const std::vector<std::string> twoLost = {"lost-always", "lost-always", "lost", "lost", "lost",
                                              "", "", "", "", "", "", "", "", "", "", ""};
    const TapCase cases[] = {
        // LowSpeed 0: rule a never accepts, so the tap of two pen-down
        // samples loses its second to rule b; three and four reach rule c.
        {"0", 2, 2, 1, twoLost},
        // LowSpeed 2: a step of one unit passes rule a. The single sample
        // of the first tap is a stroke start, which no settings accept.
        {"2", 3, 1, 1, std::vector<std::string>(2, "lost-always")},
    };
    for (const TapCase& c : cases) {
        SCOPED_TRACE(c.lowSpeed);
        ReplaySummary s;
        std::vector<ReplayRecord> records = ReplayAll(
            Settings(kWorkedSettings + "\"LowSpeed\"=dword:" + c.lowSpeed + "\n"), kTaps, &s);
        s.Finish();
        EXPECT_EQ(s.strokesIn, 5);
        EXPECT_EQ(s.strokesOpen, 1);  // the last: no pen-up, so neither reached nor lost
        EXPECT_EQ(s.strokesReached, c.reached);
        EXPECT_EQ(s.strokesLost, c.lost);
        EXPECT_EQ(s.strokesLostAlways, c.lostAlways);
        EXPECT_EQ(s.taps, 4);
        EXPECT_EQ(s.tapsLost, c.lost);

        ReplayTable table;
        std::string rows;
        for (const ReplayRecord& record : records) {
            table.Add(record, rows);
        }
        table.Interrupt(rows);
        std::vector<std::string> column;
        for (size_t end = rows.find('\n'); end != std::string::npos; end = rows.find('\n', end + 1)) {
            size_t comma = rows.rfind(',', end);
            column.push_back(rows.substr(comma + 1, end - comma - 1));
        }
        std::vector<std::string> expected = c.strokeColumn;
        expected.resize(kTaps.size());
        EXPECT_EQ(column, expected);
    }
}

TEST(ReplayTest, a_long_stroke_is_no_tap_and_a_trace_without_strokes_says_so) {
    std::vector<TraceSample> stroke = {{0x07, 0, 0, Truth::Unknown, 1}};
    for (int i = 1; i <= kTapDownSamples; i++) {
        stroke.push_back({0x0F, i, 0, Truth::Unknown, i + 1});
    }
    stroke.push_back({0x0D, kTapDownSamples, 0, Truth::Unknown, kTapDownSamples + 2});
    ReplaySummary s;
    ReplayAll(Settings(kWorkedSettings), stroke, &s);
    s.Finish();
    EXPECT_EQ(s.strokesReached, 1);
    EXPECT_EQ(s.taps, 0);  // one pen-down sample more than a tap has
    ReplaySummary none;
    ReplayAll(Settings(kWorkedSettings), {{0x05, 1, 1, Truth::Unknown, 1}}, &none);
    none.Finish();
    EXPECT_EQ(FormatStrokes(none), "strokes: none, the trace has no pen-down sample\n");
}

TEST(ReplayTest, a_malformed_setting_means_pass_through_and_is_named) {
    // Five bytes for MaxErrorDelay cannot be read: filtering stays off. No
    // .reg file that penwick reads holds them; a device's registry may.
    RegFile settings = Settings(kWorkedSettings);
    RegKeySet(settings.penwick, RegValue{u"MaxErrorDelay", 3, {3, 0, 0, 0, 0}});
    Replayer replayer(settings, ReplayScreens());
    EXPECT_FALSE(replayer.start().filteringEnabled);
    for (const TraceSample& sample : kWorkedStroke) {
        ReplayRecord record = replayer.Feed(sample);
        EXPECT_EQ(record.verdict, InterceptPassedThrough);
        EXPECT_STREQ(RuleName(record), "pass");
    }
    EXPECT_NE(FormatSettings(replayer.start())
                  .find("filtering off, every sample passes through: MaxErrorDelay has 5 bytes"),
              std::string::npos)
        << FormatSettings(replayer.start());
}

TEST(ReplayTest, unusable_samples_are_named_and_counted) {
    ReplaySummary s;
    std::vector<ReplayRecord> records = ReplayAll(
        Settings(kWorkedSettings), {{0x0E, 1, 1, Truth::Unknown, 1}, {0x03, 5, 5, Truth::Unknown, 2}}, &s);
    EXPECT_STREQ(RuleName(records[0]), "unusable");
    EXPECT_STREQ(RuleName(records[1]), "pass");  // uncalibrated
    EXPECT_EQ(s.byCause[static_cast<int>(ReplayCause::Unusable)], 1);
    EXPECT_EQ(s.uncalibrated, 1);
    EXPECT_FALSE(s.Labelled());
}

// x scales by 240/320 on a turned screen: steps of 8 look like 6, below
// LowSpeed 7, and pass rule a; upright they fail rule b.
const std::string kLowSpeed7 = kWorkedSettings + "\"LowSpeed\"=dword:7\n";

TEST(ReplayTest, screens_reach_the_filter) {
    ReplayScreens turned;
    turned.width = 320;
    turned.height = 240;
    std::vector<TraceSample> stroke = {{0x07, 0, 0, Truth::Unknown, 1}, {0x0F, 8, 0, Truth::Unknown, 2}};
    EXPECT_EQ(ReplayAll(Settings(kLowSpeed7), stroke, nullptr, turned)[1].rule, FilterRuleA);
    EXPECT_EQ(ReplayAll(Settings(kLowSpeed7), stroke)[1].rule, FilterRuleB);
}

TEST(ReplayTest, a_capture_turns_the_screen_enables_again_and_boots_afresh) {
    std::vector<TraceEvent> events = ParseTraceEvents(
        "# penwick boot test\n# penwick enable-screen 240x320\n# penwick settings as read\n"
        "0x07,0,0\n0x0F,8,0\n"      // upright: rule b
        "# penwick screen 320x240\n"
        "0x0F,16,0\n"                // turned: a step of 6, rule a
        "# penwick enable-screen 320x240\n"
        "0x0F,20,0\n"                // enabled turned: no rescaling, a step of 8, rule f
        "# penwick boot again\n# penwick enable-screen 240x320\n"
        "0x0F,25,0\n",               // a fresh driver: no previous sample
        "capture.csv");
    Replayer replayer(Settings(kLowSpeed7), ReplayScreens());
    std::vector<FilterRule> rules;
    for (const TraceEvent& event : events) {
        if (event.kind == TraceEvent::Sample) {
            rules.push_back(replayer.Feed(event.sample).rule);
        } else {
            replayer.Apply(event);
        }
    }
    EXPECT_EQ(rules, (std::vector<FilterRule>{FilterRuleStrokeStart, FilterRuleB, FilterRuleA,
                                              FilterRuleF, FilterRuleStrokeStart}));
}

TEST(ReplayTest, two_replayers_fed_in_turn_each_replay_as_if_alone) {
    RegFile other = Settings(kWorkedSettings + "\"ErrorDelay\"=dword:0\n");
    std::vector<std::string> alone = Rows(ReplayAll(Settings(kWorkedSettings), kWorkedStroke));
    std::vector<std::string> otherAlone = Rows(ReplayAll(other, kWorkedStroke));
    ASSERT_NE(alone, otherAlone);
    Replayer a(Settings(kWorkedSettings), ReplayScreens());
    Replayer b(other, ReplayScreens());
    std::vector<ReplayRecord> fromA, fromB;
    for (const TraceSample& sample : kWorkedStroke) {
        fromA.push_back(a.Feed(sample));
        fromB.push_back(b.Feed(sample));
    }
    EXPECT_EQ(Rows(fromA), alone);
    EXPECT_EQ(Rows(fromB), otherAlone);
}

TEST(PictureTest, marks_tell_kept_faults_from_lost_good_samples_and_escape_text) {
    PicturePanel panel;
    panel.caption = "settings <a&b>";
    Replayer replayer(Settings(kWorkedSettings), ReplayScreens());
    panel.start = replayer.start();
    for (const TraceSample& sample : kWorkedStroke) {
        panel.records.push_back(replayer.Feed(sample));
        panel.summary.Add(panel.records.back());
    }
    std::string svg = FormatReplaySvg("trace \xff\x01", {panel}, 240, 320);
    EXPECT_NE(svg.find("settings &lt;a&amp;b&gt;"), std::string::npos);
    EXPECT_NE(svg.find("trace ??"), std::string::npos);  // not text XML may hold
    EXPECT_EQ(svg.find("<a&b>"), std::string::npos);
    // Every mark carries its line; the fault on line 5 is kept, the good
    // sample on line 6 lost.
    EXPECT_NE(svg.find("<title>line 5 (160, 140): rule d, dropped-rejected"), std::string::npos);
    EXPECT_NE(svg.find("fault kept from the host"), std::string::npos);
    EXPECT_NE(svg.find("good sample lost"), std::string::npos);
    EXPECT_EQ(svg.find("fault delivered"), std::string::npos);
    EXPECT_EQ(svg.find("a stroke lost"), std::string::npos);  // it reached the host
    EXPECT_EQ(svg.rfind("</svg>"), svg.size() - 7);
}

TEST(PictureTest, lost_strokes_stand_out) {
    PicturePanel panel;
    Replayer replayer(Settings(kWorkedSettings + "\"LowSpeed\"=dword:0\n"), ReplayScreens());
    panel.start = replayer.start();
    for (const TraceSample& sample : kTaps) {
        panel.records.push_back(replayer.Feed(sample));
        panel.summary.Add(panel.records.back());
    }
    std::string svg = FormatReplaySvg("taps", {panel}, 240, 320);
    // The taps of one and two pen-down samples: two bands, two names, and
    // the legend says what a band means.
    size_t bands = 0;
    for (size_t at = svg.find("stroke-width='14'"); at != std::string::npos;
         at = svg.find("stroke-width='14'", at + 1)) {
        bands++;
    }
    EXPECT_EQ(bands, 3u);  // two strokes and the legend's
    EXPECT_NE(svg.find(">lost (no settings deliver it)</text>"), std::string::npos);
    EXPECT_NE(svg.find(">lost</text>"), std::string::npos);
    EXPECT_NE(svg.find(">a stroke lost:"), std::string::npos);
}

struct WrapCase {
    const char* text;
    size_t width;
    std::vector<std::string> lines;
};

TEST(PictureTest, text_wraps_between_phrases_not_inside_them) {
    const WrapCase cases[] = {
        {"ErrorDelay 2, MaxErrorDelay 2; original driver touch.dll", 30,
         {"ErrorDelay 2,", "MaxErrorDelay 2;", "original driver touch.dll"}},
        {"a, b, c", 80, {"a, b, c"}},
        {"short, averyveryverylongword", 10, {"short,", "averyveryverylongword"}},
    };
    for (const WrapCase& c : cases) {
        EXPECT_EQ(WrapPhrases(c.text, c.width), c.lines) << c.text;
    }
}

TEST(SynthTest, same_seed_same_trace_and_exact_sample_count) {
    for (const char* shape : kSynthShapes) {
        SCOPED_TRACE(shape);
        SynthOptions options;
        options.shape = shape;
        options.samples = 500;
        options.spikes = 0.05;
        std::vector<TraceSample> a = Synthesize(options);
        std::vector<TraceSample> b = Synthesize(options);
        ASSERT_EQ(a.size(), 500u);
        EXPECT_EQ(FormatTrace(a, ""), FormatTrace(b, ""));
        options.seed = 2;
        EXPECT_NE(FormatTrace(Synthesize(options), ""), FormatTrace(a, ""));

        int faults = 0, strokes = 0;
        for (size_t i = 0; i < a.size(); i++) {
            EXPECT_TRUE(a[i].x >= 0 && a[i].x < 960 && a[i].y >= 0 && a[i].y < 1280);
            EXPECT_NE(a[i].truth, Truth::Unknown);
            faults += a[i].truth == Truth::Fault;
            // Strokes are well formed: start 0x07, continue 0x0F, end 0x0D.
            uint32_t previous = i == 0 ? 0x0D : a[i - 1].flags;
            uint32_t expected = previous == 0x0D ? 0x07 : (a[i].flags == 0x0D ? 0x0D : 0x0F);
            EXPECT_EQ(a[i].flags, expected) << i;
            strokes += a[i].flags == 0x07;
        }
        EXPECT_EQ(a.back().flags, 0x0Du);
        EXPECT_GT(faults, 5);
        EXPECT_GE(strokes, 5);
    }
}

TEST(SynthTest, taps_are_short_still_and_good) {
    SynthOptions options;
    options.samples = 3000;
    options.spikes = 0.05;
    options.taps = kSynthTapShare;
    std::vector<TraceSample> trace = Synthesize(options);
    ASSERT_EQ(trace.size(), 3000u);
    int taps = 0, strokes = 0, single = 0;
    for (size_t start = 0; start < trace.size();) {
        size_t end = start;
        while (trace[end].flags != 0x0D) {
            end++;
        }
        int down = static_cast<int>(end - start);
        strokes++;
        if (down <= 5) {
            taps++;
            single += down == 1;
            for (size_t i = start; i <= end; i++) {
                SCOPED_TRACE(i);
                EXPECT_EQ(trace[i].truth, Truth::Ok);  // jitter only: no faults
                EXPECT_LE(std::abs(trace[i].x - trace[start].x), 12);
                EXPECT_LE(std::abs(trace[i].y - trace[start].y), 12);
            }
        }
        start = end + 1;
    }
    // About half the strokes, a fifth of them a single pen-down sample.
    EXPECT_GT(taps, strokes / 3);
    EXPECT_LT(taps, 2 * strokes / 3);
    EXPECT_GT(single, 0);
}

TEST(SynthTest, no_spikes_and_no_jitter_gives_a_clean_trace_the_filter_keeps) {
    SynthOptions options;
    options.shape = "line";
    options.jitter = 0;
    options.spikes = 0;
    std::vector<TraceSample> trace = Synthesize(options);
    for (const TraceSample& s : trace) {
        EXPECT_EQ(s.truth, Truth::Ok);
    }
    ReplaySummary summary;
    ReplayAll(Settings(kWorkedSettings + "\"LowSpeed\"=dword:20\n\"HighSpeed\"=dword:40\n"), trace,
              &summary);
    // Every step is shorter than LowSpeed (0x20): only each stroke's first
    // sample is held back.
    EXPECT_EQ(summary.GoodLost(), summary.strokesIn);
}

}  // namespace
