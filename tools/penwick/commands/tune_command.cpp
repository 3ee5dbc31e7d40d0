// penwick tune: the settings that keep the most labelled faults from the
// host while losing at most a given share of the good samples, found by
// replaying the traces through the driver's own code, and written as a .reg
// file ready to install.
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <memory>

#include "commands/commands.h"
#include "engine/settings_check.h"
#include "engine/tune.h"
#include "files/input.h"
#include "files/output_file.h"
#include "files/recommended_settings.h"
#include "files/reg_file.h"
#include "proxy/configuration.h"
#include "report/findings.h"
#include "report/summary.h"
#include "report/format.h"

namespace {

struct TuneArguments {
    std::vector<std::string> traces;
    std::vector<std::string> heldOut;
    std::string settingsFile;
    double maxLoss = 5;
    long long maxLostStrokes = -1;  // the least the rules allow, and the tolerance
    bool allowFewerFaultsKept = false;
    std::string out;
};

// By default the search may lose, beyond the strokes no settings deliver,
// one in this many of the strokes the rules could deliver (rounded down):
// a tap in two hundred, about what a user notices only by looking for it.
const long long kLostStrokeTolerance = 200;

std::string Share(long long part, long long whole) {
    return Format("%lld of %lld (%.1f%%)", part, whole, whole == 0 ? 0.0 : 100.0 * part / whole);
}

// The base and the tuned settings' figures side by side.
std::string BeforeAndAfter(const TuneScore& base, const TuneScore& tuned) {
    std::string out = Format("%-20s %-34s %s\n", "", "base settings", "tuned settings");
    auto line = [&out](const char* what, const std::string& before, const std::string& after) {
        out += Format("%-20s %-34s %s\n", what, before.c_str(), after.c_str());
    };
    line("faults kept", Share(base.faultsKept, base.faults), Share(tuned.faultsKept, tuned.faults));
    line("good samples lost", Share(base.goodLost, base.good), Share(tuned.goodLost, tuned.good));
    line("strokes lost", Share(base.strokesLost, base.strokes), Share(tuned.strokesLost, tuned.strokes));
    line("taps lost", Share(base.tapsLost, base.taps), Share(tuned.tapsLost, tuned.taps));
    return out + Format("(%lld of the strokes lost have a single pen-down sample, which no settings "
                        "deliver)\n", base.strokesLostAlways);
}

// The day the file is made, or the one SOURCE_DATE_EPOCH names (seconds
// since 1970, as reproducible builds give it), so that a file can be made
// again byte for byte.
std::string Today() {
    time_t now = time(nullptr);
    if (const char* epoch = getenv("SOURCE_DATE_EPOCH")) {
        long long seconds;
        if (!ParseInteger(epoch, 0, 253402300799LL, &seconds)) {  // to the end of 9999
            throw InputError("SOURCE_DATE_EPOCH", 0,
                             "'" + std::string(epoch) + "' is not a number of seconds since 1970");
        }
        now = static_cast<time_t>(seconds);
    }
    char text[16];
    struct tm day;
    gmtime_r(&now, &day);
    strftime(text, sizeof text, "%Y-%m-%d", &day);
    return text;
}

std::string TradeOffTable(const TuneOutcome& outcome) {
    std::string table = "loss at most  faults kept  good lost  strokes lost  settings\n";
    for (size_t i = 0; i < outcome.losses.size(); i++) {
        const TuneScore& score = outcome.tradeOff[i];
        table += Format("%11.1f%%  ", outcome.losses[i]);
        table += outcome.tradeOffFound[i]
                     ? Format("%10.1f%%  %8.1f%%  %12lld  %s\n", score.KeptPercent(), score.LossPercent(),
                              score.strokesLost, FormatFilterSettings(score.settings).c_str())
                     : "        none: nothing loses so little\n";
    }
    return table;
}

// Labelled traces, whole; a trace without labels is refused.
std::vector<TuneTrace> ReadLabelledTraces(const std::vector<std::string>& paths) {
    std::vector<TuneTrace> traces;
    for (const std::string& path : paths) {
        traces.push_back(MakeTuneTrace(path, ParseTraceEvents(ReadInputFile(path), path)));
        WarnOfCutLines(path, traces.back().events);
        if (traces.back().faults + traces.back().good == 0) {
            throw InputError(path, 0, "has no labels (ok or fault): run penwick label " + path +
                                          " first, and check its marks");
        }
    }
    return traces;
}

// Stops with the check's errors when the file would not do on a device.
void RequireInstallable(const RegFile& file, const std::string& baseName) {
    ReplayStart start;
    std::vector<ConfigurationFinding> findings = CheckRegFile(file, &start);
    bool errors = false;
    for (const ConfigurationFinding& finding : findings) {
        if (finding.error) {
            std::cerr << "penwick: " << baseName << ": " << FormatFinding(finding)
                      << " (the tuned file would fail penwick check)\n";
            errors = true;
        }
    }
    if (errors) {
        throw CommandStatus{1};
    }
}

void RunTune(const TuneArguments& a) {
    std::vector<NamedPath> inputs;
    for (const std::string& trace : a.traces) {
        inputs.push_back({"a trace", trace});
    }
    for (const std::string& trace : a.heldOut) {
        inputs.push_back({"--held-out", trace});
    }
    // A trace tuned on twice would count twice; one held out and tuned on
    // would not be held out.
    for (size_t i = 0; i < inputs.size(); i++) {
        for (size_t j = 0; j < i; j++) {
            if (SameFile(inputs[i].path, inputs[j].path)) {
                throw InputError(inputs[i].path, 0, "is given twice (as " + inputs[j].role + " and as " +
                                                        inputs[i].role + ")");
            }
        }
    }
    if (!a.settingsFile.empty()) {
        inputs.push_back({"--settings", a.settingsFile});
    }
    std::vector<NamedPath> outputs;
    if (!a.out.empty()) {
        outputs.push_back({"--out", a.out});
    }
    CheckOutputPaths(inputs, outputs);
    std::string baseName =
        a.settingsFile.empty() ? "the recommended settings (samples/install.reg)" : a.settingsFile;
    RegFile base = a.settingsFile.empty() ? ParseRegFile(kRecommendedSettings, baseName)
                                          : ParseRegFile(ReadInputFile(a.settingsFile), baseName);
    // An install file always makes the host load Penwick.
    if (RegKeyFind(base.touch, kTouchDriverValue) == nullptr) {
        RegKeySet(base.touch, RegString(kTouchDriverValue, u"Penwick.dll"));
    }
    FilterSettings recommended = SettingsOf(ParseRegFile(kRecommendedSettings, "recommended"), {});
    FilterSettings baseSettings = SettingsOf(base, recommended);
    RequireInstallable(WithSettings(base, baseSettings), baseName);

    std::vector<TuneTrace> traces = ReadLabelledTraces(a.traces);
    std::vector<TuneTrace> heldOut = ReadLabelledTraces(a.heldOut);
    long long faults = 0, samples = 0;
    for (const TuneTrace& trace : traces) {
        faults += trace.faults;
        samples += trace.faults + trace.good;
    }
    if (samples == faults) {
        throw InputError(a.traces[0], 0,
                         "the traces have no good samples (ok): the search would only learn to "
                         "withhold everything; check their labels");
    }

    std::string sources;
    for (const TuneTrace& trace : traces) {
        sources += Format("  %s: %lld labelled samples, %lld faults\n", trace.name.c_str(),
                          trace.faults + trace.good, trace.faults);
    }
    if (faults == 0) {
        std::cerr << "penwick: the traces have no faults, so there is nothing to learn: the "
                     "base settings are kept\n";
        if (!a.out.empty()) {
            WriteOutputFiles({{a.out, FormatRegFile(WithSettings(base, baseSettings),
                                                    "penwick tune found no faults to learn from in:\n" +
                                                        sources + "so these are the settings of " + baseName + ".")}});
        }
        return;
    }

    // The strokes no settings deliver are lost by the base too: they are the
    // least the rules allow.
    TuneScore before = ScoreSettings(traces, base, baseSettings);
    long long least = before.strokesLostAlways;
    long long maxLostStrokes = a.maxLostStrokes;
    if (maxLostStrokes < 0) {
        maxLostStrokes = least + (before.strokes - least) / kLostStrokeTolerance;
    } else if (maxLostStrokes < least) {
        throw UsageError("--max-lost-strokes",
                         Format("%lld is fewer than the filter's rules allow: %lld strokes of the "
                                "traces have a single pen-down sample, which no settings deliver; "
                                "the least possible value is %lld",
                                maxLostStrokes, least, least));
    }

    // A progress line on a terminal, at most five times a second: the share
    // done, the time left at the pace so far, and the best so far.
    bool terminal = isatty(STDERR_FILENO);
    auto began = std::chrono::steady_clock::now();
    auto shown = began - std::chrono::seconds(1);
    TuneProgress progress = [&](long long replays, const TuneScore& best, double done) {
        auto now = std::chrono::steady_clock::now();
        if (!terminal || now - shown < std::chrono::milliseconds(200)) {
            return;
        }
        shown = now;
        double elapsed = std::chrono::duration<double>(now - began).count();
        std::string left = done <= 0 ? "time left unknown yet"
                                     : Format("about %.0f s left", elapsed * (1 - done) / done);
        std::cerr << Format("\rtune: %.0f%% done, %s; %lld settings replayed; the best within %.1f%% "
                            "loss keeps %.1f%% of the faults, loses %.1f%%   ",
                            100 * done, left.c_str(), replays, a.maxLoss, best.KeptPercent(),
                            best.LossPercent());
    };
    TuneOutcome outcome =
        Tune(traces, base, {baseSettings, recommended}, a.maxLoss, maxLostStrokes, progress);
    if (terminal) {
        std::cerr << "\r" << std::string(140, ' ') << "\r";
    }
    std::cout << Format("%lld labelled samples, %lld faults, %lld strokes, %lld of them taps, %zu "
                        "traces; %lld settings replayed\n",
                        samples, faults, before.strokes, before.taps, traces.size(), outcome.replays)
              << Format("at most %lld strokes lost (%lld have a single pen-down sample, which no "
                        "settings deliver)\n", maxLostStrokes, least)
              << TradeOffTable(outcome);
    if (!outcome.found) {
        throw InputError(outcome.best.strokesLost > maxLostStrokes ? "--max-lost-strokes" : "--max-loss", 0,
                         Format("no settings lose at most %.1f%% of the good samples and at most "
                                "%lld strokes; the best lose %.1f%% and %lld strokes",
                                a.maxLoss, maxLostStrokes, outcome.best.LossPercent(),
                                outcome.best.strokesLost));
    }
    const TuneScore& best = outcome.best;
    std::cout << Format("chosen, within %.1f%% loss: %s\n", a.maxLoss, FormatFilterSettings(best.settings).c_str())
              << BeforeAndAfter(before, best);
    bool fewerKept = best.faultsKept < before.faultsKept;
    std::string heldOutFigures;
    if (!heldOut.empty()) {
        // Traces the search never saw: how the choice and the base do there.
        TuneScore chosen = ScoreSettings(heldOut, base, best.settings);
        TuneScore baseHeldOut = ScoreSettings(heldOut, base, baseSettings);
        heldOutFigures = Format("On held-out traces, not tuned on, these settings keep %.1f%% of the "
                                "faults, lose\n%.1f%% of the good samples and %lld of %lld taps (%lld "
                                "of them no settings deliver);\nthe settings of %s keep %.1f%%, lose "
                                "%.1f%% and %lld taps.\n",
                                chosen.KeptPercent(), chosen.LossPercent(), chosen.tapsLost,
                                chosen.taps, chosen.strokesLostAlways, baseName.c_str(),
                                baseHeldOut.KeptPercent(), baseHeldOut.LossPercent(),
                                baseHeldOut.tapsLost);
        std::cout << heldOutFigures;
    }
    if (fewerKept) {
        std::cerr << Format("penwick: the tuned settings keep %lld faults from the host, fewer than "
                            "the base settings' %lld", best.faultsKept, before.faultsKept)
                  << (a.allowFewerFaultsKept ? "; written as --allow-fewer-faults-kept asks\n"
                                             : a.out.empty() ? "\n"
                                             : ": not written (--allow-fewer-faults-kept writes them)\n");
        if (!a.allowFewerFaultsKept && !a.out.empty()) {
            throw CommandStatus{1};
        }
    }
    if (a.out.empty()) {
        return;
    }
    std::string comment = Format(
        "Made by penwick tune on %s from these labelled traces:\n%s"
        "Allowed to lose at most %.1f%% of the good samples and %lld strokes, these settings\n"
        "keep %lld of %lld faults from the host (%.1f%%), lose %lld of %lld good samples\n"
        "(%.1f%%) and %lld of %lld taps (%lld of them a single pen-down sample, which no\n"
        "settings deliver).\n"
        "%s"
        "The other values are those of %s. OrigDriverName must name the\n"
        "device's own touch driver, the DriverName it had before Penwick. Check the\n"
        "file with penwick check before importing it on the device, then reboot.\n"
        "See README.md.\n"
        "\n"
        "Units: coordinates are calibrated units, 4 to a screen pixel. LowSpeed,\n"
        "MinDirSpeed and HighSpeed are step lengths per sample (squared by the\n"
        "driver), MaxSpeedDiff and MaxSpeedDiff2 changes of step length, MaxDirDiff\n"
        "degrees, ErrorDelay and MaxErrorDelay samples.",
        Today().c_str(), sources.c_str(), a.maxLoss, maxLostStrokes, best.faultsKept, best.faults,
        best.KeptPercent(), best.goodLost, best.good, best.LossPercent(), best.tapsLost, best.taps,
        best.strokesLostAlways, heldOutFigures.c_str(), baseName.c_str());
    WriteOutputFiles({{a.out, FormatRegFile(WithSettings(base, best.settings), comment)}});
}

}  // namespace

