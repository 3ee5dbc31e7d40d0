// Penwick's installation cabinet (tools/cab): the control file of a worked
// example written byte for byte, the same example read back and listed, and
// damaged cabinets refused with the reason.
#include <gtest/gtest.h>

#include <functional>

#include "cab_package.h"

namespace {

// The control file of the worked example below as `xxd` prints it: made by
// an independent script and read by cabextract's own control-file reader
// (wince_info), which printed what the example says.
const char kWorkedExampleDump[] =
    "4d53 4345 0000 0000 5201 0000 0000 0000 "
    "0100 0000 110a 0000 0500 0000 0100 0000 "
    "6300 0000 6300 0000 0000 0000 0000 00e0 "
    "0400 0200 0200 0100 0100 0100 7c00 0000 "
    "cc00 0000 dc00 0000 1401 0000 2001 0000 "
    "4401 0000 6400 0800 6c00 1000 7c00 0000 "
    "0000 0000 5065 6e77 6963 6b00 5065 6e77 "
    "6963 6b20 5072 6f6a 6563 7400 0100 1000 "
    "2543 4531 255c 5065 6e77 6963 6b00 0000 "
    "0200 0800 2543 4531 3125 0000 0300 1400 "
    "5065 6e77 6963 6b20 5365 7475 702e 6c6e "
    "6b00 0000 0400 1400 536f 6674 7761 7265 "
    "5c50 656e 7769 636b 0000 0000 0100 0400 "
    "0100 0000 0200 0400 0200 0000 0100 0100 "
    "0100 0000 0000 0c00 5065 6e77 6963 6b2e "
    "646c 6c00 0200 0100 0200 0000 0000 1400 "
    "5065 6e77 6963 6b53 6574 7570 2e65 7865 "
    "0000 0000 0100 0300 0000 0400 0400 0000 "
    "0100 0100 0100 0000 0000 1800 496e 7374 "
    "616c 6c44 6972 0025 496e 7374 616c 6c44 "
    "6972 2500 0100 0200 0000 0200 0100 0200 "
    "0300 "
    ;

std::vector<uint8_t> FromDump(const std::string& dump) {
    std::vector<uint8_t> bytes;
    std::string digits;
    for (char c : dump) {
        if (c != ' ') {
            digits += c;
        }
    }
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// Penwick's own control file for Penwick.dll and PenwickSetup.exe, with
// what the example adds: a shortcut "Penwick Setup.lnk" to the installer
// in %CE11% (Start menu, Programs), and HKLM\Software\Penwick's InstallDir
// set to the folder the user chose.
CabControl WorkedExample() {
    CabControl control = CabPackageControl({{"Penwick.dll", {}}, {"PenwickSetup.exe", {}}});
    control.strings.push_back({2, "%CE11%"});
    control.strings.push_back({3, "Penwick Setup.lnk"});
    control.strings.push_back({4, "Software\\Penwick"});
    control.dirs.push_back({2, {2}});
    control.hives.push_back({1, kCabRootLocalMachine, {4}});
    const std::string installDir = "%InstallDir%";
    std::vector<uint8_t> data(installDir.begin(), installDir.end());
    data.push_back(0);
    control.values.push_back({1, 1, 1, kCabValueString, "InstallDir", data});
    control.links.push_back({1, 2, 0, 2, kCabLinkToFile, {3}});
    return control;
}

TEST(CabControlTest, worked_example_is_written_byte_for_byte) {
    const std::vector<uint8_t> expected = FromDump(kWorkedExampleDump);
    ASSERT_EQ(expected.size(), 338u);
    EXPECT_EQ(CabControlWrite(WorkedExample()), expected);
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

TEST(CabControlTest, worked_example_is_listed_with_every_destination) {
    const std::vector<uint8_t> control = FromDump(kWorkedExampleDump);
    std::vector<uint8_t> cabinet;
    std::string problem;
    ASSERT_TRUE(CabContainerWrite({{"PENWIC~1.000", control},
                                   {"PENWIC~1.999", Bytes("dl")},
                                   {"PENWIC~1.002", Bytes("setup")},
                                   {"0Penwick.001", Bytes("dll")}},
                                  {0, 0}, &cabinet, &problem))
        << problem;
    CabContents contents;
    ASSERT_TRUE(CabRead(cabinet.data(), cabinet.size(), &contents, &problem)) << problem;
    // Read back, the control file writes itself again unchanged.
    EXPECT_EQ(CabControlWrite(contents.control), control);
    const std::vector<std::string> expected = {
        "Penwick Project Penwick: processor type 2577, Windows CE 5.01 to 99.99",
        "file \\Program Files\\Penwick\\Penwick.dll from 0Penwick.001, 3 bytes",
        "file \\Program Files\\Penwick\\PenwickSetup.exe from PENWIC~1.002, 5 bytes",
        "setup DLL PENWIC~1.999, 2 bytes",
        "registry HKLM\\Software\\Penwick: InstallDir = \"%InstallDir%\" (string, expanded)",
        "shortcut \\Windows\\Start Menu\\Programs\\Penwick Setup.lnk to \\Program Files\\Penwick\\PenwickSetup.exe",
    };
    EXPECT_EQ(CabListing(contents), expected);
}

// A cabinet of Penwick's shape, damaged one way.
struct Damage {
    const char* name;
    // Applied to the members before they are packed, or to the cabinet.
    std::function<void(std::vector<CabMember>*)> members;
    std::function<void(std::vector<uint8_t>*)> cabinet;
    const char* reason;
};

void PrintTo(const Damage& damage, std::ostream* out) {
    *out << damage.name;
}

const uint32_t kFirstFileEntry = 36 + 8;

class CabReadTest : public testing::TestWithParam<Damage> {};

TEST_P(CabReadTest, damaged_cabinet_is_refused_with_the_reason) {
    const Damage& damage = GetParam();
    // The driver spans two data blocks of 32 KiB.
    const std::vector<CabPayload> files = {{"Penwick.dll", std::vector<uint8_t>(40000, 0x5A)},
                                           {"README.txt", Bytes("Penwick\r\n")}};
    const CabPayload setupDll = {"PenwickCabSetup.dll", Bytes("setup DLL")};
    std::vector<CabMember> members;
    std::vector<uint8_t> cabinet;
    std::string problem;
    ASSERT_TRUE(CabPackageMembers(files, &setupDll, &members, &problem)) << problem;
    CabContents contents;
    if (damage.members) {
        damage.members(&members);
    }
    ASSERT_TRUE(CabContainerWrite(members, {0, 0}, &cabinet, &problem)) << problem;
    if (damage.cabinet) {
        damage.cabinet(&cabinet);
    }
    EXPECT_FALSE(CabRead(cabinet.data(), cabinet.size(), &contents, &problem));
    EXPECT_NE(problem.find(damage.reason), std::string::npos) << problem;
}

std::vector<CabMember>::iterator Member(std::vector<CabMember>* members, const std::string& extension) {
    return std::find_if(members->begin(), members->end(), [&extension](const CabMember& member) {
        return member.name.size() > 4 && member.name.substr(member.name.size() - 4) == extension;
    });
}

INSTANTIATE_TEST_SUITE_P(
    Damages, CabReadTest,
    testing::Values(
        Damage{"copied_half", nullptr, [](std::vector<uint8_t>* cab) { cab->resize(cab->size() / 2); },
               "copied incompletely"},
        Damage{"copied_but_the_last_byte", nullptr, [](std::vector<uint8_t>* cab) { cab->pop_back(); },
               "copied incompletely"},
        Damage{"one_bit_flipped_in_the_driver", nullptr, [](std::vector<uint8_t>* cab) { (*cab)[cab->size() - 2000] ^= 0x08; },
               "fails its checksum"},
        Damage{"member_placed_past_the_data", nullptr,
               [](std::vector<uint8_t>* cab) { (*cab)[kFirstFileEntry + 6] = 0x01; }, "is cut short"},
        Damage{"compressed", nullptr, [](std::vector<uint8_t>* cab) { (*cab)[36 + 6] = 1; }, "compressed (MSZIP)"},
        Damage{"control_file_cut_short",
               [](std::vector<CabMember>* members) { Member(members, ".000")->bytes.resize(188); }, nullptr,
               "says it is 200 bytes long but is 188"},
        Damage{"installed_file_missing", [](std::vector<CabMember>* members) { members->erase(Member(members, ".002")); },
               nullptr, "installs README.txt from a member the cabinet lacks"}),
    [](const testing::TestParamInfo<Damage>& info) { return info.param.name; });

}  // namespace
