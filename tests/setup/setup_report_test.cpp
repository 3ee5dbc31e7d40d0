// The installer's text, made without a C run-time library: numbers, cut-off
// buffers, UTF-8 for the log.
#include <gtest/gtest.h>

#include <limits.h>

#include <string>

#include "setup/setup_report.h"

namespace {

std::string Formatted(uint32_t units, const char* format, uint32_t number) {
    char16_t buffer[64];
    uint32_t length = 0;
    SetupFormat(buffer, units, &length, format, number);
    EXPECT_LT(length, units);
    EXPECT_EQ(buffer[length], 0);
    return std::string(buffer, buffer + length);
}

TEST(SetupReportTest, numbers_are_written_in_decimal_and_text_is_cut_off_inside_its_buffer) {
    struct Row {
        uint32_t units;
        const char* format;
        uint32_t number;
        const char* text;
    };
    const Row rows[] = {
        {64, "%u", 0, "0"},
        {64, "%u", 4294967295u, "4294967295"},
        {64, "%u", 1000000000, "1000000000"},
        {64, "%d", static_cast<uint32_t>(INT32_MIN), "-2147483648"},
        {64, "%d", static_cast<uint32_t>(-7), "-7"},
        {64, "%2u", 5, "05"},
        {64, "%2u", 2026, "2026"},
        {64, "100%% of %u", 3, "100% of 3"},
        {6, "%u bytes", 123456789, "12345"},
        {1, "%u", 1, ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Formatted(row.units, row.format, row.number), row.text) << row.format;
    }
}

TEST(SetupReportTest, utf8_of_the_log_keeps_whole_characters) {
    const char16_t text[] = u"a\u00e9\u20ac\U0001F600";  // 1, 2, 3 and 4 bytes
    char out[16];
    uint32_t units = sizeof text / sizeof text[0] - 1;
    EXPECT_EQ(std::string(out, SetupUtf8(text, units, out, sizeof out)),
              "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    // Room for 8 bytes: the 4-byte character does not fit and is left out whole.
    EXPECT_EQ(std::string(out, SetupUtf8(text, units, out, 8)), "a\xC3\xA9\xE2\x82\xAC");
}

}  // namespace
