// Pen traces: one sample a line, as the original driver delivers them.
//
//   # comment
//   flags,x,y[,truth]        flags 0x hex or decimal; truth "ok" or "fault"
//
// An optional header line (the first line that is not a comment and does
// not start with a number) is skipped.
#ifndef PENWICK_TOOLS_TRACE_H
#define PENWICK_TOOLS_TRACE_H

#include <stdint.h>

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

// Parses a trace; throws InputError naming fileName and the line.
std::vector<TraceSample> ParseTrace(const std::string& text, const std::string& fileName);

// Writes a trace in the same format, with a header.
std::string FormatTrace(const std::vector<TraceSample>& samples, const std::string& comment);

#endif
