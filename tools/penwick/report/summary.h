// The replay's summary and the settings it ran with, as text.
#ifndef PENWICK_TOOLS_REPORT_SUMMARY_H
#define PENWICK_TOOLS_REPORT_SUMMARY_H

#include <string>

#include "engine/replay.h"

// The summary, a few lines of text.
std::string FormatReplaySummary(const ReplayResult& result);

// The settings as read by the driver's configuration, one line.
std::string FormatSettings(const ReplayResult& result);

#endif
