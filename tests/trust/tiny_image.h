// Tiny PE images for the tests of the signature and version readers and of
// penwick verify: the headers the loader reads and sections of made-up
// bytes.
#ifndef PENWICK_TESTS_TRUST_TINY_IMAGE_H
#define PENWICK_TESTS_TRUST_TINY_IMAGE_H

#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "version_resource.h"

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& bytes, uint32_t at, uint32_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline void Put32(Bytes& bytes, uint32_t at, uint32_t value) {
    Put16(bytes, at, value & 0xFFFF);
    Put16(bytes, at + 2, value >> 16);
}

inline uint32_t Get32(const Bytes& bytes, uint32_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

struct TinySection {
    uint32_t offset;  // of its raw data in the file
    uint32_t size;
};

const uint32_t kPeAt = 0x40;
const uint32_t kOptionalAt = kPeAt + 24;

// Where the security directory entry of an image made by TinyImage is.
inline uint32_t SecurityEntryAt(bool plus) { return kOptionalAt + (plus ? 112 : 96) + 32; }

// A DLL for Windows CE on Thumb, as the loader reads one: 0x200 bytes of
// headers, the sections in the order given in the section table, then
// `tail` bytes after the last. Every byte of the sections is different
// from its neighbours, so a part hashed twice or not at all shows.
inline Bytes TinyImage(bool plus, const std::vector<TinySection>& sections, uint32_t tail = 0) {
    uint32_t end = 0x200;
    for (const TinySection& section : sections) {
        end = std::max(end, section.offset + section.size);
    }
    Bytes image(end + tail);
    for (uint32_t i = 0x200; i < image.size(); i++) {
        image[i] = static_cast<uint8_t>(i * 13 + i / 251);
    }
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, kPeAt);
    memcpy(&image[kPeAt], "PE\0\0", 4);
    uint32_t optionalSize = plus ? 0xF0 : 0xE0;
    Put16(image, kPeAt + 4, 0x1C2);  // IMAGE_FILE_MACHINE_THUMB
    Put16(image, kPeAt + 6, static_cast<uint32_t>(sections.size()));
    Put32(image, kPeAt + 8, 0x5EED0000);
    Put16(image, kPeAt + 20, optionalSize);
    Put16(image, kPeAt + 22, 0x2102);  // a 32-bit executable DLL
    uint32_t o = kOptionalAt;
    Put16(image, o, plus ? 0x20B : 0x10B);
    Put32(image, o + 16, 0x1000);  // entry point
    Put32(image, o + 20, 0x1000);  // code
    if (plus) {
        Put32(image, o + 24, 0x10000000);
    } else {
        Put32(image, o + 28, 0x10000000);
    }
    Put32(image, o + 32, 0x1000);  // section alignment
    Put32(image, o + 36, 0x200);   // file alignment
    Put16(image, o + 40, 5);       // operating system 5.0
    Put16(image, o + 48, 5);       // subsystem 5.0
    Put32(image, o + 56, 0x1000 * static_cast<uint32_t>(sections.size() + 1));
    Put32(image, o + 60, 0x200);
    Put16(image, o + 68, 9);  // Windows CE
    Put32(image, o + (plus ? 108 : 92), 16);
    uint32_t table = o + optionalSize;
    for (size_t i = 0; i < sections.size(); i++) {
        uint32_t at = table + 40 * static_cast<uint32_t>(i);
        std::string name = ".s" + std::to_string(i);
        memcpy(&image[at], name.data(), name.size());
        Put32(image, at + 8, sections[i].size);
        Put32(image, at + 12, 0x1000 * static_cast<uint32_t>(i + 1));
        Put32(image, at + 16, sections[i].size);
        Put32(image, at + 20, sections[i].offset);
        Put32(image, at + 36, 0x60000020);
    }
    return image;
}

// Two sections, one after the other, as a linker lays them out.
inline Bytes PlainImage() { return TinyImage(false, {{0x200, 0x400}, {0x600, 0x200}}); }

// Where VersionedImage puts the resource tree: the second section.
const uint32_t kResourceRva = 0x2000;
const uint32_t kResourceAt = 0x600;
const uint32_t kResourceEntryAt = kOptionalAt + 96 + 2 * 8;

// PlainImage with a version resource in its second section, which the
// resource directory names.
inline Bytes VersionedImage(const VersionResourceContents& contents = {}) {
    Bytes image = PlainImage();
    Bytes tree = VersionResource(kResourceRva, contents);
    std::copy(tree.begin(), tree.end(), image.begin() + kResourceAt);
    Put32(image, kResourceEntryAt, kResourceRva);
    Put32(image, kResourceEntryAt + 4, static_cast<uint32_t>(tree.size()));
    return image;
}

#endif
