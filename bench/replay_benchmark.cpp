// How fast penwick replay turns a trace into its per-sample table: the
// trace's text parsed, every sample replayed through the driver's code with
// the recommended settings and summed up, and its row written, as the
// command does with files, here in memory. The target is two million
// samples a second or more.
#include <benchmark/benchmark.h>

#include <sstream>

#include "engine/replay.h"
#include "engine/replay_summary.h"
#include "engine/synth.h"
#include "files/recommended_settings.h"
#include "files/reg_file.h"
#include "files/trace.h"
#include "report/table.h"

namespace {

const std::string& TraceText() {
    static const std::string text = [] {
        SynthOptions options;
        options.samples = 500000;
        return FormatTrace(Synthesize(options), "benchmark");
    }();
    return text;
}

void BM_ReplayCsvToCsv(benchmark::State& state) {
    RegFile settings = ParseRegFile(kRecommendedSettings, "recommended settings");
    long long samples = 0;
    for (auto _ : state) {
        std::istringstream in(TraceText());
        TraceReader reader(in, "benchmark.csv");
        Replayer replayer(settings, ReplayScreens());
        ReplaySummary summary;
        std::string rows;
        for (TraceEvent event; reader.Next(event);) {
            ReplayRecord record = replayer.Feed(event.sample);
            summary.Add(record);
            AppendReplayRow(rows, record);
            if (rows.size() >= (1 << 16)) {
                benchmark::DoNotOptimize(rows.data());
                rows.clear();
            }
        }
        samples += summary.samples;
    }
    state.SetItemsProcessed(samples);
}
BENCHMARK(BM_ReplayCsvToCsv)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
