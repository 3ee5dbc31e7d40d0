// penwick replay: a trace through the driver's own code, as a table, a
// summary and a picture. The trace is read and the table written as they
// come, so a capture of any length replays in constant memory; the picture
// keeps only the samples it draws.
#include <algorithm>
#include <fstream>
#include <iostream>
#include <memory>

#include "commands/commands.h"
#include "engine/replay.h"
#include "engine/replay_summary.h"
#include "files/input.h"
#include "files/output_file.h"
#include "files/recommended_settings.h"
#include "files/reg_file.h"
#include "proxy/configuration.h"
#include "report/format.h"
#include "report/picture.h"
#include "report/summary.h"
#include "report/table.h"

namespace {

// The table is handed to its file in blocks of about this size.
const size_t kTableBlock = 1 << 16;

// A picture of more samples than this is hard to read; without --from and
// --to, a trace longer than this is drawn as an overview with close-ups.
const size_t kLegibleSamples = 20000;

std::string SettingNames() {
    std::string names;
    for (const ConfigurationSetting& setting : kConfigurationSettings) {
        names += (names.empty() ? "" : ", ") + PrintableName(setting.name);
    }
    return names;
}

// "NAME=VALUE" from --set, into the settings as a DWORD value.
void ApplySetting(RegFile& settings, const std::string& assignment) {
    size_t equals = assignment.find('=');
    std::string name = assignment.substr(0, equals);
    bool known = false;
    for (const ConfigurationSetting& setting : kConfigurationSettings) {
        known = known || PrintableName(setting.name) == name;
    }
    if (!known) {
        throw UsageError("--set", "'" + name + "' is not a setting (" + SettingNames() + ")");
    }
    long long value;
    if (equals == std::string::npos ||
        !ParseInteger(assignment.substr(equals + 1), INT32_MIN, UINT32_MAX, &value)) {
        throw UsageError("--set", "'" + assignment + "' wants NAME=VALUE with a 32-bit decimal "
                         "or 0x hex value");
    }
    RegKeySet(settings.penwick, RegDword(std::u16string(name.begin(), name.end()),
                                         static_cast<uint32_t>(value)));
}

RegFile ReadSettings(const std::string& path) {
    return path.empty() ? ParseRegFile(kRecommendedSettings, "recommended settings")
                        : ParseRegFile(ReadInputFile(path), path);
}

void ParseScreen(const std::string& text, const char* option, int32_t* width, int32_t* height) {
    if (!ParseScreenSize(text, width, height)) {
        throw UsageError(option, "'" + text + "' wants WIDTHxHEIGHT in pixels, 1 to 65535");
    }
}

struct ReplayArguments {
    std::string trace;
    std::string settingsFile;
    std::vector<std::string> sets;
    std::string enableScreen = "240x320";
    std::string screen;
    std::string out;
    std::string svg;
    std::string summaryJson;
    std::string compare;
    int from = 0;
    int to = 0;
};

// One set of settings replaying the trace: its driver, its figures, and
// what it keeps for the picture.
struct ReplayRun {
    ReplayRun(const RegFile& settings, const ReplayScreens& screens, std::string caption)
        : replayer(settings, screens) {
        panel.caption = std::move(caption);
        panel.start = replayer.start();
    }
    Replayer replayer;
    ReplaySummary summary;
    PicturePanel panel;
    PictureOverview overview;
    bool tooLong = false;  // panel.records given up for the overview
};

void RunReplay(const ReplayArguments& a) {
    bool picture = !a.svg.empty();
    bool whole = a.from == 0 && a.to == 0;  // the picture may be an overview
    if ((a.from != 0 || a.to != 0 || !a.compare.empty()) && !picture) {
        throw UsageError(a.compare.empty() ? "--from/--to" : "--compare",
                         "only choose what the picture draws: give --svg too");
    }
    if (a.to != 0 && a.to < a.from) {
        throw UsageError("--to", Format("line %d is before --from line %d", a.to, a.from));
    }
    std::string table = a.out;
    if (a.out.empty() && a.svg.empty() && a.summaryJson.empty()) {
        table = "-";
    }
    std::vector<NamedPath> inputs = {{"the trace", a.trace}};
    if (!a.settingsFile.empty()) {
        inputs.push_back({"--settings", a.settingsFile});
    }
    if (!a.compare.empty()) {
        inputs.push_back({"--compare", a.compare});
    }
    std::vector<NamedPath> outputs;
    for (const NamedPath& output : {NamedPath{"--out", table}, NamedPath{"--svg", a.svg},
                                    NamedPath{"--summary-json", a.summaryJson}}) {
        if (!output.path.empty()) {
            outputs.push_back(output);
        }
    }
    CheckOutputPaths(inputs, outputs);

    RegFile settings = ReadSettings(a.settingsFile);
    for (const std::string& set : a.sets) {
        ApplySetting(settings, set);
    }
    RegFile other;
    if (!a.compare.empty()) {
        other = ReadSettings(a.compare);
    }
    ReplayScreens screens;
    ParseScreen(a.enableScreen, "--enable-screen", &screens.enableWidth, &screens.enableHeight);
    ParseScreen(a.screen.empty() ? a.enableScreen : a.screen, "--screen", &screens.width,
                &screens.height);

    RequireNotFolder(a.trace);
    std::ifstream file;
    if (a.trace != "-") {
        file.open(a.trace, std::ios::binary);
        if (!file) {
            throw InputError(a.trace, 0, "cannot open");
        }
    }
    TraceReader reader(a.trace == "-" ? std::cin : file, a.trace);

    std::unique_ptr<OutputFile> tableFile;
    ReplayTable tableRows;
    std::string rows;
    if (!table.empty()) {
        tableFile = std::make_unique<OutputFile>(table);
    }
    bool tableStarted = false;
    std::vector<std::unique_ptr<ReplayRun>> runs;
    std::string settingsName = a.settingsFile.empty() ? "recommended settings" : a.settingsFile;
    runs.push_back(std::make_unique<ReplayRun>(settings, screens, settingsName));
    if (!a.compare.empty()) {
        runs.push_back(std::make_unique<ReplayRun>(other, screens, a.compare));
    }

    std::pair<int32_t, int32_t> screen = {screens.width, screens.height};  // the samples' screen now
    for (TraceEvent event; reader.Next(event);) {
        WarnOfCutLine(a.trace, event);
        if (event.kind == TraceEvent::Sample && tableFile && !tableStarted) {
            // A tick column when the trace has ticks: its header names them,
            // or its first sample has one.
            bool ticks = reader.HeaderNamesTick() || event.sample.hasTick;
            tableRows = ReplayTable(ticks);
            rows = ReplayTableHeader(ticks);
            tableStarted = true;
        }
        bool drawn = picture && event.line >= a.from && (a.to == 0 || event.line <= a.to);
        if (event.kind == TraceEvent::EnableScreen || event.kind == TraceEvent::Screen) {
            screen = {event.width, event.height};
        }
        for (size_t i = 0; i < runs.size(); i++) {
            ReplayRun& run = *runs[i];
            if (event.kind != TraceEvent::Sample) {
                run.replayer.Apply(event);
                run.summary.Add(event);
                if (i == 0 && tableFile && event.kind == TraceEvent::Boot) {
                    tableRows.Interrupt(rows);
                }
                if (drawn) {
                    run.panel.summary.Add(event);
                    if (whole) {
                        run.overview.Add(event);
                    }
                }
                continue;
            }
            ReplayRecord record = run.replayer.Feed(event.sample);
            run.summary.Add(record);
            if (i == 0 && tableFile) {
                tableRows.Add(record, rows);
                if (rows.size() >= kTableBlock) {
                    tableFile->Write(rows);
                    rows.clear();
                }
            }
            if (drawn) {
                if (whole) {
                    run.overview.Add(record, screen);
                }
                if (!run.tooLong) {
                    run.panel.records.push_back(record);
                }
                if (whole && run.panel.records.size() > kLegibleSamples) {
                    run.tooLong = true;
                    run.panel.records = {};
                }
                run.panel.summary.Add(record);
                std::vector<std::pair<int32_t, int32_t>>& drawnOn = run.panel.screens;
                if (std::find(drawnOn.begin(), drawnOn.end(), screen) == drawnOn.end()) {
                    drawnOn.push_back(screen);
                }
            }
        }
    }
    for (auto& run : runs) {
        run->summary.Finish();
        run->panel.summary.Finish();
        run->overview.Finish();
    }
    if (runs[0]->summary.samples == 0) {
        throw InputError(a.trace, 0, "no samples: a trace has lines of flags,x,y[,truth][,tick]");
    }

    std::vector<std::unique_ptr<OutputFile>> files;
    if (tableFile) {
        tableRows.Interrupt(rows);
        tableFile->Write(rows);
        files.push_back(std::move(tableFile));
    }
    if (picture) {
        std::vector<PicturePanel> panels;
        std::vector<const PictureOverview*> overviews;
        for (auto& run : runs) {
            panels.push_back(std::move(run->panel));
            overviews.push_back(&run->overview);
        }
        std::string title = "penwick replay " + a.trace;
        files.push_back(std::make_unique<OutputFile>(a.svg));
        if (runs[0]->tooLong) {
            std::cerr << Format("note: %lld samples are too many to draw one by one: the picture is an "
                                "overview with close-ups; --from and --to draw every sample of a part\n",
                                runs[0]->overview.totals[PictureOverview::Samples]);
            files.back()->Write(FormatOverviewSvg(title, panels, overviews));
        } else {
            if (panels[0].records.size() > kLegibleSamples) {
                std::cerr << Format("note: the picture draws %zu samples; a shorter part, --from and "
                                    "--to, is easier to read\n", panels[0].records.size());
            }
            files.back()->Write(FormatReplaySvg(title, panels, screens.enableWidth, screens.enableHeight));
        }
    }
    if (!a.summaryJson.empty()) {
        files.push_back(std::make_unique<OutputFile>(a.summaryJson));
        files.back()->Write(FormatSummaryJson(runs[0]->summary, runs[0]->replayer.start()));
    }
    for (auto& output : files) {
        output->Commit();
    }
    for (size_t i = 0; i < runs.size(); i++) {
        const auto& run = runs[i];
        if (runs.size() > 1) {
            std::cerr << "== " << (i == 0 ? settingsName : a.compare) << "\n";
        }
        std::cerr << FormatSettings(run->replayer.start())
                  << FormatReplaySummary(run->summary, run->replayer.start());
    }
}

const char kReplayFooter[] = R"(
A trace is CSV: '#' comments, an optional header line, then one sample a line:
flags (0x hex or decimal), x, y, optionally ok or fault (a labelled trace) and
optionally a tick (the system's millisecond tick). A header names the columns
in its order (flags, x, y, truth, tick). Flags: 0x01 valid, 0x02 down, 0x04
calibrated, 0x08 previous down, 0x10 ignore; only calibrated, valid,
not-ignored samples are judged. Captures from a device also hold '# penwick'
lines (boot, enable-screen, screen, dropped) that the replay follows. A line
cut short by a power loss (a capture's last, or one before the next boot) is
skipped with a warning.

The table (--out, or standard output when no output is named) has a row per
sample: line, tick (when the trace has ticks), flags_in, x_in, y_in, truth,
rule, squared_step, speed_change, direction_change, error_delay, verdict,
flags_out, x_out, y_out, stroke.
  rule: pass (not judged: filtering off or uncalibrated), unusable (invalid or
    ignore), start (a stroke's first sample: nothing to measure against),
    a short step: accept            b no previous step: reject
    c steady step length: accept    d step length jumps: error
    e too short to have a direction, after a longer step: error
    f no previous direction: reject g steady direction: accept
    h direction jumps: error
    with * when the rule accepted but the error delay withheld the sample.
    An error adds ErrorDelay to the error delay (at most MaxErrorDelay).
  squared_step, speed_change, direction_change: what the rules compared, as
    the filter computed them; empty where the rule did not get that far.
  verdict: passed-through, dropped-unusable, dropped-rejected,
    dropped-extra-up (a pen-up with no stroke to close), moved-up (a rejected
    pen-up, delivered at the last delivered place), delivered.
  flags_out, x_out, y_out: what the host received; empty when nothing.
  stroke: lost on every sample of a stroke that never reached the host,
    lost-always when no settings could have delivered it (a single pen-down
    sample: a stroke's first sample is always rejected).

A stroke is a pen-down sample after one that was not down, the pen-down
samples after it and the pen-up that ends it; a tap is a stroke of at most 6
pen-down samples. The summary counts both, how many reached the host and how
many were lost entirely.
)";

}  // namespace

void AddReplayCommand(CLI::App& app) {
    auto a = std::make_shared<ReplayArguments>();
    CLI::App* command = app.add_subcommand("replay", "replay a pen trace through the driver");
    command->add_option("TRACE", a->trace, "trace CSV (flags,x,y[,truth][,tick]); - for standard input")
        ->required();
    command->add_option("--settings", a->settingsFile,
                        "settings as a .reg file (default: the recommended settings)")
        ->check(kNotEmpty);
    command->add_option("--set", a->sets, "override one setting, NAME=VALUE; NAME is one of " +
                                              SettingNames());
    command->add_option("--enable-screen", a->enableScreen,
                        "screen size when the host enabled the driver, WxH in pixels (default 240x320)");
    command->add_option("--screen", a->screen,
                        "screen size while the samples arrive, WxH (default: the enable-time size)");
    command->add_option("--out", a->out, "the per-sample table (CSV); - for standard output")
        ->check(kNotEmpty);
    command->add_option("--svg", a->svg, "a picture of the trace (SVG)")
        ->check(kNotEmpty);
    command->add_option("--from", a->from, "draw from this line of the trace on")
        ->check(CLI::Range(1, INT32_MAX));
    command->add_option("--to", a->to, "draw up to this line of the trace")
        ->check(CLI::Range(1, INT32_MAX));
    command->add_option("--compare", a->compare,
                        "draw the trace with these settings (.reg) too, side by side")
        ->check(kNotEmpty);
    command->add_option("--summary-json", a->summaryJson, "the summary as JSON")
        ->check(kNotEmpty);
    command->footer(kReplayFooter);
    command->callback([a] { RunReplay(*a); });
}
