// The installer's settings file reader against penwick's own .reg reader:
// from every .reg file in samples/ and from each tricky case, the same values
// of Penwick's key, or both refusing. What only the installer refuses (what
// it does not read) is refused on the line it names.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "files/input.h"
#include "files/reg_file.h"
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

// Penwick's key as the installer leaves it, as penwick's reader's RegKey.
bool InstallerReads(const std::string& bytes, RegKey* key, SettingsFile* file) {
    if (!SettingsFileRead(reinterpret_cast<const uint8_t*>(bytes.data()),
                          static_cast<uint32_t>(bytes.size()), file)) {
        return false;
    }
    key->present = file->penwickKey;
    for (int i = 0; i < file->count; i++) {
        const SettingsValue& v = file->values[i];
        key->values.push_back({v.name, v.type, std::vector<uint8_t>(v.data, v.data + v.size)});
    }
    return true;
}

// Both readers on one file: the same of Penwick's key, or both refusing.
// Returns the installer's reading, for more checks.
SettingsFile ExpectSameReading(const std::string& bytes) {
    SettingsFile file;
    RegKey installer;
    bool installerRead = InstallerReads(bytes, &installer, &file);
    RegFile tool;
    try {
        tool = ParseRegFile(bytes, "s.reg");
    } catch (const InputError& e) {
        EXPECT_FALSE(installerRead) << "penwick refuses it (" << e.what() << "), the installer not";
        return file;
    }
    EXPECT_TRUE(installerRead) << "the installer refuses line " << file.errorLine << ": "
                               << file.error;
    if (!installerRead) {
        return file;
    }
    EXPECT_EQ(installer.present, tool.penwick.present);
    EXPECT_EQ(installer.values.size(), tool.penwick.values.size());
    for (size_t i = 0; i < installer.values.size() && i < tool.penwick.values.size(); i++) {
        const RegValue& a = installer.values[i];
        const RegValue& b = tool.penwick.values[i];
        EXPECT_TRUE(a.name == b.name) << "value " << i;
        EXPECT_EQ(a.type, b.type) << "value " << i;
        EXPECT_EQ(a.data, b.data) << "value " << i;
    }
    return file;
}

TEST(SettingsFileTest, every_sample_reads_as_penwick_reads_it) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(PENWICK_SAMPLES)) {
        if (entry.path().extension() != ".reg") {
            continue;
        }
        SCOPED_TRACE(entry.path().string());
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        SettingsFile file = ExpectSameReading(bytes.str());
        EXPECT_EQ(file.error, nullptr);
        // And as regedit would save it, in UTF-16.
        ExpectSameReading(AsUtf16(Widened(bytes.str())));
        files++;
    }
    EXPECT_GE(files, 5);
}

struct Tricky {
    const char* name;
    std::string file;
};

void PrintTo(const Tricky& t, std::ostream* out) { *out << t.name; }

class TrickyTest : public ::testing::TestWithParam<Tricky> {};

TEST_P(TrickyTest, reads_as_penwick_reads_it_or_both_refuse) { ExpectSameReading(GetParam().file); }

INSTANTIATE_TEST_SUITE_P(
    Cases, TrickyTest,
    ::testing::Values(
        // Read the same.
        Tricky{"version_5_with_crlf",
               "Windows Registry Editor Version 5.00\r\n\r\n" +
                   std::string("[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\r\n") +
                   "\"LowSpeed\"=dword:00000003\r\n"},
        Tricky{"hklm_and_any_case",
               kHeader + "[hklm\\hardware\\devicemap\\touch\\PENWICK]\n\"a\"=DWORD:ffffffff\n"},
        Tricky{"blanks_around_the_equals_and_the_digits",
               kHeader + kPenwickKey + "  \"LowSpeed\" \t= dword: 1f \t\n"},
        Tricky{"escapes", kHeader + kPenwickKey +
                              "\"Capture\\\"File\"=\"\\\\My Documents\\\\\\\"a\\\".csv\"\n"},
        Tricky{"a_later_value_replaces_and_moves_to_the_end",
               kHeader + kPenwickKey +
                   "\"LowSpeed\"=dword:1\n\"HighSpeed\"=dword:2\n\"LOWSPEED\"=dword:3\n"},
        Tricky{
            "a_deleted_value_set_again",
            kHeader + kPenwickKey +
                "\"LowSpeed\"=dword:1\n\"LowSpeed\"=-\n\"HighSpeed\"=\"\"\n\"lowspeed\"=dword:2\n"},
        Tricky{"the_key_deleted_and_written_again",
               kHeader + kPenwickKey +
                   "\"LowSpeed\"=dword:1\n[-HKLM\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick]\n" +
                   kPenwickKey + "\"HighSpeed\"=dword:2\n"},
        Tricky{"the_touch_key_deleted",
               kHeader + kPenwickKey + "\"LowSpeed\"=dword:1\n[-" + kTouchKey.substr(1)},
        Tricky{"comments_and_blank_lines_first",
               "\n  ; made by hand\n\t\nREGEDIT4\n; more\n" + kPenwickKey},
        Tricky{"the_touch_keys_driver_name_only", kHeader + kTouchKey +
                                                      "\"DriverName\"=\"Penwick.dll\"\n" +
                                                      kPenwickKey + "\"x\"=\"y\"\n"},
        Tricky{"utf16_text_outside_ascii",
               AsUtf16(Widened(kHeader + kPenwickKey) +
                       u"\"CaptureFile\"=\"\\\\Mes documents\\\\\u00e9t\u00e9.csv\"\n")},
        // Both refuse.
        Tricky{"empty", ""}, Tricky{"no_header", kPenwickKey + "\"LowSpeed\"=dword:1\n"},
        Tricky{"a_misspelled_header", "REGEDIT 4\n" + kPenwickKey},
        Tricky{"a_value_outside_a_key", kHeader + "\"LowSpeed\"=dword:1\n"},
        Tricky{"a_value_after_a_deleted_key",
               kHeader + "[-" + kPenwickKey.substr(1) + "\"a\"=dword:1\n"},
        Tricky{"a_key_without_its_bracket",
               kHeader + "[HKLM\\HARDWARE\\DEVICEMAP\\TOUCH\\Penwick\n"},
        Tricky{"a_string_without_its_quote", kHeader + kPenwickKey + "\"a\"=\"b\n"},
        Tricky{"an_unknown_escape", kHeader + kPenwickKey + "\"a\"=\"\\n\"\n"},
        Tricky{"text_after_the_quote", kHeader + kPenwickKey + "\"a\"=\"b\" c\n"},
        Tricky{"nine_hex_digits", kHeader + kPenwickKey + "\"a\"=dword:000000001\n"},
        Tricky{"no_hex_digits", kHeader + kPenwickKey + "\"a\"=dword:\n"},
        Tricky{"a_decimal_number", kHeader + kPenwickKey + "\"a\"=dword:0x10\n"},
        Tricky{"no_equals", kHeader + kPenwickKey + "\"a\" dword:1\n"},
        Tricky{"a_number_without_dword", kHeader + kPenwickKey + "\"a\"=16\n"},
        Tricky{"utf16_of_odd_length", AsUtf16(Widened(kHeader)) + "x"},
        Tricky{"utf16_with_half_a_character",
               AsUtf16(Widened(kHeader + kPenwickKey) + u"\"a\"=\"\xD800\"\n")}),
    [](const auto& info) { return std::string(info.param.name); });

