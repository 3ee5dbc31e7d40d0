#include <vector>

#include "driver_fixture.h"
#include "worked_stroke.h"

namespace {

// The original driver's TouchPanelEnable: keeps the callback it is given.
SampleCallback g_driverCallback;
int g_driverEnables;

int32_t FakeOriginalEnable(SampleCallback callback) {
    g_driverCallback = callback;
    g_driverEnables++;
    return 7;
}

const FilterSettingsRow kWorkedStrokeSettings = {
    kWorkedStroke[0].value, kWorkedStroke[1].value, kWorkedStroke[2].value, kWorkedStroke[3].value,
    kWorkedStroke[4].value, kWorkedStroke[5].value, kWorkedStroke[6].value, kWorkedStroke[7].value};
const FilterSettingsRow kAcceptSmallSteps = {10, 0, 0, 0, 0, 0, 0, 0};

class InterceptionTest : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        g_driverCallback = nullptr;
        g_driverEnables = 0;
        g_originalDriver.TouchPanelEnable = FakeOriginalEnable;
    }

    // Enables the driver as the host does, with these settings.
    static void Enable(const FilterSettingsRow& s) {
        DriverTest::UseSettings(s);
        ASSERT_EQ(TouchPanelEnable(RecordingHostCallback), 7);
    }

    // One sample from the original driver; what the host received from it.
    static std::vector<HostSample> Deliver(uint32_t flags, int32_t x, int32_t y,
                                           int32_t expectedResult) {
        g_hostReceived.clear();
        EXPECT_EQ(g_driverCallback(flags, x, y), expectedResult);
        return g_hostReceived;
    }
};

using Samples = std::vector<HostSample>;

// An original driver that sends a sample from inside its own enable, as a
// driver with a sample already waiting may: by then the host's callback and
// the screen size must be in place.
int32_t g_sizeSeenByOriginalEnable;
int32_t EmittingOriginalEnable(SampleCallback callback) {
    g_driverCallback = callback;
    g_sizeSeenByOriginalEnable = g_filterState.enableWidth * 10000 + g_filterState.enableHeight;
    callback(0x03, 5, 6);  // uncalibrated: straight to the host
    return 7;
}

TEST_F(InterceptionTest, enable_stores_the_callback_and_screen_before_enabling_the_driver) {
    g_hostSystem.screenWidth = 480;
    g_hostSystem.screenHeight = 640;
    g_originalDriver.TouchPanelEnable = EmittingOriginalEnable;
    EXPECT_EQ(TouchPanelEnable(RecordingHostCallback), 7);
    EXPECT_EQ(g_driverCallback, &InterceptSample);
    EXPECT_EQ(g_sizeSeenByOriginalEnable, 4800640);
    EXPECT_EQ(g_hostReceived, (Samples{{0x03, 5, 6}}));
    // The width is asked before the height.
    EXPECT_EQ(g_hostSystem.calls,
              (std::vector<std::string>{"SystemScreenWidth", "SystemScreenHeight"}));
}

TEST_F(InterceptionTest, worked_stroke_row_by_row) {
    Enable(kWorkedStrokeSettings);
    struct Row {
        uint32_t flags;
        int32_t x, y;
        FilterRule rule;
        int32_t errorDelay;
        Samples host;
        int32_t returned;
    };
    const Row rows[] = {
        {0x07, 100, 100, FilterRuleStrokeStart, 0, {}, 0},
        {0x0F, 101, 101, FilterRuleA, 0, {{0x07, 101, 101}}, 1},  // 0x08 cleared: stroke begins
        {0x0F, 109, 100, FilterRuleF, 0, {}, 0},
        {0x0F, 117, 101, FilterRuleC, 0, {{0x0F, 117, 101}}, 1},
        {0x0F, 160, 140, FilterRuleD, 2, {}, 0},
        {0x0F, 125, 102, FilterRuleH, 3, {}, 0},
        {0x0F, 133, 103, FilterRuleD, 3, {}, 0},
        {0x0F, 141, 104, FilterRuleC, 2, {}, 0},  // withheld by the delay
        {0x0F, 149, 105, FilterRuleC, 1, {}, 0},  // withheld by the delay
        // Up, withheld by the delay: closes the stroke where it was last seen.
        {0x0D, 150, 105, FilterRuleA, 0, {{0x0D, 117, 101}}, 1},
        {0x05, 150, 105, FilterRuleA, 0, {}, 0},  // a second up sample is dropped
    };
    int number = 1;
    for (const Row& row : rows) {
        SCOPED_TRACE("row " + std::to_string(number++));
        EXPECT_EQ(Deliver(row.flags, row.x, row.y, row.returned), row.host);
        EXPECT_EQ(g_filterState.lastRule, row.rule);
        EXPECT_EQ(g_filterState.errorDelay, row.errorDelay);
    }
}

TEST_F(InterceptionTest, without_filtering_every_sample_passes_untouched) {
    Enable(kWorkedStrokeSettings);
    g_configuration.filteringEnabled = false;
    for (uint32_t flags : {0x00u, 0x06u, 0x17u, 0x1Fu, 0x40000007u}) {
        EXPECT_EQ(Deliver(flags, 5, -6, 1), (Samples{{flags, 5, -6}}));
    }
    EXPECT_EQ(g_filterState.lastRule, FilterRuleNone);
    EXPECT_FALSE(g_deliveryState.lastDown);
}

