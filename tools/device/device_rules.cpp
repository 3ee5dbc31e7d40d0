#include "device_rules.h"

#include <stdio.h>
#include <strings.h>

#include <set>
#include <sstream>

#include "thumb_code.h"
#include "trust/module_signature.h"
#include "trust/module_version.h"

namespace {

std::string Version(const uint16_t version[2]) {
    char text[16];
    snprintf(text, sizeof text, "%u.%02u", version[0], version[1]);
    return text;
}

uint32_t VersionNumber(const uint16_t version[2]) {
    return static_cast<uint32_t>(version[0]) << 16 | version[1];
}

bool IsThumbCode(const PeImage& image, uint32_t rva) {
    const PeSection* section = PeSectionAt(image, rva & ~1u);
    return (rva & 1) != 0 && section != nullptr &&
           (section->characteristics & kPeSectionExecutable);
}

uint32_t Address(const PeImage& image, uint32_t rva) { return image.imageBase + rva; }

const int kAbsolute = 0;  // padding at the end of a block
const int kHighLow = 3;   // a 32-bit address

}  // namespace

bool ModuleDefinitionParse(const std::string& text, ModuleDefinition* definition,
                           std::string* error) {
    *definition = ModuleDefinition();
    std::istringstream lines(text);
    std::string line;
    bool inExports = false;
    for (int number = 1; std::getline(lines, line); number++) {
        line = line.substr(0, line.find(';'));
        std::istringstream words(line);
        std::string word;
        if (!(words >> word)) {
            continue;
        }
        if (word == "LIBRARY") {
            words >> definition->library;
            continue;
        }
        if (word == "EXPORTS") {
            inExports = true;
            continue;
        }
        std::string name = word;
        uint32_t ordinal = 0;
        bool good = inExports;
        while (good && words >> word) {
            unsigned long value = 0;
            char end = 0;
            if (word == "DATA") {
                continue;
            }
            good = word.size() > 1 && word[0] == '@' &&
                   sscanf(word.c_str() + 1, "%lu%c", &value, &end) == 1;
            ordinal = static_cast<uint32_t>(value);
        }
        if (!good || definition->names.count(name) != 0) {
            *error = "line " + std::to_string(number) + ": cannot read \"" + line + "\"";
            return false;
        }
        definition->names[name] = ordinal;
    }
    return true;
}

std::vector<DeviceFinding> DeviceCheckHeader(const PeImage& image, DeviceModuleKind kind) {
    std::vector<DeviceFinding> findings;
    if (image.machine != kDeviceMachine) {
        findings.push_back({"header", "machine is " + PeHex(image.machine) + ", not THUMB " +
                                          PeHex(kDeviceMachine)});
    }
    if (image.subsystem != kDeviceSubsystem) {
        findings.push_back({"header", "subsystem is " + std::to_string(image.subsystem) +
                                          ", not Windows CE GUI " +
                                          std::to_string(kDeviceSubsystem)});
    }
    const uint16_t wanted[2] = {kDeviceMajorVersion, kDeviceMinorVersion};
    const uint16_t newest[2] = {kDeviceMajorVersion, kDeviceNewestMinorVersion};
    const char* names[2] = {"OS version", "subsystem version"};
    const uint16_t* found[2] = {image.osVersion, image.subsystemVersion};
    for (int i = 0; i < 2; i++) {
        std::string is = std::string(names[i]) + " is " + Version(found[i]);
        // The loader compares only the subsystem version with its own.
        bool checkedByLoader = i == 1;
        if (checkedByLoader && VersionNumber(found[i]) > VersionNumber(newest)) {
            findings.push_back({"header", is + ", newer than Windows CE " + Version(newest) +
                                              " (Windows Mobile 5.0): the loader refuses it"});
        } else if (found[i][0] != wanted[0] || found[i][1] != wanted[1]) {
            findings.push_back({"header", is + ", not " + Version(wanted)});
        }
    }
    if (image.optionalHeaderSize != kPeOptionalHeaderSize) {
        findings.push_back({"header", "SizeOfOptionalHeader is " + PeHex(image.optionalHeaderSize) +
                                          ", not " + PeHex(kPeOptionalHeaderSize) +
                                          ": the loader looks for the section table after " +
                                          PeHex(kPeOptionalHeaderSize) + " bytes"});
    }
    if (image.directoryCount != kPeDirectoryCount) {
        findings.push_back({"header", std::to_string(image.directoryCount) +
                                          " data directories, not the " +
                                          std::to_string(kPeDirectoryCount) + " the loader reads"});
    }
    if (kind == DeviceModuleKind::Library && !(image.characteristics & kPeFileDll)) {
        findings.push_back(
            {"header", "IMAGE_FILE_DLL is not set: the loader refuses a DLL without it"});
    }
    if (kind == DeviceModuleKind::Library && (image.characteristics & kPeFileRelocsStripped)) {
        findings.push_back({"header",
                            "IMAGE_FILE_RELOCS_STRIPPED is set: the loader refuses a DLL it "
                            "cannot relocate"});
    }
    if (!IsThumbCode(image, image.entryPoint)) {
        findings.push_back({"header", "entry point " + PeHex(Address(image, image.entryPoint)) +
                                          " is not Thumb code (odd, in a code section)"});
    }
    return findings;
}

