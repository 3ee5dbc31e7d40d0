// Arbitrary text as a pen trace: it either parses or fails with an
// InputError naming the line, and what parses is written and read back the
// same.
#include <string>

#include "fuzz_input.h"
#include "files/input.h"
#include "files/trace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<TraceSample> samples;
    try {
        samples = ParseTrace(text, "fuzz.csv");
    } catch (const InputError& e) {
        FuzzCheck(std::string(e.what()).rfind("fuzz.csv:", 0) == 0);
        return 0;
    }
    std::vector<TraceSample> again = ParseTrace(FormatTrace(samples, "comment"), "again.csv");
    FuzzCheck(again.size() == samples.size());
    for (size_t i = 0; i < samples.size(); i++) {
        FuzzCheck(again[i].flags == samples[i].flags && again[i].x == samples[i].x &&
                  again[i].y == samples[i].y && again[i].truth == samples[i].truth);
    }
    return 0;
}
