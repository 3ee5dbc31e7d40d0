// device_check MODULE EXPORTS.def IMPORTS.def VERSION
//
// Checks that a module built for the device can be loaded and run there:
// the header (MODULE is a program when it ends in .exe, else a DLL), the
// exports against EXPORTS.def, the imports against IMPORTS.def, the base
// relocations, every instruction and the signature, and that it carries
// the project's version, VERSION (MAJOR.MINOR.PATCH), in its version
// resource (see device_rules.h). Prints one line
// per finding, "MODULE: rule: what", and exits 1 if there was any; prints
// one summary line and exits 0 otherwise.
#include <stdio.h>
#include <strings.h>

#include <fstream>
#include <sstream>

#include "device_rules.h"

namespace {

bool ReadDefinition(const char* path, ModuleDefinition* definition) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    std::string error;
    if (!file.is_open()) {
        fprintf(stderr, "%s: cannot open\n", path);
        return false;
    }
    if (!ModuleDefinitionParse(text.str(), definition, &error)) {
        fprintf(stderr, "%s: %s\n", path, error.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: device_check MODULE EXPORTS.def IMPORTS.def VERSION\n");
        return 2;
    }
    PeImage image;
    std::string error;
    ModuleDefinition exports, imports;
    if (!PeLoadFile(argv[1], &image, &error)) {
        fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    if (!ReadDefinition(argv[2], &exports) || !ReadDefinition(argv[3], &imports)) {
        return 2;
    }
    // A module named .exe is a program; any other is a DLL.
    std::string path = argv[1];
    DeviceModuleKind kind =
        path.size() > 4 && strcasecmp(path.c_str() + path.size() - 4, ".exe") == 0
            ? DeviceModuleKind::Program
            : DeviceModuleKind::Library;
    std::vector<DeviceFinding> findings = DeviceCheck(image, kind, exports, imports, argv[4]);
    for (const DeviceFinding& f : findings) {
        fprintf(stderr, "%s: %s: %s\n", argv[1], f.rule.c_str(), f.what.c_str());
    }
    if (!findings.empty()) {
        return 1;
    }
    printf(
        "%s: fit for the device: %zu exports, imports only from %s, HIGHLOW relocations, ARMv5TE "
        "Thumb code, version %s\n",
        argv[1], exports.names.size(), imports.library.c_str(), argv[4]);
    return 0;
}
