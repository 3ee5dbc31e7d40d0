#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>

#include "pe_image.h"
#include "test_image.h"

namespace {

std::string PeHeaderCommand(const std::string& arguments) {
    return std::string(PE_HEADER_BINARY) + " " + arguments + " 2>/dev/null";
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
}

TEST(PeHeaderTest, sets_the_fields_the_device_loader_checks_and_nothing_else) {
    std::string input = testing::TempDir() + "pe_header_in.dll";
    std::string output = testing::TempDir() + "pe_header_out.dll";
    std::vector<uint8_t> linked = TestImage(TestImageContents());
    WriteFile(input, linked);
    ASSERT_EQ(system(PeHeaderCommand(input + " " + output).c_str()), 0);

    std::vector<uint8_t> patched = ReadFile(output);
    ASSERT_EQ(patched.size(), linked.size());
    // Offset from the PE signature (0x40 here) -> value now there.
    const std::map<uint32_t, uint8_t> changed = {
        {4, 0xC2}, {5, 0x01},                    // machine THUMB 0x1C2
        {64, 5},   {65, 0},   {66, 0}, {67, 0},  // OS version 5.00
        {72, 5},   {73, 0},   {74, 0}, {75, 0},  // subsystem version 5.00
        {92, 9},   {93, 0},                      // subsystem Windows CE GUI
    };
    for (size_t i = 0; i < patched.size(); i++) {
        auto field = changed.find(static_cast<uint32_t>(i) - 0x40);
        uint8_t wanted = i >= 0x40 && field != changed.end() ? field->second : linked[i];
        EXPECT_EQ(patched[i], wanted) << "byte " << i;
    }
}

TEST(PeHeaderTest, refuses_what_is_not_a_pe_image_and_writes_nothing) {
    std::string input = testing::TempDir() + "pe_header_bad.dll";
    std::string output = testing::TempDir() + "pe_header_none.dll";
    remove(output.c_str());
    WriteFile(input, {'M', 'Z', 0, 0});
    EXPECT_NE(system(PeHeaderCommand(input + " " + output).c_str()), 0);
    EXPECT_FALSE(std::ifstream(output).is_open());
}

}  // namespace
