// The penwick commands. Each adds its subcommand to the command line and runs
// it when it was chosen; problems with what the user gave are thrown as
// InputError and reported by main in one line.
#ifndef PENWICK_TOOLS_COMMANDS_COMMANDS_H
#define PENWICK_TOOLS_COMMANDS_COMMANDS_H

#include <CLI/CLI.hpp>

#include <cmath>
#include <iostream>
#include <string>
#include <vector>

#include "files/trace.h"

void AddReplayCommand(CLI::App& app);
void AddSynthCommand(CLI::App& app);
void AddLabelCommand(CLI::App& app);
void AddTuneCommand(CLI::App& app);
void AddCheckCommand(CLI::App& app);
void AddVerifyCommand(CLI::App& app);

// A number that is a number: not NaN, not infinite.
inline const CLI::Validator kFinite(
    [](std::string& text) {
        double value = 0;
        return CLI::detail::lexical_cast(text, value) && std::isfinite(value)
                   ? std::string()
                   : "'" + text + "' is not a finite number";
    },
    "FINITE");

// A path that names something: an empty one is a slip.
inline const CLI::Validator kNotEmpty(
    [](std::string& text) { return text.empty() ? std::string("an empty path") : std::string(); },
    "PATH");

// A warning on standard error when the event is a line of the trace cut
// short; for each such line among `events`.
inline void WarnOfCutLine(const std::string& path, const TraceEvent& event) {
    if (event.kind == TraceEvent::Torn) {
        std::cerr << "penwick: " << CutLineWarning(path, event) << "\n";
    }
}

inline void WarnOfCutLines(const std::string& path, const std::vector<TraceEvent>& events) {
    for (const TraceEvent& event : events) {
        WarnOfCutLine(path, event);
    }
}

// A command that has said what is wrong and only needs to end with this
// exit status.
struct CommandStatus {
    int exitCode;
};

#endif
