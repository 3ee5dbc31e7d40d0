// The replay's summary and the settings it ran with, as text and as JSON.
#ifndef PENWICK_TOOLS_REPORT_SUMMARY_H
#define PENWICK_TOOLS_REPORT_SUMMARY_H

#include <string>

#include "engine/replay.h"
#include "engine/replay_summary.h"

// The settings as the driver's configuration read them, or why filtering is
// off, and the original driver; then one line for each warning.
std::string FormatSettings(const ReplayStart& start);

// "LowSpeed 8, MinDirSpeed 4, ...": the eight settings in the driver's order.
std::string FormatFilterSettings(const FilterSettings& settings);

// The summary, a few lines of text; every figure says what it counts.
std::string FormatReplaySummary(const ReplaySummary& summary, const ReplayStart& start);

// The strokes and taps lines of the summary: how many the trace held, how
// many reached the host, how many were lost entirely and how many of those
// no settings could have delivered.
std::string FormatStrokes(const ReplaySummary& summary);

// The same as a JSON object.
std::string FormatSummaryJson(const ReplaySummary& summary, const ReplayStart& start);

#endif
