// Labels for a trace that has none: an estimate of which samples are faults,
// by a rule that knows nothing of the filter, so that settings can be tuned
// on a device's own captures.
//
// The rule: a stroke is a pen-down sample after one that was not down, the
// down samples after it and the pen-up that ends it (only calibrated, valid,
// not-ignored samples count; the rest are ok). In a stroke of more than six
// pen-down samples (longer than a tap: see engine/replay_strokes.h), each
// sample is compared with its neighbours in the stroke, up to four on either
// side: a sample farther from their median (x and y each)
// than `minDistance` and than `stepFactor` times their typical step (the
// median of the steps between them) is a fault. Taps are all ok.
#ifndef PENWICK_TOOLS_ENGINE_LABEL_H
#define PENWICK_TOOLS_ENGINE_LABEL_H

#include <vector>

#include "files/trace.h"

struct LabelRule {
    int neighbours = 4;       // on either side
    double minDistance = 24;  // calibrated units (6 pixels)
    double stepFactor = 3;
};

// Sets the truth of every sample of the trace by the rule.
void LabelTrace(std::vector<TraceEvent>& events, const LabelRule& rule);

#endif
