#include "device_rules.h"

#include <gtest/gtest.h>

#include <functional>

#include "../trust/signing_support.h"
#include "../trust/version_resource.h"
#include "test_image.h"

namespace {

const char kExportsDef[] = "LIBRARY Test.dll\nEXPORTS\n    Alpha @1\n    Beta @2\n";
const char kImportsDef[] =
    "; what may be imported\nLIBRARY coredll.dll\nEXPORTS\n"
    "    atan2 DATA  ; run-time library\n    sqrt DATA\n";

// Fit for the device: Thumb code with two exports, imports from coredll.dll,
// one relocated word (the entry 0 that pads the block is type 0), a DLL of
// version 0.1.0.0 for Windows CE.
TestImageContents FitImage() {
    TestImageContents contents;
    contents.machine = 0x1C2;
    contents.subsystem = 9;
    contents.osVersion[0] = contents.subsystemVersion[0] = 5;
    contents.code = {0xB580, 0xBD80, 0xB580, 0xBD80};
    contents.exports = {{"Alpha", 1, 0x1001}, {"Beta", 2, 0x1005}};
    contents.imports = {{"coredll.dll", "atan2", 0}, {"coredll.dll", "sqrt", 0}};
    contents.relocations = {{0x2010, 3}};
    contents.resources = VersionResource(kTestResourceRva);
    return contents;
}

ModuleDefinition Definition(const char* text) {
    ModuleDefinition definition;
    std::string error;
    EXPECT_TRUE(ModuleDefinitionParse(text, &definition, &error)) << error;
    return definition;
}

TEST(DeviceRulesTest, module_definitions_give_the_library_and_each_name_with_its_ordinal) {
    ModuleDefinition exports = Definition(kExportsDef);
    EXPECT_EQ(exports.library, "Test.dll");
    EXPECT_EQ(exports.names, (std::map<std::string, uint32_t>{{"Alpha", 1}, {"Beta", 2}}));
    ModuleDefinition imports = Definition(kImportsDef);
    EXPECT_EQ(imports.library, "coredll.dll");
    EXPECT_EQ(imports.names, (std::map<std::string, uint32_t>{{"atan2", 0}, {"sqrt", 0}}));

    for (const char* bad : {"EXPORTS\n  Alpha @x\n", "EXPORTS\n  Alpha\n  Alpha\n", "Alpha @1\n",
                            "EXPORTS\n  Alpha NONAME\n"}) {
        ModuleDefinition definition;
        std::string error;
        EXPECT_FALSE(ModuleDefinitionParse(bad, &definition, &error)) << bad;
    }
}

TEST(DeviceRulesTest, the_tables_read_back_as_written) {
    PeImage image;
    std::string error;
    ASSERT_TRUE(PeRead(TestImage(FitImage()), &image, &error)) << error;
    std::vector<PeExport> exports;
    std::vector<PeImport> imports;
    std::vector<PeRelocation> relocations;
    ASSERT_TRUE(PeReadExports(image, &exports, &error)) << error;
    ASSERT_TRUE(PeReadImports(image, &imports, &error)) << error;
    ASSERT_TRUE(PeReadRelocations(image, &relocations, &error)) << error;
    ASSERT_EQ(exports.size(), 2u);
    EXPECT_EQ(exports[1].name, "Beta");
    EXPECT_EQ(exports[1].ordinal, 2u);
    EXPECT_EQ(exports[1].rva, 0x1005u);
    ASSERT_EQ(imports.size(), 2u);
    EXPECT_EQ(imports[1].library + "!" + imports[1].name, "coredll.dll!sqrt");
    ASSERT_EQ(relocations.size(), 2u);
    EXPECT_EQ(relocations[0].rva, 0x2010u);
    EXPECT_EQ(relocations[0].type, 3);
}

struct RuleRow {
    const char* name;
    std::function<void(TestImageContents&)> change;
    std::vector<std::pair<std::string, std::string>> findings;  // rule, part of the text
    const char* exportList = kExportsDef;
    DeviceModuleKind kind = DeviceModuleKind::Library;
};

TEST(DeviceRulesTest, each_difference_from_what_the_device_needs_is_named) {
    const RuleRow rows[] = {
        {"fit for the device", [](TestImageContents&) {}, {}},
        {"an empty ordinal slot, as the linker leaves ordinal 0",
         [](TestImageContents& c) { c.exportBase = 0; },
         {}},
        {"a relocated word in the code that looks like Thumb-2",
         [](TestImageContents& c) {
             c.code = {0xB580, 0xBD80, 0xF240, 0x0C00};
             c.relocations = {{0x1004, 3}};
         },
         {}},
        {"desktop ARM machine",
         [](TestImageContents& c) { c.machine = 0x1C4; },
         {{"header", "machine is 0x1C4"}}},
        {"desktop subsystem",
         [](TestImageContents& c) { c.subsystem = 2; },
         {{"header", "subsystem is 2"}}},
        {"version 6.00",
         [](TestImageContents& c) { c.osVersion[0] = c.subsystemVersion[0] = 6; },
         {{"header", "OS version is 6.00, not 5.00"},
          {"header", "subsystem version is 6.00, newer than Windows CE 5.01"}}},
        {"subsystem version 5.01, which Windows CE 5.00 would refuse",
         [](TestImageContents& c) { c.subsystemVersion[1] = 1; },
         {{"header", "subsystem version is 5.01, not 5.00"}}},
        {"subsystem version 5.02, newer than Windows Mobile 5.0",
         [](TestImageContents& c) { c.subsystemVersion[1] = 2; },
         {{"header", "subsystem version is 5.02, newer than Windows CE 5.01"}}},
        {"OS version 5.02, which the loader does not read, and the build does not want",
         [](TestImageContents& c) { c.osVersion[1] = 2; },
         {{"header", "OS version is 5.02, not 5.00"}}},
        {"a larger optional header",
         [](TestImageContents& c) { c.optionalHeaderSize = 0xF0; },
         {{"header", "SizeOfOptionalHeader is 0xF0, not 0xE0"}}},
        {"15 data directories",
         [](TestImageContents& c) { c.directoryCount = 15; },
         {{"header", "15 data directories, not the 16"}}},
        {"a DLL not marked as one",
         [](TestImageContents& c) { c.characteristics &= ~0x2000; },
         {{"header", "IMAGE_FILE_DLL is not set"}}},
        {"a DLL without relocations",
         [](TestImageContents& c) { c.characteristics |= 0x0001; },
         {{"header", "IMAGE_FILE_RELOCS_STRIPPED is set"}}},
        {"a program, not marked as a DLL, with its relocations stripped",
         [](TestImageContents& c) {
             c.characteristics = 0x0103;
             c.exports.clear();
             VersionResourceContents program;
             program.fileType = 1;
             c.resources = VersionResource(kTestResourceRva, program);
         },
         {},
         "EXPORTS\n",
         DeviceModuleKind::Program},
        {"entry point in ARM state",
         [](TestImageContents& c) { c.entryPoint = 0x1000; },
         {{"header", "entry point 0x10001000"}}},
        {"an export in ARM state",
         [](TestImageContents& c) { c.exports[1].rva = 0x1004; },
         {{"exports", "Beta at 0x10001004"}}},
        {"an export outside the code",
         [](TestImageContents& c) { c.exports[1].rva = 0x2001; },
         {{"exports", "Beta at 0x10002001"}}},
        {"an export under another ordinal",
         [](TestImageContents& c) { c.exports[1].ordinal = 3; },
         {{"exports", "Beta has ordinal 3, not 2"}}},
        {"an export more",
         [](TestImageContents& c) {
             c.exports.push_back({"Gamma", 3, 0x1001});
         },
         {{"exports", "Gamma is not in the module's export list"}}},
        {"an export missing",
         [](TestImageContents& c) { c.exports.pop_back(); },
         {{"exports", "Beta is missing"}}},
        {"more export names than functions: a second name for Beta",
         [](TestImageContents& c) {
             c.exports.push_back({"Beta", 2, 0x1005});
         },
         {{"exports", "3 export names but 2 functions"}}},
        {"the export directory named after the linker's output file",
         [](TestImageContents& c) { c.exportedModule = "Test.linked"; },
         {{"exports", "names the module Test.linked, not Test.dll"}}},
        {"an export by ordinal only",
         [](TestImageContents& c) {
             c.exports.push_back({"", 3, 0x1001});
         },
         {{"exports", "ordinal 3 is exported without a name"}}},
        {"an import from another library",
         [](TestImageContents& c) {
             c.imports.push_back({"kernel32.dll", "Sleep", 0});
         },
         {{"imports", "kernel32.dll!Sleep: only coredll.dll"}}},
        {"an import not in the list",
         [](TestImageContents& c) {
             c.imports.push_back({"COREDLL.DLL", "malloc", 0});
         },
         {{"imports", "COREDLL.DLL!malloc is not in the list"}}},
        {"an import by ordinal",
         [](TestImageContents& c) {
             c.imports.push_back({"coredll.dll", "", 1013});
         },
         {{"imports", "coredll.dll!#1013 is imported by ordinal"}}},
        {"a relocation of another type",
         [](TestImageContents& c) {
             c.relocations = {{0x2010, 3}, {0x1000, 5}};
         },
         {{"relocations", "0x10001000 has type 5"}}},
        {"movw and movt under the relocation of their address",
         [](TestImageContents& c) {
             c.code = {0xF240, 0x0000, 0xF2C1, 0x0000};
             c.relocations = {{0x1000, 7}};
         },
         {{"relocations", "0x10001000 has type 7"},
          {"instructions", "0x10001000: f240 0000"},
          {"instructions", "0x10001004: f2c1 0000"}}},
        {"a Thumb-2 instruction",
         [](TestImageContents& c) {
             c.code = {0xB580, 0xBD80, 0xF240, 0x0C00};
         },
         {{"instructions", "0x10001004: f240 0c00"}}},
        {"no version resource",
         [](TestImageContents& c) { c.resources.clear(); },
         {{"version", "no version resource, not the project's 0.1.0"}}},
        {"a version resource cut short",
         [](TestImageContents& c) { c.resources.resize(kFixedInfoAt); },
         {{"version", "its version resource is broken"}}},
        {"another version, a build number, and a desktop program's resource",
         [](TestImageContents& c) {
             VersionResourceContents other;
             other.file[1] = 2;
             other.product[3] = 1;
             other.fileOs = 0x00040004;
             other.fileType = 1;
             c.resources = VersionResource(kTestResourceRva, other);
         },
         {{"version", "file version is 0.2.0, not the project's 0.1.0"},
          {"version", "product version is 0.1.0.1, not the project's 0.1.0"},
          {"version", "FileOS is 0x40004, not VOS_WINCE | VOS__WINDOWS32 0x50004"},
          {"version", "FileType is 1, not VFT_DLL 2"}}},
        {"an export list numbered 1 and 3, and the image as it says",
         [](TestImageContents& c) { c.exports[1].ordinal = 3; },
         {{"exports", "the export list's ordinals are not 1 to 2"}},
         "EXPORTS\n  Alpha @1\n  Beta @3\n"},
    };
    ModuleDefinition imports = Definition(kImportsDef);
    for (const RuleRow& row : rows) {
        SCOPED_TRACE(row.name);
        TestImageContents contents = FitImage();
        row.change(contents);
        PeImage image;
        std::string error;
        ASSERT_TRUE(PeRead(TestImage(contents), &image, &error)) << error;
        std::vector<DeviceFinding> found =
            DeviceCheck(image, row.kind, Definition(row.exportList), imports, "0.1.0");
        std::string all;
        for (const DeviceFinding& f : found) {
            all += "\n  " + f.rule + ": " + f.what;
        }
        EXPECT_EQ(found.size(), row.findings.size()) << all;
        if (found.size() != row.findings.size()) {
            continue;  // so that every row that fails is named
        }
        for (size_t i = 0; i < found.size(); i++) {
            EXPECT_EQ(found[i].rule, row.findings[i].first);
            EXPECT_NE(found[i].what.find(row.findings[i].second), std::string::npos)
                << found[i].what;
        }
    }
}

// Unsigned, or signed as the device wants; any other signature the device
// counts as none.
TEST(DeviceRulesTest, a_signature_must_be_one_plain_sha1_signature_of_the_image) {
    const std::string certificates = PENWICK_TEST_CERTIFICATES;
    const std::string folder = testing::TempDir();
    std::vector<uint8_t> unsignedImage = TestImage(FitImage());
    std::vector<uint8_t> sha1 = SignedImage(unsignedImage, "sha1", certificates + "/developer.p12",
                                            "penwick-test", folder);
    std::vector<uint8_t> tampered = sha1;
    tampered[0x400] ^= 1;
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* finding;  // empty: none
    } cases[] = {
        {"unsigned", unsignedImage, ""},
        {"sha1", sha1, ""},
        {"sha256",
         SignedImage(unsignedImage, "sha256", certificates + "/developer.p12", "penwick-test",
                     folder),
         "a digest other than SHA-1"},
        {"tampered", tampered, "changed after it was signed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PeImage image;
        std::string error;
        ASSERT_TRUE(PeRead(c.bytes, &image, &error)) << error;
        std::vector<DeviceFinding> found = DeviceCheckSignature(image);
        ASSERT_EQ(found.size(), *c.finding != 0 ? 1u : 0u);
        if (!found.empty()) {
            EXPECT_EQ(found[0].rule, "signature");
            EXPECT_NE(found[0].what.find(c.finding), std::string::npos) << found[0].what;
        }
    }
}

TEST(DeviceRulesTest, what_is_not_a_pe32_image_is_refused_with_a_reason) {
    std::vector<uint8_t> pe32 = TestImage(FitImage());
    std::vector<uint8_t> noSignature = pe32;
    noSignature[0x40] = 'X';
    std::vector<uint8_t> pe64 = pe32;
    pe64[0x40 + 24] = 0x0B, pe64[0x40 + 25] = 0x02;
    std::vector<uint8_t> truncated(pe32.begin(), pe32.begin() + 0x300);
    for (const auto& bytes : {std::vector<uint8_t>{'M', 'Z'}, noSignature, pe64, truncated}) {
        PeImage image;
        std::string error;
        EXPECT_FALSE(PeRead(bytes, &image, &error));
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
