// What a module needs to be loaded and run by the device (Windows CE 5 on an
// ARMv5TE), as rules over a PE image. Each rule yields findings, each naming
// the rule and the offending address or name; a module fit for the device
// yields none.
//
//   header        machine THUMB, subsystem Windows CE GUI, OS and subsystem
//                 version 5.00 (a subsystem version above 5.01 is refused by
//                 Windows Mobile 5.0's loader), the entry point in Thumb code;
//                 the optional header 0xE0 bytes with 16 data directories, as
//                 the loader reads it; a DLL marked IMAGE_FILE_DLL and not
//                 IMAGE_FILE_RELOCS_STRIPPED (the kernel relocates it)
//   exports       exactly the names of the module's .def, each under its
//                 ordinal there (1 to N), each address odd (Thumb) and in code;
//                 no more names than functions (the loader's name lookup
//                 counts functions); the module named as the .def's LIBRARY
//   imports       only from the library of the imports .def, only its names
//   relocations   base relocations of type HIGHLOW (and padding) only
//   instructions  every instruction of every code section runs on ARMv5TE
//   signature     unsigned, or one plain SHA-1 Authenticode signature of the
//                 image as it is (trust/module_signature.h): anything else
//                 the device counts as no signature
//   version       a version resource (trust/module_version.h) whose file
//                 and product versions are the project's, MAJOR.MINOR.PATCH.0,
//                 for Windows CE, of the module's type (VFT_DLL or VFT_APP)
#ifndef PENWICK_TOOLS_DEVICE_DEVICE_RULES_H
#define PENWICK_TOOLS_DEVICE_DEVICE_RULES_H

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "pe_image.h"

// A module definition (.def): the library it names and its exports, each
// with its ordinal (0 when the line gives none).
struct ModuleDefinition {
    std::string library;
    std::map<std::string, uint32_t> names;
};

// Parses a .def: LIBRARY, EXPORTS, then "Name [@N] [DATA]" lines; ';' starts
// a comment. False with *error on a line it cannot read.
bool ModuleDefinitionParse(const std::string& text, ModuleDefinition* definition,
                           std::string* error);

// What the module is, which decides some of the loader's rules: a DLL
// (Penwick.dll) or a program (PenwickSetup.exe).
enum class DeviceModuleKind { Library, Program };

struct DeviceFinding {
    std::string rule;
    std::string what;  // the offending address or name, and what is wrong
};

std::vector<DeviceFinding> DeviceCheckHeader(const PeImage& image, DeviceModuleKind kind);
std::vector<DeviceFinding> DeviceCheckExports(const PeImage& image,
                                              const std::vector<PeExport>& exports,
                                              const ModuleDefinition& expected);
std::vector<DeviceFinding> DeviceCheckImports(const std::vector<PeImport>& imports,
                                              const ModuleDefinition& allowed);
std::vector<DeviceFinding> DeviceCheckRelocations(const PeImage& image,
                                                  const std::vector<PeRelocation>& relocations);
std::vector<DeviceFinding> DeviceCheckInstructions(const PeImage& image,
                                                   const std::vector<PeRelocation>& relocations);

std::vector<DeviceFinding> DeviceCheckSignature(const PeImage& image);

// `version` is the project's, "MAJOR.MINOR.PATCH".
std::vector<DeviceFinding> DeviceCheckVersion(const PeImage& image, DeviceModuleKind kind,
                                              const std::string& version);

// All rules, reading the tables from the image.
std::vector<DeviceFinding> DeviceCheck(const PeImage& image, DeviceModuleKind kind,
                                       const ModuleDefinition& exports,
                                       const ModuleDefinition& imports,
                                       const std::string& version);

#endif
