// Small PE32 images written by the tests themselves: what the linker makes
// for the device, with the tables and the code the test chooses.
#ifndef PENWICK_TESTS_DEVICE_TEST_IMAGE_H
#define PENWICK_TESTS_DEVICE_TEST_IMAGE_H

#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

struct TestExport {
    std::string name;  // empty: exported by ordinal only
    uint32_t ordinal;
    uint32_t rva;
};

struct TestImport {
    std::string library;
    std::string name;  // empty: imported by ordinal
    uint32_t ordinal;
};

struct TestRelocation {
    uint32_t rva;
    int type;
};

// As lld-link leaves the device DLL: ARMNT, a DLL (with a 32-bit machine
// and executable), desktop GUI subsystem, 6.00, the usual optional header.
struct TestImageContents {
    uint16_t machine = 0x1C4;
    uint16_t characteristics = 0x2102;
    uint16_t optionalHeaderSize = 224;
    uint32_t directoryCount = 16;
    uint16_t subsystem = 2;
    uint16_t osVersion[2] = {6, 0};
    uint16_t subsystemVersion[2] = {6, 0};
    uint32_t entryPoint = 0x1001;
    std::vector<uint16_t> code = {0xB580, 0xBD80};  // push {r7, lr}; pop {r7, pc}
    uint32_t exportBase = 1;
    std::string exportedModule = "Test.dll";  // the export directory's Name
    std::vector<TestExport> exports;
    std::vector<TestImport> imports;
    std::vector<TestRelocation> relocations;
    std::vector<uint8_t> resources;  // the resource tree, at kTestResourceRva; none when empty
};

const uint32_t kTestImageBase = 0x10000000;
const uint32_t kTestCodeRva = 0x1000;  // .text, 0x200 bytes at file offset 0x200
const uint32_t kTestDataRva = 0x2000;  // .rdata: the export and import tables
const uint32_t kTestRelocRva = 0x3000;
const uint32_t kTestResourceRva = 0x4000;  // .rsrc, when there are resources

