// Shared by the driver's unit tests: puts the driver's process-wide state and
// the fake platform back to load time before each test, and records what the
// host receives.
#ifndef PENWICK_TESTS_DRIVER_FIXTURE_H
#define PENWICK_TESTS_DRIVER_FIXTURE_H

#include <gtest/gtest.h>

#include <vector>

#include "filter/sample_filter.h"
#include "platform/host/host_system.h"
#include "proxy/configuration.h"
#include "proxy/original_driver.h"
#include "proxy/sample_interception.h"

struct HostSample {
    uint32_t flags;
    int32_t x;
    int32_t y;
    bool operator==(const HostSample& other) const {
        return flags == other.flags && x == other.x && y == other.y;
    }
};

inline std::ostream& operator<<(std::ostream& out, const HostSample& s) {
    return out << "{0x" << std::hex << s.flags << std::dec << ", " << s.x << ", " << s.y << "}";
}

// What the host's sample callback has received.
inline std::vector<HostSample> g_hostReceived;

inline int32_t RecordingHostCallback(uint32_t flags, int32_t x, int32_t y) {
    g_hostReceived.push_back({flags, x, y});
    return 1;
}

struct FilterSettingsRow {
    int32_t LowSpeed, MinDirSpeed, HighSpeed, MaxSpeedDiff, MaxSpeedDiff2, MaxDirDiff, ErrorDelay,
        MaxErrorDelay;
};

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        HostSystemReset();
        g_hostSystem.recordCalls = true;
        LibraryResetToLoadTime();
        g_hostReceived.clear();
    }

    // Filtering on with these settings; the host enabled at the current screen.
    static void UseSettings(const FilterSettingsRow& s) {
        g_filterSettings = {s.LowSpeed,      s.MinDirSpeed, s.HighSpeed,  s.MaxSpeedDiff,
                            s.MaxSpeedDiff2, s.MaxDirDiff,  s.ErrorDelay, s.MaxErrorDelay};
        g_configuration.filteringEnabled = true;
        RecordScreenSize();
        g_deliveryState.hostCallback = RecordingHostCallback;
    }
};

#endif
