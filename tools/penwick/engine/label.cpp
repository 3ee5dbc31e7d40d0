#include "engine/label.h"

#include <algorithm>
#include <cmath>

#include "engine/replay_strokes.h"
#include "proxy/sample_interception.h"

namespace {

const int kPasses = 4;

bool Judged(const TraceSample& s) {
    return (s.flags & TouchSampleIsCalibratedFlag) && (s.flags & TouchSampleValidFlag) &&
           !(s.flags & TouchSampleIgnore);
}

double Median(std::vector<double> values) {
    size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + middle, values.end());
    double upper = values[middle];
    if (values.size() % 2 == 1) {
        return upper;
    }
    return (upper + *std::max_element(values.begin(), values.begin() + middle)) / 2;
}

// Whether one sample of the stroke lies too far from its neighbours, those
// already taken for faults left out.
bool IsFault(const std::vector<TraceSample*>& stroke, const std::vector<bool>& faults, int i,
             const LabelRule& rule) {
    int count = static_cast<int>(stroke.size());
    std::vector<double> xs, ys, steps;
    int offsets = 0;  // where the neighbours lie, in samples from this one, summed
    for (int side : {-1, 1}) {
        const TraceSample* previous = nullptr;
        int taken = 0;
        for (int j = i + side; j >= 0 && j < count && taken < rule.neighbours; j += side) {
            if (faults[j]) {
                continue;
            }
            const TraceSample* neighbour = stroke[j];
            offsets += j - i;
            xs.push_back(neighbour->x);
            ys.push_back(neighbour->y);
            if (previous != nullptr) {
                steps.push_back(std::hypot(double(neighbour->x) - previous->x,
                                           double(neighbour->y) - previous->y));
            }
            previous = neighbour;
            taken++;
        }
    }
    if (xs.empty()) {
        return false;
    }
    double distance = std::hypot(stroke[i]->x - Median(xs), stroke[i]->y - Median(ys));
    double step = steps.empty() ? 0 : Median(steps);
    // Near the ends of a stroke the neighbours lie on one side, and their
    // median as many steps away as they lie on average.
    double lopsided = std::abs(static_cast<double>(offsets)) / xs.size();
    return distance > rule.minDistance && distance > (rule.stepFactor + lopsided) * step;
}

void LabelStroke(const std::vector<TraceSample*>& stroke, const LabelRule& rule) {
    // A tap has too few samples to judge one by the others: it is ok.
    int down = 0;
    for (const TraceSample* sample : stroke) {
        down += (sample->flags & TouchSampleDownFlag) != 0;
    }
    if (down <= kTapDownSamples) {
        return;
    }
    // A sample beside a run of faults is measured against those faults too:
    // the faults found are left out of the neighbours and the stroke judged
    // again, until nothing changes.
    std::vector<bool> faults(stroke.size(), false);
    for (int pass = 0; pass < kPasses; pass++) {
        std::vector<bool> next(stroke.size());
        for (size_t i = 0; i < stroke.size(); i++) {
            next[i] = IsFault(stroke, faults, static_cast<int>(i), rule);
        }
        if (next == faults) {
            break;
        }
        faults = next;
    }
    for (size_t i = 0; i < stroke.size(); i++) {
        stroke[i]->truth = faults[i] ? Truth::Fault : Truth::Ok;
    }
}

}  // namespace

void LabelTrace(std::vector<TraceEvent>& events, const LabelRule& rule) {
    std::vector<TraceSample*> stroke;
    bool down = false;
    for (TraceEvent& event : events) {
        if (event.kind == TraceEvent::Boot) {
            LabelStroke(stroke, rule);
            stroke.clear();
            down = false;
        }
        if (event.kind != TraceEvent::Sample) {
            continue;
        }
        TraceSample& sample = event.sample;
        sample.truth = Truth::Ok;
        if (!Judged(sample)) {
            continue;
        }
        bool sampleDown = (sample.flags & TouchSampleDownFlag) != 0;
        if (sampleDown && !down) {
            LabelStroke(stroke, rule);
            stroke.clear();
        }
        if (sampleDown || down) {
            stroke.push_back(&sample);
        }
        down = sampleDown;
    }
    LabelStroke(stroke, rule);
}
