// Arbitrary settings, filtering on or off, enable-time and current screen
// sizes, and a stream of samples through the interceptor. Besides the
// sanitizers' own checks, every sample is held to what the host may see:
//
//   - without filtering, or uncalibrated: delivered exactly as received;
//   - calibrated but invalid or ignored: dropped, 0 returned;
//   - otherwise, if delivered: at its own coordinates or the last delivered
//     ones; 0x08 set exactly when the last delivered sample was down; 0x10
//     never; every other bit as received; never two up samples in a row;
//   - the result is the host's when delivered, 0 when not.
#include <stdlib.h>

#include "filter/sample_filter.h"
#include "fuzz_input.h"
#include "platform/host/host_system.h"
#include "proxy/configuration.h"
#include "proxy/sample_interception.h"

namespace {

struct Delivered {
    bool called;
    uint32_t flags;
    int32_t x, y;
};

Delivered g_delivered;
int32_t g_hostResult;

int32_t FuzzHost(uint32_t flags, int32_t x, int32_t y) {
    if (g_delivered.called) {
        abort();  // one sample, one call of the host at most
    }
    g_delivered = {true, flags, x, y};
    return g_hostResult;
}

int32_t g_originalEnableResult;
int32_t FuzzOriginalEnable(SampleCallback) { return g_originalEnableResult; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in{data, size};
    HostSystemReset();
    LibraryResetToLoadTime();
    g_originalDriver.TouchPanelEnable = FuzzOriginalEnable;

    for (const ConfigurationSetting& setting : kConfigurationSettings) {
        g_filterSettings.*setting.field = in.Read<int32_t>();
    }
    bool filtering = in.Read<uint8_t>() & 1;
    g_configuration.filteringEnabled = filtering;
    g_hostSystem.screenWidth = in.Read<int16_t>();
    g_hostSystem.screenHeight = in.Read<int16_t>();
    g_originalEnableResult = in.Read<int32_t>();
    FuzzCheck(TouchPanelEnable(FuzzHost) == g_originalEnableResult);
    g_hostSystem.screenWidth = in.Read<int16_t>();
    g_hostSystem.screenHeight = in.Read<int16_t>();

    bool lastDown = false;
    int32_t lastX = 0, lastY = 0;
    bool anyDelivered = false;
    while (!in.Empty()) {
        uint32_t flags = in.Read<uint32_t>();
        int32_t x = in.Read<int32_t>();
        int32_t y = in.Read<int32_t>();
        g_hostResult = in.Read<int32_t>() | 1;
        g_delivered = Delivered();

        int32_t result = InterceptSample(flags, x, y);

        if (!filtering || !(flags & TouchSampleIsCalibratedFlag)) {
            FuzzCheck(g_delivered.called && g_delivered.flags == flags && g_delivered.x == x &&
                  g_delivered.y == y && result == g_hostResult);
            continue;
        }
        if (!(flags & TouchSampleValidFlag) || (flags & TouchSampleIgnore)) {
            FuzzCheck(!g_delivered.called && result == 0);
            continue;
        }
        if (!g_delivered.called) {
            FuzzCheck(result == 0);
            continue;
        }
        const Delivered& d = g_delivered;
        bool down = (d.flags & TouchSampleDownFlag) != 0;
        FuzzCheck(result == g_hostResult);
        FuzzCheck((d.x == x && d.y == y) || (anyDelivered && d.x == lastX && d.y == lastY));
        FuzzCheck(down || lastDown);  // never two up samples in a row
        FuzzCheck(((d.flags & TouchSamplePreviousDownFlag) != 0) == lastDown);
        FuzzCheck(!(d.flags & TouchSampleIgnore));
        FuzzCheck((d.flags & ~TouchSamplePreviousDownFlag) == (flags & ~TouchSamplePreviousDownFlag));
        lastDown = down;
        lastX = d.x;
        lastY = d.y;
        anyDelivered = true;
    }
    return 0;
}
