// penwick label: an estimate of which samples of a trace are faults, by a
// rule that knows nothing of the filter, so that tune can learn from a
// device's own captures.
#include <iostream>
#include <memory>

#include "commands/commands.h"
#include "engine/label.h"
#include "files/input.h"
#include "files/output_file.h"
#include "files/trace.h"
#include "report/format.h"

namespace {

struct LabelArguments {
    std::string trace;
    std::string out;
    LabelRule rule;
};

void RunLabel(const LabelArguments& a) {
    CheckOutputPaths({{"the trace", a.trace}}, {{"--out", a.out.empty() ? "-" : a.out}});
    std::vector<TraceEvent> events = ParseTraceEvents(ReadInputFile(a.trace), a.trace);
    LabelTrace(events, a.rule);
    long long samples = 0, faults = 0, cut = 0;
    for (const TraceEvent& event : events) {
        samples += event.kind == TraceEvent::Sample;
        faults += event.kind == TraceEvent::Sample && event.sample.truth == Truth::Fault;
        cut += event.kind == TraceEvent::Torn;
    }
    if (samples == 0) {
        throw InputError(a.trace, 0, "no samples: a trace has lines of flags,x,y[,truth][,tick]");
    }
    std::string comment = Format(
        "%s, labelled by penwick label --neighbours %d --distance %g --step-factor %g\n"
        "the labels are an estimate: correct the last column where the picture shows otherwise",
        a.trace.c_str(), a.rule.neighbours, a.rule.minDistance, a.rule.stepFactor);
    WriteOutputFiles({{a.out.empty() ? "-" : a.out, FormatTraceEvents(events, comment)}});
    WarnOfCutLines(a.trace, events);
    std::cerr << Format("%s: %lld samples, %lld marked fault (%.1f%%)", a.trace.c_str(), samples, faults,
                        100.0 * faults / samples)
              << (cut > 0 ? Format("; %lld lines cut short, skipped\n", cut) : "\n");
}

}  // namespace

void AddLabelCommand(CLI::App& app) {
    auto a = std::make_shared<LabelArguments>();
    CLI::App* command = app.add_subcommand(
        "label", "mark each sample of a trace ok or fault, an estimate for tune to learn from");
    command->option_defaults()->always_capture_default();
    command->add_option("TRACE", a->trace, "trace CSV; - for standard input")->required();
    command->add_option("--out", a->out, "the labelled trace (default: standard output)")
        ->check(kNotEmpty);
    command->add_option("--neighbours", a->rule.neighbours,
                        "neighbours in the stroke compared on either side")
        ->check(CLI::Range(1, 50));
    command->add_option("--distance", a->rule.minDistance,
                        "a fault lies farther than this from its neighbours' median, in calibrated units")
        ->check(kFinite & CLI::Range(0.0, 100000.0));
    command->add_option("--step-factor", a->rule.stepFactor,
                        "...and farther than this many of their typical steps")
        ->check(kFinite & CLI::Range(0.0, 1000.0));
    command->footer(R"(
The rule, which knows nothing of the filter: a stroke is a pen-down sample
after one that was not down, the down samples after it and the pen-up that
ends it. In a stroke of more than 6 pen-down samples (longer than a tap), a
sample is a fault when it
lies farther from the median of its neighbours in the stroke (x and y each)
than --distance and than --step-factor times their typical step (the median
of the steps between them). Taps, and samples that are not
calibrated, valid and not ignored, are ok.)");
    command->callback([a] { RunLabel(*a); });
}
