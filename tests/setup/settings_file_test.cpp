// The one .reg reader, row by row: what it keeps of each file it accepts,
// and the line and reason of each it refuses. Every file in samples/ is
// read, as it is and as a registry editor saves it in UTF-16.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "setup/settings_file.h"

namespace {

// A file as UTF-16LE with its byte-order mark; `units` are written as they are.
std::string AsUtf16(const std::u16string& units) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : units) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

std::u16string Widened(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

const std::string kHeader = "REGEDIT4\n";
const std::string kPenwickKey = "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\n";
const std::string kTouchKey = "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH]\n";

// Characters outside ASCII as \u escapes, so that rows compare as text.
std::string Shown(const char16_t* text, size_t units) {
    std::string out;
    for (size_t i = 0; i < units; i++) {
        char escape[8];
        snprintf(escape, sizeof escape, "\\u%04x", text[i]);
        out += text[i] < 0x80 ? std::string(1, static_cast<char>(text[i])) : escape;
    }
    return out;
}

std::string Shown(const SettingsValue& v) {
    std::string text = Shown(v.name, std::char_traits<char16_t>::length(v.name)) + "=";
    if (v.type == 4) {
        uint32_t number = v.data[0] | v.data[1] << 8 | v.data[2] << 16 | uint32_t(v.data[3]) << 24;
        return text + std::to_string(number);
    }
    return text + "\"" + Shown(reinterpret_cast<const char16_t*>(v.data), v.size / 2 - 1) + "\"";
}

// What the reader kept, as one line: "[Penwick] name=value ... [touch]
// DriverName=... deletes N"; or "line N: why".
std::string Read(const std::string& bytes) {
    static SettingsFile file;
    if (!SettingsFileRead(reinterpret_cast<const uint8_t*>(bytes.data()),
                          static_cast<uint32_t>(bytes.size()), &file)) {
        EXPECT_NE(file.error, nullptr);
        return "line " + std::to_string(file.errorLine) + ": " + file.error;
    }
    EXPECT_EQ(file.error, nullptr);
    std::string text = file.penwickKey ? "[Penwick]" : "";
    for (int i = 0; i < file.count; i++) {
        text += " " + Shown(file.values[i]);
    }
    text += file.touchKey ? " [touch]" : "";
    text += file.driverNamed ? " " + Shown(file.driverName) : "";
    text += file.firstDeletionLine != 0 ? " deletes " + std::to_string(file.firstDeletionLine) : "";
    return text;
}

TEST(SettingsFileTest, every_sample_is_read_as_it_is_and_in_utf16) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(PENWICK_SAMPLES)) {
        if (entry.path().extension() != ".reg") {
            continue;
        }
        SCOPED_TRACE(entry.path().string());
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        std::string read = Read(bytes.str());
        EXPECT_EQ(read.find("line "), std::string::npos) << read;
        EXPECT_EQ(Read(AsUtf16(Widened(bytes.str()))), read);
        files++;
    }
    EXPECT_GE(files, 5);
}

struct Row {
    const char* name;
    std::string file;
    std::string read;  // as Read() shows it
};

void PrintTo(const Row& r, std::ostream* out) { *out << r.name; }

class SettingsFileRowTest : public ::testing::TestWithParam<Row> {};

TEST_P(SettingsFileRowTest, reads_the_file_as_the_row_says) {
    EXPECT_EQ(Read(GetParam().file), GetParam().read);
}

std::string SeventeenValues() {
    std::string file = kHeader + kPenwickKey;
    for (int i = 0; i < 17; i++) {
        file += "\"v" + std::to_string(i) + "\"=dword:1\n";
    }
    return file;
}

