// Replays a pen trace through the driver's own configuration, interception
// and filter code, on the build machine's fake platform, one sample at a
// time, and records for every sample what the filter computed and decided
// and what the host received. Nothing is kept between samples but the
// driver's own state, so a trace of any length replays in constant memory.
#ifndef PENWICK_TOOLS_ENGINE_REPLAY_H
#define PENWICK_TOOLS_ENGINE_REPLAY_H

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "files/reg_file.h"
#include "files/trace.h"
#include "filter/sample_filter.h"
#include "proxy/configuration.h"
#include "registry/configuration_check.h"
#include "proxy/original_driver.h"
#include "proxy/sample_interception.h"

struct ReplayScreens {
    int32_t enableWidth = 240;  // when the host enabled the driver
    int32_t enableHeight = 320;
    int32_t width = 240;        // now, while the samples arrive
    int32_t height = 320;
};

// One sample and what became of it.
struct ReplayRecord {
    TraceSample in;
    InterceptVerdict verdict;  // the interception's own record
    FilterRule rule;           // the filter's own record; when Judged()
    bool withheldByDelay;      // an accepting rule's sample withheld by the delay
    int32_t squaredStep;       // what the rules compared, as the filter computed it:
    int32_t speedChange;       //   see HasSquaredStep() and the others
    float directionChange;
    int32_t errorDelay;        // after the sample
    uint32_t flagsOut;         // what the host received, when Delivered()
    int32_t xOut, yOut;

    bool Judged() const {
        return verdict != InterceptPassedThrough && verdict != InterceptDroppedUnusable;
    }
    bool Delivered() const {
        return verdict == InterceptPassedThrough || verdict == InterceptMovedUp ||
               verdict == InterceptDelivered;
    }
    // Reached the host where the original driver put it.
    bool AtOwnPlace() const {
        return verdict == InterceptPassedThrough || verdict == InterceptDelivered;
    }
    bool HasSquaredStep() const { return Judged() && rule >= FilterRuleA; }
    bool HasSpeedChange() const { return Judged() && rule >= FilterRuleC; }
    bool HasDirectionChange() const {
        return Judged() && (rule == FilterRuleG || rule == FilterRuleH);
    }
};

// The interception's verdict as the table names it: "passed-through",
// "dropped-unusable", "dropped-rejected", "dropped-extra-up", "moved-up",
// "delivered".
const char* VerdictName(InterceptVerdict verdict);

// The rule as the table names it: "pass" (not judged: filtering off or
// uncalibrated), "unusable" (invalid or ignore: not judged), "start" (a
// stroke's first sample), "a" to "h", with "*" when an accepting rule's
// sample was withheld by the error delay.
const char* RuleName(const ReplayRecord& record);

// How the driver came up from the settings: what its configuration read,
// and what the configuration check finds wrong with the settings.
struct ReplayStart {
    FilterSettings settings;
    bool filteringEnabled;
    std::u16string driverName;
    std::vector<ConfigurationFinding> findings;
};

// The driver as loaded at boot with the given settings and enabled by the
// host, fed one sample at a time. Several replayers may be alive at once
// (to compare settings): each keeps the driver's state while another runs.
class Replayer {
public:
    Replayer(const RegFile& settings, const ReplayScreens& screens);
    ~Replayer();
    Replayer(const Replayer&) = delete;
    Replayer& operator=(const Replayer&) = delete;

    const ReplayStart& start() const { return start_; }

    // One sample from the original driver.
    ReplayRecord Feed(const TraceSample& sample);

    // What a capture says happened between samples: a boot loads the driver
    // afresh; the host enables it again; the screen turns.
    void Apply(const TraceEvent& event);

private:
    struct DriverState;
    void Activate();
    void Boot();
    void Enable(int32_t width, int32_t height);

    RegFile settings_;
    ReplayScreens screens_;
    ReplayStart start_;
    std::unique_ptr<DriverState> saved_;  // the driver's state while another replayer runs
};

// Loads the driver as at boot with these settings on the fake platform and
// enables it as the host does, with `screens`; what the configuration read.
// For code that drives the interceptor itself (the benchmark).
ReplayStart StartDriver(const RegFile& settings, const ReplayScreens& screens);

#endif
