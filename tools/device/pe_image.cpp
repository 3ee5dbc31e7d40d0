#include "pe_image.h"

#include <stdio.h>
#include <string.h>

#include <fstream>
#include <iterator>

uint16_t PeRead16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }

uint32_t PeRead32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

namespace {

const uint16_t kPe32Magic = 0x10B;

bool Fail(std::string* error, const std::string& reason) {
    *error = reason;
    return false;
}

// A terminated ASCII string at rva, or false if it runs off the image.
bool StringAt(const PeImage& image, uint32_t rva, std::string* text) {
    const PeSection* section = PeSectionAt(image, rva);
    if (section == nullptr || PeAt(image, rva, 1) == nullptr) {
        return false;
    }
    uint32_t stored = section->virtualAddress + section->rawSize - rva;
    const char* start = reinterpret_cast<const char*>(PeAt(image, rva, 1));
    size_t length = strnlen(start, stored);
    if (length == stored) {
        return false;
    }
    text->assign(start, length);
    return true;
}

// The export directory, or null without one (*error set when it lies
// outside the image).
const uint8_t* ExportDirectory(const PeImage& image, std::string* error) {
    const PeDirectory& directory = image.directories[kPeExportDirectory];
    if (directory.rva == 0) {
        return nullptr;
    }
    const uint8_t* d = PeAt(image, directory.rva, 40);
    if (d == nullptr) {
        *error = "export directory outside the image";
    }
    return d;
}

}  // namespace

std::string PeHex(uint32_t value) {
    char text[16];
    snprintf(text, sizeof text, "0x%X", value);
    return text;
}

bool PeRead(std::vector<uint8_t> bytes, PeImage* image, std::string* error) {
    *image = PeImage();
    image->bytes = std::move(bytes);
    const std::vector<uint8_t>& b = image->bytes;
    if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') {
        return Fail(error, "not a PE image (no MZ header)");
    }
    uint32_t pe = PeRead32(&b[0x3C]);
    if (pe > b.size() || b.size() - pe < 24 + 96 || memcmp(&b[pe], "PE\0\0", 4) != 0) {
        return Fail(error, "not a PE image (no PE signature)");
    }
    image->signatureOffset = pe;
    const uint8_t* file = &b[pe + 4];
    const uint8_t* optional = &b[pe + 24];
    uint16_t sectionCount = PeRead16(file + 2);
    uint16_t optionalSize = PeRead16(file + 16);
    if (PeRead16(optional) != kPe32Magic) {
        return Fail(error, "not a 32-bit PE image");
    }
    uint32_t directoryCount = PeRead32(optional + 92);
    if (optionalSize < 96 || directoryCount > 16 || optionalSize < 96 + 8 * directoryCount ||
        b.size() - pe - 24 < optionalSize + 40u * sectionCount) {
        return Fail(error, "truncated PE headers");
    }
    image->machine = PeRead16(file);
    image->characteristics = PeRead16(file + 18);
    image->optionalHeaderSize = optionalSize;
    image->directoryCount = directoryCount;
    image->entryPoint = PeRead32(optional + 16);
    image->imageBase = PeRead32(optional + 28);
    image->osVersion[0] = PeRead16(&b[pe + kPeOsVersionOffset]);
    image->osVersion[1] = PeRead16(&b[pe + kPeOsVersionOffset + 2]);
    image->subsystemVersion[0] = PeRead16(&b[pe + kPeSubsystemVersionOffset]);
    image->subsystemVersion[1] = PeRead16(&b[pe + kPeSubsystemVersionOffset + 2]);
    image->subsystem = PeRead16(&b[pe + kPeSubsystemOffset]);
    for (uint32_t i = 0; i < directoryCount; i++) {
        image->directories.push_back(
            {PeRead32(optional + 96 + 8 * i), PeRead32(optional + 100 + 8 * i)});
    }
    image->directories.resize(16, PeDirectory{0, 0});
    const uint8_t* table = optional + optionalSize;
    for (uint16_t i = 0; i < sectionCount; i++) {
        const uint8_t* s = table + 40 * i;
        PeSection section;
        section.name.assign(reinterpret_cast<const char*>(s),
                            strnlen(reinterpret_cast<const char*>(s), 8));
        section.virtualSize = PeRead32(s + 8);
        section.virtualAddress = PeRead32(s + 12);
        section.rawSize = PeRead32(s + 16);
        section.rawOffset = PeRead32(s + 20);
        section.characteristics = PeRead32(s + 36);
        if (section.rawOffset > b.size() || b.size() - section.rawOffset < section.rawSize) {
            return Fail(error, "section " + section.name + " runs past the end of the file");
        }
        image->sections.push_back(section);
    }
    return true;
}

bool PeLoadFile(const std::string& path, PeImage* image, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) {
        return Fail(error, "cannot open " + path);
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
    if (file.bad()) {
        return Fail(error, "cannot read " + path);
    }
    return PeRead(std::move(bytes), image, error);
}

const PeSection* PeSectionAt(const PeImage& image, uint32_t rva) {
    for (const PeSection& section : image.sections) {
        uint32_t extent =
            section.virtualSize > section.rawSize ? section.virtualSize : section.rawSize;
        if (rva >= section.virtualAddress && rva - section.virtualAddress < extent) {
            return &section;
        }
    }
    return nullptr;
}

