// Reads a fuzzer's input as a stream of little-endian values; past the end
// every read yields zeros.
#ifndef PENWICK_FUZZ_FUZZ_INPUT_H
#define PENWICK_FUZZ_FUZZ_INPUT_H

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

struct FuzzInput {
    const uint8_t* data;
    size_t size;

    bool Empty() const { return size == 0; }

    std::vector<uint8_t> Bytes(size_t count) {
        if (count > size) {
            count = size;
        }
        std::vector<uint8_t> bytes(data, data + count);
        data += count;
        size -= count;
        return bytes;
    }

    template <typename T>
    T Read() {
        T value = 0;
        size_t count = size < sizeof(T) ? size : sizeof(T);
        memcpy(&value, data, count);
        data += count;
        size -= count;
        return value;
    }
};

// A property every input must keep: the fuzzer stops on the first input
// that breaks one and keeps it.
inline void FuzzCheck(bool property) {
    if (!property) {
        abort();
    }
}

#endif
