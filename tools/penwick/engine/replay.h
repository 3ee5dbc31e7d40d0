// Replays a pen trace through the driver's own configuration, interception
// and filter code, on the build machine's fake platform, and records for
// every sample what the host received and which rule decided.
#ifndef PENWICK_TOOLS_REPLAY_H
#define PENWICK_TOOLS_REPLAY_H

#include <stdint.h>

#include <string>
#include <vector>

#include "filter/sample_filter.h"
#include "files/reg_file.h"
#include "files/trace.h"

struct ReplayScreens {
    int32_t enableWidth = 240;  // when the host enabled the driver
    int32_t enableHeight = 320;
    int32_t width = 240;        // now, while the samples arrive
    int32_t height = 320;
};

// Why a sample did not reach the host at its own coordinates.
enum class Cause {
    Delivered,    // reached the host as it was (or passed through)
    StrokeStart,  // first sample of a stroke
    RuleB,        // no previous step
    RuleF,        // no previous direction
    ErrorD,
    ErrorE,
    ErrorH,
    ErrorDelay,   // accepted, but the error delay was running
    Unusable,     // calibrated, but invalid or marked ignore
    ExtraUp,      // an up sample with no stroke left to close
};
const int kCauseCount = 10;

const char* CauseName(Cause cause);

struct ReplayRecord {
    TraceSample in;
    std::string rule;     // pass, unusable, start, a..h; '*' when withheld by the delay
    int32_t errorDelay;   // after the sample
    bool delivered;
    uint32_t flagsOut;
    int32_t xOut, yOut;
    int32_t result;       // what the interceptor returned to the original driver
    Cause cause;          // Delivered, or why not at its own coordinates
};

struct ReplaySummary {
    int samples = 0;
    int delivered = 0;
    int withheld[kCauseCount] = {};  // by cause; [Delivered] stays 0
    int strokesIn = 0;
    int strokesDelivered = 0;
    bool labelled = false;
    int faults = 0;
    int faultsWithheld = 0;  // faults that never reached the host where they were
    int good = 0;
    int goodLost = 0;        // good samples that did not
};

struct ReplayResult {
    FilterSettings settings;  // as the configuration read them
    bool filteringEnabled;
    std::u16string driverName;
    std::vector<ReplayRecord> records;
    ReplaySummary summary;
};

// Puts the driver and the fake platform back to load time, with the
// settings in the registry, loads the configuration and enables the driver
// as the host does; fills in what the configuration read.
void ReplayStartDriver(const RegFile& settings, const ReplayScreens& screens, ReplayResult& result);

ReplayResult Replay(const RegFile& settings, const ReplayScreens& screens,
                    const std::vector<TraceSample>& samples);

#endif
