#include "engine/replay_strokes.h"

StrokeEnd StrokeTracker::Add(const ReplayRecord& r, bool* inStroke) {
    bool down = (r.in.flags & TouchSampleDownFlag) != 0;
    if (inStroke != nullptr) {
        *inStroke = down || down_;
    }
    StrokeEnd end;
    if (!down) {
        if (down_) {
            end.fate = reached_ ? StrokeFate::Reached
                                : deliverable_ ? StrokeFate::Lost : StrokeFate::LostAlways;
            end.downSamples = downSamples_;
        }
        down_ = false;
        return end;
    }
    if (!down_) {
        down_ = true;
        reached_ = false;
        deliverable_ = false;
        downSamples_ = 0;
    }
    downSamples_++;
    reached_ = reached_ || (r.Delivered() && (r.flagsOut & TouchSampleDownFlag) != 0);
    deliverable_ = deliverable_ || (r.Judged() && r.rule != FilterRuleStrokeStart);
    return end;
}

StrokeEnd StrokeTracker::Interrupt() {
    StrokeEnd end;
    if (down_) {
        end.fate = StrokeFate::Open;
        end.downSamples = downSamples_;
    }
    down_ = false;
    return end;
}
