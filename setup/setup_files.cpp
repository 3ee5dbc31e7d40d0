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

// A little-endian number of `bytes` bytes.
uint32_t Little(const uint8_t* data, int bytes) {
    uint32_t number = 0;
    for (int i = bytes - 1; i >= 0; i--) {
        number = number << 8 | data[i];
    }
    return number;
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

int32_t SetupModuleIsWhole(const char16_t* path, int32_t* whole) {
    *whole = 0;
    uint32_t size = 0;
    SystemFile file = nullptr;
    int32_t error = SetupFileSize(path, &size);
    if (error == 0) {
        error = SetupOpenFile(path, false, &file);
    }
    if (error != 0) {
        return error;
    }
    // The headers and the section table, which lie at the start.
    uint8_t head[1024];
    uint32_t got = 0;
    error = ReadBlock(file, head, sizeof head, &got);
    SetupCloseFile(file);
    if (error != 0 || got < 0x40 || head[0] != 'M' || head[1] != 'Z') {
        return error;
    }
    const uint32_t kFileHeaderEnd = 24;  // "PE\0\0" and the file header
    const uint32_t kSectionBytes = 40;
    uint32_t pe = Little(head + 0x3C, 4);
    if (pe > got - kFileHeaderEnd || head[pe] != 'P' || head[pe + 1] != 'E' || head[pe + 2] != 0 ||
        head[pe + 3] != 0) {
        return 0;
    }
    uint32_t sections = Little(head + pe + 6, 2);
    uint32_t table = pe + kFileHeaderEnd + Little(head + pe + 20, 2);
    // At most 65,535 sections: their bytes cannot wrap.
    if (sections == 0 || table > got || sections * kSectionBytes > got - table) {
        return 0;
    }
    for (uint32_t i = 0; i < sections; i++) {
        const uint8_t* section = head + table + i * kSectionBytes;
        uint32_t rawSize = Little(section + 16, 4);
        uint32_t rawAt = Little(section + 20, 4);
        if (rawSize != 0 && (rawAt > size || rawSize > size - rawAt)) {
            return 0;
        }
    }
    *whole = 1;
    return 0;
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