const uint8_t* PeAt(const PeImage& image, uint32_t rva, uint32_t size) {
    const PeSection* section = PeSectionAt(image, rva);
    if (section == nullptr) {
        return nullptr;
    }
    uint32_t offset = rva - section->virtualAddress;
    if (offset > section->rawSize || section->rawSize - offset < size) {
        return nullptr;
    }
    return &image.bytes[section->rawOffset + offset];
}

bool PeReadExportCounts(const PeImage& image, PeExportCounts* counts, std::string* error) {
    *counts = PeExportCounts{0, 0, ""};
    error->clear();
    const uint8_t* d = ExportDirectory(image, error);
    if (d != nullptr) {
        *counts = PeExportCounts{PeRead32(d + 20), PeRead32(d + 24), ""};
        if (!StringAt(image, PeRead32(d + 12), &counts->module)) {
            counts->module = "?";
        }
    }
    return error->empty();
}

bool PeReadExports(const PeImage& image, std::vector<PeExport>* exports, std::string* error) {
    exports->clear();
    PeExportCounts counts;
    if (!PeReadExportCounts(image, &counts, error)) {
        return false;
    }
    if (counts.functions == 0 && counts.names == 0) {
        return true;
    }
    const uint8_t* d = ExportDirectory(image, error);
    uint32_t base = PeRead32(d + 16);
    if (counts.functions > 0xFFFF || counts.names > 0xFFFF) {  // ordinals are 16 bits
        return Fail(error, "export directory counts are broken");
    }
    const uint8_t* functions = PeAt(image, PeRead32(d + 28), 4 * counts.functions);
    const uint8_t* names = PeAt(image, PeRead32(d + 32), 4 * counts.names);
    const uint8_t* nameOrdinals = PeAt(image, PeRead32(d + 36), 2 * counts.names);
    if ((counts.functions > 0 && functions == nullptr) ||
        (counts.names > 0 && (names == nullptr || nameOrdinals == nullptr))) {
        return Fail(error, "export tables outside the image");
    }
    std::vector<std::vector<std::string>> namesOf(counts.functions);
    for (uint32_t i = 0; i < counts.names; i++) {
        uint16_t index = PeRead16(nameOrdinals + 2 * i);
        std::string name;
        if (index >= counts.functions || !StringAt(image, PeRead32(names + 4 * i), &name)) {
            return Fail(error, "export name " + std::to_string(i) + " is broken");
        }
        namesOf[index].push_back(name);
    }
    for (uint32_t i = 0; i < counts.functions; i++) {
        uint32_t rva = PeRead32(functions + 4 * i);
        for (const std::string& name : namesOf[i]) {
            exports->push_back({name, base + i, rva});
        }
        // An address of 0 is an ordinal that nothing is exported under.
        if (namesOf[i].empty() && rva != 0) {
            exports->push_back({"", base + i, rva});
        }
    }
    return true;
}

bool PeReadImports(const PeImage& image, std::vector<PeImport>* imports, std::string* error) {
    imports->clear();
    const PeDirectory& directory = image.directories[kPeImportDirectory];
    if (directory.rva == 0) {
        return true;
    }
    for (uint32_t at = directory.rva;; at += 20) {
        const uint8_t* d = PeAt(image, at, 20);
        if (d == nullptr) {
            return Fail(error, "import directory outside the image");
        }
        uint32_t lookup = PeRead32(d);
        uint32_t nameRva = PeRead32(d + 12);
        uint32_t slots = PeRead32(d + 16);
        if (nameRva == 0 && slots == 0) {
            return true;
        }
        std::string library;
        if (!StringAt(image, nameRva, &library)) {
            return Fail(error, "import library name at " + PeHex(nameRva) + " is broken");
        }
        for (uint32_t entry = lookup != 0 ? lookup : slots;; entry += 4) {
            const uint8_t* e = PeAt(image, entry, 4);
            if (e == nullptr) {
                return Fail(error, "import table of " + library + " is broken");
            }
            uint32_t value = PeRead32(e);
            if (value == 0) {
                break;
            }
            if (value & 0x80000000u) {
                imports->push_back({library, "", value & 0xFFFF});
                continue;
            }
            std::string name;
            if (!StringAt(image, value + 2, &name)) {
                return Fail(error, "import name at " + PeHex(value) + " is broken");
            }
            imports->push_back({library, name, 0});
        }
    }
}

bool PeReadRelocations(const PeImage& image, std::vector<PeRelocation>* relocations,
                       std::string* error) {
    relocations->clear();
    const PeDirectory& directory = image.directories[kPeRelocationDirectory];
    uint32_t at = directory.rva;
    uint32_t end = directory.rva + directory.size;
    while (at < end) {
        const uint8_t* block = PeAt(image, at, 8);
        uint32_t blockSize = block != nullptr ? PeRead32(block + 4) : 0;
        if (blockSize < 8 || blockSize > end - at || PeAt(image, at, blockSize) == nullptr) {
            return Fail(error, "base relocation block at " + PeHex(at) + " is broken");
        }
        uint32_t page = PeRead32(block);
        for (uint32_t i = 8; i + 2 <= blockSize; i += 2) {
            uint16_t entry = PeRead16(block + i);
            relocations->push_back({page + (entry & 0x0FFF), entry >> 12});
        }
        at += blockSize;
    }
    return true;
}
