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
    bool down = (r.in.flags & TouchSampleDownFlag) != 0;
    strokesIn += down && !inputDown_;
    inputDown_ = down;
    if (r.Delivered()) {
        bool deliveredDown = (r.flagsOut & TouchSampleDownFlag) != 0;
        strokesDelivered += deliveredDown && !deliveredDown_;
        deliveredDown_ = deliveredDown;
    }

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
        inputDown_ = false;
        deliveredDown_ = false;
    } else if (event.kind == TraceEvent::Dropped) {
        deviceDropped += event.dropped;
    }
}
