// The words of a capture's lines about what happened between samples:
//
//   # penwick WORD ARGUMENT
//
// The driver's capture writes them (proxy/capture_format.cpp) and penwick's
// trace reader reads them (tools/penwick/files/trace.cpp); both take the
// words from here, so that a word changed on one side is changed on the
// other. Plain character arrays: the device's code has no constructors to
// run.
#ifndef PENWICK_PROXY_CAPTURE_LINES_H
#define PENWICK_PROXY_CAPTURE_LINES_H

// The header line of a new capture file, naming its columns.
const char kCaptureHeader[] = "flags,x,y,tick";

// What follows the '#' of every such line, the space after it included.
const char kCaptureLineMark[] = "penwick ";

// The device started and the driver was loaded afresh: when, or "(time
// unknown)".
const char kCaptureLineBoot[] = "boot";
// The version of Penwick that wrote what follows.
const char kCaptureLineVersion[] = "version";
// Which device it is ("device ..."): the line is the device's identity as
// DeviceIdentityFormat words it (platform/device_identity.h).
// The settings as the driver read them, and whether it filters.
const char kCaptureLineSettings[] = "settings";
// The host enabled the driver: the screen's WIDTHxHEIGHT in pixels.
const char kCaptureLineEnableScreen[] = "enable-screen";
// The screen's size changed (a rotation): WIDTHxHEIGHT.
const char kCaptureLineScreen[] = "screen";
// N samples were lost here: the capture fell behind.
const char kCaptureLineDropped[] = "dropped";
// The capture ended here for the boot, and why ("stopped: ...").
const char kCaptureLineStopped[] = "stopped";

#endif
