// The search for settings: replays labelled traces through the driver's own
// code with candidate settings and keeps those that keep the most faults
// from the host while losing at most a given share of the good samples and
// at most a given number of strokes.
//
// Each setting takes values from a grid of its own. From a few starting
// points (the caller's, such as the base and the recommended settings, and
// a few of its own), the search takes the best move of any one setting
// along its grid, again and again, until none improves; then it tries
// moving two settings at once from the best so far. Moves are weighed by
// the faults kept less the good samples lost beyond the loss allowed, less
// kLostStrokeCost for every stroke lost that other settings would deliver,
// so that the search can pass through settings that lose too much on its
// way to settings that keep the faults and lose little, and never trades a
// tap for a spike or two. It runs for the loss
// asked for, then more briefly for the other losses of the trade-off table.
// Every replay is kept, so no settings are replayed twice, and the best
// settings within each loss are picked from all of them; settings the
// configuration check warns about (a rule that can never decide, say) are
// left out, since others do the same without the warning. The replays run
// on two processes at once. Nothing is random: the same traces and base
// give the same settings.
#ifndef PENWICK_TOOLS_ENGINE_TUNE_H
#define PENWICK_TOOLS_ENGINE_TUNE_H

#include <functional>
#include <string>
#include <vector>

#include "files/reg_file.h"
#include "files/trace.h"
#include "filter/sample_filter.h"

// A labelled trace, whole, as the search replays it again and again.
struct TuneTrace {
    std::string name;
    std::vector<TraceEvent> events;
    long long faults = 0;
    long long good = 0;
};

// What one set of settings does to all the traces.
struct TuneScore {
    FilterSettings settings;
    bool sensible = true;      // the check has no warning about the settings
    long long faultsKept = 0;  // faults that did not reach the host at their own place
    long long faults = 0;
    long long goodLost = 0;    // good samples that did not
    long long good = 0;
    // Strokes that ended (see engine/replay_strokes.h), those lost entirely,
    // and of those the ones no settings deliver; the same for taps.
    long long strokes = 0, strokesLost = 0, strokesLostAlways = 0;
    long long taps = 0, tapsLost = 0;

    double KeptPercent() const { return faults == 0 ? 0 : 100.0 * faultsKept / faults; }
    double LossPercent() const { return good == 0 ? 0 : 100.0 * goodLost / good; }
};

// What a stroke lost weighs in the search, in faults kept from the host.
const long long kLostStrokeCost = 100;

struct TuneOutcome {
    TuneScore best;                   // at the loss asked for
    bool found = false;               // some settings lose no more than that
    std::vector<double> losses;       // of the trade-off table, ascending
    std::vector<TuneScore> tradeOff;  // the best at each of those losses
    std::vector<bool> tradeOffFound;
    long long replays = 0;            // settings replayed
};

// Progress: settings replayed so far, the best at the loss asked for, and
// the share of the search done (0 to 1, by the searches from its starting
// points and its passes; it never goes back).
typedef std::function<void(long long replays, const TuneScore& best, double done)> TuneProgress;

// Reads the traces' labels; the base supplies every value but the eight
// settings.
TuneTrace MakeTuneTrace(std::string name, std::vector<TraceEvent> events);

// The settings of the file, or the recommended ones where it lacks them.
FilterSettings SettingsOf(const RegFile& file, const FilterSettings& fallback);

// The base file with these eight settings in place of its own.
RegFile WithSettings(const RegFile& base, const FilterSettings& settings);

// Replays every trace with the settings.
TuneScore ScoreSettings(const std::vector<TuneTrace>& traces, const RegFile& base,
                        const FilterSettings& settings);

// The best settings that lose at most maxLossPercent of the good samples
// and at most maxLostStrokes strokes.
TuneOutcome Tune(const std::vector<TuneTrace>& traces, const RegFile& base,
                 const std::vector<FilterSettings>& starts, double maxLossPercent,
                 long long maxLostStrokes, const TuneProgress& progress);

#endif
