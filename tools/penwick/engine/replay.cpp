#include "engine/replay.h"

#include "platform/host_system.h"
#include "proxy/configuration.h"
#include "proxy/original_driver.h"
#include "proxy/sample_interception.h"

namespace {

struct HostReceived {
    bool called;
    uint32_t flags;
    int32_t x, y;
};
HostReceived g_received;

int32_t ReplayHostCallback(uint32_t flags, int32_t x, int32_t y) {
    g_received = {true, flags, x, y};
    return 1;
}

SampleCallback g_interceptor;

int32_t ReplayOriginalEnable(SampleCallback callback) {
    g_interceptor = callback;
    return 1;
}

const char* RuleName(FilterRule rule) {
    switch (rule) {
    case FilterRuleStrokeStart: return "start";
    case FilterRuleA: return "a";
    case FilterRuleB: return "b";
    case FilterRuleC: return "c";
    case FilterRuleD: return "d";
    case FilterRuleE: return "e";
    case FilterRuleF: return "f";
    case FilterRuleG: return "g";
    case FilterRuleH: return "h";
    case FilterRuleNone: break;
    }
    return "";
}

Cause CauseOfRule(FilterRule rule, bool withheldByDelay) {
    if (withheldByDelay) {
        return Cause::ErrorDelay;
    }
    switch (rule) {
    case FilterRuleStrokeStart: return Cause::StrokeStart;
    case FilterRuleB: return Cause::RuleB;
    case FilterRuleD: return Cause::ErrorD;
    case FilterRuleE: return Cause::ErrorE;
    case FilterRuleF: return Cause::RuleF;
    case FilterRuleH: return Cause::ErrorH;
    default: return Cause::Delivered;
    }
}

}  // namespace

void ReplayStartDriver(const RegFile& settings, const ReplayScreens& screens, ReplayResult& result) {
    HostSystemReset();
    LibraryResetToLoadTime();

    if (settings.hasPenwickKey) {
        g_hostSystem.registry[kConfigurationKey];
        for (const RegValue& value : settings.penwickValues) {
            HostSetRegistryValue(kConfigurationKey, value.name, value.type, value.data);
        }
    }
    char16_t driverName[kDriverNameUnits];
    LoadConfiguration(driverName);
    result.driverName = driverName;
    result.settings = g_filterSettings;
    result.filteringEnabled = g_configuration.filteringEnabled;

    g_hostSystem.screenWidth = screens.enableWidth;
    g_hostSystem.screenHeight = screens.enableHeight;
    g_originalDriver.TouchPanelEnable = ReplayOriginalEnable;
    TouchPanelEnable(ReplayHostCallback);
    g_hostSystem.screenWidth = screens.width;
    g_hostSystem.screenHeight = screens.height;
}

const char* CauseName(Cause cause) {
    static const char* const names[kCauseCount] = {
        "delivered", "stroke start", "rule b", "rule f", "error d",
        "error e",   "error h",      "error delay", "unusable", "extra up samples"};
    return names[static_cast<int>(cause)];
}

ReplayResult Replay(const RegFile& settings, const ReplayScreens& screens,
                    const std::vector<TraceSample>& samples) {
    ReplayResult result;
    ReplayStartDriver(settings, screens, result);
    ReplaySummary& summary = result.summary;

    bool inputDown = false;
    bool deliveredDown = false;
    for (const TraceSample& sample : samples) {
        g_filterState.lastRule = FilterRuleNone;
        g_received = HostReceived();
        ReplayRecord r;
        r.in = sample;
        r.result = g_interceptor(sample.flags, sample.x, sample.y);
        r.errorDelay = g_filterState.errorDelay;
        r.delivered = g_received.called;
        r.flagsOut = g_received.flags;
        r.xOut = g_received.x;
        r.yOut = g_received.y;

        bool down = (sample.flags & TouchSampleDownFlag) != 0;
        FilterRule rule = g_filterState.lastRule;
        r.rule = RuleName(rule);
        if (g_filterState.lastWithheldByDelay) {
            r.rule += '*';
        }
        switch (g_deliveryState.lastVerdict) {
        case InterceptPassedThrough:
            r.rule = "pass";
            r.cause = Cause::Delivered;
            break;
        case InterceptDroppedUnusable:
            r.rule = "unusable";
            r.cause = Cause::Unusable;
            break;
        case InterceptDroppedExtraUp:
            r.cause = Cause::ExtraUp;
            break;
        case InterceptDroppedRejected:
        case InterceptMovedUp:
            r.cause = CauseOfRule(rule, g_filterState.lastWithheldByDelay);
            break;
        case InterceptDelivered:
        case InterceptNone:
            r.cause = Cause::Delivered;
            break;
        }

        summary.samples++;
        summary.withheld[static_cast<int>(r.cause)] += r.delivered ? 0 : 1;
        if (r.delivered) {
            summary.delivered++;
            bool outDown = (r.flagsOut & TouchSampleDownFlag) != 0;
            summary.strokesDelivered += outDown && !deliveredDown;
            deliveredDown = outDown;
        }
        summary.strokesIn += down && !inputDown;
        inputDown = down;
        if (sample.truth != Truth::Unknown) {
            summary.labelled = true;
            bool shown = r.cause == Cause::Delivered;
            if (sample.truth == Truth::Fault) {
                summary.faults++;
                summary.faultsWithheld += !shown;
            } else {
                summary.good++;
                summary.goodLost += !shown;
            }
        }
        result.records.push_back(r);
    }
    return result;
}
