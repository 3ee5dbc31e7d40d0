#include "setup/setup_files.h"

namespace {

// Reads until `size` bytes are in or the file ends.
int32_t ReadBlock(SystemFile file, uint8_t* data, uint32_t size, uint32_t* got) {
    *got = 0;
    while (*got < size) {
        uint32_t more = 0;
        int32_t error = SetupReadFromFile(file, data + *got, size - *got, &more);
        if (error != 0 || more == 0) {
            return error;
        }
        *got += more;
    }
    return 0;
}

}  // namespace

int32_t SetupCompareFiles(const char16_t* a, const char16_t* b, int32_t* same) {
    SystemFile first = nullptr;
    SystemFile second = nullptr;
    int32_t error = SetupOpenFile(a, false, &first);
    if (error == 0) {
        error = SetupOpenFile(b, false, &second);
    }
    *same = 1;
    uint8_t one[512];
    uint8_t two[512];
    uint32_t got = sizeof one;
    while (error == 0 && *same && got == sizeof one) {
        uint32_t gotTwo = 0;
        error = ReadBlock(first, one, sizeof one, &got);
        if (error == 0) {
            error = ReadBlock(second, two, sizeof two, &gotTwo);
        }
        *same = got == gotTwo;
        for (uint32_t i = 0; *same && i < got; i++) {
            *same = one[i] == two[i];
        }
    }
    if (first != nullptr) {
        SetupCloseFile(first);
    }
    if (second != nullptr) {
        SetupCloseFile(second);
    }
    return error;
}

int32_t SetupReadWholeFile(const char16_t* path, void* data, uint32_t capacity, uint32_t* size) {
    SystemFile file = nullptr;
    int32_t error = SetupOpenFile(path, false, &file);
    if (error != 0) {
        return error;
    }
    error = ReadBlock(file, static_cast<uint8_t*>(data), capacity, size);
    uint8_t more;
    uint32_t beyond = 0;
    if (error == 0 && *size == capacity) {
        error = SetupReadFromFile(file, &more, 1, &beyond);
    }
    SetupCloseFile(file);
    return error == 0 && beyond != 0 ? kSetupErrorMoreData : error;
}

int32_t SetupAppendToFile(const char16_t* path, const void* data, uint32_t size) {
    SystemFile file = nullptr;
    int32_t error = SetupOpenFile(path, true, &file);
    if (error != 0) {
        return error;
    }
    error = SetupWriteToFile(file, data, size);
    SetupCloseFile(file);
    return error;
}
