#include <gtest/gtest.h>

#include "input_error_support.h"
#include "files/trace.h"

// Found by argument lookup from the standard algorithms: outside the
// anonymous namespace.
bool operator==(const TraceSample& a, const TraceSample& b) {
    return a.flags == b.flags && a.x == b.x && a.y == b.y && a.truth == b.truth && a.line == b.line &&
           a.hasTick == b.hasTick && a.tick == b.tick;
}

namespace {

struct GoodTrace {
    const char* name;
    std::string text;
    std::vector<TraceSample> expected;
    std::string others = "";  // the events that are not samples, by kind and line
};

void PrintTo(const GoodTrace& c, std::ostream* out) { *out << c.name; }

class TraceParseTest : public ::testing::TestWithParam<GoodTrace> {};

TEST_P(TraceParseTest, reads_every_sample) {
    std::vector<TraceSample> samples;
    std::string others;
    for (const TraceEvent& event : ParseTraceEvents(GetParam().text, "t.csv")) {
        if (event.kind == TraceEvent::Sample) {
            samples.push_back(event.sample);
        } else {
            const char* kinds[] = {"", "boot", "enable", "screen", "dropped", "note", "cut"};
            others += (others.empty() ? "" : " ") + std::string(kinds[event.kind]) + " " +
                      std::to_string(event.line);
        }
    }
    EXPECT_EQ(samples, GetParam().expected);
    EXPECT_EQ(others, GetParam().others);
}

TraceSample Ticked(TraceSample sample, uint32_t tick) {
    sample.tick = tick;
    sample.hasTick = true;
    return sample;
}

// ASCII text as UTF-16 with its byte-order mark.
std::string Utf16(const std::string& text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : text) {
        out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Traces, TraceParseTest,
    ::testing::Values(
        GoodTrace{"plain", "7,1,2\n15,-3,4\n", {{7, 1, 2, Truth::Unknown, 1}, {15, -3, 4, Truth::Unknown, 2}}},
        GoodTrace{"header_comments_blanks_crlf",
                  "# recorded on a device\r\nflags,x,y,truth\r\n\r\n0x0F, 10 ,20,ok # note\r\n",
                  {{0x0F, 10, 20, Truth::Ok, 4}}},
        GoodTrace{"extremes", "0xFFFFFFFF,-2147483648,2147483647,fault\n0x0,+0,0,ok\n",
                  {{0xFFFFFFFF, INT32_MIN, INT32_MAX, Truth::Fault, 1}, {0, 0, 0, Truth::Ok, 2}}},
        GoodTrace{"utf8_byte_order_mark", "\xEF\xBB\xBF" "7,1,2\n", {{7, 1, 2, Truth::Unknown, 1}}},
        GoodTrace{"utf16_little_endian", Utf16("x,y,flags\r\n1,2,7\r\n", false), {{7, 1, 2, Truth::Unknown, 2}}},
        GoodTrace{"utf16_big_endian", Utf16("7,1,2", true), {{7, 1, 2, Truth::Unknown, 1}}},
        GoodTrace{"header_in_another_order", "Y,X,Flags,TICK\n2,1,7,9\n2,1,7\n",
                  {Ticked({7, 1, 2, Truth::Unknown, 2}, 9), {7, 1, 2, Truth::Unknown, 3}}},
        GoodTrace{"tick_without_a_header", "7,1,2,4294967295\n7,1,2,0\n",
                  {Ticked({7, 1, 2, Truth::Unknown, 1}, 4294967295u), Ticked({7, 1, 2, Truth::Unknown, 2}, 0)}},
        // Cut short by a power loss: at the end, before the next boot's
        // line, and with the boot's line written straight after it.
        GoodTrace{"cut_last_line", "7,1,2\n0x0F,51", {{7, 1, 2, Truth::Unknown, 1}}, "cut 2"},
        GoodTrace{"cut_and_zeros_after_it", std::string("7,1,2\n0x0F,51\0\0\0", 16), {{7, 1, 2, Truth::Unknown, 1}},
                  "cut 2"},
        GoodTrace{"cut_label", "7,1,2,ok\n7,1,2,fa\n\n", {{7, 1, 2, Truth::Ok, 1}}, "cut 2"},
        GoodTrace{"cut_before_a_boot", "7,1,2,ok\n0x0F,1,2\n# penwick boot b\n7,3,4,ok\n",
                  {{7, 1, 2, Truth::Ok, 1}, {7, 3, 4, Truth::Ok, 4}}, "cut 2 boot 3"},
        GoodTrace{"cut_with_the_boot_on_its_line", "7,1,2\n0x0F,5# penwick boot b\n7,3,4\n",
                  {{7, 1, 2, Truth::Unknown, 1}, {7, 3, 4, Truth::Unknown, 3}}, "cut 2 boot 2"},
        GoodTrace{"empty", "# nothing\n", {}}),
    [](const ::testing::TestParamInfo<GoodTrace>& info) { return info.param.name; });

struct BadTrace {
    const char* name;
    const char* text;
    const char* error;  // the whole message
};

void PrintTo(const BadTrace& c, std::ostream* out) { *out << c.name; }

class TraceErrorTest : public ::testing::TestWithParam<BadTrace> {};

TEST_P(TraceErrorTest, names_the_file_and_line) {
    EXPECT_EQ(InputErrorOf([this] { ParseTrace(GetParam().text, "t.csv"); }), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Traces, TraceErrorTest,
    ::testing::Values(
        // Cut short, but not at the end nor before a boot.
        BadTrace{"two_fields", "7,1\n7,1,2\n",
                 "t.csv:1: expected flags,x,y[,truth][,tick] but found 2 fields"},
        BadTrace{"six_fields", "7,1,2,ok,3,4\n", "t.csv:1: expected flags,x,y[,truth][,tick] but found 6 fields"},
        BadTrace{"unknown_column", "# c\nflags,x,y,pressure\n",
                 "t.csv:2: the header names a column 'pressure' that Penwick does not know (flags, x, y, truth, tick)"},
        BadTrace{"header_without_y", "flags,x\n", "t.csv:1: the header names no column y: a sample has flags, x and y"},
        BadTrace{"short_of_the_header", "x,y,flags\n1,2\n1,2,7\n",
                 "t.csv:2: expected x,y,flags (the header on line 1) but found 2 fields"},
        BadTrace{"negative_tick", "7,1,2,-5\n7,1,2\n",
                 "t.csv:1: tick '-5' is not a millisecond tick (a 32-bit unsigned decimal)"},
        BadTrace{"flags_too_large", "# c\n0x100000000,1,2\n",
                 "t.csv:2: flags '0x100000000' is not a 32-bit unsigned number"},
        BadTrace{"negative_flags", "-1,1,2\n", "t.csv:1: flags '-1' is not a 32-bit unsigned number"},
        BadTrace{"x_too_large", "7,2147483648,2\n", "t.csv:1: x '2147483648' is not a 32-bit integer"},
        BadTrace{"y_not_a_number", "7,1,2.5\n", "t.csv:1: y '2.5' is not a 32-bit integer"},
        BadTrace{"empty_field", "7,,2\n", "t.csv:1: x '' is not a 32-bit integer"},
        BadTrace{"bad_truth", "7,1,2,maybe\n",
                 "t.csv:1: the fourth field 'maybe' is neither a truth (ok or fault) nor a tick (a number)"},
        BadTrace{"second_header", "flags,x,y\nflags,x,y\n",
                 "t.csv:2: flags 'flags' is not a 32-bit unsigned number"},
        BadTrace{"trailing_comma", "7,1,2,\n7,1,2\n", "t.csv:1: truth '' is neither ok nor fault"},
        BadTrace{"capture_screen_without_size", "7,1,2\n# penwick screen 320by240\n",
                 "t.csv:2: '# penwick screen' wants WIDTHxHEIGHT in pixels, 1 to 65535, not '320by240'"},
        BadTrace{"capture_dropped_without_count", "# penwick dropped many\n",
                 "t.csv:1: '# penwick dropped' wants a count of samples, not 'many'"},
        BadTrace{"labels_on_some_samples", "7,1,2,ok\n# c\n7,1,2\n7,1,2,ok\n",
                 "t.csv:3: has no label (ok or fault) but line 1 has one: label every sample or none"}),
    [](const ::testing::TestParamInfo<BadTrace>& info) { return info.param.name; });

TEST(TraceFormatTest, a_capture_written_again_keeps_its_own_lines_as_they_stood) {
    const std::string capture =
        "# penwick boot 2026-12-08 09:00:00\n# penwick settings LowSpeed 3\n"
        "# penwick enable-screen 240x320\n0x07,1,2\n# penwick dropped 4\n"
        "# penwick stopped: the file reached its limit of 600 bytes\n";
    std::string again = FormatTraceEvents(ParseTraceEvents(capture, "c.csv"), "");
    EXPECT_EQ(again, "flags,x,y,truth\n" + capture.substr(0, capture.find("0x07")) + "0x07,1,2\n" +
                         capture.substr(capture.find("# penwick dropped")));
}

TEST(TraceFormatTest, written_traces_read_back_the_same) {
    std::vector<TraceSample> samples = {{0x07, 1, -2, Truth::Ok, 0}, {0x4000000D, 3, 4, Truth::Fault, 0}};
    std::vector<TraceSample> read = ParseTrace(FormatTrace(samples, "two lines\nof comment"), "t");
    ASSERT_EQ(read.size(), 2u);
    for (size_t i = 0; i < read.size(); i++) {
        EXPECT_EQ(read[i].flags, samples[i].flags);
        EXPECT_EQ(read[i].x, samples[i].x);
        EXPECT_EQ(read[i].y, samples[i].y);
        EXPECT_EQ(read[i].truth, samples[i].truth);
    }
}

}  // namespace
