// How fast the filter judges samples, over a million in-memory samples of a
// synthetic scribble: the filter alone, the whole interception path, and the
// floor, the same loop doing only the arc tangent and the two square roots
// that a sample can cost. The filter should stay within 1.5 times the floor.
#include <benchmark/benchmark.h>

#include <cmath>

#include "engine/replay.h"
#include "engine/synth.h"
#include "files/recommended_settings.h"
#include "files/reg_file.h"
#include "filter/sample_filter.h"
#include "proxy/configuration.h"
#include "proxy/sample_capture.h"
#include "proxy/sample_interception.h"

namespace {

const std::vector<TraceSample>& Samples() {
    static const std::vector<TraceSample> samples = [] {
        SynthOptions options;
        options.samples = 1000000;
        return Synthesize(options);
    }();
    return samples;
}

// The driver as at boot with the recommended settings, enabled by the host.
void StartRecommendedDriver() {
    StartDriver(ParseRegFile(kRecommendedSettings, "recommended settings"), ReplayScreens());
}

int32_t BenchmarkHost(uint32_t, int32_t x, int32_t) { return x | 1; }

void BM_FilterSample(benchmark::State& state) {
    const std::vector<TraceSample>& samples = Samples();
    StartRecommendedDriver();
    for (auto _ : state) {
        int accepted = 0;
        for (const TraceSample& s : samples) {
            accepted += FilterSample(s.x, s.y, s.flags & 0x02, s.flags & 0x08);
        }
        benchmark::DoNotOptimize(accepted);
    }
    state.SetItemsProcessed(state.iterations() * samples.size());
}
BENCHMARK(BM_FilterSample)->Unit(benchmark::kMillisecond);

// The whole interception path; with capture on, every sample also goes into
// the capture's buffer, which stands for the writer is emptied every
// thousand samples (the writer itself is not timed: it runs on its own
// thread at the lowest priority). The difference of the two, per sample, is
// what capture costs the sample path; it should stay under 20 ns.
void InterceptAll(benchmark::State& state, bool capture) {
    const std::vector<TraceSample>& samples = Samples();
    StartRecommendedDriver();
    g_deliveryState.hostCallback = BenchmarkHost;
    if (capture) {
        const char16_t path[] = u"\\capture.csv";
        std::copy(std::begin(path), std::end(path), g_configuration.captureFile);
        CaptureEnable();
    }
    for (auto _ : state) {
        int32_t results = 0;
        for (size_t i = 0; i < samples.size(); i++) {
            const TraceSample& s = samples[i];
            results += InterceptSample(s.flags, s.x, s.y);
            if (i % 1000 == 999) {
                g_capture.tail = g_capture.head;
            }
        }
        benchmark::DoNotOptimize(results);
    }
    if (capture && g_capture.dropped != 0) {
        state.SkipWithError("the capture's buffer filled up");
    }
    state.SetItemsProcessed(state.iterations() * samples.size());
}

void BM_InterceptSample(benchmark::State& state) { InterceptAll(state, false); }
BENCHMARK(BM_InterceptSample)->Unit(benchmark::kMillisecond);

void BM_InterceptSampleCapturing(benchmark::State& state) { InterceptAll(state, true); }
BENCHMARK(BM_InterceptSampleCapturing)->Unit(benchmark::kMillisecond);

// The floor: per sample, the direction's arc tangent and the speed change's
// two square roots, on the step from the previous sample, and nothing else.
void BM_Floor(benchmark::State& state) {
    const std::vector<TraceSample>& samples = Samples();
    for (auto _ : state) {
        float sum = 0;
        int32_t previousX = 0, previousY = 0, previousD2 = 0;
        for (const TraceSample& s : samples) {
            int32_t dx = s.x - previousX, dy = s.y - previousY;
            int32_t d2 = dx * dx + dy * dy;
            sum += static_cast<float>(std::atan2(static_cast<double>(static_cast<float>(dx)),
                                                 static_cast<double>(static_cast<float>(dy))));
            sum += std::sqrt(static_cast<float>(previousD2)) - std::sqrt(static_cast<float>(d2));
            previousX = s.x;
            previousY = s.y;
            previousD2 = d2;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * samples.size());
}
BENCHMARK(BM_Floor)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
