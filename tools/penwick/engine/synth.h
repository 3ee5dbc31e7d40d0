// Synthetic pen traces with the faults resistive panels show, labelled
// sample by sample, in calibrated units (4 to a pixel) on a 240 x 320
// screen. The same options and seed always give the same trace.
//
// Faults: jitter on every sample (labelled ok: it is the pen's own noise),
// single-sample spikes, jumps that stay off for a few samples and return, and
// a wild first or last sample of a stroke (labelled fault). Taps: strokes of
// one to five pen-down samples where the pen stays put, with jitter and
// without faults, as a menu, a button or a check box takes them.
#ifndef PENWICK_TOOLS_SYNTH_H
#define PENWICK_TOOLS_SYNTH_H

#include <stdint.h>

#include <string>
#include <vector>

#include "files/trace.h"

struct SynthOptions {
    std::string shape = "scribble";  // line, circle, zigzag or scribble
    int samples = 400;               // in all, up samples included; at least 3
    double jitter = 1.0;             // standard deviation, calibrated units
    double spikes = 0.02;            // faults per sample
    double taps = 0;                 // the share of strokes that are taps; penwick synth's
                                     // default is kSynthTapShare
    uint32_t seed = 1;
};

extern const char* const kSynthShapes[4];

// Half the strokes are taps, as for a user of a system driven by taps.
const double kSynthTapShare = 0.5;

std::vector<TraceSample> Synthesize(const SynthOptions& options);

#endif
