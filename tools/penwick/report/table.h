// The per-sample table of a replay, as CSV.
#ifndef PENWICK_TOOLS_REPORT_TABLE_H
#define PENWICK_TOOLS_REPORT_TABLE_H

#include <string>

#include "engine/replay.h"

// The per-sample table as CSV, with its header line.
std::string FormatReplayCsv(const ReplayResult& result);

#endif
