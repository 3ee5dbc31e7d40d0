// Pen traces: one sample a line, as the original driver delivers them.
//
//   # comment
//   flags,x,y[,truth]        flags 0x hex or decimal; truth "ok" or "fault"
//
// An optional header line (the first line that is not a comment and does
// not start with a number) is skipped. A '#' starts a comment anywhere.
//
// Captures taken on a device also carry what happened between samples, as
// comment lines of their own:
//
//   # penwick boot ...            the device started; the driver was loaded afresh
//   # penwick enable-screen WxH   the host enabled the driver; screen size in pixels
//   # penwick screen WxH          the screen size changed (a rotation)
//   # penwick dropped N           N samples were lost here (the capture fell behind)
//
// Other "# penwick ..." lines (the settings as read, the end of a capture)
// are notes: they mean nothing to a replay, but are kept as they stand.
//
// A trace labels every sample or none. A UTF-8 byte-order mark at its start
// is passed over.
#ifndef PENWICK_TOOLS_FILES_TRACE_H
#define PENWICK_TOOLS_FILES_TRACE_H

#include <stdint.h>

#include <istream>
#include <string>
#include <vector>

enum class Truth { Unknown, Ok, Fault };

struct TraceSample {
    uint32_t flags;
    int32_t x;
    int32_t y;
    Truth truth;
    int line;  // where it stands in its file
};

// A sample, or one of the capture's lines about what happened between them.
struct TraceEvent {
    enum Kind { Sample, Boot, EnableScreen, Screen, Dropped, Note };
    Kind kind;
    TraceSample sample;     // Sample
    int32_t width, height;  // EnableScreen, Screen
    int64_t dropped;        // Dropped
    int line;
    std::string text;       // all but Sample: the line as it stands
};

// Reads a trace as it comes, a line at a time, without holding it in memory.
class TraceReader {
public:
    TraceReader(std::istream& in, std::string fileName);

    // The next sample or capture event; false at the end of the trace.
    // Throws InputError naming the file and the line.
    bool Next(TraceEvent& event);


private:
    bool ReadLine(const char*& begin, const char*& end);
    bool ParseLine(const char* begin, const char* end, TraceEvent& event);

    std::istream& in_;
    std::string fileName_;
    std::vector<char> buffer_;
    size_t start_ = 0;  // unread data is buffer_[start_, end_)
    size_t end_ = 0;
    size_t bytesRead_ = 0;
    bool atEnd_ = false;
    int line_ = 0;
    bool seenContent_ = false;
    int firstLabelled_ = 0;    // the first sample's line, and
    bool labelled_ = false;    // whether it had a label
};

// A whole trace in memory, events and all; throws InputError.
std::vector<TraceEvent> ParseTraceEvents(const std::string& text, const std::string& fileName);

// Only the samples of a trace in memory; throws InputError.
std::vector<TraceSample> ParseTrace(const std::string& text, const std::string& fileName);

// Writes a trace in the same format: `comment` as '#' lines, a header, and
// a line for each sample and each capture event.
std::string FormatTrace(const std::vector<TraceSample>& samples, const std::string& comment);
std::string FormatTraceEvents(const std::vector<TraceEvent>& events, const std::string& comment);

#endif
