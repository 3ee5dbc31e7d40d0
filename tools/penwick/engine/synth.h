// Synthetic pen traces with the faults resistive panels show, labelled
// sample by sample, in calibrated units (4 to a pixel) on a 240 x 320
// screen. The same options and seed always give the same trace.
//
// Faults: jitter on every sample (labelled ok: it is the pen's own noise),
// single-sample spikes, jumps that stay off for a few samples and return, and
// a wild first or last sample of a stroke (labelled fault).
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
    uint32_t seed = 1;
};

extern const char* const kSynthShapes[4];

std::vector<TraceSample> Synthesize(const SynthOptions& options);

#endif
