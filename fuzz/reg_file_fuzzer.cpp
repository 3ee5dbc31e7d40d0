// penwick's write-then-read: a RegFile made from the input (any names and
// strings the registry holds here, in any script, and comments of any text)
// is written by penwick's writer and read back by the one reader the same;
// and it goes into the registry and through the driver's configuration and
// a short replay, which must not fail whatever the values.
#include <string>

#include "engine/replay.h"
#include "files/input.h"
#include "files/reg_file.h"
#include "fuzz_input.h"
#include "setup/settings_file.h"

namespace {

// A character a name, string or comment may hold: no control characters,
// nothing outside the Basic Multilingual Plane.
char16_t Character(FuzzInput& in) {
    char16_t c = in.Read<char16_t>();
    if (c < 0x20) {
        c = static_cast<char16_t>(c + 0x20);
    }
    if (c >= 0xD800 && c < 0xE000) {
        c = static_cast<char16_t>(c - 0x800);
    }
    return c;
}

std::u16string Text(FuzzInput& in, uint32_t most) {
    std::u16string text;
    for (uint32_t length = in.Read<uint8_t>() % (most + 1); text.size() < length && !in.Empty();) {
        text.push_back(Character(in));
    }
    return text;
}

// Comment lines as penwick tune writes them: any text but a backslash at
// the end, which would join the next line to the comment.
std::string Comment(FuzzInput& in) {
    std::string comment;
    for (int lines = in.Read<uint8_t>() % 4; lines > 0; lines--) {
        std::u16string line = Text(in, 40);
        while (!line.empty() && (line.back() == u'\\' || line.back() == u' ')) {
            line.pop_back();
        }
        comment += Utf8FromUtf16(line) + "\n";
    }
    return comment;
}

RegValue Value(FuzzInput& in) {
    std::u16string name = Text(in, kSettingsNameUnits - 1);
    if (name.empty()) {
        name = u"n";
    }
    return in.Read<uint8_t>() % 2 == 0 ? RegDword(name, in.Read<uint32_t>())
                                       : RegString(name, Text(in, kSettingsStringUnits - 1));
}

bool Same(const RegKey& a, const RegKey& b) {
    if (a.present != b.present || a.values.size() != b.values.size()) {
        return false;
    }
    for (size_t i = 0; i < a.values.size(); i++) {
        if (a.values[i].name != b.values[i].name || a.values[i].type != b.values[i].type ||
            a.values[i].data != b.values[i].data) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in{data, size};
    RegFile file;
    uint8_t shape = in.Read<uint8_t>();
    if (shape & 1) {
        RegKeySet(file.touch, in.Read<uint8_t>() % 2 == 0 ? RegString(u"DriverName", Text(in, 63))
                                                          : RegDword(u"DriverName", in.Read<uint32_t>()));
    }
    file.penwick.present = (shape & 2) != 0;
    for (int values = in.Read<uint8_t>() % (kSettingsFileValues + 1); values > 0 && file.penwick.present;
         values--) {
        RegKeySet(file.penwick, Value(in));
    }
    std::string written = FormatRegFile(file, Comment(in));
    RegFile again;
    try {
        again = ParseRegFile(written, "written.reg");
    } catch (const InputError&) {
        FuzzCheck(false);  // penwick wrote what it cannot read
    }
    FuzzCheck(Same(file.touch, again.touch) && Same(file.penwick, again.penwick));

    static const std::vector<TraceSample> stroke = {
        {0x07, 100, 100, Truth::Ok, 1}, {0x0F, 104, 101, Truth::Ok, 2},
        {0x0F, 160, 140, Truth::Fault, 3}, {0x0F, 112, 103, Truth::Ok, 4},
        {0x0D, 112, 103, Truth::Ok, 5}};
    Replayer replayer(again, ReplayScreens());
    for (const TraceSample& sample : stroke) {
        replayer.Feed(sample);
    }
    FuzzCheck(replayer.start().driverName.size() < 64);
    return 0;
}
