#include "proxy/original_driver.h"

#include "filter/sample_filter.h"
#include "proxy/configuration.h"
#include "proxy/driver_state.h"
#include "proxy/sample_capture.h"
#include "proxy/sample_interception.h"

OriginalDriver g_originalDriver;

namespace {

// Looks an entry point up under the name Penwick exports its own under, and
// stores it, null included. True when it was found.
template <typename Entry>
bool OriginalDriverBind(Entry* slot, const char16_t* name) {
    *slot = reinterpret_cast<Entry>(SystemResolveEntryPoint(g_originalDriver.module, name));
    return *slot != nullptr;
}

// Binds the nine required entry points in order and stops at the first that
// is missing: those after it stay null.
bool OriginalDriverBindRequired(void) {
    OriginalDriver& d = g_originalDriver;
    return OriginalDriverBind(&d.TouchPanelGetDeviceCaps, u"TouchPanelGetDeviceCaps") &&
           OriginalDriverBind(&d.TouchPanelSetMode, u"TouchPanelSetMode") &&
           OriginalDriverBind(&d.TouchPanelPowerHandler, u"TouchPanelPowerHandler") &&
           OriginalDriverBind(&d.TouchPanelEnable, u"TouchPanelEnable") &&
           OriginalDriverBind(&d.TouchPanelDisable, u"TouchPanelDisable") &&
           OriginalDriverBind(&d.TouchPanelReadCalibrationPoint, u"TouchPanelReadCalibrationPoint") &&
           OriginalDriverBind(&d.TouchPanelReadCalibrationAbort, u"TouchPanelReadCalibrationAbort") &&
           OriginalDriverBind(&d.TouchPanelSetCalibration, u"TouchPanelSetCalibration") &&
           OriginalDriverBind(&d.TouchPanelCalibrateAPoint, u"TouchPanelCalibrateAPoint");
}

void OriginalDriverBindOptional(void) {
    OriginalDriver& d = g_originalDriver;
    OriginalDriverBind(&d.TouchGetFocusWnd, u"TouchGetFocusWnd");
    OriginalDriverBind(&d.TouchGetLastTouchFocusWnd, u"TouchGetLastTouchFocusWnd");
    OriginalDriverBind(&d.TouchReset, u"TouchReset");
    OriginalDriverBind(&d.TouchCreateEvent, u"TouchCreateEvent");
    OriginalDriverBind(&d.TouchRegisterWindow, u"TouchRegisterWindow");
    OriginalDriverBind(&d.TouchUnregisterWindow, u"TouchUnregisterWindow");
    OriginalDriverBind(&d.TouchSetValue, u"TouchSetValue");
    OriginalDriverBind(&d.TouchGetValue, u"TouchGetValue");
    OriginalDriverBind(&d.TouchGetQueuePtr, u"TouchGetQueuePtr");
}

int32_t OriginalDriverAttach(SystemModule self) {
    SystemStopThreadNotifications(self);

    char16_t driverName[kDriverNameUnits];
    LoadConfiguration(driverName);

    SystemModule module = SystemLoadLibrary(driverName);
    // A name that leads back to Penwick itself (installed twice, say) would
    // make every forwarder call itself until the stack runs out: such a
    // driver cannot be used. The extra load is undone at once, so that
    // nothing stays loaded twice and detach has nothing to release.
    if (module != nullptr && module == self) {
        SystemReleaseLibrary(module);
        return 0;
    }
    g_originalDriver.module = module;
    if (module == nullptr) {
        return 0;
    }
    // A refused load keeps the driver loaded; the loader's following detach
    // releases it.
    if (!OriginalDriverBindRequired()) {
        return 0;
    }
    OriginalDriverBindOptional();
    return 1;
}

}  // namespace

void LibraryResetToLoadTime(void) {
#define PENWICK_RESET(type, record) record = type();
    PENWICK_DRIVER_RECORDS(PENWICK_RESET)
#undef PENWICK_RESET
}

int32_t LibraryEntry(SystemModule self, uint32_t reason) {
    if (reason == kLibraryProcessAttach) {
        return OriginalDriverAttach(self);
    }
    if (reason == kLibraryProcessDetach) {
        CaptureStop();
        if (g_originalDriver.module != nullptr) {
            SystemReleaseLibrary(g_originalDriver.module);
        }
    }
    return 1;
}
