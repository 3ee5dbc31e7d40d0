// The memory functions that device code calls, and the compiler calls for
// copies and clears, where no C run-time library is linked: plain byte
// loops. This file is compiled freestanding, so they are not turned back
// into calls of themselves.
#include <stddef.h>

extern "C" {
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

int memcmp(const void* a, const void* b, size_t count) {
    const unsigned char* left = static_cast<const unsigned char*>(a);
    const unsigned char* right = static_cast<const unsigned char*>(b);
    for (size_t i = 0; i < count; i++) {
        if (left[i] != right[i]) {
            return left[i] < right[i] ? -1 : 1;
        }
    }
    return 0;
}
}
