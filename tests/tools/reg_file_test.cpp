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
        GoodReg{"regedit4_dword_string_hex",
                "REGEDIT4\n\n; comment\n" + kKey +
                    "\"LowSpeed\"=dword:0000000a\n\"OrigDriverName\"=\"tsp\\\\a\\\".dll\"\n"
                    "\"HighSpeed\"=hex:01,02\n\"MaxDirDiff\"=hex(4):3c,00,00,00\n",
                true,
                {{u"LowSpeed", 4, Dword(10)},
                 {u"OrigDriverName", 1, Utf16(u"tsp\\a\".dll")},
                 {u"HighSpeed", 3, {1, 2}},
                 {u"MaxDirDiff", 4, {0x3c, 0, 0, 0}}}},
        GoodReg{"version5_utf16_crlf",
                AsUtf16File("Windows Registry Editor Version 5.00\r\n\r\n" +
                            std::string("[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\r\n") +
                            "\"ErrorDelay\"=dword:FFFFFFFE\r\n"),
                true, {{u"ErrorDelay", 4, Dword(0xFFFFFFFE)}}},
        GoodReg{"utf8_bom_and_non_ascii_name",
                "\xEF\xBB\xBFREGEDIT4\n" + kKey + "\"OrigDriverName\"=\"t\xC3\xBC.dll\"\n", true,
                {{u"OrigDriverName", 1, Utf16(u"t\u00FC.dll")}}},
        GoodReg{"continued_hex_and_empty_hex",
                "REGEDIT4\n" + kKey + "\"MaxSpeedDiff\"=hex:01,\\\n  02,03,\\\n  04\n\"LowSpeed\"=hex:\n",
                true, {{u"MaxSpeedDiff", 3, {1, 2, 3, 4}}, {u"LowSpeed", 3, {}}}},
        GoodReg{"other_keys_ignored_and_key_name_case",
                "REGEDIT4\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH]\n\"DriverName\"=\"Penwick.dll\"\n"
                "[hklm\\hardware\\devicemap\\touch\\penwick]\n\"LowSpeed\"=dword:1\n",
                true, {{u"LowSpeed", 4, Dword(1)}}},
        GoodReg{"later_value_wins_and_deletions",
                "REGEDIT4\n" + kKey + "\"LowSpeed\"=dword:1\n\"lowspeed\"=dword:2\n\"HighSpeed\"=dword:3\n"
                "\"HighSpeed\"=-\n",
                true, {{u"lowspeed", 4, Dword(2)}}},
        GoodReg{"deleted_key", "REGEDIT4\n" + kKey + "\"LowSpeed\"=dword:1\n[-HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\n",
                false, {}},
        GoodReg{"deleted_parent_key", "REGEDIT4\n" + kKey + "\"LowSpeed\"=dword:1\n[-HKLM\\hardware\\DEVICEMAP]\n",
                false, {}},
        GoodReg{"no_penwick_key", "REGEDIT4\n[HKEY_CURRENT_USER\\X]\n@=\"y\"\n", false, {}}),
    [](const ::testing::TestParamInfo<GoodReg>& info) { return info.param.name; });

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
               "s.reg:2: not a registry file: it must begin with REGEDIT4 or 'Windows Registry "
               "Editor Version 5.00'"},
        BadReg{"value_outside_key", "REGEDIT4\n\"LowSpeed\"=dword:1\n", "s.reg:2: value outside a key"},
        BadReg{"long_dword", "REGEDIT4\n" + kKey + "\"LowSpeed\"=dword:123456789\n",
               "s.reg:3: dword: wants 1 to 8 hex digits, not '123456789'"},
        BadReg{"decimal_looking_dword", "REGEDIT4\n" + kKey + "\"LowSpeed\"=dword:-5\n",
               "s.reg:3: dword: wants 1 to 8 hex digits, not '-5'"},
        BadReg{"unterminated_string", "REGEDIT4\n" + kKey + "\"OrigDriverName\"=\"tsp.dll\n",
               "s.reg:3: string without its closing quote"},
        BadReg{"bad_hex_byte", "REGEDIT4\n" + kKey + "\"LowSpeed\"=hex:01,1ff\n",
               "s.reg:3: hex data wants bytes like 0a,ff; found '1ff'"},
        BadReg{"unknown_kind", "REGEDIT4\n" + kKey + "\"LowSpeed\"=qword:1\n",
               "s.reg:3: value is not \"string\", dword: or hex: data"},
        BadReg{"missing_equals", "REGEDIT4\n" + kKey + "\"LowSpeed\" dword:1\n",
               "s.reg:3: expected = after the value's name"},
        BadReg{"unclosed_key", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\X\n", "s.reg:2: key line without its closing ]"},
        BadReg{"bad_utf8", "REGEDIT4\n" + kKey + "\"OrigDriverName\"=\"\xC3\"\n",
               "s.reg:3: text is not valid UTF-8"},
        BadReg{"odd_utf16", std::string("\xFF\xFE" "R\0E\0G", 7), "s.reg: UTF-16 file with an odd number of bytes"},
        BadReg{"utf16_without_mark", std::string("R\0E\0G\0", 6),
               "s.reg: looks like UTF-16 without a byte-order mark, or big-endian: save it as UTF-16 "
               "little-endian with one, or as plain text"}),
    [](const ::testing::TestParamInfo<BadReg>& info) { return info.param.name; });

}  // namespace
