#include <string.h>

#include <vector>

#include "driver_fixture.h"

namespace {

uint32_t Bits(float value) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

// One sample of a stroke and what the filter must make of it.
struct Judged {
    int32_t x, y;
    FilterRule rule;
    bool accepted;
    int32_t errorDelayAfter;
};

class FilterTest : public DriverTest {
protected:
    // Feeds a stroke: the first sample starts it (down, no previous-down), the
    // rest continue it (down and previous-down).
    static void ExpectStroke(const std::vector<Judged>& stroke) {
        for (size_t i = 0; i < stroke.size(); i++) {
            const Judged& s = stroke[i];
            SCOPED_TRACE("sample " + std::to_string(i + 1) + " at (" + std::to_string(s.x) + ", " +
                         std::to_string(s.y) + ")");
            EXPECT_EQ(FilterSample(s.x, s.y, true, i > 0), s.accepted);
            EXPECT_EQ(g_filterState.lastRule, s.rule);
            EXPECT_EQ(g_filterState.lastWithheldByDelay, !s.accepted && (s.rule == FilterRuleA ||
                                                                         s.rule == FilterRuleC ||
                                                                         s.rule == FilterRuleG));
            EXPECT_EQ(g_filterState.errorDelay, s.errorDelayAfter);
        }
    }
};

TEST(FilterConstantTest, degrees_per_radian_is_the_single_precision_of_180_over_3_1415) {
    EXPECT_EQ(Bits(kFilterDegreesPerRadian), 0x4265309Cu);
}

TEST_F(FilterTest, stroke_start_is_rejected_and_counts_the_error_delay_down) {
    UseSettings({5, 0, 0, 0, 0, 0, 0, 0});
    g_filterState.errorDelay = 3;
    ExpectStroke({{10, 10, FilterRuleStrokeStart, false, 2}});
    EXPECT_TRUE(g_filterState.hasPreviousSample);
    EXPECT_FALSE(g_filterState.hasPreviousStep);
    EXPECT_EQ(g_filterState.previousX, 10);
}

TEST_F(FilterTest, low_speed_bounds_rule_a_strictly) {
    UseSettings({5, 0, 0, 0, 0, 0, 0, 0});
    // Step 4 (d2 16 < 25) passes rule a even as the stroke's second sample;
    // step 5 (d2 25) does not, and falls to rule d (speed change 1 >= 0).
    ExpectStroke({{0, 0, FilterRuleStrokeStart, false, 0},
                  {4, 0, FilterRuleA, true, 0},
                  {4, 5, FilterRuleD, false, 0}});
}

TEST_F(FilterTest, second_sample_moving_far_is_rejected_without_error_and_becomes_the_reference) {
    UseSettings({3, 0, 40, 10, 20, 0, 2, 5});
    ExpectStroke({{0, 0, FilterRuleStrokeStart, false, 0},
                  {20, 0, FilterRuleB, false, 0},
                  // Measured from (20, 0): step 20 again, speed change 0.
                  {40, 0, FilterRuleC, true, 0}});
}

TEST_F(FilterTest, speed_change_thresholds_are_exact) {
    // Steps of 10 then 20: speed change exactly 10. MaxSpeedDiff 10 is not
    // below it (rule c fails); MaxSpeedDiff2 10 is reached (rule d error).
    UseSettings({3, 100, 40, 10, 10, 0, 1, 9});
    ExpectStroke({{0, 0, FilterRuleStrokeStart, false, 0},
                  {10, 0, FilterRuleB, false, 0},
                  {30, 0, FilterRuleD, false, 1}});
    // One more unit of headroom in each passes rule c.
    SetUp();
    UseSettings({3, 100, 40, 11, 11, 0, 1, 9});
    ExpectStroke({{0, 0, FilterRuleStrokeStart, false, 0},
                  {10, 0, FilterRuleB, false, 0},
                  {30, 0, FilterRuleC, true, 0}});
}

TEST_F(FilterTest, step_without_direction_is_an_error_and_the_next_has_no_previous_direction) {
    // MinDirSpeed 10: a step of 10 (d2 100) has no direction (rule e, error);
    // the next step of 15 has one, but the one before had none (rule f).
    UseSettings({3, 10, 5, 0, 50, 30, 2, 5});
    ExpectStroke({{0, 0, FilterRuleStrokeStart, false, 0},
                  {10, 0, FilterRuleB, false, 0},
                  {20, 0, FilterRuleE, false, 2},
                  {35, 0, FilterRuleF, false, 2}});
    EXPECT_TRUE(g_filterState.hasPreviousDirection);
}

TEST_F(FilterTest, direction_change_folds_across_180_degrees) {
    UseSettings({0, 0, 0, 0, 1000, 25, 0, 0});
    // Previous direction 170, this one -170: a change of 20, not 340.
    FilterState& state = g_filterState;
    state.previousSquaredStep = 100;
    state.previousDirection = 170.0f;
    state.hasPreviousSample = state.hasPreviousStep = state.hasPreviousDirection = true;
    // The step (-2, -10) points at about -168.7 degrees: a change of 21.3.
    EXPECT_TRUE(FilterSample(-2, -10, true, true));
    EXPECT_EQ(state.lastRule, FilterRuleG);
    EXPECT_NEAR(state.lastDirectionChange, 21.3, 0.05);
}

TEST_F(FilterTest, a_direction_change_equal_to_max_dir_diff_does_not_pass_rule_g) {
    // A straight stroke: the third step's change of direction is exactly 0,
    // which is not below MaxDirDiff 0 (rule h); with MaxDirDiff 1 it is.
    UseSettings({3, 0, 0, 0, 20, 0, 0, 0});
    ExpectStroke({{0, 0, FilterRuleStrokeStart, false, 0},
                  {20, 0, FilterRuleB, false, 0},
                  {40, 0, FilterRuleH, false, 0}});
    SetUp();
    UseSettings({3, 0, 0, 0, 20, 1, 0, 0});
    ExpectStroke({{0, 0, FilterRuleStrokeStart, false, 0},
                  {20, 0, FilterRuleB, false, 0},
                  {40, 0, FilterRuleG, true, 0}});
}

TEST_F(FilterTest, reversal_along_x_has_directions_of_90_00266_and_is_accepted) {
    UseSettings({8, 4, 40, 0, 20, 180, 0, 0});
    ExpectStroke({{0, 0, FilterRuleStrokeStart, false, 0},
                  {50, 0, FilterRuleB, false, 0},
                  {100, 0, FilterRuleG, true, 0}});
    EXPECT_EQ(Bits(g_filterState.previousDirection), 0x42B4015Cu);  // 90.00266
    // Back to 50: direction -90.00266, a change of 180.00531 folding to
    // 179.99469, below 180. With 180/pi both would be exactly 180: rejected.
    EXPECT_TRUE(FilterSample(50, 0, true, true));
    EXPECT_EQ(g_filterState.lastRule, FilterRuleG);
    EXPECT_EQ(Bits(g_filterState.previousDirection), 0xC2B4015Cu);
}

TEST_F(FilterTest, reversal_along_y_has_directions_0_and_180_00531_and_is_accepted) {
    UseSettings({8, 4, 40, 0, 20, 180, 0, 0});
    ExpectStroke({{0, 0, FilterRuleStrokeStart, false, 0},
                  {0, 50, FilterRuleB, false, 0},
                  {0, 100, FilterRuleG, true, 0},
                  {0, 50, FilterRuleG, true, 0}});
    EXPECT_EQ(Bits(g_filterState.previousDirection), 0x4334015Cu);  // 180.00531
}

TEST_F(FilterTest, outlier_in_a_steady_stroke_gives_three_errors_and_a_full_delay) {
    UseSettings({8, 0, 40, 10, 20, 0, 3, 6});
    std::vector<Judged> stroke = {
        {1000, 0, FilterRuleStrokeStart, false, 0},
        {1020, 0, FilterRuleB, false, 0},
        {1040, 0, FilterRuleC, true, 0},
        {1060, 0, FilterRuleC, true, 0},
        {1080, 0, FilterRuleC, true, 0},
        {1380, 0, FilterRuleD, false, 3},  // speed change |20 - 300| = 280
        {1120, 0, FilterRuleD, false, 6},  // |300 - 260| = 40
        {1140, 0, FilterRuleD, false, 6},  // |260 - 20| = 240; capped at 6
    };
    // The next six samples the rules accept are withheld, one count each.
    for (int i = 0; i < 6; i++) {
        stroke.push_back({1160 + 20 * i, 0, FilterRuleC, false, 5 - i});
    }
    stroke.push_back({1280, 0, FilterRuleC, true, 0});
    ExpectStroke(stroke);
}

TEST_F(FilterTest, errors_saturate_the_delay_and_only_accepts_and_stroke_starts_count_it_down) {
    UseSettings({3, 10, 5, 0, 50, 30, 3, 5});
    ExpectStroke({{0, 0, FilterRuleStrokeStart, false, 0},
                  {10, 0, FilterRuleB, false, 0},
                  {20, 0, FilterRuleE, false, 3},
                  {30, 0, FilterRuleE, false, 5},
                  {45, 0, FilterRuleF, false, 5},   // rule f leaves the delay alone
                  {46, 0, FilterRuleA, false, 4}});  // an accept is withheld
    // A new stroke: its first sample counts down; rule b does not.
    EXPECT_FALSE(FilterSample(500, 500, true, false));
    EXPECT_EQ(g_filterState.errorDelay, 3);
    EXPECT_FALSE(FilterSample(600, 500, true, true));
    EXPECT_EQ(g_filterState.lastRule, FilterRuleB);
    EXPECT_EQ(g_filterState.errorDelay, 3);
}

TEST_F(FilterTest, all_zero_settings_accept_nothing) {
    UseSettings({0, 0, 0, 0, 0, 0, 0, 0});
    int accepted = 0;
    for (int stroke = 0; stroke < 3; stroke++) {
        for (int i = 0; i < 20; i++) {
            accepted += FilterSample(100 + i * (stroke + 1), 100 + i, true, i > 0);
        }
        accepted += FilterSample(100, 100, false, true);
    }
    EXPECT_EQ(accepted, 0);
}

TEST_F(FilterTest, a_setting_whose_square_wraps_is_compared_wrapped) {
    // 46341 squared wraps to -2147479015: no step is shorter than that.
    UseSettings({46341, 0, 0, 0, 0, 0, 0, 0});
    ExpectStroke({{0, 0, FilterRuleStrokeStart, false, 0}, {1, 0, FilterRuleB, false, 0}});
    SetUp();
    UseSettings({46340, 0, 0, 0, 0, 0, 0, 0});
    ExpectStroke({{0, 0, FilterRuleStrokeStart, false, 0}, {1, 0, FilterRuleA, true, 0}});
    // HighSpeed too: a steady step of 20 is not shorter than it (rule c
    // fails) and goes on to rule g.
    SetUp();
    UseSettings({3, 0, 46341, 10, 20, 1, 0, 0});
    ExpectStroke({{0, 0, FilterRuleStrokeStart, false, 0},
                  {20, 0, FilterRuleB, false, 0},
                  {40, 0, FilterRuleG, true, 0}});
}

TEST_F(FilterTest, squared_step_that_wrapped_negative_has_the_largest_speed_change) {
    // A step of 50000 squares to 2.5e9, which wraps negative and so passes
    // rule a; the next step's speed change has no root to measure and counts
    // as the largest there is: rule c fails and rule d takes it.
    UseSettings({8, 0, 1000, 2147483647, 2147483647, 0, 1, 1});
    ExpectStroke({{0, 0, FilterRuleStrokeStart, false, 0},
                  {50000, 0, FilterRuleA, true, 0},
                  {50010, 0, FilterRuleD, false, 1}});
}

TEST_F(FilterTest, error_delay_sum_wraps_and_is_then_below_the_cap) {
    UseSettings({3, 10, 5, 0, 50, 30, 2147483647, 2147483647});
    g_filterState.errorDelay = 2;  // left over from earlier errors
    ExpectStroke({{0, 0, FilterRuleStrokeStart, false, 1},
                  {10, 0, FilterRuleB, false, 1},
                  // 1 + 2147483647 wraps to -2147483648.
                  {20, 0, FilterRuleE, false, -2147483647 - 1}});
}

struct RescaleCase {
    const char* name;
    int32_t enableWidth, enableHeight, width, height;
    int32_t x, y;
    int32_t expectedX, expectedY;
};

void PrintTo(const RescaleCase& c, std::ostream* out) { *out << c.name; }

class FilterRescaleTest : public FilterTest, public ::testing::WithParamInterface<RescaleCase> {};

TEST_P(FilterRescaleTest, coordinates_are_mapped_to_the_screen_at_enable_time) {
    const RescaleCase& c = GetParam();
    g_hostSystem.screenWidth = c.enableWidth;
    g_hostSystem.screenHeight = c.enableHeight;
    UseSettings({0, 0, 0, 0, 0, 0, 0, 0});
    g_hostSystem.screenWidth = c.width;
    g_hostSystem.screenHeight = c.height;
    g_hostSystem.calls.clear();
    FilterSample(c.x, c.y, true, false);
    EXPECT_EQ(g_filterState.previousX, c.expectedX);
    EXPECT_EQ(g_filterState.previousY, c.expectedY);
    EXPECT_EQ(g_hostSystem.calls,
              (std::vector<std::string>{"SystemScreenWidth", "SystemScreenHeight"}));
}

INSTANTIATE_TEST_SUITE_P(
    Screens, FilterRescaleTest,
    ::testing::Values(
        RescaleCase{"unchanged", 240, 320, 240, 320, 957, 1279, 957, 1279},
        // Rotated: x to 240x/320, y to 320y/240, truncating toward zero.
        RescaleCase{"rotated", 240, 320, 320, 240, 957, 959, 717, 1278},
        RescaleCase{"rotated_negative", 240, 320, 320, 240, -7, -7, -5, -9},
        // The product wraps at 32 bits before the division.
        RescaleCase{"product_wraps", 240, 320, 320, 240, 10000000, 0, -5921772, 0},
        // A screen of no size cannot be divided by: that axis stays as it is.
        RescaleCase{"zero_width", 240, 320, 0, 240, 957, 959, 957, 1278},
        RescaleCase{"negative_height", 240, 320, 320, -1, 957, -2147483647 - 1, 717,
                    -2147483647 - 1}),
    [](const ::testing::TestParamInfo<RescaleCase>& info) { return info.param.name; });

TEST_F(FilterTest, recording_the_screen_size_leaves_the_rest_of_the_state) {
    UseSettings({5, 0, 0, 0, 0, 0, 0, 0});
    FilterSample(10, 10, true, false);
    g_hostSystem.screenWidth = 480;
    g_hostSystem.screenHeight = 640;
    RecordScreenSize();
    EXPECT_EQ(g_filterState.enableWidth, 480);
    EXPECT_EQ(g_filterState.enableHeight, 640);
    EXPECT_TRUE(FilterSample(12, 12, true, true));  // judged against (10, 10)
}

}  // namespace
