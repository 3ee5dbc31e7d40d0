#include "engine/synth.h"

#include <math.h>

#include <algorithm>
#include <random>

const char* const kSynthShapes[4] = {"line", "circle", "zigzag", "scribble"};

namespace {

const double kWidth = 960;   // 240 pixels
const double kHeight = 1280; // 320 pixels
const double kPi = 3.14159265358979323846;

// Random numbers from mt19937, whose sequence the language fixes, so a seed
// gives the same trace with any standard library.
struct SynthRandom {
    std::mt19937 engine;
    double Uniform() { return engine() / 4294967296.0; }                      // [0, 1)
    double Between(double low, double high) { return low + (high - low) * Uniform(); }
    bool Chance(double p) { return Uniform() < p; }
    double Normal() {  // Box-Muller
        double u = 1.0 - Uniform();
        return sqrt(-2.0 * log(u)) * cos(2.0 * kPi * Uniform());
    }
};

struct Point {
    double x, y;
};

// The pen's true path for one stroke of `count` samples.
std::vector<Point> StrokePath(const std::string& shape, int count, SynthRandom& rnd) {
    std::vector<Point> path;
    double speed = rnd.Between(6, 24);  // calibrated units per sample
    Point p = {rnd.Between(200, kWidth - 200), rnd.Between(200, kHeight - 200)};
    double heading = rnd.Between(-kPi, kPi);
    double radius = rnd.Between(120, 300);
    Point centre = {p.x - radius * cos(heading), p.y - radius * sin(heading)};
    int leg = static_cast<int>(rnd.Between(6, 14));
    double turn = 0;
    for (int i = 0; i < count; i++) {
        if (shape == "circle") {
            double angle = heading + i * speed / radius;
            path.push_back({centre.x + radius * cos(angle), centre.y + radius * sin(angle)});
            continue;
        }
        path.push_back(p);
        if (shape == "zigzag" && i > 0 && i % leg == 0) {
            heading += (i / leg) % 2 ? 2.2 : -2.2;  // a sharp turn, about 126 degrees
        } else if (shape == "scribble") {
            turn = 0.8 * turn + rnd.Normal() * 0.08;
            heading += turn;
            speed = std::clamp(speed + rnd.Normal(), 4.0, 30.0);
        }
        p.x += speed * cos(heading);
        p.y += speed * sin(heading);
        // Turn back from the edges of the screen.
        if (p.x < 40 || p.x > kWidth - 40 || p.y < 40 || p.y > kHeight - 40) {
            heading = atan2(kHeight / 2 - p.y, kWidth / 2 - p.x);
        }
    }
    return path;
}

Point Displaced(Point p, SynthRandom& rnd) {
    double distance = rnd.Between(120, 400);
    double angle = rnd.Between(-kPi, kPi);
    return {p.x + distance * cos(angle), p.y + distance * sin(angle)};
}

int32_t OnPanel(double value, double limit) {
    return static_cast<int32_t>(lround(std::clamp(value, 0.0, limit - 1)));
}

// A tap of one to five pen-down samples and its pen-up at one place, with
// jitter, within the `remaining` samples (the last stroke takes what is left).
void AddTap(std::vector<TraceSample>& trace, int remaining, double jitter, SynthRandom& rnd) {
    int count = std::min(remaining - 1, 1 + static_cast<int>(rnd.Between(0, 5)));
    if (remaining - 1 - count < 3) {
        count = remaining - 1;
    }
    Point at = {rnd.Between(40, kWidth - 40), rnd.Between(40, kHeight - 40)};
    Point seen = at;
    for (int i = 0; i < count; i++) {
        seen = {at.x + rnd.Normal() * jitter, at.y + rnd.Normal() * jitter};
        trace.push_back({i == 0 ? 0x07u : 0x0Fu, OnPanel(seen.x, kWidth), OnPanel(seen.y, kHeight),
                         Truth::Ok, 0});
    }
    trace.push_back({0x0D, OnPanel(seen.x, kWidth), OnPanel(seen.y, kHeight), Truth::Ok, 0});
}

}  // namespace

std::vector<TraceSample> Synthesize(const SynthOptions& options) {
    SynthRandom rnd{std::mt19937(options.seed)};
    std::vector<TraceSample> trace;
    // A stroke edge goes wild more often than a sample in the middle.
    double edgeChance = std::min(0.5, options.spikes * 20);
    while (static_cast<int>(trace.size()) < options.samples) {
        int remaining = options.samples - static_cast<int>(trace.size());
        // No draw for taps unless asked, so that a seed gives the traces it
        // always gave.
        if (options.taps > 0 && rnd.Chance(options.taps)) {
            AddTap(trace, remaining, options.jitter, rnd);
            continue;
        }
        // Samples of the stroke's down part; the last stroke takes what is left.
        int count = std::min(remaining - 1, static_cast<int>(rnd.Between(30, 90)));
        if (remaining - 1 - count < 3) {
            count = remaining - 1;
        }
        std::vector<Point> path = StrokePath(options.shape, count, rnd);
        std::vector<Point> seen(path);
        std::vector<Truth> truth(count, Truth::Ok);
        for (int i = 0; i < count; i++) {
            seen[i].x += rnd.Normal() * options.jitter;
            seen[i].y += rnd.Normal() * options.jitter;
        }
        for (int i = 1; i < count - 1; i++) {
            if (!rnd.Chance(options.spikes)) {
                continue;
            }
            // Half the faults are single spikes, half jump away and return.
            int length = rnd.Chance(0.5) ? 1 : static_cast<int>(rnd.Between(2, 5));
            Point offset = Displaced({0, 0}, rnd);
            for (int k = i; k < std::min(count - 1, i + length); k++) {
                seen[k] = {path[k].x + offset.x, path[k].y + offset.y};
                truth[k] = Truth::Fault;
            }
            i += length;
        }
        if (rnd.Chance(edgeChance)) {
            seen[0] = Displaced(path[0], rnd);
            truth[0] = Truth::Fault;
        }
        Point up = seen[count - 1];
        Truth upTruth = Truth::Ok;
        if (rnd.Chance(edgeChance)) {
            up = Displaced(path[count - 1], rnd);
            upTruth = Truth::Fault;
        }
        for (int i = 0; i < count; i++) {
            uint32_t flags = i == 0 ? 0x07 : 0x0F;
            trace.push_back({flags, OnPanel(seen[i].x, kWidth), OnPanel(seen[i].y, kHeight),
                             truth[i], 0});
        }
        trace.push_back({0x0D, OnPanel(up.x, kWidth), OnPanel(up.y, kHeight), upTruth, 0});
    }
    return trace;
}
