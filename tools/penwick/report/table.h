// The per-sample table of a replay, as CSV, one row per sample:
//
//   line              the sample's line in the trace
//   flags_in,x_in,y_in  the sample as the original driver delivered it
//   truth             ok or fault in a labelled trace, else empty
//   rule              pass, unusable, start, a..h, with * when withheld by the error delay
//   squared_step      the filter's squared step length (rules a to h)
//   speed_change      the filter's change of step length (rules c to h)
//   direction_change  the filter's change of direction in degrees (rules g and h)
//   error_delay       the error delay after the sample
//   verdict           what the interception did (see VerdictName)
//   flags_out,x_out,y_out  what the host received; empty when it received nothing
//
// A quantity the filter did not compute for the sample is left empty.
#ifndef PENWICK_TOOLS_REPORT_TABLE_H
#define PENWICK_TOOLS_REPORT_TABLE_H

#include <string>

#include "engine/replay.h"

extern const char kReplayTableHeader[];

// Appends one row, with its newline.
void AppendReplayRow(std::string& out, const ReplayRecord& record);

#endif