std::vector<DeviceFinding> DeviceCheckExports(const PeImage& image,
                                              const std::vector<PeExport>& exports,
                                              const ModuleDefinition& expected) {
    std::vector<DeviceFinding> findings;
    // The export list itself numbers its names 1 to N.
    std::set<uint32_t> ordinals;
    for (const auto& wanted : expected.names) {
        ordinals.insert(wanted.second);
    }
    if (!ordinals.empty() && (ordinals.size() != expected.names.size() || *ordinals.begin() != 1 ||
                              *ordinals.rbegin() != expected.names.size())) {
        findings.push_back({"exports", "the export list's ordinals are not 1 to " +
                                           std::to_string(expected.names.size())});
    }
    // GetProcAddressW scans the names for as many entries as there are
    // functions.
    PeExportCounts counts;
    std::string error;
    if (PeReadExportCounts(image, &counts, &error) && counts.names > counts.functions) {
        findings.push_back({"exports", std::to_string(counts.names) + " export names but " +
                                           std::to_string(counts.functions) +
                                           " functions: the loader finds names only among as "
                                           "many as there are functions"});
    }
    // The linker names the module after the file it writes, not after the
    // .def's LIBRARY line.
    if (!expected.library.empty() && !counts.module.empty() &&
        strcasecmp(counts.module.c_str(), expected.library.c_str()) != 0) {
        findings.push_back({"exports", "the export directory names the module " + counts.module +
                                           ", not " + expected.library});
    }
    std::set<std::string> seen;
    for (const PeExport& e : exports) {
        if (e.name.empty()) {
            findings.push_back({"exports", "ordinal " + std::to_string(e.ordinal) +
                                               " is exported without a name"});
            continue;
        }
        seen.insert(e.name);
        auto wanted = expected.names.find(e.name);
        if (wanted == expected.names.end()) {
            findings.push_back({"exports", e.name + " is not in the module's export list"});
            continue;
        }
        if (e.ordinal != wanted->second) {
            findings.push_back({"exports", e.name + " has ordinal " + std::to_string(e.ordinal) +
                                               ", not " + std::to_string(wanted->second)});
        }
        if (!IsThumbCode(image, e.rva)) {
            findings.push_back({"exports", e.name + " at " + PeHex(Address(image, e.rva)) +
                                               " is not Thumb code (odd, in a code section)"});
        }
    }
    for (const auto& wanted : expected.names) {
        if (seen.count(wanted.first) == 0) {
            findings.push_back({"exports", wanted.first + " is missing"});
        }
    }
    return findings;
}

std::vector<DeviceFinding> DeviceCheckImports(const std::vector<PeImport>& imports,
                                              const ModuleDefinition& allowed) {
    std::vector<DeviceFinding> findings;
    for (const PeImport& i : imports) {
        if (strcasecmp(i.library.c_str(), allowed.library.c_str()) != 0) {
            findings.push_back(
                {"imports", i.library + "!" +
                                (i.name.empty() ? "#" + std::to_string(i.ordinal) : i.name) +
                                ": only " + allowed.library + " may be imported from"});
        } else if (i.name.empty()) {
            findings.push_back({"imports", i.library + "!#" + std::to_string(i.ordinal) +
                                               " is imported by ordinal"});
        } else if (allowed.names.count(i.name) == 0) {
            findings.push_back(
                {"imports", i.library + "!" + i.name + " is not in the list of allowed imports"});
        }
    }
    return findings;
}

std::vector<DeviceFinding> DeviceCheckRelocations(const PeImage& image,
                                                  const std::vector<PeRelocation>& relocations) {
    std::vector<DeviceFinding> findings;
    for (const PeRelocation& r : relocations) {
        if (r.type != kAbsolute && r.type != kHighLow) {
            findings.push_back({"relocations", PeHex(Address(image, r.rva)) + " has type " +
                                                   std::to_string(r.type) + ", not HIGHLOW (3)"});
        }
    }
    return findings;
}

