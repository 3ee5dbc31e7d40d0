// A version resource tree as lld-link lays one out in .rsrc, for the tests
// of the version reader and of the device check: the directories of type
// RT_VERSION, name 1 and language 0x409, the data entry, then a
// VS_VERSIONINFO holding only its VS_FIXEDFILEINFO. The offsets are named
// so that a test can break one part.
#ifndef PENWICK_TESTS_TRUST_VERSION_RESOURCE_H
#define PENWICK_TESTS_TRUST_VERSION_RESOURCE_H

#include <stdint.h>
#include <string.h>

#include <vector>

struct VersionResourceContents {
    uint16_t file[4] = {0, 1, 0, 0};
    uint16_t product[4] = {0, 1, 0, 0};
    uint32_t fileOs = 0x00050004;  // VOS_WINCE | VOS__WINDOWS32
    uint32_t fileType = 2;         // VFT_DLL
};

// Where the parts lie, from the tree's start: each directory is 16 bytes
// and one entry {id, offset}.
const uint32_t kTypeDirectoryAt = 0;
const uint32_t kNameDirectoryAt = 24;
const uint32_t kLanguageDirectoryAt = 48;
const uint32_t kDataEntryAt = 72;
const uint32_t kVersionInfoAt = 88;
const uint32_t kFixedInfoAt = kVersionInfoAt + 40;
const uint32_t kVersionResourceSize = kFixedInfoAt + 52;

// The tree, to lie at `rva` in the image.
inline std::vector<uint8_t> VersionResource(uint32_t rva, const VersionResourceContents& contents = {}) {
    std::vector<uint8_t> b(kVersionResourceSize, 0);
    auto put16 = [&](uint32_t at, uint32_t v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); };
    auto put32 = [&](uint32_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
    auto directory = [&](uint32_t at, uint32_t id, uint32_t offset) {
        put16(at + 14, 1);  // one entry with an id
        put32(at + 16, id);
        put32(at + 20, offset);
    };
    directory(kTypeDirectoryAt, 16, 0x80000000 | kNameDirectoryAt);
    directory(kNameDirectoryAt, 1, 0x80000000 | kLanguageDirectoryAt);
    directory(kLanguageDirectoryAt, 0x409, kDataEntryAt);
    put32(kDataEntryAt, rva + kVersionInfoAt);
    put32(kDataEntryAt + 4, kVersionResourceSize - kVersionInfoAt);
    put32(kDataEntryAt + 8, 1252);
    put16(kVersionInfoAt, kVersionResourceSize - kVersionInfoAt);
    put16(kVersionInfoAt + 2, 52);
    const char key[] = "VS_VERSION_INFO";
    for (uint32_t i = 0; i < sizeof key - 1; i++) {
        b[kVersionInfoAt + 6 + 2 * i] = uint8_t(key[i]);
    }
    const uint32_t fixed[13] = {0xFEEF04BD,
                                0x00010000,
                                uint32_t(contents.file[0]) << 16 | contents.file[1],
                                uint32_t(contents.file[2]) << 16 | contents.file[3],
                                uint32_t(contents.product[0]) << 16 | contents.product[1],
                                uint32_t(contents.product[2]) << 16 | contents.product[3],
                                0x3F,
                                0,
                                contents.fileOs,
                                contents.fileType,
                                0,
                                0,
                                0};
    for (uint32_t i = 0; i < 13; i++) {
        put32(kFixedInfoAt + 4 * i, fixed[i]);
    }
    return b;
}

#endif
