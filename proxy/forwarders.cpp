#include "proxy/forwarders.h"

#include "proxy/sample_capture.h"

namespace {

ArgWord ForwardOptional(TwoWordEntry entry, ArgWord a, ArgWord b) {
    return entry != nullptr ? entry(a, b) : 0;
}

}  // namespace

// The required entry points are bound before the load succeeds, so they are
// called without a test.

ArgWord TouchPanelGetDeviceCaps(ArgWord a, ArgWord b, ArgWord c) {
    return g_originalDriver.TouchPanelGetDeviceCaps(a, b, c);
}

ArgWord TouchPanelSetMode(ArgWord a, ArgWord b, ArgWord c) {
    return g_originalDriver.TouchPanelSetMode(a, b, c);
}

ArgWord TouchPanelPowerHandler(ArgWord a, ArgWord b, ArgWord c) {
    return g_originalDriver.TouchPanelPowerHandler(a, b, c);
}

// Once the original driver delivers no more samples, the capture writes out
// what is left and its writer ends.
ArgWord TouchPanelDisable(ArgWord a, ArgWord b, ArgWord c) {
    ArgWord result = g_originalDriver.TouchPanelDisable(a, b, c);
    CaptureStop();
    return result;
}

ArgWord TouchPanelReadCalibrationPoint(ArgWord a, ArgWord b, ArgWord c) {
    return g_originalDriver.TouchPanelReadCalibrationPoint(a, b, c);
}

ArgWord TouchPanelReadCalibrationAbort(ArgWord a, ArgWord b, ArgWord c) {
    return g_originalDriver.TouchPanelReadCalibrationAbort(a, b, c);
}

ArgWord TouchPanelSetCalibration(ArgWord a, ArgWord b, ArgWord c, ArgWord d, ArgWord e) {
    return g_originalDriver.TouchPanelSetCalibration(a, b, c, d, e);
}

ArgWord TouchPanelCalibrateAPoint(ArgWord a, ArgWord b, ArgWord c, ArgWord d) {
    return g_originalDriver.TouchPanelCalibrateAPoint(a, b, c, d);
}

ArgWord TouchGetFocusWnd(ArgWord a, ArgWord b) {
    return ForwardOptional(g_originalDriver.TouchGetFocusWnd, a, b);
}

ArgWord TouchGetLastTouchFocusWnd(ArgWord a, ArgWord b) {
    return ForwardOptional(g_originalDriver.TouchGetLastTouchFocusWnd, a, b);
}

ArgWord TouchReset(ArgWord a, ArgWord b) {
    return ForwardOptional(g_originalDriver.TouchReset, a, b);
}

ArgWord TouchCreateEvent(ArgWord a, ArgWord b) {
    return ForwardOptional(g_originalDriver.TouchCreateEvent, a, b);
}

ArgWord TouchRegisterWindow(ArgWord a, ArgWord b) {
    return ForwardOptional(g_originalDriver.TouchRegisterWindow, a, b);
}

ArgWord TouchUnregisterWindow(ArgWord a, ArgWord b) {
    return ForwardOptional(g_originalDriver.TouchUnregisterWindow, a, b);
}

ArgWord TouchSetValue(ArgWord a, ArgWord b) {
    return ForwardOptional(g_originalDriver.TouchSetValue, a, b);
}

ArgWord TouchGetValue(ArgWord a, ArgWord b) {
    return ForwardOptional(g_originalDriver.TouchGetValue, a, b);
}

ArgWord TouchGetQueuePtr(ArgWord a, ArgWord b) {
    return ForwardOptional(g_originalDriver.TouchGetQueuePtr, a, b);
}
