// What became of each stroke of a replay, as a user feels it: a stroke
// that never reached the host is a tap that opened no menu, a line that was
// never drawn, and nothing on the screen says why.
//
// A stroke is a pen-down sample after one that was not down, the pen-down
// samples after it and the pen-up that ends it. It reached the host when
// any of its pen-down samples did; otherwise it was lost. A lost stroke
// whose only judged pen-down sample was its first is lost whatever the
// settings: the first sample of a stroke is always rejected (it has nothing
// to be measured against), and its pen-up then has nothing to close. That is
// a tap of a single pen-down sample. A stroke that has no pen-up before the
// trace ends or the device boots is open: it is neither reached nor lost.
//
// A tap is a stroke of at most kTapDownSamples pen-down samples: a menu, a
// button or a check box, one short touch of the pen.
#ifndef PENWICK_TOOLS_ENGINE_REPLAY_STROKES_H
#define PENWICK_TOOLS_ENGINE_REPLAY_STROKES_H

#include "engine/replay.h"

const int kTapDownSamples = 6;

enum class StrokeFate {
    None,        // the sample belongs to no stroke, or its stroke has not ended
    Reached,     // a pen-down sample of it reached the host
    Lost,        // none did, though other settings would have delivered it
    LostAlways,  // none did, and no settings could have delivered it
    Open,        // it had no pen-up when the trace ended or the device booted
};

// A stroke that has just ended.
struct StrokeEnd {
    StrokeFate fate = StrokeFate::None;
    int downSamples = 0;
    bool Tap() const { return fate != StrokeFate::Open && downSamples <= kTapDownSamples; }
    bool Lost() const { return fate == StrokeFate::Lost || fate == StrokeFate::LostAlways; }
};

// Follows the strokes of a replay sample by sample.
class StrokeTracker {
public:
    // The next sample; returns the stroke it ended, if it ended one (fate
    // None otherwise). Sets *inStroke to whether the sample belongs to a
    // stroke, when it is not null.
    StrokeEnd Add(const ReplayRecord& record, bool* inStroke = nullptr);

    // The trace ended or the device booted: a stroke under way is open.
    StrokeEnd Interrupt();

    // Whether a stroke is under way, and whether it has reached the host.
    bool UnderWay() const { return down_; }
    bool Reached() const { return down_ && reached_; }

private:
    bool down_ = false;
    bool reached_ = false;
    bool deliverable_ = false;  // a pen-down sample of it was judged against an earlier one
    int downSamples_ = 0;
};

#endif
