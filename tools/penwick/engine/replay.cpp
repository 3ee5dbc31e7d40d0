#include "engine/replay.h"

#include "platform/host/host_system.h"
#include "proxy/driver_state.h"

namespace {

// What the host's callback received from the last sample.
struct HostReceived {
    uint32_t flags;
    int32_t x, y;
};
HostReceived g_received;

int32_t ReplayHostCallback(uint32_t flags, int32_t x, int32_t y) {
    g_received = {flags, x, y};
    return 1;
}

// The original driver's TouchPanelEnable keeps the interceptor it is given.
SampleCallback g_interceptor;

int32_t ReplayOriginalEnable(SampleCallback callback) {
    g_interceptor = callback;
    return 1;
}

}  // namespace

// Everything that makes one driver differ from another between samples:
// every record of the driver's, and the fake platform's screen and the
// interceptor the original driver was given.
struct Replayer::DriverState {
#define PENWICK_KEPT(type, record) type record;
    PENWICK_DRIVER_RECORDS(PENWICK_KEPT)
#undef PENWICK_KEPT
    int32_t screenWidth, screenHeight;
    SampleCallback interceptor;

    void Save() {
#define PENWICK_SAVE(type, record) this->record = ::record;
        PENWICK_DRIVER_RECORDS(PENWICK_SAVE)
#undef PENWICK_SAVE
        screenWidth = g_hostSystem.screenWidth;
        screenHeight = g_hostSystem.screenHeight;
        interceptor = g_interceptor;
    }

    void Restore() const {
#define PENWICK_RESTORE(type, record) ::record = this->record;
        PENWICK_DRIVER_RECORDS(PENWICK_RESTORE)
#undef PENWICK_RESTORE
        g_hostSystem.screenWidth = screenWidth;
        g_hostSystem.screenHeight = screenHeight;
        g_interceptor = interceptor;
    }
};

namespace {

// The replayer whose driver is in the globals now.
Replayer* g_activeReplayer;

// What the check finds about the Penwick key and the eight settings; the
// touch key and the original driver's name play no part in a replay.
void KeepSettingFinding(const ConfigurationFinding& finding, void* findings) {
    switch (finding.kind) {
    case FindingTouchDriverNotPenwick:
    case FindingDriverNameMissing:
    case FindingDriverNameNotString:
    case FindingDriverNameTooLong:
    case FindingDriverNameUnterminated:
    case FindingDriverNameEmpty:
    case FindingDriverNameIsPenwick: return;
    default: static_cast<std::vector<ConfigurationFinding>*>(findings)->push_back(finding);
    }
}

}  // namespace

const char* VerdictName(InterceptVerdict verdict) {
    switch (verdict) {
    case InterceptPassedThrough: return "passed-through";
    case InterceptDroppedUnusable: return "dropped-unusable";
    case InterceptDroppedRejected: return "dropped-rejected";
    case InterceptDroppedExtraUp: return "dropped-extra-up";
    case InterceptMovedUp: return "moved-up";
    case InterceptDelivered: return "delivered";
    case InterceptNone: break;
    }
    return "";
}

const char* RuleName(const ReplayRecord& record) {
    if (record.verdict == InterceptPassedThrough) {
        return "pass";
    }
    if (record.verdict == InterceptDroppedUnusable) {
        return "unusable";
    }
    // By FilterRule; only the accepting rules a, c and g can be withheld.
    static const char* const names[2][10] = {
        {"", "start", "a", "b", "c", "d", "e", "f", "g", "h"},
        {"", "start", "a*", "b", "c*", "d", "e", "f", "g*", "h"}};
    return names[record.withheldByDelay ? 1 : 0][record.rule];
}

namespace {

// Puts the file's two keys into the fake platform's registry, as importing
// it does on a device that has neither.
void ImportRegFile(const RegFile& file) {
    const std::pair<const RegKey*, const char16_t*> keys[] = {{&file.touch, kTouchKey},
                                                              {&file.penwick, kConfigurationKey}};
    for (const auto& [key, path] : keys) {
        if (key->present) {
            HostCreateRegistryKey(path);
            for (const RegValue& value : key->values) {
                HostSetRegistryValue(path, value.name, value.type, value.data);
            }
        }
    }
}

}  // namespace

ReplayStart StartDriver(const RegFile& settings, const ReplayScreens& screens) {
    HostSystemReset();
    LibraryResetToLoadTime();
    ImportRegFile(settings);
    char16_t driverName[kDriverNameUnits];
    LoadConfiguration(driverName);
    ReplayStart start{g_filterSettings, g_configuration.filteringEnabled, driverName, {}};
    CheckConfiguration(KeepSettingFinding, &start.findings);

    g_originalDriver.TouchPanelEnable = ReplayOriginalEnable;
    g_hostSystem.screenWidth = screens.enableWidth;
    g_hostSystem.screenHeight = screens.enableHeight;
    TouchPanelEnable(ReplayHostCallback);
    g_hostSystem.screenWidth = screens.width;
    g_hostSystem.screenHeight = screens.height;
    return start;
}

Replayer::Replayer(const RegFile& settings, const ReplayScreens& screens)
    : settings_(settings), screens_(screens), saved_(new DriverState()) {
    if (g_activeReplayer != nullptr) {
        g_activeReplayer->saved_->Save();
    }
    g_activeReplayer = this;
    Boot();
}

Replayer::~Replayer() {
    if (g_activeReplayer == this) {
        g_activeReplayer = nullptr;
    }
}

void Replayer::Activate() {
    if (g_activeReplayer == this) {
        return;
    }
    if (g_activeReplayer != nullptr) {
        g_activeReplayer->saved_->Save();
    }
    saved_->Restore();
    g_activeReplayer = this;
}

void Replayer::Boot() { start_ = StartDriver(settings_, screens_); }

void Replayer::Enable(int32_t width, int32_t height) {
    g_hostSystem.screenWidth = width;
    g_hostSystem.screenHeight = height;
    TouchPanelEnable(ReplayHostCallback);
}

void Replayer::Apply(const TraceEvent& event) {
    Activate();
    switch (event.kind) {
    case TraceEvent::Boot: Boot(); break;
    case TraceEvent::EnableScreen: Enable(event.width, event.height); break;
    case TraceEvent::Screen:
        g_hostSystem.screenWidth = event.width;
        g_hostSystem.screenHeight = event.height;
        break;
    case TraceEvent::Sample:
    case TraceEvent::Dropped:
    case TraceEvent::Note:
    case TraceEvent::Torn: break;
    }
}

ReplayRecord Replayer::Feed(const TraceSample& sample) {
    Activate();
    g_interceptor(sample.flags, sample.x, sample.y);
    const FilterState& filter = g_filterState;
    ReplayRecord r;
    r.in = sample;
    r.verdict = g_deliveryState.lastVerdict;
    r.rule = filter.lastRule;
    r.withheldByDelay = filter.lastWithheldByDelay;
    r.squaredStep = filter.previousSquaredStep;
    r.speedChange = filter.lastSpeedChange;
    r.directionChange = filter.lastDirectionChange;
    r.errorDelay = filter.errorDelay;
    r.flagsOut = g_received.flags;
    r.xOut = g_received.x;
    r.yOut = g_received.y;
    return r;
}