void AddTuneCommand(CLI::App& app) {
    auto a = std::make_shared<TuneArguments>();
    CLI::App* command = app.add_subcommand(
        "tune", "find the settings that keep the most labelled faults from the host within a loss "
                "of good samples");
    command->option_defaults()->always_capture_default();
    command->add_option("TRACE", a->traces, "labelled traces (see penwick label)")->required();
    command->add_option("--settings", a->settingsFile,
                        "the .reg file whose other values (OrigDriverName...) the result keeps "
                        "(default: the recommended settings)")
        ->check(kNotEmpty);
    command->add_option("--max-loss", a->maxLoss, "the most good samples to lose, in percent")
        ->check(kFinite & CLI::Range(0.0, 100.0));
    command->add_option("--max-lost-strokes", a->maxLostStrokes,
                        "the most strokes to lose entirely, in all the traces (default: those no "
                        "settings deliver, and one in 200 of the others)")
        ->check(CLI::NonNegativeNumber);
    command->add_flag("--allow-fewer-faults-kept", a->allowFewerFaultsKept,
                      "write the tuned settings even when they keep fewer faults from the host "
                      "than the base settings");
    command->add_option("--out", a->out, "the tuned .reg file, ready to install")->check(kNotEmpty);
    command->add_option("--held-out", a->heldOut,
                        "labelled traces not to tune on, to compare the choice with the base on");
    command->callback([a] { RunTune(*a); });
}
