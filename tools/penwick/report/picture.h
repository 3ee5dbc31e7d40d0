// The replay as a picture.
#ifndef PENWICK_TOOLS_REPORT_PICTURE_H
#define PENWICK_TOOLS_REPORT_PICTURE_H

#include <string>

#include "engine/replay.h"

// An SVG picture: each stroke's raw path, the delivered path over it, every
// withheld sample marked by its cause, a legend, the settings and summary.
std::string FormatReplaySvg(const ReplayResult& result, const std::string& title);

#endif
