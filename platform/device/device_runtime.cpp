// The C run-time functions that the filter calls on the device, where
// Penwick.dll has no C run-time library of its own (the memory functions
// are in device_memory.cpp).
//
// The arc tangent and the square root are the device's own, from coredll.dll
// (through their import address slots, as every coredll function is called),
// so that directions are computed exactly as the device computes them. The
// filter's single-precision square root is the double one rounded, which is
// the same number.

extern "C" {
extern double (*const coredllAtan2)(double, double) __asm__("__imp_atan2");
extern double (*const coredllSqrt)(double) __asm__("__imp_sqrt");

double atan2(double y, double x) { return coredllAtan2(y, x); }

float sqrtf(float value) { return static_cast<float>(coredllSqrt(value)); }
}
