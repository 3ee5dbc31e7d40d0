// The labels tune learns from: what penwick label calls a fault.
#include <gtest/gtest.h>

#include <vector>

#include "engine/label.h"
#include "engine/replay_strokes.h"

namespace {

TraceEvent Sample(uint32_t flags, int32_t x, int32_t y, Truth truth) {
    TraceEvent event{};
    event.kind = TraceEvent::Sample;
    event.sample = {flags, x, y, truth, 0};
    return event;
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
    // The shortest stroke judged, seven pen-down samples, with a spike at
    // its fourth; and the pen-up that ends it, far off, is judged too.
    for (int i = 0; i < kTapDownSamples + 1; i++) {
        events.push_back(Sample(i == 0 ? 0x07 : 0x0F, 100 + 10 * i, i == 3 ? 1650 : 1500, Truth::Unknown));
    }
    events.push_back(Sample(0x0D, 170, 1800, Truth::Unknown));

    LabelTrace(events, LabelRule());
    std::vector<int> faults;
    for (size_t i = 0; i < events.size(); i++) {
        if (events[i].sample.truth == Truth::Fault) {
            faults.push_back(static_cast<int>(i));
        }
        EXPECT_NE(events[i].sample.truth, Truth::Unknown) << i;
    }
    EXPECT_EQ(faults, (std::vector<int>{8, 20, 21, 22, 23, 41, 45}));
}

}  // namespace
