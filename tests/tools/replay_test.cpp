#include <gtest/gtest.h>

#include <sstream>

#include "files/reg_file.h"
#include "engine/replay.h"
#include "report/picture.h"
#include "report/summary.h"
#include "report/table.h"
#include "engine/synth.h"

namespace {

RegFile Settings(const std::string& values) {
    return ParseRegFile("REGEDIT4\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\n" + values,
                        "test");
}

const std::string kWorkedSettings =
    "\"LowSpeed\"=dword:3\n\"MinDirSpeed\"=dword:5\n\"HighSpeed\"=dword:14\n"
    "\"MaxSpeedDiff\"=dword:4\n\"MaxSpeedDiff2\"=dword:a\n\"MaxDirDiff\"=dword:3c\n"
    "\"ErrorDelay\"=dword:2\n\"MaxErrorDelay\"=dword:3\n";

const std::vector<TraceSample> kWorkedStroke = {
    {0x07, 100, 100, Truth::Ok, 1}, {0x0F, 101, 101, Truth::Ok, 2}, {0x0F, 109, 100, Truth::Ok, 3},
    {0x0F, 117, 101, Truth::Ok, 4}, {0x0F, 160, 140, Truth::Fault, 5}, {0x0F, 125, 102, Truth::Ok, 6},
    {0x0F, 133, 103, Truth::Ok, 7}, {0x0F, 141, 104, Truth::Ok, 8}, {0x0F, 149, 105, Truth::Ok, 9},
    {0x0D, 150, 105, Truth::Ok, 10}, {0x05, 150, 105, Truth::Ok, 11}};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(ReplayTest, worked_stroke_table_shows_rule_delay_and_delivery) {
    ReplayResult result = Replay(Settings(kWorkedSettings), ReplayScreens(), kWorkedStroke);
    EXPECT_EQ(Lines(FormatReplayCsv(result)),
              (std::vector<std::string>{
                  "index,flags_in,x_in,y_in,rule,error_delay,delivered,flags_out,x_out,y_out,result",
                  "0,0x07,100,100,start,0,0,,,,0",
                  "1,0x0F,101,101,a,0,1,0x07,101,101,1",
                  "2,0x0F,109,100,f,0,0,,,,0",
                  "3,0x0F,117,101,c,0,1,0x0F,117,101,1",
                  "4,0x0F,160,140,d,2,0,,,,0",
                  "5,0x0F,125,102,h,3,0,,,,0",
                  "6,0x0F,133,103,d,3,0,,,,0",
                  "7,0x0F,141,104,c*,2,0,,,,0",
                  "8,0x0F,149,105,c*,1,0,,,,0",
                  "9,0x0D,150,105,a*,0,1,0x0D,117,101,1",
                  "10,0x05,150,105,a,0,0,,,,0",
              }));
}

TEST(ReplayTest, worked_stroke_summary_counts_each_cause) {
    ReplayResult result = Replay(Settings(kWorkedSettings), ReplayScreens(), kWorkedStroke);
    const ReplaySummary& s = result.summary;
    EXPECT_EQ(s.samples, 11);
    EXPECT_EQ(s.delivered, 3);
    auto withheld = [&](Cause c) { return s.withheld[static_cast<int>(c)]; };
    EXPECT_EQ(withheld(Cause::StrokeStart), 1);
    EXPECT_EQ(withheld(Cause::RuleF), 1);
    EXPECT_EQ(withheld(Cause::ErrorD), 2);
    EXPECT_EQ(withheld(Cause::ErrorH), 1);
    EXPECT_EQ(withheld(Cause::ErrorDelay), 2);
    EXPECT_EQ(withheld(Cause::ExtraUp), 1);
    EXPECT_EQ(s.strokesIn, 1);
    EXPECT_EQ(s.strokesDelivered, 1);
    // The one fault was withheld; of ten good samples only 101,101 and
    // 117,101 reached the host where they were.
    EXPECT_TRUE(s.labelled);
    EXPECT_EQ(s.faultsWithheld, 1);
    EXPECT_EQ(s.goodLost, 8);
}

TEST(ReplayTest, a_malformed_setting_means_pass_through_as_on_the_device) {
    // Five bytes for MaxErrorDelay cannot be read: filtering stays off.
    std::string settings = kWorkedSettings;
    settings.replace(settings.find("\"MaxErrorDelay\"=dword:3"), 23, "\"MaxErrorDelay\"=hex:3,0,0,0,0");
    ReplayResult result = Replay(Settings(settings), ReplayScreens(), kWorkedStroke);
    EXPECT_FALSE(result.filteringEnabled);
    EXPECT_EQ(result.summary.delivered, 11);
    for (const ReplayRecord& r : result.records) {
        EXPECT_EQ(r.rule, "pass");
        EXPECT_EQ(r.flagsOut, r.in.flags);
    }
    EXPECT_NE(FormatSettings(result).find("filtering off"), std::string::npos);
}

TEST(ReplayTest, unusable_samples_are_named_and_counted) {
    ReplayResult result = Replay(Settings(kWorkedSettings), ReplayScreens(),
                                 {{0x0E, 1, 1, Truth::Unknown, 1}, {0x03, 5, 5, Truth::Unknown, 2}});
    EXPECT_EQ(result.records[0].rule, "unusable");
    EXPECT_EQ(result.records[1].rule, "pass");  // uncalibrated
    EXPECT_EQ(result.summary.withheld[static_cast<int>(Cause::Unusable)], 1);
    EXPECT_FALSE(result.summary.labelled);
}

TEST(ReplayTest, screens_reach_the_filter) {
    ReplayScreens screens;
    screens.width = 320;
    screens.height = 240;
    // x scales by 240/320: steps of 8 look like 6 (below LowSpeed 7), and pass rule a.
    std::vector<TraceSample> stroke = {{0x07, 0, 0, Truth::Unknown, 1}, {0x0F, 8, 0, Truth::Unknown, 2}};
    ReplayResult rotated = Replay(Settings(kWorkedSettings + "\"LowSpeed\"=dword:7\n"), screens, stroke);
    EXPECT_EQ(rotated.records[1].rule, "a");
    ReplayResult upright = Replay(Settings(kWorkedSettings + "\"LowSpeed\"=dword:7\n"), ReplayScreens(), stroke);
    EXPECT_EQ(upright.records[1].rule, "b");
}

TEST(ReplayTest, svg_marks_withheld_samples_and_escapes_text) {
    ReplayResult result = Replay(Settings(kWorkedSettings), ReplayScreens(), kWorkedStroke);
    std::string svg = FormatReplaySvg(result, "trace <a&b>");
    EXPECT_NE(svg.find("trace &lt;a&amp;b&gt;"), std::string::npos);
    EXPECT_EQ(svg.find("<a&b>"), std::string::npos);
    EXPECT_NE(svg.find("withheld: error d (2)"), std::string::npos);
    EXPECT_EQ(svg.rfind("</svg>"), svg.size() - 7);
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

TEST(SynthTest, no_spikes_and_no_jitter_gives_a_clean_trace_the_filter_keeps) {
    SynthOptions options;
    options.shape = "line";
    options.jitter = 0;
    options.spikes = 0;
    std::vector<TraceSample> trace = Synthesize(options);
    for (const TraceSample& s : trace) {
        EXPECT_EQ(s.truth, Truth::Ok);
    }
    ReplayResult result = Replay(Settings(kWorkedSettings + "\"LowSpeed\"=dword:20\n\"HighSpeed\"=dword:40\n"),
                                 ReplayScreens(), trace);
    // Every step is shorter than LowSpeed (0x20): only each stroke's first
    // sample is held back.
    EXPECT_EQ(result.summary.goodLost, result.summary.strokesIn);
}

}  // namespace
