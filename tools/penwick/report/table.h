// The per-sample table of a replay, as CSV, one row per sample:
//
//   line              the sample's line in the trace
//   tick              the sample's millisecond tick, in a table of a trace with
//                     ticks (see ReplayTable); empty for a sample without one
//   flags_in,x_in,y_in  the sample as the original driver delivered it
//   truth             ok or fault in a labelled trace, else empty
//   rule              pass, unusable, start, a..h, with * when withheld by the error delay
//   squared_step      the filter's squared step length (rules a to h)
//   speed_change      the filter's change of step length (rules c to h)
//   direction_change  the filter's change of direction in degrees (rules g and h)
//   error_delay       the error delay after the sample
//   verdict           what the interception did (see VerdictName)
//   flags_out,x_out,y_out  what the host received; empty when it received nothing
//   stroke            lost when the sample's stroke never reached the host,
//                     lost-always when no settings could have delivered it
//                     (see engine/replay_strokes.h); else empty
//
// A quantity the filter did not compute for the sample is left empty.
#ifndef PENWICK_TOOLS_REPORT_TABLE_H
#define PENWICK_TOOLS_REPORT_TABLE_H

#include <string>

#include <vector>

#include "engine/replay.h"
#include "engine/replay_strokes.h"

// The header line, with the tick column or without.
std::string ReplayTableHeader(bool ticks);

// Appends one row, with its newline; `stroke` is the last column's text.
void AppendReplayRow(std::string& out, const ReplayRecord& record, const char* stroke = "",
                     bool ticks = false);

// The table of a whole replay. A stroke's rows wait until it has reached
// the host or ended, since only then is it known whether it was lost; the
// rows of one that reached the host do not wait.
class ReplayTable {
public:
    explicit ReplayTable(bool ticks = false) : ticks_(ticks) {}
    // Appends the rows that are ready to `out`.
    void Add(const ReplayRecord& record, std::string& out);
    // The device booted, or the trace ended: a stroke under way is open.
    void Interrupt(std::string& out);

private:
    void Flush(std::string& out, const char* stroke);
    bool ticks_;
    StrokeTracker strokes_;
    std::vector<ReplayRecord> waiting_;
};

#endif
