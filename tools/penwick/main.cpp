// penwick: replays pen traces through the driver's own code and shows what
// the filter does, so settings can be tuned before a device is rebooted.
#include <CLI/CLI.hpp>

#include <iostream>

#include "input.h"
#include "output_file.h"
#include "recommended_settings.h"
#include "reg_file.h"
#include "replay.h"
#include "report.h"
#include "synth.h"

namespace {

const char* const kSettingNames[] = {"LowSpeed",      "MinDirSpeed", "HighSpeed",
                                     "MaxSpeedDiff",  "MaxSpeedDiff2", "MaxDirDiff",
                                     "ErrorDelay",    "MaxErrorDelay"};

// "NAME=VALUE" from --set, into the settings as a DWORD value.
void ApplySetting(RegFile& settings, const std::string& assignment) {
    size_t equals = assignment.find('=');
    std::string name = assignment.substr(0, equals);
    long long value;
    if (std::find(std::begin(kSettingNames), std::end(kSettingNames), name) ==
        std::end(kSettingNames)) {
        throw InputError("--set", 0, "'" + name + "' is not a setting (LowSpeed, MinDirSpeed, "
                         "HighSpeed, MaxSpeedDiff, MaxSpeedDiff2, MaxDirDiff, ErrorDelay, MaxErrorDelay)");
    }
    if (equals == std::string::npos ||
        !ParseInteger(assignment.substr(equals + 1), INT32_MIN, UINT32_MAX, &value)) {
        throw InputError("--set", 0, "'" + assignment + "' wants NAME=VALUE with a 32-bit decimal "
                         "or 0x hex value");
    }
    RegFileSet(settings, RegDword(std::u16string(name.begin(), name.end()),
                                  static_cast<uint32_t>(value)));
    settings.hasPenwickKey = true;
}

// "WxH" from --screen and --enable-screen.
void ParseScreen(const std::string& text, const char* option, int32_t* width, int32_t* height) {
    size_t x = text.find('x');
    long long w, h;
    if (x == std::string::npos || !ParseInteger(text.substr(0, x), 1, 65535, &w) ||
        !ParseInteger(text.substr(x + 1), 1, 65535, &h)) {
        throw InputError(option, 0, "'" + text + "' wants WIDTHxHEIGHT in pixels, 1 to 65535");
    }
    *width = static_cast<int32_t>(w);
    *height = static_cast<int32_t>(h);
}

struct ReplayArguments {
    std::string trace;
    std::string settingsFile;
    std::vector<std::string> sets;
    std::string enableScreen = "240x320";
    std::string screen;
    std::string out;
    std::string svg;
};

int RunReplay(const ReplayArguments& a) {
    std::vector<TraceSample> samples = ParseTrace(ReadInputFile(a.trace), a.trace);
    RegFile settings = a.settingsFile.empty()
                           ? ParseRegFile(kRecommendedSettings, "recommended settings")
                           : ParseRegFile(ReadInputFile(a.settingsFile), a.settingsFile);
    for (const std::string& set : a.sets) {
        ApplySetting(settings, set);
    }
    ReplayScreens screens;
    ParseScreen(a.enableScreen, "--enable-screen", &screens.enableWidth, &screens.enableHeight);
    ParseScreen(a.screen.empty() ? a.enableScreen : a.screen, "--screen", &screens.width,
                &screens.height);

    ReplayResult result = Replay(settings, screens, samples);

    std::vector<std::pair<std::string, std::string>> files;
    if (!a.out.empty()) {
        files.push_back({a.out, FormatReplayCsv(result)});
    }
    if (!a.svg.empty()) {
        files.push_back({a.svg, FormatReplaySvg(result, "penwick replay " + a.trace)});
    }
    WriteOutputFiles(files);
    if (a.out.empty() && a.svg.empty()) {
        std::cout << FormatReplayCsv(result);
    }
    std::cerr << FormatSettings(result) << "\n" << FormatReplaySummary(result);
    return 0;
}

int RunSynth(const SynthOptions& options, const std::string& out) {
    std::vector<TraceSample> trace = Synthesize(options);
    std::ostringstream comment;
    comment << "penwick synth --shape " << options.shape << " --samples " << options.samples
            << " --jitter " << options.jitter << " --spikes " << options.spikes << " --seed "
            << options.seed << "\ncalibrated units, 4 to a pixel, 240 x 320 screen";
    std::string text = FormatTrace(trace, comment.str());
    if (out.empty() || out == "-") {
        std::cout << text;
    } else {
        WriteOutputFiles({{out, text}});
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"penwick: see what Penwick's filter does to pen input, before any reboot"};
    app.require_subcommand(1);

    ReplayArguments replay;
    CLI::App* replayCommand = app.add_subcommand("replay", "replay a pen trace through the driver");
    replayCommand->add_option("TRACE", replay.trace, "trace CSV (flags,x,y[,truth]); - for standard input")
        ->required();
    replayCommand->add_option("--settings", replay.settingsFile,
                              "settings as a .reg file (default: the recommended settings)");
    replayCommand->add_option("--set", replay.sets, "override one setting: NAME=VALUE");
    replayCommand->add_option("--enable-screen", replay.enableScreen,
                              "screen size when the host enabled the driver, WxH (default 240x320)");
    replayCommand->add_option("--screen", replay.screen,
                              "screen size while the samples arrive, WxH (default: the enable-time size)");
    replayCommand->add_option("--out", replay.out, "per-sample CSV output file");
    replayCommand->add_option("--svg", replay.svg, "SVG picture of the trace");

    SynthOptions synth;
    std::string synthOut;
    CLI::App* synthCommand = app.add_subcommand("synth", "write a labelled synthetic pen trace");
    synthCommand->add_option("--shape", synth.shape, "line, circle, zigzag or scribble")
        ->check(CLI::IsMember({"line", "circle", "zigzag", "scribble"}));
    synthCommand->add_option("--samples", synth.samples, "samples in all (3 to 10000000)")
        ->check(CLI::Range(3, 10000000));
    synthCommand->add_option("--jitter", synth.jitter, "jitter, standard deviation in calibrated units")
        ->check(CLI::Range(0.0, 1000.0));
    synthCommand->add_option("--spikes", synth.spikes, "faults per sample, 0 to 1")
        ->check(CLI::Range(0.0, 1.0));
    synthCommand->add_option("--seed", synth.seed, "random seed");
    synthCommand->add_option("--out", synthOut, "output file (default: standard output)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "penwick: " << e.what() << " (see penwick --help)\n";
        return 2;
    }
    try {
        if (replayCommand->parsed()) {
            return RunReplay(replay);
        }
        return RunSynth(synth, synthOut);
    } catch (const InputError& e) {
        std::cerr << "penwick: " << e.what() << "\n";
        return 1;
    }
}
