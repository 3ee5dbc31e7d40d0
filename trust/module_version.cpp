#include "trust/module_version.h"

#include <string.h>

#include "platform/decimal_digits.h"
#include "trust/module_image.h"

namespace {

const uint32_t kTypeVersion = 16;  // RT_VERSION
const uint32_t kNameVersion = 1;   // VS_VERSION_INFO
const uint32_t kAnyEntry = 0xFFFFFFFF;
// An entry's offset with this bit set is a directory's; without it, a data
// entry's. Both are counted from the tree's start.
const uint32_t kSubdirectory = 0x80000000;

// VS_VERSIONINFO: wLength, wValueLength, wType, the key "VS_VERSION_INFO"
// in UTF-16 and its terminator, padding to 4 bytes, then the value, a
// VS_FIXEDFILEINFO of 13 DWORDs.
const uint32_t kKeyAt = 6;
const uint8_t kKey[] = {'V', 0, 'S', 0, '_', 0, 'V', 0, 'E', 0, 'R', 0, 'S', 0, 'I', 0,
                        'O', 0, 'N', 0, '_', 0, 'I', 0, 'N', 0, 'F', 0, 'O', 0, 0,   0};
const uint32_t kFixedAt = 40;
const uint32_t kFixedSize = 52;
const uint32_t kFixedSignature = 0xFEEF04BD;

enum Lookup { EntryFound, EntryMissing, EntryLies };

// The resource directory: its bytes, as the header's data directory gives
// them.
struct ResourceTree {
    const uint8_t* at;
    uint32_t size;
};

// In the directory at `offset` of the tree, the entry for `id` (among the
// entries with an id, after those with a name), or the first entry of all
// for kAnyEntry: its offset word goes to *target.
Lookup DirectoryEntry(const ResourceTree& tree, uint32_t offset, uint32_t id, uint32_t* target) {
    if (!ModuleWithin(tree.size, offset, 16)) {
        return EntryLies;
    }
    const uint8_t* directory = tree.at + offset;
    uint32_t named = ModuleRead16(directory + 12);
    uint32_t count = named + ModuleRead16(directory + 14);
    if (!ModuleWithin(tree.size, offset + 16, count * 8)) {
        return EntryLies;
    }
    for (uint32_t i = id == kAnyEntry ? 0 : named; i < count; i++) {
        const uint8_t* entry = directory + 16 + 8 * i;
        if (id == kAnyEntry || ModuleRead32(entry) == id) {
            *target = ModuleRead32(entry + 4);
            return EntryFound;
        }
    }
    return EntryMissing;
}

// Down the tree: type, name, then the first language, whose entry is the
// data entry {RVA, size, code page, 0}. Three steps and no more, so that a
// directory that names itself or its parent only ends the walk.
ModuleVersionKind FindVersionData(const ModuleImage& headers, const ResourceTree& tree, const uint8_t** data,
                                  uint32_t* size) {
    const uint32_t ids[3] = {kTypeVersion, kNameVersion, kAnyEntry};
    uint32_t offset = 0;
    for (int level = 0; level < 3; level++) {
        uint32_t target = 0;
        Lookup found = DirectoryEntry(tree, offset, ids[level], &target);
        if (found != EntryFound) {
            return found == EntryMissing ? VersionNone : VersionBroken;
        }
        bool last = level == 2;
        if (((target & kSubdirectory) != 0) == last) {
            return VersionBroken;
        }
        offset = target & ~kSubdirectory;
    }
    if (!ModuleWithin(tree.size, offset, 16)) {
        return VersionBroken;
    }
    *size = ModuleRead32(tree.at + offset + 4);
    *data = ModuleImageAt(headers, ModuleRead32(tree.at + offset), *size);
    return *data != nullptr ? VersionRead : VersionBroken;
}

void VersionParts(uint32_t most, uint32_t least, uint16_t parts[4]) {
    parts[0] = static_cast<uint16_t>(most >> 16);
    parts[1] = static_cast<uint16_t>(most);
    parts[2] = static_cast<uint16_t>(least >> 16);
    parts[3] = static_cast<uint16_t>(least);
}

}  // namespace

ModuleVersionKind ModuleVersionRead(const uint8_t* image, uint32_t size, ModuleVersion* version) {
    memset(version, 0, sizeof *version);
    ModuleImage headers;
    if (!ModuleImageRead(image, size, &headers)) {
        return VersionNotImage;
    }
    uint32_t rva = 0, treeSize = 0;
    if (!ModuleImageDirectory(headers, kModuleResourceDirectory, &rva, &treeSize) || rva == 0) {
        return VersionNone;
    }
    ResourceTree tree = {ModuleImageAt(headers, rva, treeSize), treeSize};
    if (tree.at == nullptr) {
        return VersionBroken;
    }
    const uint8_t* data = nullptr;
    uint32_t dataSize = 0;
    ModuleVersionKind kind = FindVersionData(headers, tree, &data, &dataSize);
    if (kind != VersionRead) {
        return kind;
    }
    uint32_t length = dataSize >= kFixedAt + kFixedSize ? ModuleRead16(data) : 0;
    if (length < kFixedAt + kFixedSize || length > dataSize || ModuleRead16(data + 2) < kFixedSize ||
        memcmp(data + kKeyAt, kKey, sizeof kKey) != 0 || ModuleRead32(data + kFixedAt) != kFixedSignature) {
        return VersionBroken;
    }
    const uint8_t* fixed = data + kFixedAt;
    VersionParts(ModuleRead32(fixed + 8), ModuleRead32(fixed + 12), version->file);
    VersionParts(ModuleRead32(fixed + 16), ModuleRead32(fixed + 20), version->product);
    version->fileOs = ModuleRead32(fixed + 32);
    version->fileType = ModuleRead32(fixed + 36);
    return VersionRead;
}

const char* ModuleVersionProblem(ModuleVersionKind kind) {
    switch (kind) {
    case VersionRead:
        return "it carries a version resource";
    case VersionNotImage:
        return "it is not a module: its headers cannot be read";
    case VersionNone:
        return "no version resource";
    case VersionBroken:
        return "its version resource is broken: an offset or a length lies";
    }
    return "?";
}

uint32_t ModuleVersionText(const uint16_t parts[4], char text[kModuleVersionTextUnits]) {
    uint32_t length = 0;
    int count = parts[3] != 0 ? 4 : 3;
    for (int i = 0; i < count; i++) {
        char digits[11];
        DecimalDigits(parts[i], 1, digits);
        if (i > 0) {
            text[length++] = '.';
        }
        for (const char* d = digits; *d != 0; d++) {
            text[length++] = *d;
        }
    }
    text[length] = 0;
    return length;
}