INSTANTIATE_TEST_SUITE_P(
    Accepted, SettingsFileRowTest,
    ::testing::Values(
        Row{"version_5_with_crlf",
            "Windows Registry Editor Version 5.00\r\n\r\n" + kPenwickKey.substr(0, kPenwickKey.size() - 1) + "\r\n" +
                "\"LowSpeed\"=dword:00000003\r\n",
            "[Penwick] LowSpeed=3"},
        Row{"hklm_and_any_case",
            kHeader + "[hklm\\hardware\\devicemap\\touch\\PENWICK]\n\"a\"=DWORD:ffffffff\n",
            "[Penwick] a=4294967295"},
        Row{"blanks_around_the_equals_and_the_digits",
            kHeader + kPenwickKey + "  \"LowSpeed\" \t= dword: 1f \t\n", "[Penwick] LowSpeed=31"},
        Row{"escapes", kHeader + kPenwickKey + "\"C\\\"F\"=\"\\\\My Documents\\\\\\\"a\\\".csv\"\n",
            "[Penwick] C\"F=\"\\My Documents\\\"a\".csv\""},
        Row{"a_later_value_replaces_and_moves_to_the_end",
            kHeader + kPenwickKey + "\"LowSpeed\"=dword:1\n\"HighSpeed\"=dword:2\n\"LOWSPEED\"=dword:3\n",
            "[Penwick] HighSpeed=2 LOWSPEED=3"},
        Row{"a_deleted_value_set_again",
            kHeader + kPenwickKey + "\"LowSpeed\"=dword:1\n\"LowSpeed\"=-\n\"HighSpeed\"=\"\"\n\"lowspeed\"=dword:2\n",
            "[Penwick] HighSpeed=\"\" lowspeed=2 deletes 4"},
        Row{"the_key_deleted_and_written_again",
            kHeader + kPenwickKey + "\"LowSpeed\"=dword:1\n[-HKLM\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\n" +
                kPenwickKey + "\"HighSpeed\"=dword:2\n",
            "[Penwick] HighSpeed=2 deletes 4"},
        Row{"the_touch_key_deleted_with_penwicks",
            kHeader + kTouchKey + "\"DriverName\"=\"Penwick.dll\"\n" + kPenwickKey +
                "\"LowSpeed\"=dword:1\n[-" + kTouchKey.substr(1),
            " deletes 6"},
        Row{"penwicks_key_deleted_leaves_the_touch_key",
            kHeader + kTouchKey + "\"DriverName\"=\"Penwick.dll\"\n[-" + kPenwickKey.substr(1),
            " [touch] DriverName=\"Penwick.dll\" deletes 4"},
        Row{"comments_and_blank_lines_first", "\n  ; made by hand\n\t\nREGEDIT4\n; more\n" + kPenwickKey,
            "[Penwick]"},
        // penwick tune names its traces in comments, whatever their names.
        Row{"utf8_in_comments_and_strings",
            "\xEF\xBB\xBF" + kHeader + "; from \xC3\xA9t\xC3\xA9-\xE2\x82\xAC.csv\n" + kPenwickKey +
                "\"CaptureFile\"=\"\\\\Donn\xC3\xA9" "es\\\\a.csv\"\n",
            "[Penwick] CaptureFile=\"\\Donn\\u00e9es\\a.csv\""},
        Row{"utf16_outside_ascii",
            AsUtf16(Widened(kHeader + kPenwickKey) + u"\"CaptureFile\"=\"\\\\\u00e9t\u00e9.csv\"\n"),
            "[Penwick] CaptureFile=\"\\\\u00e9t\\u00e9.csv\""},
        // The touch key as a registry editor exports it: the device's other
        // values are read for their form and passed over.
        Row{"the_touch_keys_other_values",
            kHeader + kTouchKey + "\"CalibrationData\"=\"512,512 100,100\"\n\"MaxCalError\"=dword:7\n" +
                "\"Raw\"=hex:01,02,\\\n  ff,\\\n  0a\n\"Empty\"=hex:\n\"Multi\"=hex(7):61,00,00,00\n" +
                "\"DriverName\"=\"Penwick.dll\"\n\"Gone\"=-\n",
            " [touch] DriverName=\"Penwick.dll\" deletes 11"},
        Row{"a_hex_line_continued_then_a_blank_line",
            kHeader + kTouchKey + "\"Raw\"=hex:01,\\\n\n\"DriverName\"=dword:2\n",
            " [touch] DriverName=2"},
        Row{"driver_name_deleted", kHeader + kTouchKey + "\"DriverName\"=\"a\"\n\"drivername\"=-\n",
            " [touch] deletes 4"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Refused, SettingsFileRowTest,
    ::testing::Values(
        Row{"empty", "", "line 0: empty: not a registry file"},
        Row{"no_header", kPenwickKey + "\"LowSpeed\"=dword:1\n",
            "line 1: not a registry file: it must begin with REGEDIT4 or Windows Registry Editor "
            "Version 5.00"},
        Row{"a_misspelled_header", "REGEDIT 4\n" + kPenwickKey,
            "line 1: not a registry file: it must begin with REGEDIT4 or Windows Registry Editor "
            "Version 5.00"},
        Row{"a_value_outside_a_key", kHeader + "\"LowSpeed\"=dword:1\n", "line 2: value outside a key"},
        Row{"a_value_after_a_deleted_key", kHeader + "[-" + kPenwickKey.substr(1) + "\"a\"=dword:1\n",
            "line 3: value outside a key"},
        Row{"a_key_without_its_bracket", kHeader + "[HKLM\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick\n",
            "line 2: key line without its closing ]"},
        Row{"another_key", kHeader + kPenwickKey + "[HKEY_CURRENT_USER\\Software]\n",
            "line 3: only Penwick's key and the touch key above it are read here"},
        Row{"a_key_above_the_touch_key_deleted", kHeader + "[-HKLM\\HARDWARE\\DEVICEMAP]\n",
            "line 2: only Penwick's key and the touch key above it are read here"},
        Row{"a_string_without_its_quote", kHeader + kPenwickKey + "\"a\"=\"b\n",
            "line 3: string without its closing quote"},
        Row{"an_unknown_escape", kHeader + kPenwickKey + "\"a\"=\"\\n\"\n",
            "line 3: unknown escape: only \\\" and \\\\ are read"},
        Row{"text_after_the_quote", kHeader + kPenwickKey + "\"a\"=\"b\" c\n",
            "line 3: text after the closing quote"},
        Row{"nine_hex_digits", kHeader + kPenwickKey + "\"a\"=dword:000000001\n",
            "line 3: dword: wants 1 to 8 hex digits"},
        Row{"no_hex_digits", kHeader + kPenwickKey + "\"a\"=dword:\n", "line 3: dword: wants 1 to 8 hex digits"},
        Row{"a_decimal_number", kHeader + kPenwickKey + "\"a\"=dword:0x10\n",
            "line 3: dword: wants 1 to 8 hex digits"},
        Row{"no_equals", kHeader + kPenwickKey + "\"a\" dword:1\n", "line 3: expected = after the value's name"},
        Row{"a_number_without_dword", kHeader + kPenwickKey + "\"a\"=16\n",
            "line 3: a value must be \"text\", dword:hhhhhhhh or hex: data"},
        Row{"hex_data_in_penwicks_key", kHeader + kPenwickKey + "\"a\"=hex:01,02\n",
            "line 3: hex: data is not read in Penwick's key or for DriverName: write numbers as "
            "dword: and text as \"text\""},
        Row{"hex_data_for_driver_name", kHeader + kTouchKey + "\"DriverName\"=hex(1):41,00,00,00\n",
            "line 3: hex: data is not read in Penwick's key or for DriverName: write numbers as "
            "dword: and text as \"text\""},
        Row{"a_hex_byte_of_three_digits", kHeader + kTouchKey + "\"Raw\"=hex:01,1ff\n",
            "line 3: hex data wants bytes like 0a,ff"},
        Row{"hex_bytes_without_a_comma", kHeader + kTouchKey + "\"Raw\"=hex:01 02\n",
            "line 3: hex data wants bytes like 0a,ff"},
        Row{"a_hex_type_of_nine_digits", kHeader + kTouchKey + "\"Raw\"=hex(123456789):01\n",
            "line 3: hex(N): wants 1 to 8 hex digits for the type"},
        Row{"a_continued_hex_line_that_is_not_hex", kHeader + kTouchKey + "\"Raw\"=hex:01,\\\n; no\n",
            "line 4: hex data wants bytes like 0a,ff"},
        Row{"a_default_value", kHeader + kPenwickKey + "@=\"x\"\n",
            "line 3: a key's default value (@) is not read here"},
        Row{"a_value_without_a_name", kHeader + kPenwickKey + "\"\"=\"x\"\n",
            "line 3: a value without a name is not read here"},
        Row{"a_dword_that_continues", kHeader + kPenwickKey + "\"a\"=dword:\\\n1\n",
            "line 3: a line may not end with \\, which joins it to the next"},
        Row{"a_string_of_the_touch_key_that_continues", kHeader + kTouchKey + "\"Cal\"=\"1\\\n",
            "line 3: a line may not end with \\, which joins it to the next"},
        Row{"a_comment_that_continues", kHeader + "; C:\\\n" + kPenwickKey,
            "line 2: a line may not end with \\, which joins it to the next"},
        Row{"utf8_cut_short", kHeader + "; \xC3\n", "line 2: not UTF-8: save the file as UTF-8 or as Unicode (UTF-16)"},
        Row{"utf8_overlong", kHeader + kPenwickKey + "\"a\"=\"\xC0\xAF\"\n",
            "line 3: not UTF-8: save the file as UTF-8 or as Unicode (UTF-16)"},
        Row{"utf8_of_a_surrogate", kHeader + "; \xED\xA0\x80\n",
            "line 2: not UTF-8: save the file as UTF-8 or as Unicode (UTF-16)"},
        Row{"latin1", kHeader + "; caf\xE9\n", "line 2: not UTF-8: save the file as UTF-8 or as Unicode (UTF-16)"},
        Row{"utf8_outside_the_plane", kHeader + "; \xF0\x9F\x98\x80\n",
            "line 2: character outside the Basic Multilingual Plane"},
        Row{"utf16_outside_the_plane", AsUtf16(Widened(kHeader + kPenwickKey) + u"\"a\"=\"\U0001F600\"\n"),
            "line 3: character outside the Basic Multilingual Plane"},
        Row{"utf16_with_half_a_character", AsUtf16(Widened(kHeader + kPenwickKey) + u"\"a\"=\"\xD800\"\n"),
            "line 3: character outside the Basic Multilingual Plane"},
        Row{"utf16_of_odd_length", AsUtf16(Widened(kHeader)) + "x",
            "line 0: UTF-16 file with an odd number of bytes"},
        Row{"utf16_without_its_mark", std::string("R\0E\0G\0", 6),
            "line 0: looks like UTF-16 without a byte-order mark, or big-endian: save it as UTF-16 "
            "little-endian with one, or as plain text"},
        Row{"utf16_big_endian", std::string("\xFE\xFF\0R", 4),
            "line 0: looks like UTF-16 without a byte-order mark, or big-endian: save it as UTF-16 "
            "little-endian with one, or as plain text"},
        Row{"a_control_character", kHeader + kPenwickKey + "\"a\"=\"b\x01\"\n", "line 3: control character"},
        Row{"a_name_of_64_characters", kHeader + kPenwickKey + "\"" + std::string(64, 'n') + "\"=dword:1\n",
            "line 3: value name longer than 63 characters"},
        Row{"a_string_of_260_characters", kHeader + kPenwickKey + "\"a\"=\"" + std::string(260, 's') + "\"\n",
            "line 3: string longer than 259 characters"},
        Row{"seventeen_values", SeventeenValues(), "line 19: more than 16 values for Penwick's key"},
        Row{"larger_than_the_installer_reads", kHeader + std::string(16384, ';'),
            "line 0: larger than 16384 bytes"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
