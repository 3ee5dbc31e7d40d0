#include <gtest/gtest.h>

#include <string.h>

#include "input_error_support.h"
#include "files/reg_file.h"

namespace {

std::vector<uint8_t> Dword(uint32_t value) {
    std::vector<uint8_t> bytes(4);
    memcpy(bytes.data(), &value, 4);
    return bytes;
}

std::vector<uint8_t> Utf16(const std::u16string& text) {
    std::vector<uint8_t> bytes;
    for (char16_t c : text) {
        bytes.push_back(c & 0xFF);
        bytes.push_back(c >> 8);
    }
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

// A file as UTF-16LE with its byte-order mark, as regedit writes version 5.
std::string AsUtf16File(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

const std::string kKey = "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\n";

struct GoodReg {
    const char* name;
    std::string file;
    bool hasKey;
    std::vector<RegValue> values;
};

void PrintTo(const GoodReg& c, std::ostream* out) { *out << c.name; }

class RegParseTest : public ::testing::TestWithParam<GoodReg> {};

TEST_P(RegParseTest, keeps_the_penwick_values) {
    RegFile parsed = ParseRegFile(GetParam().file, "s.reg");
    EXPECT_EQ(parsed.penwick.present, GetParam().hasKey);
    ASSERT_EQ(parsed.penwick.values.size(), GetParam().values.size());
    for (size_t i = 0; i < parsed.penwick.values.size(); i++) {
        const RegValue& got = parsed.penwick.values[i];
        const RegValue& want = GetParam().values[i];
        EXPECT_TRUE(got.name == want.name) << i;
        EXPECT_EQ(got.type, want.type) << i;
        EXPECT_EQ(got.data, want.data) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    RegFiles, RegParseTest,
    ::testing::Values(
        GoodReg{"regedit4_dword_and_string",
                "REGEDIT4\n\n; comment\n" + kKey +
                    "\"LowSpeed\"=dword:0000000a\n\"OrigDriverName\"=\"tsp\\\\a\\\".dll\"\n",
                true,
                {{u"LowSpeed", 4, Dword(10)}, {u"OrigDriverName", 1, Utf16(u"tsp\\a\".dll")}}},
        GoodReg{"version5_utf16_crlf",
                AsUtf16File("Windows Registry Editor Version 5.00\r\n\r\n" +
                            std::string("[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\r\n") +
                            "\"ErrorDelay\"=dword:FFFFFFFE\r\n"),
                true, {{u"ErrorDelay", 4, Dword(0xFFFFFFFE)}}},
        GoodReg{"utf8_bom_and_non_ascii_name",
                "\xEF\xBB\xBFREGEDIT4\n" + kKey + "\"OrigDriverName\"=\"t\xC3\xBC.dll\"\n", true,
                {{u"OrigDriverName", 1, Utf16(u"t\u00FC.dll")}}},
        GoodReg{"the_touch_keys_other_values_passed_over_and_key_name_case",
                "REGEDIT4\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH]\n\"DriverName\"=\"Penwick.dll\"\n"
                "\"Raw\"=hex:01,\\\n  02\n[hklm\\hardware\\devicemap\\touch\\penwick]\n\"LowSpeed\"=dword:1\n",
                true, {{u"LowSpeed", 4, Dword(1)}}},
        GoodReg{"later_value_wins_and_deletions",
                "REGEDIT4\n" + kKey + "\"LowSpeed\"=dword:1\n\"lowspeed\"=dword:2\n\"HighSpeed\"=dword:3\n"
                "\"HighSpeed\"=-\n",
                true, {{u"lowspeed", 4, Dword(2)}}},
        GoodReg{"deleted_key", "REGEDIT4\n" + kKey + "\"LowSpeed\"=dword:1\n[-HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\n",
                false, {}},
        GoodReg{"no_penwick_key", "REGEDIT4\n", false, {}}),
    [](const ::testing::TestParamInfo<GoodReg>& info) { return info.param.name; });

TEST(RegFileTest, keeps_the_touch_keys_driver_name_and_the_first_deletion) {
    RegFile file = ParseRegFile("REGEDIT4\n[HKLM\\HARDWARE\\DEVICEMAP\\TOUCH]\n\"Cal\"=\"1 2\"\n"
                                "\"DriverName\"=\"Penwick.dll\"\n" + kKey + "\"A\"=-\n\"B\"=-\n",
                                "s.reg");
    EXPECT_TRUE(file.touch.present);
    ASSERT_EQ(file.touch.values.size(), 1u);
    EXPECT_TRUE(file.touch.values[0].name == u"DriverName");
    EXPECT_EQ(file.touch.values[0].data, Utf16(u"Penwick.dll"));
    EXPECT_EQ(file.deletionLine, 6);
    EXPECT_EQ(ParseRegFile("REGEDIT4\n" + kKey, "s.reg").deletionLine, 0);
}

// What penwick writes, penwick and the installer read back the same: tune's
// comments name traces whatever their names.
TEST(RegFileTest, what_is_written_reads_back_the_same) {
    RegFile file;
    RegKeySet(file.touch, RegString(u"DriverName", u"Penwick.dll"));
    RegKeySet(file.penwick, RegString(u"CaptureFile", u"\\Donn\u00e9es\\\"a\u20ac\".csv"));
    RegKeySet(file.penwick, RegDword(u"LowSpeed", 0xFFFFFFFE));
    RegFile again = ParseRegFile(FormatRegFile(file, "from tr\xC3\xA4" "ce.csv\n\nC:\\x"), "s.reg");
    ASSERT_EQ(again.penwick.values.size(), 2u);
    EXPECT_TRUE(again.penwick.values[0].name == u"CaptureFile");
    EXPECT_EQ(again.penwick.values[0].data, file.penwick.values[0].data);
    EXPECT_EQ(again.penwick.values[1].data, Dword(0xFFFFFFFE));
    EXPECT_EQ(again.touch.values[0].data, Utf16(u"Penwick.dll"));
}

struct BadReg {
    const char* name;
    std::string file;
    const char* error;
};

void PrintTo(const BadReg& c, std::ostream* out) { *out << c.name; }

class RegErrorTest : public ::testing::TestWithParam<BadReg> {};

TEST_P(RegErrorTest, names_the_file_and_line) {
    EXPECT_EQ(InputErrorOf([this] { ParseRegFile(GetParam().file, "s.reg"); }), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    RegFiles, RegErrorTest,
    ::testing::Values(
        BadReg{"empty", "", "s.reg: empty: not a registry file"},
        BadReg{"no_header", "\n[HKEY_LOCAL_MACHINE\\X]\n",
               "s.reg:2: not a registry file: it must begin with REGEDIT4 or Windows Registry "
               "Editor Version 5.00"},
        BadReg{"long_dword", "REGEDIT4\n" + kKey + "\"LowSpeed\"=dword:123456789\n",
               "s.reg:3: dword: wants 1 to 8 hex digits"},
        BadReg{"hex_data", "REGEDIT4\n" + kKey + "\"LowSpeed\"=hex:01,02\n",
               "s.reg:3: hex: data is not read in Penwick's key or for DriverName: write numbers "
               "as dword: and text as \"text\""},
        BadReg{"another_key", "REGEDIT4\n[HKEY_CURRENT_USER\\X]\n@=\"y\"\n",
               "s.reg:2: only Penwick's key and the touch key above it are read here"},
        BadReg{"bad_utf8", "REGEDIT4\n" + kKey + "\"OrigDriverName\"=\"\xC3\"\n",
               "s.reg:3: not UTF-8: save the file as UTF-8 or as Unicode (UTF-16)"},
        BadReg{"too_large", "REGEDIT4\n" + std::string(20000, ';'), "s.reg: larger than 16384 bytes"},
        BadReg{"utf16_without_mark", std::string("R\0E\0G\0", 6),
               "s.reg: looks like UTF-16 without a byte-order mark, or big-endian: save it as UTF-16 "
               "little-endian with one, or as plain text"}),
    [](const ::testing::TestParamInfo<BadReg>& info) { return info.param.name; });

}  // namespace
