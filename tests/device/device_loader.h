// Shared by the programs that run the device's modules on an emulated ARM926
// (qemu-arm): the loader's part, as a Windows CE loader plays it, and the
// tests' reporting. Each program plays coredll.dll with stand-ins of its own.
#ifndef PENWICK_TESTS_DEVICE_DEVICE_LOADER_H
#define PENWICK_TESTS_DEVICE_DEVICE_LOADER_H

#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>

#include <map>
#include <string>
#include <vector>

namespace {

int g_failures = 0;

void Expect(bool good, const std::string& what) {
    if (!good) {
        fprintf(stderr, "FAILED: %s\n", what.c_str());
        g_failures++;
    }
}

uint32_t Read32(const uint8_t* at) {
    return at[0] | at[1] << 8 | at[2] << 16 | uint32_t(at[3]) << 24;
}
uint16_t Read16(const uint8_t* at) { return uint16_t(at[0] | at[1] << 8); }

std::string Narrow(const char16_t* text) {
    std::string narrow;
    for (; *text != 0; text++) {
        narrow += static_cast<char>(*text);
    }
    return narrow;
}

struct Module {
    uint8_t* base = nullptr;
    std::map<std::string, void*> exports;
    void* entry = nullptr;
};

// Maps the image at whatever address the system gives, as a Windows CE
// loader may: every absolute address in it is moved by its relocation.
bool Load(const std::vector<uint8_t>& file, const std::map<std::string, void*>& coredll,
          Module* module) {
    uint32_t pe = Read32(&file[0x3C]);
    const uint8_t* optional = &file[pe + 24];
    uint32_t imageSize = Read32(optional + 56);
    uint32_t preferred = Read32(optional + 28);
    void* mapped = mmap(nullptr, imageSize, PROT_READ | PROT_WRITE | PROT_EXEC,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return false;
    }
    uint8_t* base = static_cast<uint8_t*>(mapped);
    memcpy(base, file.data(), Read32(optional + 60));
    const uint8_t* section = optional + Read16(&file[pe + 20]);
    for (int i = 0; i < Read16(&file[pe + 6]); i++, section += 40) {
        memcpy(base + Read32(section + 12), &file[Read32(section + 20)], Read32(section + 16));
    }
    auto directory = [&](int index) { return Read32(optional + 96 + 8 * index); };
    auto directorySize = [&](int index) { return Read32(optional + 100 + 8 * index); };

    uint32_t delta = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(base)) - preferred;
    for (uint32_t at = directory(5); at < directory(5) + directorySize(5);) {
        uint32_t page = Read32(base + at), size = Read32(base + at + 4);
        for (uint32_t i = 8; i < size; i += 2) {
            uint16_t entry = Read16(base + at + i);
            if (entry >> 12 == 3) {
                uint8_t* word = base + page + (entry & 0xFFF);
                uint32_t moved = Read32(word) + delta;
                memcpy(word, &moved, 4);
            } else {
                Expect(entry >> 12 == 0,
                       "a base relocation of type " + std::to_string(entry >> 12));
            }
        }
        at += size;
    }

    for (uint8_t* d = base + directory(1); Read32(d + 12) != 0; d += 20) {
        Expect(strcmp(reinterpret_cast<char*>(base + Read32(d + 12)), "coredll.dll") == 0,
               "imports from coredll.dll only");
        for (uint32_t slot = Read32(d + 16), name = Read32(d); Read32(base + name) != 0;
             slot += 4, name += 4) {
            std::string imported = reinterpret_cast<char*>(base + Read32(base + name) + 2);
            auto function = coredll.find(imported);
            if (function == coredll.end()) {
                Expect(false, "coredll.dll has no " + imported + " here");
                continue;
            }
            memcpy(base + slot, &function->second, 4);
        }
    }

    const uint8_t* exports = base + directory(0);
    for (uint32_t i = 0; directory(0) != 0 && i < Read32(exports + 24); i++) {
        std::string name =
            reinterpret_cast<char*>(base + Read32(base + Read32(exports + 32) + 4 * i));
        uint16_t index = Read16(base + Read32(exports + 36) + 2 * i);
        module->exports[name] = base + Read32(base + Read32(exports + 28) + 4 * index);
    }
    module->entry = base + Read32(optional + 16);
    module->base = base;
    return true;
}

// --- what coredll.dll says of the device, for both modules ----------------------

// A Pocket PC by its maker, Windows CE 5.1: SPI_GETPLATFORMTYPE and
// SPI_GETOEMINFO, the size in bytes or units, and GetVersionExW.
int SystemParametersInfoW(unsigned action, unsigned size, char16_t* data, unsigned update) {
    const std::u16string text = action == 257 ? u"PocketPC" : u"ARM926 test";
    if ((action != 257 && action != 258) || size <= text.size() || update != 0) {
        Expect(false, "SystemParametersInfoW " + std::to_string(action) + " as the device refuses it");
        return 0;
    }
    memcpy(data, text.c_str(), (text.size() + 1) * 2);
    return 1;
}

struct VersionInfo {
    uint32_t size, major, minor, build, platformId;
    char16_t servicePack[128];
};
int GetVersionExW(VersionInfo* version) {
    if (version->size != sizeof *version) {
        Expect(false, "GetVersionExW without its size");
        return 0;
    }
    *version = {sizeof *version, 5, 1, 1702, 3, {}};
    return 1;
}

}  // namespace

#endif
