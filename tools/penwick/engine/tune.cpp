#include "engine/tune.h"

#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <map>

#include "engine/replay.h"
#include "engine/replay_strokes.h"
#include "proxy/configuration.h"
#include "registry/configuration_check.h"

namespace {

// The values each setting may take, in the order the settings are read.
struct TuneGrid {
    int32_t FilterSettings::*field;
    std::vector<int32_t> values;
};

const std::vector<TuneGrid>& Grids() {
    static const std::vector<TuneGrid> grids = {
        {&FilterSettings::LowSpeed, {0, 2, 4, 6, 8, 10, 12, 14, 16, 20, 24, 28, 32, 40, 48, 56, 64, 80}},
        {&FilterSettings::MinDirSpeed, {0, 1, 2, 3, 4, 6, 8, 12, 16}},
        {&FilterSettings::HighSpeed, {4, 8, 12, 16, 20, 30, 40, 50, 60, 70, 80, 100, 120, 150, 200, 300}},
        {&FilterSettings::MaxSpeedDiff, {1, 2, 4, 6, 8, 10, 12, 15, 20, 25, 30, 40, 60}},
        {&FilterSettings::MaxSpeedDiff2, {8, 10, 15, 20, 25, 32, 40, 50, 64, 80, 100, 150, 200, 300}},
        {&FilterSettings::MaxDirDiff, {5, 10, 15, 20, 30, 45, 60, 75, 90, 105, 120, 135, 150, 165, 180}},
        {&FilterSettings::ErrorDelay, {0, 1, 2, 3, 4, 5, 6, 8}},
        {&FilterSettings::MaxErrorDelay, {0, 1, 2, 3, 4, 5, 6, 8, 10}},
    };
    return grids;
}

// Starting points besides the caller's, from settings that let much pass to
// settings that hold much back.
const FilterSettings kStarts[] = {
    {2, 1, 8, 4, 20, 45, 2, 2},        // the direction rules decide nearly every step
    {8, 4, 100, 20, 64, 120, 1, 2},
    {16, 4, 40, 6, 20, 60, 3, 4},
    {24, 4, 120, 30, 80, 90, 1, 1},
    {40, 8, 300, 60, 150, 60, 0, 0},   // the length rules decide
};

// The losses of the trade-off table besides the one asked for.
const double kTradeOffLosses[] = {1, 2, 5, 10, 20};

typedef std::array<int32_t, kConfigurationSettingCount> SettingsKey;

SettingsKey KeyOf(const FilterSettings& settings) {
    SettingsKey key;
    for (int i = 0; i < kConfigurationSettingCount; i++) {
        key[i] = settings.*kConfigurationSettings[i].field;
    }
    return key;
}

// The bounds of a search: the share of good samples and the strokes it may lose.
struct TuneBounds {
    double maxLossPercent;
    long long maxLostStrokes;
};

bool Feasible(const TuneScore& score, const TuneBounds& bounds) {
    return score.goodLost * 100.0 <= bounds.maxLossPercent * score.good + 1e-9 &&
           score.strokesLost <= bounds.maxLostStrokes;
}

// What the strokes lost that other settings would deliver weigh, in faults.
long long StrokeCost(const TuneScore& score) {
    return kLostStrokeCost * (score.strokesLost - score.strokesLostAlways);
}

// How good a score is at this loss, for the search to climb: the faults
// kept, less one for every good sample lost beyond the loss allowed, less
// kLostStrokeCost for every stroke lost that other settings would deliver.
// A search that can only keep faults by losing too much still finds the way
// to settings that keep them and lose less.
long long Merit(const TuneScore& score, const TuneBounds& bounds) {
    long long allowed = static_cast<long long>(bounds.maxLossPercent * score.good / 100.0);
    return score.faultsKept - std::max(0LL, score.goodLost - allowed) - StrokeCost(score);
}

// Whether a scores better than b at this loss: settings the check does not
// warn about first, then the greater merit, then the fewer good samples
// lost, then the more faults kept.
bool ScoresBetter(const TuneScore& a, const TuneScore& b, const TuneBounds& bounds) {
    if (a.sensible != b.sensible) {
        return a.sensible;
    }
    long long meritA = Merit(a, bounds), meritB = Merit(b, bounds);
    if (meritA != meritB) {
        return meritA > meritB;
    }
    if (a.goodLost != b.goodLost) {
        return a.goodLost < b.goodLost;
    }
    return a.faultsKept > b.faultsKept;
}

// Whether a is the better choice within these bounds: settings the check
// does not warn about, then within the bounds, then the most faults kept
// less the strokes lost that could be delivered (kLostStrokeCost each),
// then the fewest strokes and good samples lost; out of them, the fewest
// strokes lost, then the fewest good samples.
bool ChoiceBetter(const TuneScore& a, const TuneScore& b, const TuneBounds& bounds) {
    if (a.sensible != b.sensible) {
        return a.sensible;
    }
    bool feasibleA = Feasible(a, bounds), feasibleB = Feasible(b, bounds);
    if (feasibleA != feasibleB) {
        return feasibleA;
    }
    long long keptA = a.faultsKept - StrokeCost(a), keptB = b.faultsKept - StrokeCost(b);
    if (feasibleA && keptA != keptB) {
        return keptA > keptB;
    }
    if (a.strokesLost != b.strokesLost) {
        return a.strokesLost < b.strokesLost;
    }
    if (a.goodLost != b.goodLost) {
        return a.goodLost < b.goodLost;
    }
    return a.faultsKept > b.faultsKept;
}

// The better choice, and of equal scores the one with the smaller settings,
// so that the choice never depends on the order of the search.
bool Better(const TuneScore& a, const TuneScore& b, const TuneBounds& bounds) {
    if (ChoiceBetter(a, b, bounds) || ChoiceBetter(b, a, bounds)) {
        return ChoiceBetter(a, b, bounds);
    }
    return KeyOf(a.settings) < KeyOf(b.settings);
}

// Reads exactly `size` bytes; false if the pipe ends first.
bool ReadWhole(int descriptor, void* data, size_t size) {
    char* at = static_cast<char*>(data);
    while (size > 0) {
        ssize_t got = read(descriptor, at, size);
        if (got <= 0) {
            return false;
        }
        at += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

// One step along a setting's grid from the value it has, if there is one.
bool Step(const TuneGrid& grid, int step, FilterSettings& settings) {
    const std::vector<int32_t>& values = grid.values;
    auto at = std::lower_bound(values.begin(), values.end(), settings.*grid.field);
    long index = (at - values.begin()) + step;
    if (at == values.end() || *at != settings.*grid.field) {
        index = (at - values.begin()) + (step < 0 ? -1 : 0);
    }
    if (index < 0 || index >= static_cast<long>(values.size())) {
        return false;
    }
    settings.*grid.field = values[index];
    return true;
}

class Search {
public:
    Search(const std::vector<TuneTrace>& traces, const RegFile& base, const TuneBounds& maxLoss,
           const TuneProgress& progress)
        : traces_(traces), base_(base), maxLoss_(maxLoss), progress_(progress) {}

    // Replays whichever of the candidates were not replayed before, on both
    // cores: a second process takes every other one and hands back its
    // scores through a pipe. The scores go into the record in the
    // candidates' order, so the outcome never depends on which finished first.
    void ScoreAll(const std::vector<FilterSettings>& candidates) {
        std::vector<FilterSettings> todo;
        for (const FilterSettings& candidate : candidates) {
            if (scores_.count(KeyOf(candidate)) == 0 &&
                std::none_of(todo.begin(), todo.end(), [&](const FilterSettings& other) {
                    return KeyOf(other) == KeyOf(candidate);
                })) {
                todo.push_back(candidate);
            }
        }
        std::vector<TuneScore> scores(todo.size());
        int pipeEnds[2];
        pid_t helper = -1;
        if (todo.size() > 1 && pipe(pipeEnds) == 0) {
            helper = fork();
            if (helper == 0) {
                close(pipeEnds[0]);
                for (size_t i = 1; i < todo.size(); i += 2) {
                    TuneScore score = ScoreSettings(traces_, base_, todo[i]);
                    if (write(pipeEnds[1], &score, sizeof score) != sizeof score) {
                        _exit(1);
                    }
                }
                _exit(0);
            }
            close(pipeEnds[1]);
            if (helper < 0) {
                close(pipeEnds[0]);
            }
        }
        for (size_t i = 0; i < todo.size(); i++) {
            if (helper <= 0 || i % 2 == 0) {
                scores[i] = ScoreSettings(traces_, base_, todo[i]);
            }
        }
        if (helper > 0) {
            bool complete = true;
            for (size_t i = 1; i < todo.size(); i += 2) {
                complete = complete && ReadWhole(pipeEnds[0], &scores[i], sizeof scores[i]);
            }
            close(pipeEnds[0]);
            int status = 0;
            waitpid(helper, &status, 0);
            if (!complete) {  // the helper failed: replay its share here
                for (size_t i = 1; i < todo.size(); i += 2) {
                    scores[i] = ScoreSettings(traces_, base_, todo[i]);
                }
            }
        }
        for (size_t i = 0; i < todo.size(); i++) {
            scores_.emplace(KeyOf(todo[i]), scores[i]);
        }
        if (progress_ && !todo.empty()) {
            progress_(static_cast<long long>(scores_.size()), Best(maxLoss_), done_);
        }
    }

    const TuneScore& Score(const FilterSettings& settings) {
        ScoreAll({settings});
        return scores_.at(KeyOf(settings));
    }

    // From the start, takes the best of all the moves of one setting along
    // its grid, again and again, until no move scores better or the steps
    // run out.
    TuneScore Descend(const FilterSettings& start, const TuneBounds& maxLoss, int steps) {
        TuneScore current = Score(start);
        for (int step = 0; step < steps; step++) {
            std::vector<FilterSettings> candidates;
            for (const TuneGrid& grid : Grids()) {
                for (int32_t value : grid.values) {
                    FilterSettings candidate = current.settings;
                    candidate.*grid.field = value;
                    if (CheckFilterSettings(candidate, nullptr, nullptr) == 0) {
                        candidates.push_back(candidate);
                    }
                }
            }
            ScoreAll(candidates);
            TuneScore best = current;
            for (const FilterSettings& candidate : candidates) {
                const TuneScore& score = scores_.at(KeyOf(candidate));
                if (ScoresBetter(score, best, maxLoss)) {
                    best = score;
                }
            }
            if (!ScoresBetter(best, current, maxLoss)) {
                break;
            }
            current = best;
        }
        return current;
    }

    // Moves two settings at once, each a step along its grid, from the best
    // settings so far: what one setting at a time cannot reach. True when
    // that found better settings.
    bool MovePairs(const TuneBounds& maxLoss) {
        TuneScore current = Best(maxLoss);
        const std::vector<TuneGrid>& grids = Grids();
        std::vector<FilterSettings> candidates;
        for (size_t a = 0; a < grids.size(); a++) {
            for (size_t b = a + 1; b < grids.size(); b++) {
                for (int stepA : {-1, 1}) {
                    for (int stepB : {-1, 1}) {
                        FilterSettings candidate = current.settings;
                        if (Step(grids[a], stepA, candidate) && Step(grids[b], stepB, candidate) &&
                            CheckFilterSettings(candidate, nullptr, nullptr) == 0) {
                            candidates.push_back(candidate);
                        }
                    }
                }
            }
        }
        ScoreAll(candidates);
        return KeyOf(Best(maxLoss).settings) != KeyOf(current.settings);
    }

    // The best of every settings replayed so far, at this loss.
    TuneScore Best(const TuneBounds& maxLoss) const {
        const TuneScore* best = nullptr;
        for (const auto& [key, score] : scores_) {
            if (best == nullptr || Better(score, *best, maxLoss)) {
                best = &score;
            }
        }
        return best != nullptr ? *best : TuneScore();
    }

    long long Replays() const { return static_cast<long long>(scores_.size()); }

    // The share of the search done, for its progress.
    void Done(double share) { done_ = share; }

private:
    double done_ = 0;
    const std::vector<TuneTrace>& traces_;
    const RegFile& base_;
    TuneBounds maxLoss_;
    const TuneProgress& progress_;
    std::map<SettingsKey, TuneScore> scores_;
};

}  // namespace

TuneTrace MakeTuneTrace(std::string name, std::vector<TraceEvent> events) {
    TuneTrace trace;
    trace.name = std::move(name);
    trace.events = std::move(events);
    for (const TraceEvent& event : trace.events) {
        if (event.kind == TraceEvent::Sample) {
            trace.faults += event.sample.truth == Truth::Fault;
            trace.good += event.sample.truth == Truth::Ok;
        }
    }
    return trace;
}

FilterSettings SettingsOf(const RegFile& file, const FilterSettings& fallback) {
    FilterSettings settings = fallback;
    for (const ConfigurationSetting& setting : kConfigurationSettings) {
        const RegValue* value = RegKeyFind(file.penwick, setting.name);
        if (value != nullptr && value->data.size() == sizeof(int32_t)) {
            memcpy(&(settings.*setting.field), value->data.data(), sizeof(int32_t));
        }
    }
    return settings;
}

RegFile WithSettings(const RegFile& base, const FilterSettings& settings) {
    RegFile file = base;
    for (const ConfigurationSetting& setting : kConfigurationSettings) {
        RegKeySet(file.penwick, RegDword(setting.name, static_cast<uint32_t>(settings.*setting.field)));
    }
    return file;
}

namespace {

void AddStroke(TuneScore& score, const StrokeEnd& end) {
    if (end.fate == StrokeFate::None || end.fate == StrokeFate::Open) {
        return;
    }
    score.strokes++;
    score.strokesLost += end.Lost();
    score.strokesLostAlways += end.fate == StrokeFate::LostAlways;
    if (end.Tap()) {
        score.taps++;
        score.tapsLost += end.Lost();
    }
}

}  // namespace

TuneScore ScoreSettings(const std::vector<TuneTrace>& traces, const RegFile& base,
                        const FilterSettings& settings) {
    TuneScore score;
    score.settings = settings;
    score.sensible = CheckFilterSettings(settings, nullptr, nullptr) == 0;
    RegFile file = WithSettings(base, settings);
    for (const TuneTrace& trace : traces) {
        Replayer replayer(file, ReplayScreens());
        StrokeTracker strokes;
        for (const TraceEvent& event : trace.events) {
            if (event.kind != TraceEvent::Sample) {
                replayer.Apply(event);
                if (event.kind == TraceEvent::Boot) {
                    strokes.Interrupt();
                }
                continue;
            }
            Truth truth = event.sample.truth;
            if (truth == Truth::Unknown) {
                AddStroke(score, strokes.Add(replayer.Feed(event.sample)));
                continue;
            }
            ReplayRecord record = replayer.Feed(event.sample);
            bool kept = !record.AtOwnPlace();
            if (truth == Truth::Fault) {
                score.faults++;
                score.faultsKept += kept;
            } else {
                score.good++;
                score.goodLost += kept;
            }
            AddStroke(score, strokes.Add(record));
        }
    }
    return score;
}

TuneOutcome Tune(const std::vector<TuneTrace>& traces, const RegFile& base,
                 const std::vector<FilterSettings>& starts, double maxLossPercent,
                 long long maxLostStrokes, const TuneProgress& progress) {
    TuneBounds bounds = {maxLossPercent, maxLostStrokes};
    auto at = [maxLostStrokes](double loss) { return TuneBounds{loss, maxLostStrokes}; };
    Search search(traces, base, bounds, progress);
    std::vector<FilterSettings> all = starts;
    all.insert(all.end(), std::begin(kStarts), std::end(kStarts));
    TuneOutcome outcome;
    outcome.losses.assign(std::begin(kTradeOffLosses), std::end(kTradeOffLosses));
    outcome.losses.push_back(maxLossPercent);
    std::sort(outcome.losses.begin(), outcome.losses.end());
    outcome.losses.erase(std::unique(outcome.losses.begin(), outcome.losses.end()), outcome.losses.end());
    // The share done counts the parts of the search: the descent from each
    // start, each of the passes of pairs, and, as half a part each, the
    // short descents for the other losses.
    const int kPairPasses = 3;
    double parts = all.size() + kPairPasses + 0.5 * (outcome.losses.size() - 1), part = 0;
    for (const FilterSettings& start : all) {
        search.Descend(start, bounds, 40);
        search.Done(++part / parts);
    }
    for (int pass = 0; pass < kPairPasses; pass++) {
        bool moved = search.MovePairs(bounds);
        if (moved) {
            search.Descend(search.Best(bounds).settings, bounds, 40);
        }
        search.Done(++part / parts);
        if (!moved) {
            part += kPairPasses - 1 - pass;
            break;
        }
    }
    search.Done(part / parts);
    // The other losses: a shorter search from the best found so far for each.
    for (double loss : outcome.losses) {
        if (loss != maxLossPercent) {
            search.Descend(search.Best(at(loss)).settings, at(loss), 10);
            part += 0.5;
            search.Done(part / parts);
        }
    }
    for (double loss : outcome.losses) {
        TuneScore best = search.Best(at(loss));
        outcome.tradeOff.push_back(best);
        outcome.tradeOffFound.push_back(Feasible(best, at(loss)));
    }
    outcome.best = search.Best(bounds);
    outcome.found = Feasible(outcome.best, bounds);
    outcome.replays = search.Replays();
    return outcome;
}
