// Pen traces: one sample a line, as the original driver delivers them.
//
//   # comment
//   flags,x,y[,truth][,tick]   flags 0x hex or decimal; truth "ok" or "fault";
//                              tick the system's millisecond tick (32 bits,
//                              wrapping)
//
// Without a header, a fourth field is the truth when it is ok or fault and
// the tick when it is a number; a fifth is the tick. An optional header line
// (the first line that is not a comment and does not start with a number)
// names the columns, in any order: flags, x, y, truth, tick; a line may
// leave out the truth and the tick at its end. A '#' starts a comment
// anywhere.
//
// A capture's last line may be cut short by a power loss, and the next
// boot's line then follows it, on the same line or the next. Such a line,
// the beginning of a sample and no more, is skipped as a Torn event; any
// other malformed line is an error.
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
// is passed over; a UTF-16 one (little- or big-endian) has the trace read
// as UTF-16.
#ifndef PENWICK_TOOLS_FILES_TRACE_H
#define PENWICK_TOOLS_FILES_TRACE_H

#include <stdint.h>

#include <istream>
#include <string_view>
#include <string>
#include <vector>

enum class Truth { Unknown, Ok, Fault };

struct TraceSample {
    uint32_t flags;
    int32_t x;
    int32_t y;
    Truth truth;
    int line;  // where it stands in its file
    uint32_t tick = 0;     // the system's millisecond tick, when hasTick
    bool hasTick = false;
};

// A sample, or one of the capture's lines about what happened between them.
struct TraceEvent {
    enum Kind { Sample, Boot, EnableScreen, Screen, Dropped, Note, Torn };
    Kind kind;
    TraceSample sample;     // Sample
    int32_t width, height;  // EnableScreen, Screen
    int64_t dropped;        // Dropped
    int line;
    std::string text;       // all but Sample and Torn: the line as it stands;
                            // Torn: what the line held
};

// Reads a trace as it comes, a line at a time, without holding it in memory.
class TraceReader {
public:
    TraceReader(std::istream& in, std::string fileName);

    // The next sample or capture event; false at the end of the trace.
    // Throws InputError naming the file and the line.
    bool Next(TraceEvent& event);

    // Whether the trace's header names a tick column.
    bool HeaderNamesTick() const;

private:
    enum Column { Flags, X, Y, TruthColumn, Tick };
    bool ReadLine(const char*& begin, const char*& end);
    size_t Fill(char* to, size_t room);
    bool ParseLine(const char* begin, const char* end, TraceEvent& event);
    void ParseHeader(std::string_view line);
    // Empty when the fields make a sample; else why not, and in *cut
    // whether they could be the beginning of one.
    std::string ParseSample(const std::string_view* fields, size_t count, TraceSample& sample,
                            bool* cut);
    bool NextLineEndsCapture();

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
    // The header's columns, in its order; none without a header.
    std::vector<Column> columns_;
    size_t leastFields_ = 0;  // up to the last of flags, x and y
    int headerLine_ = 0;
    // UTF-16: read as such after its byte-order mark, and a byte or a high
    // surrogate that waits for the rest of its character.
    enum { Bytes, Utf16Little, Utf16Big } encoding_ = Bytes;
    bool started_ = false;
    std::string pendingBytes_;
    uint32_t pendingHigh_ = 0;
    // A line read ahead, to see whether a capture ends after a cut line,
    // and a boot line that followed a cut sample on its own line.
    bool aheadValid_ = false;
    std::string ahead_;
    bool bootPending_ = false;
    TraceEvent boot_;
};

// The warning for a line cut short (a Torn event), naming the file and
// the line: "warning: FILE:LINE: ...".
std::string CutLineWarning(const std::string& fileName, const TraceEvent& torn);

// A whole trace in memory, events and all; throws InputError.
std::vector<TraceEvent> ParseTraceEvents(const std::string& text, const std::string& fileName);

// Only the samples of a trace in memory; throws InputError.
std::vector<TraceSample> ParseTrace(const std::string& text, const std::string& fileName);

// Writes a trace in the same format: `comment` as '#' lines, a header, and
// a line for each sample and each capture event.
std::string FormatTrace(const std::vector<TraceSample>& samples, const std::string& comment);
std::string FormatTraceEvents(const std::vector<TraceEvent>& events, const std::string& comment);

#endif
