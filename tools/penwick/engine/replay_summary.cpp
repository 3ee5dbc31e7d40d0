#include "engine/replay_summary.h"

ReplayCause CauseOf(const ReplayRecord& record) {
    if (record.verdict == InterceptDroppedUnusable) {
        return ReplayCause::Unusable;
    }
    if (record.verdict == InterceptDroppedExtraUp) {
        return ReplayCause::ExtraUp;
    }
    if (record.withheldByDelay) {
        return ReplayCause::ErrorDelay;
    }
    switch (record.rule) {
    case FilterRuleB: return ReplayCause::RuleB;
    case FilterRuleD: return ReplayCause::ErrorD;
    case FilterRuleE: return ReplayCause::ErrorE;
    case FilterRuleF: return ReplayCause::RuleF;
    case FilterRuleH: return ReplayCause::ErrorH;
    default: return ReplayCause::StrokeStart;
    }
}

const char* CauseName(ReplayCause cause) {
    static const char* const names[kReplayCauseCount] = {
        "stroke start", "rule b",      "rule f",   "error d",      "error e",
        "error h",      "error delay", "unusable", "extra pen-up"};
    return names[static_cast<int>(cause)];
}

void ReplaySummary::Add(const ReplayRecord& r) {
    samples++;
    strokesIn += (r.in.flags & TouchSampleDownFlag) != 0 && !strokes_.UnderWay();
    Add(strokes_.Add(r));

    bool moved = r.verdict == InterceptMovedUp;
    if (r.AtOwnPlace()) {
        atOwnPlace++;
        if (r.verdict == InterceptPassedThrough) {
            passedThrough++;
            uncalibrated += (r.in.flags & TouchSampleIsCalibratedFlag) == 0;
        }
    } else {
        (moved ? this->moved : withheld)++;
        byCause[static_cast<int>(CauseOf(r))]++;
    }
    if (r.in.truth == Truth::Fault) {
        faults++;
        faultsWithheld += !r.Delivered();
        faultsMoved += moved;
    } else if (r.in.truth == Truth::Ok) {
        good++;
        goodWithheld += !r.Delivered();
        goodMoved += moved;
    }
}

void ReplaySummary::Add(const TraceEvent& event) {
    if (event.kind == TraceEvent::Boot) {
        boots++;
        Add(strokes_.Interrupt());
    } else if (event.kind == TraceEvent::Dropped) {
        deviceDropped += event.dropped;
    }
}

void ReplaySummary::Finish() { Add(strokes_.Interrupt()); }

void ReplaySummary::Add(const StrokeEnd& end) {
    if (end.fate == StrokeFate::None) {
        return;
    }
    if (end.fate == StrokeFate::Open) {
        strokesOpen++;
        return;
    }
    bool always = end.fate == StrokeFate::LostAlways;
    strokesReached += end.fate == StrokeFate::Reached;
    strokesLost += end.Lost();
    strokesLostAlways += always;
    if (end.Tap()) {
        taps++;
        tapsReached += end.fate == StrokeFate::Reached;
        tapsLost += end.Lost();
        tapsLostAlways += always;
    }
}
