// The headers of a module (a PE image in memory, the whole file) as the
// readers of its signature and of its version resource both need them: where
// the optional header, the data directories and the section table lie, and
// the bytes stored at an RVA.
//
// No heap; every read lies in [image, image + size), whatever the bytes.
#ifndef PENWICK_TRUST_MODULE_IMAGE_H
#define PENWICK_TRUST_MODULE_IMAGE_H

#include <stdint.h>

// The most sections an image may have to be read. The device's own modules
// have a handful.
const uint32_t kModuleMostSections = 96;

// Data directories by index.
const uint32_t kModuleResourceDirectory = 2;
const uint32_t kModuleSecurityDirectory = 4;

inline uint16_t ModuleRead16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }

inline uint32_t ModuleRead32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

// Whether `length` bytes at `offset` lie within `size`, without overflow.
inline bool ModuleWithin(uint32_t size, uint32_t offset, uint32_t length) {
    return offset <= size && length <= size - offset;
}

struct ModuleImage {
    const uint8_t* image;
    uint32_t size;
    uint32_t optional;        // the optional header's offset
    uint32_t directories;     // the first data directory's offset
    uint32_t directoryCount;  // as many as the header says and holds
    uint32_t headersSize;     // SizeOfHeaders
    uint32_t sectionTable;    // the section table's offset
    uint32_t sectionCount;
};

struct ModuleSection {
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawOffset;
    uint32_t rawSize;
};

// Reads the headers of a PE32 (or PE32+) image: false when the loader could
// not read them (no MZ or PE signature, an unknown optional header, headers
// or a section table past the end of the file, more than
// kModuleMostSections sections).
bool ModuleImageRead(const uint8_t* image, uint32_t size, ModuleImage* headers);

// The section table's entry `index` (below sectionCount), as it says.
ModuleSection ModuleImageSection(const ModuleImage& headers, uint32_t index);

// Data directory `index`: false when the header has none of that index.
bool ModuleImageDirectory(const ModuleImage& headers, uint32_t index, uint32_t* rva, uint32_t* size);

// The `length` bytes at `rva` as the file stores them: null unless they lie
// within one section, within both what it maps and its raw data in the file.
const uint8_t* ModuleImageAt(const ModuleImage& headers, uint32_t rva, uint32_t length);

#endif
