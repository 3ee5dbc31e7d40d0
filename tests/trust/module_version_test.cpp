// The version reader: on a tree as lld-link lays one out, broken part by
// part; on what llvm-rc and lld-link make of a resource script, against
// what llvm-readobj reads in it; and the version as text.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "signing_support.h"
#include "tiny_image.h"
#include "trust/module_version.h"

namespace fs = std::filesystem;

namespace {

ModuleVersionKind Read(const Bytes& image, ModuleVersion* version) {
    return ModuleVersionRead(image.data(), static_cast<uint32_t>(image.size()), version);
}

std::string Text(const uint16_t parts[4]) {
    char text[kModuleVersionTextUnits];
    uint32_t length = ModuleVersionText(parts, text);
    EXPECT_EQ(length, strlen(text));
    return text;
}

// A byte of the tree, counted from its start.
uint32_t Tree(uint32_t offset) { return kResourceAt + offset; }

TEST(ModuleVersionTest, each_broken_part_of_the_tree_is_refused) {
    struct Case {
        const char* what;
        void (*change)(Bytes& image);
        ModuleVersionKind kind;
    } cases[] = {
        {"as built", [](Bytes&) {}, VersionRead},
        {"not an image", [](Bytes& i) { i[0] = 'Z'; }, VersionNotImage},
        {"no resource directory", [](Bytes& i) { Put32(i, kResourceEntryAt, 0); }, VersionNone},
        {"two data directories, none for resources", [](Bytes& i) { Put32(i, kOptionalAt + 92, 2); },
         VersionNone},
        {"resources of another type only", [](Bytes& i) { Put32(i, Tree(kTypeDirectoryAt + 16), 24); },
         VersionNone},
        {"the version's entry among those with a name",
         [](Bytes& i) { Put32(i, Tree(kTypeDirectoryAt + 12), 0x00000001); }, VersionNone},
        {"a version resource of name 2", [](Bytes& i) { Put32(i, Tree(kNameDirectoryAt + 16), 2); },
         VersionNone},
        {"no language", [](Bytes& i) { Put16(i, Tree(kLanguageDirectoryAt + 14), 0); }, VersionNone},
        {"the resource directory outside every section",
         [](Bytes& i) { Put32(i, kResourceEntryAt, 0x9000); }, VersionBroken},
        {"the resource directory longer than its section",
         [](Bytes& i) { Put32(i, kResourceEntryAt + 4, 0x201); }, VersionBroken},
        {"the resource section cut short by the end of the file",
         [](Bytes& i) { i.resize(Tree(kVersionResourceSize)); }, VersionBroken},
        {"the data entry past the resource directory's end",
         [](Bytes& i) { Put32(i, kResourceEntryAt + 4, kDataEntryAt + 8); }, VersionBroken},
        {"more entries than the directory holds",
         [](Bytes& i) { Put16(i, Tree(kTypeDirectoryAt + 14), 0xFFFF); }, VersionBroken},
        {"a type that is a data entry, not a directory",
         [](Bytes& i) { Put32(i, Tree(kTypeDirectoryAt + 20), kNameDirectoryAt); }, VersionBroken},
        {"a language that is a directory, not a data entry",
         [](Bytes& i) { Put32(i, Tree(kLanguageDirectoryAt + 20), 0x80000000 | kLanguageDirectoryAt); },
         VersionBroken},
        {"a name directory that leads back to the type directory",
         [](Bytes& i) { Put32(i, Tree(kNameDirectoryAt + 20), 0x80000000 | kTypeDirectoryAt); }, VersionBroken},
        {"a directory past the tree", [](Bytes& i) { Put32(i, Tree(kTypeDirectoryAt + 20), 0xFFFFFFF0); },
         VersionBroken},
        {"a data entry past the tree", [](Bytes& i) { Put32(i, Tree(kLanguageDirectoryAt + 20), 0x7FFFFFF0); },
         VersionBroken},
        {"data outside every section", [](Bytes& i) { Put32(i, Tree(kDataEntryAt), 0x9000); }, VersionBroken},
        {"data longer than its section", [](Bytes& i) { Put32(i, Tree(kDataEntryAt + 4), 0x200); }, VersionBroken},
        {"data whose size wraps", [](Bytes& i) { Put32(i, Tree(kDataEntryAt + 4), 0xFFFFFFFF); }, VersionBroken},
        {"data shorter than the fixed part", [](Bytes& i) { Put32(i, Tree(kDataEntryAt + 4), 91); },
         VersionBroken},
        {"wLength past the data", [](Bytes& i) { Put16(i, Tree(kVersionInfoAt), 93); }, VersionBroken},
        {"wLength short of the fixed part", [](Bytes& i) { Put16(i, Tree(kVersionInfoAt), 60); }, VersionBroken},
        {"no value", [](Bytes& i) { Put16(i, Tree(kVersionInfoAt + 2), 0); }, VersionBroken},
        {"another key", [](Bytes& i) { i[Tree(kVersionInfoAt + 6)] = 'X'; }, VersionBroken},
        {"no VS_FIXEDFILEINFO signature", [](Bytes& i) { Put32(i, Tree(kFixedInfoAt), 0xFEEF04BE); },
         VersionBroken},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes image = VersionedImage({{1, 2, 3, 4}, {5, 6, 7, 8}, 0x00050004, 1});
        c.change(image);
        ModuleVersion version;
        EXPECT_EQ(Read(image, &version), c.kind) << ModuleVersionProblem(Read(image, &version));
        EXPECT_EQ(Text(version.file), c.kind == VersionRead ? "1.2.3.4" : "0.0.0");
        if (c.kind == VersionRead) {
            EXPECT_EQ(Text(version.product), "5.6.7.8");
            EXPECT_EQ(version.fileOs, kVersionOsWindowsCe);
            EXPECT_EQ(version.fileType, kVersionTypeProgram);
        }
    }
}

TEST(ModuleVersionTest, the_text_leaves_out_a_last_part_of_zero) {
    const struct {
        uint16_t parts[4];
        const char* text;
    } rows[] = {
        {{0, 1, 0, 0}, "0.1.0"},
        {{10, 0, 200, 0}, "10.0.200"},
        {{1, 2, 3, 4}, "1.2.3.4"},
        {{65535, 65535, 65535, 65535}, "65535.65535.65535.65535"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Text(row.parts), row.text);
    }
}

// llvm-readobj's dump of the data of the first language of VERSIONINFO
// name 1: the bytes of its line at `offset`, as hex in 32-bit groups.
std::string ReadobjLine(const std::string& dump, const std::string& offset) {
    size_t at = dump.find("Type: VERSIONINFO (ID 16)");
    at = at == std::string::npos ? at : dump.find("Name: (ID 1)", at);
    at = at == std::string::npos ? at : dump.find("Data (", at);
    at = at == std::string::npos ? at : dump.find(offset + ": ", at);
    return at == std::string::npos ? "(none)" : dump.substr(at + offset.size() + 2, 35);
}

// A 32-bit group of llvm-readobj's dump: its bytes in file order.
uint32_t Group(const std::string& hex) {
    uint32_t bytes = static_cast<uint32_t>(std::stoul(hex, nullptr, 16));
    return (bytes >> 24) | (bytes >> 8 & 0xFF00) | (bytes << 8 & 0xFF0000) | bytes << 24;
}

// Resources of other types before RT_VERSION, one named, and versions in two
// languages and under name 2, as llvm-rc and lld-link (those of the device
// build) lay them out: the reader finds what llvm-readobj shows for the first
// language of name 1.
TEST(ModuleVersionTest, reads_what_llvm_readobj_reads_in_a_module_lld_link_made) {
    fs::path dir = fs::temp_directory_path() / ("penwick_module_version_test_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "v.rc") << "NOTES RCDATA { \"named\" }\n"
                                   "7 RCDATA { \"an id below 16\" }\n"
                                   "LANGUAGE 0x07, 0x01\n"
                                   "1 VERSIONINFO\nFILEVERSION 3,1,4,1\nPRODUCTVERSION 5,9,2,6\n"
                                   "FILEOS 0x00050004L\nFILETYPE 2\nBEGIN\nEND\n"
                                   "LANGUAGE 0x09, 0x01\n"
                                   "1 VERSIONINFO\nFILEVERSION 9,9,9,9\nBEGIN\nEND\n"
                                   "2 VERSIONINFO\nFILEVERSION 8,8,8,8\nBEGIN\nEND\n";
    std::string d = dir.string(), output;
    ASSERT_TRUE(RunCommand("llvm-rc-14 /no-preprocess /FO " + d + "/v.res " + d + "/v.rc", &output)) << output;
    ASSERT_TRUE(RunCommand("lld-link-14 /machine:arm /dll /noentry /nodefaultlib /out:" + d + "/v.dll " + d +
                               "/v.res",
                           &output))
        << output;
    std::string dump;
    ASSERT_TRUE(RunCommand("llvm-readobj-14 --coff-resources " + d + "/v.dll", &dump)) << dump;
    // The fixed part starts at 0x28: its signature and structure version,
    // then at 0x30 the file and product versions, and FileOS and FileType
    // at 0x48.
    std::istringstream versions(ReadobjLine(dump, "0030")), kinds(ReadobjLine(dump, "0040"));
    std::string fileMost, fileLeast, productMost, productLeast, skip, os, type;
    versions >> fileMost >> fileLeast >> productMost >> productLeast;
    kinds >> skip >> skip >> os >> type;
    ASSERT_FALSE(type.empty()) << dump;

    ModuleVersion version;
    Bytes image = ReadFile(d + "/v.dll");
    ASSERT_EQ(Read(image, &version), VersionRead);
    EXPECT_EQ(uint32_t(version.file[0]) << 16 | version.file[1], Group(fileMost));
    EXPECT_EQ(uint32_t(version.file[2]) << 16 | version.file[3], Group(fileLeast));
    EXPECT_EQ(uint32_t(version.product[0]) << 16 | version.product[1], Group(productMost));
    EXPECT_EQ(uint32_t(version.product[2]) << 16 | version.product[3], Group(productLeast));
    EXPECT_EQ(version.fileOs, Group(os));
    EXPECT_EQ(version.fileType, Group(type));
    EXPECT_EQ(Text(version.file), "3.1.4.1");
    fs::remove_all(dir);
}

}  // namespace
