// Reading a 32-bit PE image (a Windows or Windows CE DLL) as the device's
// loader sees it: the header fields it checks, the sections, and the export,
// import and base relocation tables. Shared by pe_header, which sets the
// header fields, and device_check, which checks the whole image.
#ifndef PENWICK_TOOLS_DEVICE_PE_IMAGE_H
#define PENWICK_TOOLS_DEVICE_PE_IMAGE_H

#include <stdint.h>

#include <string>
#include <vector>

// What the device's loader needs in the header: a Thumb-capable ARM image
// (IMAGE_FILE_MACHINE_THUMB) for the Windows CE GUI subsystem, asking for
// Windows CE 5.00. The loader refuses an image whose subsystem version is
// newer than the system it runs; 5.00 is the oldest system Penwick is for,
// and Windows Mobile 5.0 runs Windows CE 5.01, the newest. The same version
// is given as OS version and as subsystem version.
const uint16_t kDeviceMachine = 0x1C2;
const uint16_t kDeviceSubsystem = 9;
const uint16_t kDeviceMajorVersion = 5;
const uint16_t kDeviceMinorVersion = 0;
const uint16_t kDeviceNewestMinorVersion = 1;

// The loader finds the section table right after an optional header of this
// size, which holds 16 data directories, whatever the header says.
const uint16_t kPeOptionalHeaderSize = 0xE0;
const uint32_t kPeDirectoryCount = 16;

// File header characteristics.
const uint16_t kPeFileRelocsStripped = 0x0001;  // IMAGE_FILE_RELOCS_STRIPPED
const uint16_t kPeFileDll = 0x2000;             // IMAGE_FILE_DLL

// Byte offsets of the header fields that pe_header writes, counted from the
// "PE\0\0" signature.
const uint32_t kPeMachineOffset = 4;
const uint32_t kPeOsVersionOffset = 24 + 40;         // major, then minor, 16 bits each
const uint32_t kPeSubsystemVersionOffset = 24 + 48;  // major, then minor
const uint32_t kPeSubsystemOffset = 24 + 68;

// Data directories by index.
const int kPeExportDirectory = 0;
const int kPeImportDirectory = 1;
const int kPeRelocationDirectory = 5;

const uint32_t kPeSectionExecutable = 0x20000000;  // IMAGE_SCN_MEM_EXECUTE
const uint32_t kPeSectionCode = 0x00000020;        // IMAGE_SCN_CNT_CODE

struct PeSection {
    std::string name;
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawOffset;
    uint32_t rawSize;
    uint32_t characteristics;
};

struct PeDirectory {
    uint32_t rva;
    uint32_t size;
};

struct PeImage {
    std::vector<uint8_t> bytes;
    uint32_t signatureOffset;  // of "PE\0\0"
    uint16_t machine;
    uint16_t characteristics;
    uint16_t optionalHeaderSize;
    uint32_t directoryCount;  // as the header gives it; directories holds 16
    uint16_t subsystem;
    uint16_t osVersion[2];  // major, minor
    uint16_t subsystemVersion[2];
    uint32_t entryPoint;  // RVA
    uint32_t imageBase;
    std::vector<PeSection> sections;
    std::vector<PeDirectory> directories;
};

// An export: a name and the function it names, or a function exported by
// ordinal only. A function under two names is two exports.
struct PeExport {
    std::string name;  // empty for an address exported by ordinal only
    uint32_t ordinal;
    uint32_t rva;
};

// The export directory's NumberOfFunctions and NumberOfNames, and the file
// name it gives the module ("?" when its Name points outside the image).
struct PeExportCounts {
    uint32_t functions;
    uint32_t names;
    std::string module;
};

struct PeImport {
    std::string library;
    std::string name;  // empty when imported by ordinal
    uint32_t ordinal;  // only when imported by ordinal
};

struct PeRelocation {
    uint32_t rva;
    int type;  // 0 padding, 3 HIGHLOW (a 32-bit address), ...
};

// Parses the headers and the section table of a PE32 image. False, with the
// reason in *error, when the bytes are not one.
bool PeRead(std::vector<uint8_t> bytes, PeImage* image, std::string* error);

// Reads the file at path and parses it as PeRead does.
bool PeLoadFile(const std::string& path, PeImage* image, std::string* error);

// The image's bytes at rva, or null when fewer than `size` bytes are stored
// there in the file.
const uint8_t* PeAt(const PeImage& image, uint32_t rva, uint32_t size);

// The section that holds rva, or null.
const PeSection* PeSectionAt(const PeImage& image, uint32_t rva);

// The tables; false with *error when one points outside the image.
bool PeReadExportCounts(const PeImage& image, PeExportCounts* counts, std::string* error);
bool PeReadExports(const PeImage& image, std::vector<PeExport>* exports, std::string* error);
bool PeReadImports(const PeImage& image, std::vector<PeImport>* imports, std::string* error);
bool PeReadRelocations(const PeImage& image, std::vector<PeRelocation>* relocations,
                       std::string* error);

// "0x1C2": how the tools write addresses and header values.
std::string PeHex(uint32_t value);

uint16_t PeRead16(const uint8_t* at);
uint32_t PeRead32(const uint8_t* at);

#endif