std::vector<DeviceFinding> DeviceCheckInstructions(const PeImage& image,
                                                   const std::vector<PeRelocation>& relocations) {
    std::vector<DeviceFinding> findings;
    // A HIGHLOW relocation covers a 32-bit address: data, not code.
    std::set<uint32_t> relocated;
    for (const PeRelocation& r : relocations) {
        if (r.type == kHighLow) {
            relocated.insert(Address(image, r.rva));
        }
    }
    for (const PeSection& section : image.sections) {
        if (!(section.characteristics & (kPeSectionExecutable | kPeSectionCode))) {
            continue;
        }
        uint32_t size =
            section.virtualSize < section.rawSize ? section.virtualSize : section.rawSize;
        const uint8_t* code = PeAt(image, section.virtualAddress, size);
        if (code == nullptr) {
            continue;
        }
        for (const ThumbFinding& f :
             ThumbCheckArmv5te(code, size, Address(image, section.virtualAddress), relocated)) {
            findings.push_back({"instructions", PeHex(f.address) + ": " + f.what});
        }
    }
    return findings;
}

std::vector<DeviceFinding> DeviceCheckSignature(const PeImage& image) {
    ModuleSignature signature;
    ModuleSignatureRead(image.bytes.data(), static_cast<uint32_t>(image.bytes.size()), &signature);
    if (signature.kind == SignatureTrustable || signature.kind == SignatureNone) {
        return {};
    }
    return {{"signature", ModuleSignatureProblem(signature.kind)}};
}

std::vector<DeviceFinding> DeviceCheckVersion(const PeImage& image, DeviceModuleKind kind,
                                              const std::string& version) {
    ModuleVersion read;
    ModuleVersionKind found = ModuleVersionRead(
        image.bytes.data(), static_cast<uint32_t>(image.bytes.size()), &read);
    if (found != VersionRead) {
        return {{"version", std::string(ModuleVersionProblem(found)) + ", not the project's " +
                                version}};
    }
    std::vector<DeviceFinding> findings;
    // The text omits a last part of 0: it is the project's exactly when
    // the parts are MAJOR.MINOR.PATCH.0.
    const char* names[2] = {"file version", "product version"};
    const uint16_t* parts[2] = {read.file, read.product};
    for (int i = 0; i < 2; i++) {
        char text[kModuleVersionTextUnits];
        ModuleVersionText(parts[i], text);
        if (text != version) {
            findings.push_back({"version", std::string(names[i]) + " is " + text +
                                               ", not the project's " + version});
        }
    }
    if (read.fileOs != kVersionOsWindowsCe) {
        findings.push_back({"version", "FileOS is " + PeHex(read.fileOs) +
                                           ", not VOS_WINCE | VOS__WINDOWS32 " +
                                           PeHex(kVersionOsWindowsCe)});
    }
    bool program = kind == DeviceModuleKind::Program;
    uint32_t type = program ? kVersionTypeProgram : kVersionTypeLibrary;
    if (read.fileType != type) {
        findings.push_back({"version", "FileType is " + std::to_string(read.fileType) + ", not " +
                                           (program ? "VFT_APP " : "VFT_DLL ") +
                                           std::to_string(type)});
    }
    return findings;
}

std::vector<DeviceFinding> DeviceCheck(const PeImage& image, DeviceModuleKind kind,
                                       const ModuleDefinition& exports,
                                       const ModuleDefinition& imports,
                                       const std::string& version) {
    std::vector<DeviceFinding> findings = DeviceCheckHeader(image, kind);
    auto add = [&](const std::vector<DeviceFinding>& more) {
        findings.insert(findings.end(), more.begin(), more.end());
    };
    std::string error;
    std::vector<PeExport> exported;
    std::vector<PeImport> imported;
    std::vector<PeRelocation> relocations;
    if (!PeReadExports(image, &exported, &error)) {
        findings.push_back({"exports", error});
    }
    add(DeviceCheckExports(image, exported, exports));
    if (!PeReadImports(image, &imported, &error)) {
        findings.push_back({"imports", error});
    }
    add(DeviceCheckImports(imported, imports));
    if (!PeReadRelocations(image, &relocations, &error)) {
        findings.push_back({"relocations", error});
    }
    add(DeviceCheckRelocations(image, relocations));
    add(DeviceCheckInstructions(image, relocations));
    add(DeviceCheckSignature(image));
    add(DeviceCheckVersion(image, kind, version));
    return findings;
}
