// The replay as a picture (SVG): the screen's outline with a scale in
// pixels; each stroke's raw path, dashed, and the path the host received,
// solid, in a colour of its own and numbered at its start; and a mark on
// every sample that did not reach the host at its own place. In a labelled
// trace the marks tell faults kept from the host, faults delivered and good
// samples lost apart; otherwise they tell the cause. A stroke that never
// reached the host lies under a wide red band, named "lost" at its start. Every mark names its
// line, rule and verdict as a tooltip. Two panels side by side, on the same
// scale, compare two settings.
#ifndef PENWICK_TOOLS_REPORT_PICTURE_H
#define PENWICK_TOOLS_REPORT_PICTURE_H

#include <string>
#include <vector>

#include "engine/replay.h"
#include "engine/replay_summary.h"

// One set of settings' replay of the drawn part of a trace.
struct PicturePanel {
    std::string caption;  // where the settings came from
    ReplayStart start;
    std::vector<ReplayRecord> records;  // the drawn samples only
    ReplaySummary summary;              // of the drawn samples
    // The screen sizes in pixels the drawn samples were taken on (more than
    // one when the screen turned), in the order they came.
    std::vector<std::pair<int32_t, int32_t>> screens;
};

// Each screen the first panel names is outlined; without any, one of
// `screenWidth` x `screenHeight` pixels.
std::string FormatReplaySvg(const std::string& title, const std::vector<PicturePanel>& panels,
                            int32_t screenWidth, int32_t screenHeight);

// Text broken into lines of at most `width` characters, between phrases
// (after ", ", "; " or ": ") where it can be, between words where it must.
std::vector<std::string> WrapPhrases(const std::string& text, size_t width);

#endif
