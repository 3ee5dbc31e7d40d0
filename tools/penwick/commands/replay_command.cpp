// penwick replay: a trace through the driver's own code, as a table, a
// summary and a picture.
#include <iostream>
#include <memory>

#include "commands/commands.h"
#include "engine/replay.h"
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

// "NAME=VALUE" from --set, into the settings as a DWORD value.
void ApplySetting(RegFile& settings, const std::string& assignment) {
    size_t equals = assignment.find('=');
    std::string name = assignment.substr(0, equals);
    std::string names;
    bool known = false;
    for (const ConfigurationSetting& setting : kConfigurationSettings) {
        std::string settingName = PrintableName(setting.name);
        names += (names.empty() ? "" : ", ") + settingName;
        known = known || settingName == name;
    }
    if (!known) {
        throw InputError("--set", 0, "'" + name + "' is not a setting (" + names + ")");
    }
    long long value;
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

void RunReplay(const ReplayArguments& a) {
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
}

}  // namespace

void AddReplayCommand(CLI::App& app) {
    auto a = std::make_shared<ReplayArguments>();
    CLI::App* command = app.add_subcommand("replay", "replay a pen trace through the driver");
    command->add_option("TRACE", a->trace, "trace CSV (flags,x,y[,truth]); - for standard input")
        ->required();
    command->add_option("--settings", a->settingsFile,
                        "settings as a .reg file (default: the recommended settings)");
    command->add_option("--set", a->sets, "override one setting: NAME=VALUE");
    command->add_option("--enable-screen", a->enableScreen,
                        "screen size when the host enabled the driver, WxH (default 240x320)");
    command->add_option("--screen", a->screen,
                        "screen size while the samples arrive, WxH (default: the enable-time size)");
    command->add_option("--out", a->out, "per-sample CSV output file");
    command->add_option("--svg", a->svg, "SVG picture of the trace");
    command->callback([a] { RunReplay(*a); });
}
