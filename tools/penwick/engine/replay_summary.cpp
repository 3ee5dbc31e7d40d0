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
    if (r.in.hasTick) {
        tickedSamples++;
        if (previousDownTicked_) {
            // Differences of 32-bit ticks are right across a wrap; a tick
            // that went back looks like a wait of days, and is left out.
            uint32_t interval = r.in.tick - previousTick_;
            if (interval <= static_cast<uint32_t>(kLongestSampleInterval)) {
                intervals[interval]++;
            } else {
                intervalsLeftOut++;
            }
        }
        previousTick_ = r.in.tick;
    }
    previousDownTicked_ = r.in.hasTick && (r.in.flags & TouchSampleDownFlag) != 0;
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
        previousDownTicked_ = false;  // a new boot, a new tick
    } else if (event.kind == TraceEvent::Dropped) {
        deviceDropped += event.dropped;
        previousDownTicked_ = false;
    } else if (event.kind == TraceEvent::Torn) {
        cutLines++;
    }
}

long long ReplaySummary::Intervals() const {
    long long count = 0;
    for (long long n : intervals) {
        count += n;
    }
    return count;
}

long long ReplaySummary::PenDownMilliseconds() const {
    long long sum = 0;
    for (size_t length = 0; length < intervals.size(); length++) {
        sum += intervals[length] * static_cast<long long>(length);
    }
    return sum;
}

int ReplaySummary::MedianInterval() const {
    long long half = (Intervals() + 1) / 2, seen = 0;
    for (size_t length = 0; length < intervals.size(); length++) {
        seen += intervals[length];
        if (seen >= half && seen > 0) {
            return static_cast<int>(length);
        }
    }
    return 0;
}

double ReplaySummary::SamplesPerSecond() const {
    long long milliseconds = PenDownMilliseconds();
    return milliseconds == 0 ? 0 : 1000.0 * Intervals() / milliseconds;
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
