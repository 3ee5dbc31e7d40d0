// The replay as a picture (SVG): the screen's outline with a scale in
// pixels; each stroke's raw path, dashed, and the path the host received,
// solid, in a colour of its own and numbered at its start; and a mark on
// every sample that did not reach the host at its own place. In a labelled
// trace the marks tell faults kept from the host, faults delivered and good
// samples lost apart; otherwise they tell the cause. A stroke that never
// reached the host lies under a wide red band, named "lost" at its start. Every mark names its
// line, rule and verdict as a tooltip. Two panels side by side, on the same
// scale, compare two settings. A trace too long for that is drawn as an
// overview (PictureOverview) instead.
#ifndef PENWICK_TOOLS_REPORT_PICTURE_H
#define PENWICK_TOOLS_REPORT_PICTURE_H

#include <array>
#include <string>
#include <vector>

#include "engine/replay.h"
#include "engine/replay_strokes.h"
#include "engine/replay_summary.h"

// One set of settings' replay of the drawn part of a trace.
struct PicturePanel {
    std::string caption;  // where the settings came from
    ReplayStart start;
    std::vector<ReplayRecord> records;  // the drawn samples only
    ReplaySummary summary;              // of the drawn samples
    // The screen sizes in pixels the drawn samples were taken on (more than
    // one when the screen turned), in the order they came.
    std::vector<std::pair<int32_t, int32_t>> screens;
};

// Each screen the first panel names is outlined; without any, one of
// `screenWidth` x `screenHeight` pixels.
std::string FormatReplaySvg(const std::string& title, const std::vector<PicturePanel>& panels,
                            int32_t screenWidth, int32_t screenHeight);

// A trace too long to draw sample by sample (a capture of hours), taken in
// as it is replayed, in constant memory: where along the trace and where on
// the screen faults were kept from the host and good samples and strokes
// were lost, and the few strokes that matter most (a stroke lost that
// other settings would deliver, then faults delivered, then good samples
// lost) kept whole for close-ups. Unlabelled, errors (rules d, e and h)
// stand for the faults kept and the other samples withheld for the good
// ones lost.
class PictureOverview {
public:
    // Each sample, on a screen of these pixels; each capture event.
    void Add(const ReplayRecord& record, std::pair<int32_t, int32_t> screen);
    void Add(const TraceEvent& event);
    void Finish();

    // What a sample is in the overview: a layer, or -1.
    enum Layer { Samples, Kept, Lost, Delivered, StrokesLost };
    static const int kLayers = 5;
    static const int kBins = 240;                  // along the trace
    static const size_t kCloseUps = 4;
    static const size_t kCloseUpSamples = 600;     // of a stroke, at most

    struct CloseUp {
        long long score = 0;
        std::vector<ReplayRecord> records;
        std::string why;
    };

    bool labelled = false;
    int linesPerBin = 1;
    std::vector<std::array<long long, kLayers>> bins = std::vector<std::array<long long, kLayers>>(kBins);
    // Over the screen: square cells, 40 across the first screen's longer
    // side and 40 down, row by row.
    std::array<std::vector<long long>, kLayers> cells;
    long long totals[kLayers] = {};
    std::vector<int> boots, drops;                   // their lines
    int firstLine = 0, lastLine = 0;
    int32_t screenWidth = 0, screenHeight = 0;        // the first sample's screen, pixels
    std::vector<CloseUp> closeUps;                    // after Finish, in the trace's order

private:
    void Count(int layer, int line, int32_t x, int32_t y);
    void EndStroke(const StrokeEnd& end);
    StrokeTracker strokes_;
    CloseUp stroke_;
    std::vector<CloseUp> lostCloseUps_, otherCloseUps_;  // best first
    long long deliveredInStroke_ = 0, lostInStroke_ = 0;
};

// The overview of each set of settings (the panels give their captions,
// settings and summaries; their records are not drawn), with close-ups.
std::string FormatOverviewSvg(const std::string& title, const std::vector<PicturePanel>& panels,
                              const std::vector<const PictureOverview*>& overviews);

// Text broken into lines of at most `width` characters, between phrases
// (after ", ", "; " or ": ") where it can be, between words where it must.
std::vector<std::string> WrapPhrases(const std::string& text, size_t width);

#endif
