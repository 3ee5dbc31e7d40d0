// Arbitrary text as a pen trace: it either parses or fails with an
// InputError naming the file, and what parses, samples and capture lines
// alike, is written and read back the same (but lines cut short, which are
// not written again).
#include <algorithm>
#include <string>

#include "files/input.h"
#include "files/trace.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<TraceEvent> events;
    try {
        events = ParseTraceEvents(text, "fuzz.csv");
    } catch (const InputError& e) {
        FuzzCheck(std::string(e.what()).rfind("fuzz.csv:", 0) == 0);
        return 0;
    }
    events.erase(std::remove_if(events.begin(), events.end(),
                                [](const TraceEvent& e) { return e.kind == TraceEvent::Torn; }),
                 events.end());
    std::vector<TraceEvent> again = ParseTraceEvents(FormatTraceEvents(events, "comment"), "again.csv");
    FuzzCheck(again.size() == events.size());
    for (size_t i = 0; i < events.size(); i++) {
        const TraceEvent& a = events[i];
        const TraceEvent& b = again[i];
        FuzzCheck(a.kind == b.kind);
        if (a.kind == TraceEvent::Sample) {
            FuzzCheck(a.sample.flags == b.sample.flags && a.sample.x == b.sample.x &&
                      a.sample.y == b.sample.y && a.sample.truth == b.sample.truth &&
                      a.sample.hasTick == b.sample.hasTick && a.sample.tick == b.sample.tick);
        } else if (a.kind == TraceEvent::Screen || a.kind == TraceEvent::EnableScreen) {
            FuzzCheck(a.width == b.width && a.height == b.height);
        } else if (a.kind == TraceEvent::Dropped) {
            FuzzCheck(a.dropped == b.dropped);
        }
    }
    return 0;
}
