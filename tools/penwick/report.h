// What the replay tool shows: the per-sample table, the summary, and a
// picture of the trace.
#ifndef PENWICK_TOOLS_REPORT_H
#define PENWICK_TOOLS_REPORT_H

#include <string>

#include "replay.h"

// The per-sample table as CSV, with its header line.
std::string FormatReplayCsv(const ReplayResult& result);

// The summary, a few lines of text.
std::string FormatReplaySummary(const ReplayResult& result);

// The settings as read by the driver's configuration, one line.
std::string FormatSettings(const ReplayResult& result);

// An SVG picture: each stroke's raw path, the delivered path over it, every
// withheld sample marked by its cause, a legend, the settings and summary.
std::string FormatReplaySvg(const ReplayResult& result, const std::string& title);

#endif
