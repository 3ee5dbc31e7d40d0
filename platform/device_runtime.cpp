// The few C run-time functions that the driver's code calls on the device,
// where Penwick.dll has no C run-time library of its own.
//
// The arc tangent and the square root are the device's own, from coredll.dll
// (through their import address slots, as every coredll function is called),
// so that directions are computed exactly as the device computes them. The
// filter's single-precision square root is the double one rounded, which is
// the same number. The memory functions that the compiler calls for copies
// and clears are plain byte loops; this file is compiled freestanding, so
// they are not turned back into calls of themselves.
#include <stddef.h>

extern "C" {
extern double (*const coredllAtan2)(double, double) __asm__("__imp_atan2");
extern double (*const coredllSqrt)(double) __asm__("__imp_sqrt");

double atan2(double y, double x) { return coredllAtan2(y, x); }

float sqrtf(float value) { return static_cast<float>(coredllSqrt(value)); }

void* memcpy(void* destination, const void* source, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(destination);
    const unsigned char* from = static_cast<const unsigned char*>(source);
    for (size_t i = 0; i < count; i++) {
        to[i] = from[i];
    }
    return destination;
}

void* memset(void* destination, int value, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(destination);
    for (size_t i = 0; i < count; i++) {
        to[i] = static_cast<unsigned char>(value);
    }
    return destination;
}
}
