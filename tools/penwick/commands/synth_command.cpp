// penwick synth: a labelled synthetic trace.
#include <cmath>
#include <iostream>
#include <memory>
#include <sstream>

#include "commands/commands.h"
#include "engine/synth.h"
#include "files/output_file.h"

namespace {

void RunSynth(const SynthOptions& options, const std::string& out) {
    CheckWritable({"--out", out.empty() ? "-" : out});
    std::vector<TraceSample> trace = Synthesize(options);
    std::ostringstream comment;
    comment << "penwick synth --shape " << options.shape << " --samples " << options.samples
            << " --jitter " << options.jitter << " --spikes " << options.spikes << " --taps " << options.taps << " --seed "
            << options.seed << "\ncalibrated units, 4 to a pixel, 240 x 320 screen";
    WriteOutputFiles({{out.empty() ? "-" : out, FormatTrace(trace, comment.str())}});
}

struct SynthArguments {
    SynthOptions options;
    std::string out;
};

}  // namespace

void AddSynthCommand(CLI::App& app) {
    auto a = std::make_shared<SynthArguments>();
    CLI::App* command = app.add_subcommand("synth", "write a labelled synthetic pen trace");
    command->option_defaults()->always_capture_default();
    command->add_option("--shape", a->options.shape, "line, circle, zigzag or scribble")
        ->check(CLI::IsMember({"line", "circle", "zigzag", "scribble"}));
    command->add_option("--samples", a->options.samples, "samples in all (3 to 10000000)")
        ->check(CLI::Range(3, 10000000));
    command->add_option("--jitter", a->options.jitter,
                        "jitter, standard deviation in calibrated units")
        ->check(kFinite & CLI::Range(0.0, 1000.0));
    command->add_option("--spikes", a->options.spikes, "faults per sample, 0 to 1")
        ->check(kFinite & CLI::Range(0.0, 1.0));
    a->options.taps = kSynthTapShare;
    command->add_option("--taps", a->options.taps,
                        "the share of strokes that are taps (1 to 5 pen-down samples, jitter, no "
                        "faults), 0 to 1")
        ->check(kFinite & CLI::Range(0.0, 1.0));
    command->add_option("--seed", a->options.seed, "random seed");
    command->add_option("--out", a->out, "output file (default: standard output)")->check(kNotEmpty);
    command->callback([a] { RunSynth(a->options, a->out); });
}
