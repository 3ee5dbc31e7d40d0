// The touch driver interface that Penwick exports, all but TouchPanelEnable
// (the interception's): each forwards its argument words to the original
// driver's entry point of the same name and hands back its result unchanged.
// TouchPanelDisable then also stops the opt-in capture of samples.
// The optional Touch* entry points are carried as two-word calls; when the
// original driver lacks one, its forwarder returns 0 and calls nothing.
#ifndef PENWICK_PROXY_FORWARDERS_H
#define PENWICK_PROXY_FORWARDERS_H

#include "proxy/original_driver.h"

extern "C" {
ArgWord TouchPanelGetDeviceCaps(ArgWord a, ArgWord b, ArgWord c);
ArgWord TouchPanelSetMode(ArgWord a, ArgWord b, ArgWord c);
ArgWord TouchPanelPowerHandler(ArgWord a, ArgWord b, ArgWord c);
ArgWord TouchPanelDisable(ArgWord a, ArgWord b, ArgWord c);
ArgWord TouchPanelReadCalibrationPoint(ArgWord a, ArgWord b, ArgWord c);
ArgWord TouchPanelReadCalibrationAbort(ArgWord a, ArgWord b, ArgWord c);
ArgWord TouchPanelSetCalibration(ArgWord a, ArgWord b, ArgWord c, ArgWord d, ArgWord e);
ArgWord TouchPanelCalibrateAPoint(ArgWord a, ArgWord b, ArgWord c, ArgWord d);

ArgWord TouchGetFocusWnd(ArgWord a, ArgWord b);
ArgWord TouchGetLastTouchFocusWnd(ArgWord a, ArgWord b);
ArgWord TouchReset(ArgWord a, ArgWord b);
ArgWord TouchCreateEvent(ArgWord a, ArgWord b);
ArgWord TouchRegisterWindow(ArgWord a, ArgWord b);
ArgWord TouchUnregisterWindow(ArgWord a, ArgWord b);
ArgWord TouchSetValue(ArgWord a, ArgWord b);
ArgWord TouchGetValue(ArgWord a, ArgWord b);
ArgWord TouchGetQueuePtr(ArgWord a, ArgWord b);
}

#endif
