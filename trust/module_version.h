// The version resource of a module, as File Explorer's properties and
// GetFileVersionInfo read it: the VS_FIXEDFILEINFO of the resource of type
// RT_VERSION (16), name 1, in its first language.
//
// The module is a PE image in memory, the whole file (module_image.h). The
// reader walks the resource tree three levels down (type, name, language;
// every directory, entry and data entry inside the resource directory the
// header gives, every offset checked), then checks the VS_VERSIONINFO's
// lengths, its key and the fixed part's signature. The string table is not
// read. No heap, no recursion; every read lies in [image, image + size),
// whatever the bytes.
#ifndef PENWICK_TRUST_MODULE_VERSION_H
#define PENWICK_TRUST_MODULE_VERSION_H

#include <stdint.h>

// The values of VS_FIXEDFILEINFO's FileOS and FileType that the project's
// modules carry (winver.h's VOS_WINCE | VOS__WINDOWS32, VFT_APP, VFT_DLL).
const uint32_t kVersionOsWindowsCe = 0x00050004;
const uint32_t kVersionTypeProgram = 1;
const uint32_t kVersionTypeLibrary = 2;

// "65535.65535.65535.65535" and its terminator.
const uint32_t kModuleVersionTextUnits = 24;

enum ModuleVersionKind {
    VersionRead,      // read
    VersionNotImage,  // not a PE image the loader could read
    VersionNone,      // no resource directory, or no RT_VERSION resource of name 1 in it
    VersionBroken,    // an offset or a length in the tree or the resource lies, or it is no VS_VERSIONINFO
};

// Four parts each, most significant first: MAJOR.MINOR.PATCH.BUILD.
struct ModuleVersion {
    uint16_t file[4];
    uint16_t product[4];
    uint32_t fileOs;
    uint32_t fileType;
};

// Reads the version resource of the image `image` (the whole file, `size`
// bytes) into *version (all zero unless read).
ModuleVersionKind ModuleVersionRead(const uint8_t* image, uint32_t size, ModuleVersion* version);

// What a kind means, in a few words of plain ASCII, e.g. "no version
// resource", phrased to read after "Penwick.dll: ".
const char* ModuleVersionProblem(ModuleVersionKind kind);

// Four parts as text, "0.1.0.2", or "0.1.0" when the last is 0; returns
// its length.
uint32_t ModuleVersionText(const uint16_t parts[4], char text[kModuleVersionTextUnits]);

#endif
