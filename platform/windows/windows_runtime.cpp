// The run-time functions the filter calls, on desktop Windows (and Wine):
// taken from the system's msvcrt.dll as the device takes them from
// coredll.dll (platform/device/device_runtime.cpp), since the DLL has no C
// run-time library of its own. mingw-w64 offers only their import slots.
// The filter's single-precision square root is the double one rounded, which
// is the same number.
extern "C" {
extern double (*const msvcrtAtan2)(double, double) __asm__("__imp__atan2");
extern double (*const msvcrtSqrt)(double) __asm__("__imp__sqrt");

double atan2(double y, double x) { return msvcrtAtan2(y, x); }

float sqrtf(float value) { return static_cast<float>(msvcrtSqrt(value)); }
}
