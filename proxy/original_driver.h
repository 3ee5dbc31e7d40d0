// The original driver: the device's own touch driver, which Penwick loads
// in its place and binds entry point by entry point.
//
// At process attach the library entry reads the configuration, loads the
// driver it names and fills the table below; a missing driver or a missing
// required entry point refuses Penwick's own load, so that the host falls
// back to whatever it does without a touch driver rather than calling into
// nothing. At process detach the driver is released; nothing else is undone.
#ifndef PENWICK_PROXY_ORIGINAL_DRIVER_H
#define PENWICK_PROXY_ORIGINAL_DRIVER_H

#include <stdint.h>

#include "platform/system_services.h"

// One argument or result word of the touch driver interface: 32 bits on the
// device; pointer-sized on a 64-bit build machine so that pointers survive.
typedef uintptr_t ArgWord;

// The sample callback between the original driver, the interceptor and the
// host: flags, x, y; returns the platform's boolean.
typedef int32_t (*SampleCallback)(uint32_t flags, int32_t x, int32_t y);

typedef int32_t (*EnableEntry)(SampleCallback callback);
typedef ArgWord (*TwoWordEntry)(ArgWord, ArgWord);
typedef ArgWord (*ThreeWordEntry)(ArgWord, ArgWord, ArgWord);
typedef ArgWord (*FourWordEntry)(ArgWord, ArgWord, ArgWord, ArgWord);
typedef ArgWord (*FiveWordEntry)(ArgWord, ArgWord, ArgWord, ArgWord, ArgWord);

struct OriginalDriver {
    SystemModule module;
    // Required, in the order they are bound.
    ThreeWordEntry TouchPanelGetDeviceCaps;
    ThreeWordEntry TouchPanelSetMode;
    ThreeWordEntry TouchPanelPowerHandler;
    EnableEntry TouchPanelEnable;
    ThreeWordEntry TouchPanelDisable;
    ThreeWordEntry TouchPanelReadCalibrationPoint;
    ThreeWordEntry TouchPanelReadCalibrationAbort;
    FiveWordEntry TouchPanelSetCalibration;
    FourWordEntry TouchPanelCalibrateAPoint;
    // Optional, in the order they are bound; null when the driver lacks them.
    TwoWordEntry TouchGetFocusWnd;
    TwoWordEntry TouchGetLastTouchFocusWnd;
    TwoWordEntry TouchReset;
    TwoWordEntry TouchCreateEvent;
    TwoWordEntry TouchRegisterWindow;
    TwoWordEntry TouchUnregisterWindow;
    TwoWordEntry TouchSetValue;
    TwoWordEntry TouchGetValue;
    TwoWordEntry TouchGetQueuePtr;
};

extern OriginalDriver g_originalDriver;

// The reasons the loader calls the library entry with.
const uint32_t kLibraryProcessDetach = 0;
const uint32_t kLibraryProcessAttach = 1;

// The library entry: binds the original driver on process attach and
// releases it on process detach. Returns 1 for success, 0 to refuse the load.
// The platform's DllMain only calls this.
int32_t LibraryEntry(SystemModule self, uint32_t reason);

// Puts every state record of the driver (proxy/driver_state.h) back as it is
// when the library is loaded. The platform is not touched. For the tests
// and tools that run the driver many times in one process.
void LibraryResetToLoadTime(void);

#endif