// What only the installer refuses: it reads the settings it writes, and not
// what penwick's reader merely passes over.
struct Refused {
    const char* name;
    std::string file;
    int32_t line;
    const char* error;
};

void PrintTo(const Refused& r, std::ostream* out) { *out << r.name; }

class InstallerRefusesTest : public ::testing::TestWithParam<Refused> {};

TEST_P(InstallerRefusesTest, names_the_line_and_why) {
    SettingsFile file;
    RegKey key;
    EXPECT_FALSE(InstallerReads(GetParam().file, &key, &file));
    EXPECT_EQ(file.errorLine, GetParam().line);
    EXPECT_STREQ(file.error, GetParam().error);
    EXPECT_NO_THROW(ParseRegFile(GetParam().file, "s.reg"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstallerRefusesTest,
    ::testing::Values(
        Refused{"another_key", kHeader + kPenwickKey + "[HKEY_CURRENT_USER\\Software]\n", 3,
                "only Penwick's key and the touch key above it are read here"},
        Refused{"hex_data", kHeader + kPenwickKey + "\"a\"=hex:01,02\n", 3,
                "hex: data is not read here: write numbers as dword: and text as \"text\""},
        Refused{"a_default_value", kHeader + kPenwickKey + "@=\"x\"\n", 3,
                "a key's default value (@) is not read here"},
        Refused{"a_value_without_a_name", kHeader + kPenwickKey + "\"\"=\"x\"\n", 3,
                "a value without a name is not read here"},
        Refused{"another_value_of_the_touch_key",
                kHeader + kTouchKey + "\"CalibrationData\"=\"1\"\n", 3,
                "the touch key may hold only DriverName here"},
        Refused{"a_line_that_continues", kHeader + kPenwickKey + "\"a\"=dword:\\\n1\n", 3,
                "a line may not end with \\, which joins it to the next"},
        Refused{"a_comment_that_continues", kHeader + "; C:\\\n" + kPenwickKey, 2,
                "a line may not end with \\, which joins it to the next"},
        Refused{"utf8", "\xEF\xBB\xBFREGEDIT4\n", 1,
                "not ASCII: save the file as ASCII or as Unicode (UTF-16)"},
        Refused{"a_character_outside_the_plane",
                AsUtf16(Widened(kHeader + kPenwickKey) + u"\"a\"=\"\U0001F600\"\n"), 3,
                "character outside the Basic Multilingual Plane"},
        Refused{"a_control_character", kHeader + kPenwickKey + "\"a\"=\"b\x01\"\n", 3,
                "control character"},
        Refused{"a_name_of_64_characters",
                kHeader + kPenwickKey + "\"" + std::string(64, 'n') + "\"=dword:1\n", 3,
                "value name longer than 63 characters"},
        Refused{"a_string_of_260_characters",
                kHeader + kPenwickKey + "\"a\"=\"" + std::string(260, 's') + "\"\n", 3,
                "string longer than 259 characters"},
        Refused{"seventeen_values",
                [] {
                    std::string file = kHeader + kPenwickKey;
                    for (int i = 0; i < 17; i++) {
                        file += "\"v" + std::to_string(i) + "\"=dword:1\n";
                    }
                    return file;
                }(),
                19, "more than 16 values for Penwick's key"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