inline std::vector<uint8_t> TestImage(const TestImageContents& contents) {
    const uint32_t sectionCount = contents.resources.empty() ? 3 : 4;
    std::vector<uint8_t> b(0x200 * (sectionCount + 1), 0);
    auto put16 = [&](uint32_t at, uint32_t v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); };
    auto put32 = [&](uint32_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
    auto putText = [&](uint32_t at, const std::string& s) {
        memcpy(&b[at], s.c_str(), s.size() + 1);
    };
    const uint32_t pe = 0x40, opt = pe + 24, sections = opt + contents.optionalHeaderSize;
    b[0] = 'M', b[1] = 'Z';
    put32(0x3C, pe);
    memcpy(&b[pe], "PE\0\0", 4);
    put16(pe + 4, contents.machine);
    put16(pe + 6, sectionCount);
    put16(pe + 20, contents.optionalHeaderSize);
    put16(pe + 22, contents.characteristics);
    put16(opt, 0x10B);
    put32(opt + 16, contents.entryPoint);
    put32(opt + 28, kTestImageBase);
    put32(opt + 32, 0x1000);
    put32(opt + 36, 0x200);
    put16(opt + 40, contents.osVersion[0]);
    put16(opt + 42, contents.osVersion[1]);
    put16(opt + 48, contents.subsystemVersion[0]);
    put16(opt + 50, contents.subsystemVersion[1]);
    put32(opt + 56, 0x1000 * (sectionCount + 1));
    put32(opt + 60, 0x200);
    put16(opt + 68, contents.subsystem);
    put32(opt + 92, contents.directoryCount);
    const char* names[4] = {".text", ".rdata", ".reloc", ".rsrc"};
    const uint32_t flags[4] = {0x60000020, 0x40000040, 0x42000040, 0x40000040};
    for (uint32_t i = 0; i < sectionCount; i++) {
        uint32_t s = sections + 40 * i;
        memcpy(&b[s], names[i], strlen(names[i]));
        put32(s + 8, 0x200);
        put32(s + 12, 0x1000 * (i + 1));
        put32(s + 16, 0x200);
        put32(s + 20, 0x200 * (i + 1));
        put32(s + 36, flags[i]);
    }
    // Section n (1 to 4) sits at RVA 0x1000 n and file offset 0x200 n.
    auto file = [](uint32_t rva) { return (rva >> 12) * 0x200 + (rva & 0xFFF); };
    for (size_t i = 0; i < contents.code.size(); i++) {
        put16(file(kTestCodeRva) + 2 * static_cast<uint32_t>(i), contents.code[i]);
    }

    // .rdata: export directory at 0x2000, its tables from 0x2028, its names
    // from 0x2080; import descriptors at 0x2100, lookup tables from 0x2140,
    // names from 0x2180.
    uint32_t next = 0x2080;
    auto string = [&](const std::string& s) {
        uint32_t at = next;
        putText(file(at), s);
        next += uint32_t(s.size()) + 1;
        return at;
    };
    // An import by name points at a 16-bit hint, then the name.
    auto hintName = [&](const std::string& s) {
        uint32_t at = next;
        next += 2;
        string(s);
        return at;
    };
    if (!contents.exports.empty()) {
        uint32_t count = 0;
        for (const TestExport& e : contents.exports) {
            count = std::max(count, e.ordinal - contents.exportBase + 1);
        }
        uint32_t functions = 0x2028, nameTable = functions + 4 * count;
        uint32_t ordinals = nameTable + 4 * uint32_t(contents.exports.size());
        uint32_t named = 0;
        put32(file(0x2000) + 12, string(contents.exportedModule));
        put32(file(0x2000) + 16, contents.exportBase);
        put32(file(0x2000) + 20, count);
        put32(file(0x2000) + 28, functions);
        put32(file(0x2000) + 32, nameTable);
        put32(file(0x2000) + 36, ordinals);
        for (const TestExport& e : contents.exports) {
            put32(file(functions) + 4 * (e.ordinal - contents.exportBase), e.rva);
            if (!e.name.empty()) {
                put32(file(nameTable) + 4 * named, string(e.name));
                put16(file(ordinals) + 2 * named, e.ordinal - contents.exportBase);
                named++;
            }
        }
        put32(file(0x2000) + 24, named);
        put32(opt + 96, 0x2000);
        put32(opt + 100, 40);
    }
    if (!contents.imports.empty()) {
        // One descriptor per library, in order of first appearance.
        std::vector<std::string> libraries;
        for (const TestImport& i : contents.imports) {
            if (std::find(libraries.begin(), libraries.end(), i.library) == libraries.end()) {
                libraries.push_back(i.library);
            }
        }
        uint32_t descriptor = 0x2100, table = 0x2140;
        next = 0x2180;
        for (const std::string& library : libraries) {
            put32(file(descriptor), table);
            put32(file(descriptor) + 12, string(library));
            put32(file(descriptor) + 16, table);
            for (const TestImport& i : contents.imports) {
                if (i.library == library) {
                    uint32_t entry = i.name.empty() ? (0x80000000u | i.ordinal) : hintName(i.name);
                    put32(file(table), entry);
                    table += 4;
                }
            }
            table += 4;
            descriptor += 20;
        }
        put32(opt + 104, 0x2100);
        put32(opt + 108, 20 * uint32_t(libraries.size() + 1));
    }
    if (!contents.relocations.empty()) {
        // One block per 4 KB page, in order.
        uint32_t at = kTestRelocRva;
        for (size_t i = 0; i < contents.relocations.size();) {
            uint32_t page = contents.relocations[i].rva & ~0xFFFu, entries = 0;
            for (;
                 i < contents.relocations.size() && (contents.relocations[i].rva & ~0xFFFu) == page;
                 i++, entries++) {
                put16(file(at) + 8 + 2 * entries, uint32_t(contents.relocations[i].type) << 12 |
                                                      (contents.relocations[i].rva & 0xFFF));
            }
            uint32_t size = 8 + 2 * (entries + (entries & 1));
            put32(file(at), page);
            put32(file(at) + 4, size);
            at += size;
        }
        put32(opt + 136, kTestRelocRva);
        put32(opt + 140, at - kTestRelocRva);
    }
    if (!contents.resources.empty()) {
        std::copy(contents.resources.begin(), contents.resources.end(),
                  b.begin() + file(kTestResourceRva));
        put32(opt + 112, kTestResourceRva);
        put32(opt + 116, uint32_t(contents.resources.size()));
    }
    return b;
}

#endif
