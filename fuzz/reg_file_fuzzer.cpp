// Arbitrary bytes as a .reg file: it either parses or fails with an
// InputError; what parses is written and read back the same, and goes into
// the registry and through the driver's configuration and a short replay,
// which must not fail whatever the values.
#include <string>

#include "fuzz_input.h"
#include "files/input.h"
#include "files/reg_file.h"
#include "engine/replay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RegFile settings;
    try {
        settings = ParseRegFile(std::string(reinterpret_cast<const char*>(data), size), "fuzz.reg");
    } catch (const InputError& e) {
        FuzzCheck(std::string(e.what()).rfind("fuzz.reg", 0) == 0);
        return 0;
    }
    static const std::vector<TraceSample> stroke = {
        {0x07, 100, 100, Truth::Ok, 1}, {0x0F, 104, 101, Truth::Ok, 2},
        {0x0F, 160, 140, Truth::Fault, 3}, {0x0F, 112, 103, Truth::Ok, 4},
        {0x0D, 112, 103, Truth::Ok, 5}};
    // What parses is written and read back the same.
    RegFile again = ParseRegFile(FormatRegFile(settings, "again"), "again.reg");
    const RegKey* keys[][2] = {{&settings.penwick, &again.penwick}, {&settings.touch, &again.touch}};
    for (const auto& pair : keys) {
        FuzzCheck(pair[0]->present == pair[1]->present && pair[0]->values.size() == pair[1]->values.size());
        for (size_t i = 0; i < pair[0]->values.size(); i++) {
            const RegValue& a = pair[0]->values[i];
            const RegValue& b = pair[1]->values[i];
            FuzzCheck(a.name == b.name && a.type == b.type && a.data == b.data);
        }
    }
    Replayer replayer(settings, ReplayScreens());
    for (const TraceSample& sample : stroke) {
        replayer.Feed(sample);
    }
    FuzzCheck(replayer.start().driverName.size() < 64);
    return 0;
}