TEST_F(InterceptionTest, uncalibrated_samples_pass_untouched_and_are_not_judged) {
    Enable(kAcceptSmallSteps);
    Deliver(0x07, 100, 100, 0);
    Deliver(0x0F, 101, 100, 1);
    // Far away, but uncalibrated: straight through, and forgotten.
    EXPECT_EQ(Deliver(0x0B, 900, 900, 1), (Samples{{0x0B, 900, 900}}));
    EXPECT_EQ(Deliver(0x0F, 102, 100, 1), (Samples{{0x0F, 102, 100}}));
}

TEST_F(InterceptionTest, unusable_calibrated_samples_are_dropped_without_judging) {
    Enable(kAcceptSmallSteps);
    Deliver(0x07, 100, 100, 0);
    FilterState before = g_filterState;
    for (uint32_t flags : {0x0Eu, 0x1Fu, 0x0Cu, 0x15u}) {
        EXPECT_EQ(Deliver(flags, 500, 500, 0), Samples{});
    }
    EXPECT_EQ(g_filterState.previousX, before.previousX);
    EXPECT_EQ(g_filterState.errorDelay, before.errorDelay);
    EXPECT_EQ(g_filterState.lastRule, before.lastRule);
}

TEST_F(InterceptionTest, rejected_up_sample_closes_the_stroke_at_the_last_delivered_place) {
    Enable({3, 0, 0, 0, 0, 0, 0, 0});
    Deliver(0x07, 100, 100, 0);
    EXPECT_EQ(Deliver(0x0F, 101, 101, 1), (Samples{{0x07, 101, 101}}));
    EXPECT_EQ(Deliver(0x0F, 102, 102, 1), (Samples{{0x0F, 102, 102}}));
    // A flying pen-up far off: rejected, but the host must see the stroke end.
    EXPECT_EQ(Deliver(0x0D, 400, 400, 1), (Samples{{0x0D, 102, 102}}));
    EXPECT_EQ(Deliver(0x05, 400, 400, 0), Samples{});
}

TEST_F(InterceptionTest, tap_whose_down_samples_were_all_rejected_leaves_no_trace) {
    Enable({3, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(Deliver(0x07, 100, 100, 0), Samples{});
    EXPECT_EQ(Deliver(0x0F, 300, 100, 0), Samples{});
    EXPECT_EQ(Deliver(0x0D, 301, 100, 0), Samples{});  // accepted, but nothing to close
}

TEST_F(InterceptionTest, lost_up_sample_leaves_the_next_stroke_marked_previous_down) {
    Enable(kAcceptSmallSteps);
    Deliver(0x07, 100, 100, 0);
    Deliver(0x0F, 101, 100, 1);
    // The stroke's up samples arrive unusable: last down stays true.
    for (uint32_t flags : {0x09u, 0x1Du, 0x0Cu}) {
        Deliver(flags, 101, 100, flags == 0x09u ? 1 : 0);
    }
    EXPECT_TRUE(g_deliveryState.lastDown);
    Deliver(0x07, 200, 200, 0);
    EXPECT_EQ(Deliver(0x0F, 201, 200, 1), (Samples{{0x0F, 201, 200}}));
}

TEST_F(InterceptionTest, driver_that_never_sets_previous_down_delivers_nothing) {
    Enable(kAcceptSmallSteps);
    for (int i = 0; i < 10; i++) {
        EXPECT_EQ(Deliver(0x07, 100 + i, 100, 0), Samples{});
    }
    EXPECT_EQ(Deliver(0x05, 110, 100, 0), Samples{});
}

TEST_F(InterceptionTest, other_bits_are_carried_through) {
    Enable(kAcceptSmallSteps);
    Deliver(0x40000007, 100, 100, 0);
    EXPECT_EQ(Deliver(0x4000000F, 101, 100, 1), (Samples{{0x40000007, 101, 100}}));
    EXPECT_EQ(Deliver(0x80000005, 102, 100, 1), (Samples{{0x8000000D, 102, 100}}));
}

TEST_F(InterceptionTest, host_sees_unscaled_coordinates_after_a_rotation) {
    Enable(kAcceptSmallSteps);
    g_hostSystem.screenWidth = 320;
    g_hostSystem.screenHeight = 240;
    Deliver(0x07, 400, 400, 0);
    EXPECT_EQ(Deliver(0x0F, 404, 403, 1), (Samples{{0x07, 404, 403}}));
    EXPECT_EQ(Deliver(0x0D, 2000, 2000, 1), (Samples{{0x0D, 404, 403}}));
}

TEST_F(InterceptionTest, enabling_again_replaces_the_callback_and_keeps_the_state) {
    Enable(kAcceptSmallSteps);
    Deliver(0x07, 100, 100, 0);
    Deliver(0x0F, 101, 100, 1);
    g_hostSystem.screenWidth = 480;
    EXPECT_EQ(TouchPanelEnable(RecordingHostCallback), 7);
    EXPECT_EQ(g_driverEnables, 2);
    EXPECT_EQ(g_filterState.enableWidth, 480);
    EXPECT_TRUE(g_deliveryState.lastDown);
    EXPECT_EQ(Deliver(0x0F, 102, 100, 1), (Samples{{0x0F, 102, 100}}));
}

}  // namespace
