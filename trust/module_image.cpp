#include "trust/module_image.h"

#include <string.h>

bool ModuleImageRead(const uint8_t* image, uint32_t size, ModuleImage* headers) {
    if (image == nullptr || size < 64 || image[0] != 'M' || image[1] != 'Z') {
        return false;
    }
    uint32_t pe = ModuleRead32(image + 0x3C);
    if (!ModuleWithin(size, pe, 24) || memcmp(image + pe, "PE\0\0", 4) != 0) {
        return false;
    }
    uint32_t sectionCount = ModuleRead16(image + pe + 6);
    uint32_t optionalSize = ModuleRead16(image + pe + 20);
    uint32_t optional = pe + 24;
    if (!ModuleWithin(size, optional, optionalSize) || optionalSize < 2 || sectionCount > kModuleMostSections) {
        return false;
    }
    // The data directories follow the fields before them, of which PE32+
    // widens the image base and the stack and heap sizes; the last of those
    // fields is the number of directories.
    uint16_t magic = ModuleRead16(image + optional);
    uint32_t directories = magic == 0x10B ? 96 : magic == 0x20B ? 112 : 0;
    if (directories == 0 || optionalSize < directories) {
        return false;
    }
    uint32_t count = ModuleRead32(image + optional + directories - 4);
    uint32_t room = (optionalSize - directories) >> 3;
    uint32_t table = optional + optionalSize;
    headers->image = image;
    headers->size = size;
    headers->optional = optional;
    headers->directories = optional + directories;
    headers->directoryCount = count < room ? count : room;
    headers->headersSize = ModuleRead32(image + optional + 60);
    headers->sectionTable = table;
    headers->sectionCount = sectionCount;
    return headers->headersSize <= size && ModuleWithin(size, table, sectionCount * 40);
}

ModuleSection ModuleImageSection(const ModuleImage& headers, uint32_t index) {
    const uint8_t* entry = headers.image + headers.sectionTable + 40 * index;
    return ModuleSection{ModuleRead32(entry + 12), ModuleRead32(entry + 8), ModuleRead32(entry + 20),
                         ModuleRead32(entry + 16)};
}

bool ModuleImageDirectory(const ModuleImage& headers, uint32_t index, uint32_t* rva, uint32_t* size) {
    if (index >= headers.directoryCount) {
        return false;
    }
    const uint8_t* entry = headers.image + headers.directories + 8 * index;
    *rva = ModuleRead32(entry);
    *size = ModuleRead32(entry + 4);
    return true;
}

const uint8_t* ModuleImageAt(const ModuleImage& headers, uint32_t rva, uint32_t length) {
    for (uint32_t i = 0; i < headers.sectionCount; i++) {
        ModuleSection section = ModuleImageSection(headers, i);
        // What the loader maps of the section's raw data (a virtual size of
        // 0, as some linkers leave it, maps all of it).
        uint32_t mapped = section.virtualSize != 0 && section.virtualSize < section.rawSize ? section.virtualSize
                                                                                            : section.rawSize;
        if (rva < section.virtualAddress || rva - section.virtualAddress >= mapped) {
            continue;
        }
        uint32_t into = rva - section.virtualAddress;
        if (!ModuleWithin(mapped, into, length) || !ModuleWithin(headers.size, section.rawOffset, section.rawSize)) {
            return nullptr;
        }
        return headers.image + section.rawOffset + into;
    }
    return nullptr;
}
