// A stand-in for the device's own touch driver, built as a real DLL in three
// variants: all eighteen entry points (STANDIN_OPTIONAL), the nine required,
// and the required but the last (STANDIN_LACKS_CALIBRATE). Every entry point
// records the argument words it receives and returns a result of its own;
// StandinEmit plays a pen sample through the callback it was enabled with.
#include <windows.h>

#include <string.h>

#include "standin_record.h"

namespace {

StandinRecord g_record;

DWORD Record(const char* entry, int count, DWORD a, DWORD b, DWORD c, DWORD d, DWORD e,
             DWORD result) {
    strncpy(g_record.entry, entry, sizeof g_record.entry - 1);
    DWORD words[] = {a, b, c, d, e};
    memcpy(g_record.words, words, sizeof words);
    g_record.wordCount = count;
    g_record.calls++;
    return result;
}

}  // namespace

#define EXPORT extern "C" __declspec(dllexport)

EXPORT StandinRecord* StandinGetRecord() { return &g_record; }

EXPORT BOOL StandinEmit(DWORD flags, INT x, INT y) { return g_record.callback(flags, x, y); }

EXPORT BOOL TouchPanelEnable(StandinCallback callback) {
    g_record.callback = callback;
    return Record("TouchPanelEnable", 1, reinterpret_cast<DWORD>(callback), 0, 0, 0, 0, 0x108);
}

// Results are 0x100 plus the entry point's ordinal in Penwick's export list.
EXPORT DWORD TouchPanelGetDeviceCaps(DWORD a, DWORD b, DWORD c) {
    return Record("TouchPanelGetDeviceCaps", 3, a, b, c, 0, 0, 0x109);
}
EXPORT DWORD TouchPanelSetMode(DWORD a, DWORD b, DWORD c) {
    return Record("TouchPanelSetMode", 3, a, b, c, 0, 0, 0x10E);
}
EXPORT DWORD TouchPanelPowerHandler(DWORD a, DWORD b, DWORD c) {
    return Record("TouchPanelPowerHandler", 3, a, b, c, 0, 0, 0x10A);
}
EXPORT DWORD TouchPanelDisable(DWORD a, DWORD b, DWORD c) {
    return Record("TouchPanelDisable", 3, a, b, c, 0, 0, 0x107);
}
EXPORT DWORD TouchPanelReadCalibrationPoint(DWORD a, DWORD b, DWORD c) {
    return Record("TouchPanelReadCalibrationPoint", 3, a, b, c, 0, 0, 0x10C);
}
EXPORT DWORD TouchPanelReadCalibrationAbort(DWORD a, DWORD b, DWORD c) {
    return Record("TouchPanelReadCalibrationAbort", 3, a, b, c, 0, 0, 0x10B);
}
EXPORT DWORD TouchPanelSetCalibration(DWORD a, DWORD b, DWORD c, DWORD d, DWORD e) {
    return Record("TouchPanelSetCalibration", 5, a, b, c, d, e, 0x10D);
}
#ifndef STANDIN_LACKS_CALIBRATE
EXPORT DWORD TouchPanelCalibrateAPoint(DWORD a, DWORD b, DWORD c, DWORD d) {
    return Record("TouchPanelCalibrateAPoint", 4, a, b, c, d, 0, 0x106);
}
#endif

#ifdef STANDIN_OPTIONAL
EXPORT DWORD TouchCreateEvent(DWORD a, DWORD b) {
    return Record("TouchCreateEvent", 2, a, b, 0, 0, 0, 0x101);
}
EXPORT DWORD TouchGetFocusWnd(DWORD a, DWORD b) {
    return Record("TouchGetFocusWnd", 2, a, b, 0, 0, 0, 0x102);
}
EXPORT DWORD TouchGetLastTouchFocusWnd(DWORD a, DWORD b) {
    return Record("TouchGetLastTouchFocusWnd", 2, a, b, 0, 0, 0, 0x103);
}
EXPORT DWORD TouchGetQueuePtr(DWORD a, DWORD b) {
    return Record("TouchGetQueuePtr", 2, a, b, 0, 0, 0, 0x104);
}
EXPORT DWORD TouchGetValue(DWORD a, DWORD b) {
    return Record("TouchGetValue", 2, a, b, 0, 0, 0, 0x105);
}
EXPORT DWORD TouchRegisterWindow(DWORD a, DWORD b) {
    return Record("TouchRegisterWindow", 2, a, b, 0, 0, 0, 0x10F);
}
EXPORT DWORD TouchReset(DWORD a, DWORD b) {
    return Record("TouchReset", 2, a, b, 0, 0, 0, 0x110);
}
EXPORT DWORD TouchSetValue(DWORD a, DWORD b) {
    return Record("TouchSetValue", 2, a, b, 0, 0, 0, 0x111);
}
EXPORT DWORD TouchUnregisterWindow(DWORD a, DWORD b) {
    return Record("TouchUnregisterWindow", 2, a, b, 0, 0, 0, 0x112);
}
#endif
