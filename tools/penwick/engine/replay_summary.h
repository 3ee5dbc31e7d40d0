// The figures of a replay, counted sample by sample as it runs.
//
// Every sample ends in exactly one of three ways: it reaches the host where
// the original driver put it (at its own place; samples passed through
// unjudged are among these), it reaches the host at the last delivered place
// (moved: a rejected pen-up that closes a stroke), or it never reaches the
// host (withheld). The causes count the moved and the withheld; for
// labelled samples, a fault kept from the host and a good sample lost are
// both samples not at their own place, so the two add up to moved plus
// withheld.
#ifndef PENWICK_TOOLS_ENGINE_REPLAY_SUMMARY_H
#define PENWICK_TOOLS_ENGINE_REPLAY_SUMMARY_H

#include <stdint.h>

#include <array>

#include "engine/replay.h"
#include "engine/replay_strokes.h"

// Why a sample did not reach the host at its own place.
enum class ReplayCause {
    StrokeStart,  // the first sample of a stroke has nothing to be measured against
    RuleB,        // no previous step to compare with
    RuleF,        // no previous direction to compare with
    ErrorD,       // the step's length changed too much
    ErrorE,       // too short a step to have a direction, after a long one
    ErrorH,       // the direction changed too much
    ErrorDelay,   // a rule accepted it, but the error delay was running
    Unusable,     // calibrated, but invalid or marked ignore: never judged
    ExtraUp,      // a pen-up with no stroke left to close
};
const int kReplayCauseCount = 9;

// The longest interval between two samples of a stroke that counts for the
// sample rate, in milliseconds; a longer one is a tick that went back (a
// device that booted) or that the pen did not make.
const int kLongestSampleInterval = 1000;

// The cause of a sample that did not reach the host at its own place.
ReplayCause CauseOf(const ReplayRecord& record);

// "stroke start", "rule b", ..., "extra pen-up".
const char* CauseName(ReplayCause cause);

struct ReplaySummary {
    long long samples = 0;
    long long atOwnPlace = 0;
    long long passedThrough = 0;  // of those at their own place: not judged at all
    long long uncalibrated = 0;   // of those passed through: lacking the calibrated bit
    long long moved = 0;
    long long withheld = 0;
    long long byCause[kReplayCauseCount] = {};  // moved and withheld samples
    // Strokes and taps (see engine/replay_strokes.h): in the trace, and
    // of those that ended, how many reached the host and how many were lost,
    // and of those how many no settings could have delivered.
    long long strokesIn = 0;
    long long strokesReached = 0, strokesLost = 0, strokesLostAlways = 0;
    long long strokesOpen = 0;  // no pen-up before the trace ended or the device booted
    long long taps = 0, tapsReached = 0, tapsLost = 0, tapsLostAlways = 0;
    // Labelled samples only.
    long long faults = 0, faultsWithheld = 0, faultsMoved = 0;
    long long good = 0, goodWithheld = 0, goodMoved = 0;
    // What a capture recorded besides samples.
    long long boots = 0;
    long long deviceDropped = 0;
    long long cutLines = 0;  // lines cut short, skipped (see files/trace.h)
    // The samples with a tick, and the intervals between the samples of a
    // stroke (from a pen-down sample to the next), counted by length in
    // milliseconds; those longer than kLongestSampleInterval are left out.
    long long tickedSamples = 0;
    std::array<long long, kLongestSampleInterval + 1> intervals = {};
    long long intervalsLeftOut = 0;

    void Add(const ReplayRecord& record);
    void Add(const TraceEvent& event);  // a capture's boot, dropped samples or cut line
    void Finish();                      // the trace has ended

    bool Labelled() const { return faults + good > 0; }
    long long FaultsKept() const { return faultsWithheld + faultsMoved; }
    long long GoodLost() const { return goodWithheld + goodMoved; }

    // The intervals counted, their sum in milliseconds, their median; and
    // the samples a second with the pen down: 0 when there are none.
    long long Intervals() const;
    long long PenDownMilliseconds() const;
    int MedianInterval() const;
    double SamplesPerSecond() const;

private:
    void Add(const StrokeEnd& end);
    StrokeTracker strokes_;
    bool previousDownTicked_ = false;  // the last sample was down, with a tick
    uint32_t previousTick_ = 0;
};

#endif
