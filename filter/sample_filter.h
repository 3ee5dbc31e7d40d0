// The sample filter: judges one calibrated pen sample at a time.
//
// Problem: resistive panels deliver samples that jump away from the pen and
// back, spike at the start and end of strokes, and jitter. Approach: measure
// each step (the vector from the previously judged sample to this one) by its
// squared length, by its change of length against the previous step, and by
// its change of direction, and reject steps that look impossible for a pen.
// Every error keeps suppressing samples for a while (the error delay), since
// a panel that glitched once tends to glitch again at once.
//
// The settings name step lengths "speeds": a step is the distance the pen
// covers from one sample to the next, in calibrated units.
#ifndef PENWICK_FILTER_SAMPLE_FILTER_H
#define PENWICK_FILTER_SAMPLE_FILTER_H

#include <stdint.h>

struct FilterSettings {
    int32_t LowSpeed;       // a step shorter than this passes (rule a); squared
    int32_t MinDirSpeed;    // a step longer than this has a direction; squared
    int32_t HighSpeed;      // a step shorter than this may pass rule c; squared
    int32_t MaxSpeedDiff;   // bound on the change of step length in rule c
    int32_t MaxSpeedDiff2;  // a change of step length at or above this is an error
    int32_t MaxDirDiff;     // a change of direction below this, in degrees, passes
    int32_t ErrorDelay;     // samples added to the error delay per error
    int32_t MaxErrorDelay;  // upper bound of the error delay
};

// Which rule of the filter decided the last judged sample.
enum FilterRule {
    FilterRuleNone = 0,     // the filter has not judged a sample since this was set
    FilterRuleStrokeStart,  // no previous sample to measure against: reject
    FilterRuleA,            // short step: accept
    FilterRuleB,            // no previous step yet: reject, no error
    FilterRuleC,            // moderate step, steady length: accept
    FilterRuleD,            // length changed too much: error
    FilterRuleE,            // step too short to have a direction: error
    FilterRuleF,            // no previous direction yet: reject, no error
    FilterRuleG,            // direction changed little: accept
    FilterRuleH,            // direction changed too much: error
};

struct FilterState {
    int32_t previousX;
    int32_t previousY;
    int32_t previousSquaredStep;
    float previousDirection;  // degrees, measured from the y axis toward x
    bool hasPreviousSample;
    bool hasPreviousStep;
    bool hasPreviousDirection;
    int32_t errorDelay;       // samples still to be suppressed
    int32_t enableWidth;      // screen size in pixels when the host enabled us
    int32_t enableHeight;
    // What decided the last call of FilterSample, for the replay tool: the
    // rule, whether an accepting rule's sample was withheld by the delay, and
    // the quantities the rules compared besides the squared step, which is
    // previousSquaredStep after the call. The squared step is computed from
    // rule a on, the speed change from rule c on, the direction change for
    // rules g and h only; otherwise these keep older values.
    FilterRule lastRule;
    bool lastWithheldByDelay;
    int32_t lastSpeedChange;
    float lastDirectionChange;
};

extern FilterSettings g_filterSettings;
extern FilterState g_filterState;

// Degrees per radian as the filter has always computed it: the single-precision
// value of 180 / 3.1415 (bit pattern 0x4265309C), not 180 / pi. Devices are
// tuned against directions in these units.
const float kFilterDegreesPerRadian = 57.29747f;

// Records the current screen size as the size at enable time.
void RecordScreenSize(void);

// Judges one sample; true to accept. down and previousDown are the sample's
// flags as the original driver delivered them. Every call updates the state.
bool FilterSample(int32_t x, int32_t y, bool down, bool previousDown);

#endif
