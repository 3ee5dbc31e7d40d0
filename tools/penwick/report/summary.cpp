#include "report/summary.h"

#include "proxy/configuration.h"
#include "report/findings.h"
#include "report/format.h"

namespace {

std::string Percent(long long part, long long whole) {
    return whole == 0 ? "-" : Format("%.1f%%", 100.0 * part / whole);
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

}  // namespace

std::string FormatFilterSettings(const FilterSettings& settings) {
    std::string out;
    for (const ConfigurationSetting& setting : kConfigurationSettings) {
        out += Format("%s%s %d", out.empty() ? "" : ", ", PrintableName(setting.name).c_str(),
                      settings.*setting.field);
    }
    return out;
}

std::string FormatSettings(const ReplayStart& start) {
    std::string out;
    std::string errors;
    for (const ConfigurationFinding& finding : start.findings) {
        if (finding.error) {
            errors += (errors.empty() ? "" : "; ") + FormatFinding(finding);
        }
    }
    if (!start.filteringEnabled) {
        out = "filtering off, every sample passes through: " + errors;
    } else {
        out = FormatFilterSettings(start.settings);
        if (!errors.empty()) {
            out += "; but " + errors;
        }
    }
    out += "; original driver " + PrintableName(start.driverName) + "\n";
    for (const ConfigurationFinding& finding : start.findings) {
        if (!finding.error) {
            out += "warning: " + FormatFinding(finding) + "\n";
        }
    }
    return out;
}

std::string FormatStrokes(const ReplaySummary& s) {
    if (s.strokesIn == 0) {
        return "strokes: none, the trace has no pen-down sample\n";
    }
    auto fates = [](long long reached, long long lost, long long always) {
        std::string out = Format("%lld reached the host, %lld lost entirely", reached, lost);
        if (always > 0) {
            out += Format(" (%lld of them with a single pen-down sample, which no settings "
                          "deliver)", always);
        }
        return out;
    };
    std::string out = Format("strokes: %lld in the trace, ", s.strokesIn) +
                      fates(s.strokesReached, s.strokesLost, s.strokesLostAlways);
    if (s.strokesOpen > 0) {
        out += Format(", %lld open (no pen-up before the trace ended or the device booted)",
                      s.strokesOpen);
    }
    out += Format("\ntaps (strokes of at most %d pen-down samples): %lld", kTapDownSamples, s.taps);
    if (s.taps > 0) {
        out += ", " + fates(s.tapsReached, s.tapsLost, s.tapsLostAlways);
    }
    return out + "\n";
}

std::string FormatReplaySummary(const ReplaySummary& s, const ReplayStart& start) {
    std::string out = Format("samples %lld: reached the host at their own place %lld", s.samples,
                             s.atOwnPlace);
    if (s.passedThrough > 0) {
        out += Format(" (%lld of them passed through unjudged)", s.passedThrough);
    }
    out += Format(", moved to the last delivered place %lld, withheld %lld\n", s.moved,
                  s.withheld);
    out += Format("not at their own place (%lld), by cause:", (s.moved + s.withheld));
    for (int c = 0; c < kReplayCauseCount; c++) {
        out += Format("%s %s %lld", c == 0 ? "" : ",", CauseName(static_cast<ReplayCause>(c)),
                      s.byCause[c]);
    }
    out += "\n" + FormatStrokes(s);
    if (s.Labelled()) {
        out += Format("labelled: faults %lld, good samples %lld\n", s.faults, s.good);
        out += Format("faults kept from the host: %lld of %lld (%s; withheld %lld, moved %lld); "
                      "faults delivered %lld\n",
                      s.FaultsKept(), s.faults, Percent(s.FaultsKept(), s.faults).c_str(),
                      s.faultsWithheld, s.faultsMoved,
                      (s.faults - s.FaultsKept()));
        out += Format("good samples lost: %lld of %lld (%s; withheld %lld, moved %lld)\n",
                      s.GoodLost(), s.good, Percent(s.GoodLost(), s.good).c_str(),
                      s.goodWithheld, s.goodMoved);
    }
    if (s.boots > 0 || s.deviceDropped > 0) {
        out += Format("capture: boots %lld; the device dropped %lld samples it could not record\n",
                      s.boots, s.deviceDropped);
    }
    if (s.tickedSamples > 0) {
        out += Format("ticks: %lld samples carry one", s.tickedSamples);
        if (s.Intervals() == 0) {
            out += ", but no two pen-down samples in a row: no sample rate";
        } else {
            out += Format("; with the pen down %s samples a second (median interval %d ms, "
                          "%lld intervals over %.1f s)",
                          s.PenDownMilliseconds() == 0 ? "-" : Format("%.1f", s.SamplesPerSecond()).c_str(),
                          s.MedianInterval(), s.Intervals(), s.PenDownMilliseconds() / 1000.0);
        }
        if (s.intervalsLeftOut > 0) {
            out += Format("; %lld intervals left out: the tick went back or jumped more than %d ms",
                          s.intervalsLeftOut, kLongestSampleInterval);
        }
        out += "\n";
    }
    if (s.cutLines > 0) {
        out += Format("cut short: %lld lines skipped, as a power loss leaves them (at the end, or "
                      "before the next boot)\n", s.cutLines);
    }
    if (start.filteringEnabled && s.uncalibrated > 0) {
        out += Format("note: %lld samples lack the calibrated bit 0x04, so they passed through "
                      "unjudged; a driver's raw samples are never filtered\n",
                      s.uncalibrated);
    }
    return out;
}

std::string FormatSummaryJson(const ReplaySummary& s, const ReplayStart& start) {
    std::string out = "{\n  \"filtering\": ";
    out += start.filteringEnabled ? "true" : "false";
    out += ",\n  \"settings\": {";
    for (int i = 0; i < kConfigurationSettingCount; i++) {
        const ConfigurationSetting& setting = kConfigurationSettings[i];
        out += Format("%s%s: %d", i == 0 ? "" : ", ", JsonString(PrintableName(setting.name)).c_str(),
                      start.settings.*setting.field);
    }
    out += "},\n  \"original_driver\": " + JsonString(PrintableName(start.driverName));
    out += ",\n  \"findings\": [";
    for (size_t i = 0; i < start.findings.size(); i++) {
        out += (i == 0 ? "" : ", ") + JsonString(FormatFinding(start.findings[i]));
    }
    out += Format("],\n  \"samples\": %lld,\n  \"at_own_place\": %lld,\n  \"passed_through\": %lld,\n"
                  "  \"uncalibrated\": %lld,\n  \"moved\": %lld,\n  \"withheld\": %lld,\n  \"by_cause\": {",
                  s.samples, s.atOwnPlace, s.passedThrough,
                  s.uncalibrated, s.moved, s.withheld);
    for (int c = 0; c < kReplayCauseCount; c++) {
        out += Format("%s%s: %lld", c == 0 ? "" : ", ",
                      JsonString(CauseName(static_cast<ReplayCause>(c))).c_str(), s.byCause[c]);
    }
    out += Format("},\n  \"strokes\": %lld,\n  \"strokes_reached\": %lld,\n"
                  "  \"strokes_lost\": %lld,\n  \"strokes_lost_whatever_the_settings\": %lld,\n"
                  "  \"strokes_open\": %lld,\n  \"tap_down_samples_at_most\": %d,\n"
                  "  \"taps\": %lld,\n  \"taps_reached\": %lld,\n  \"taps_lost\": %lld,\n"
                  "  \"taps_lost_whatever_the_settings\": %lld,\n",
                  s.strokesIn, s.strokesReached, s.strokesLost, s.strokesLostAlways, s.strokesOpen,
                  kTapDownSamples, s.taps, s.tapsReached, s.tapsLost, s.tapsLostAlways);
    out += Format("  \"faults\": %lld,\n  \"faults_withheld\": %lld,\n  \"faults_moved\": %lld,\n"
                  "  \"good\": %lld,\n  \"good_withheld\": %lld,\n  \"good_moved\": %lld,\n",
                  s.faults, s.faultsWithheld, s.faultsMoved,
                  s.good, s.goodWithheld, s.goodMoved);
    out += Format("  \"boots\": %lld,\n  \"device_dropped\": %lld,\n  \"cut_lines\": %lld,\n",
                  s.boots, s.deviceDropped, s.cutLines);
    out += Format("  \"ticked_samples\": %lld,\n  \"pen_down_intervals\": %lld,\n"
                  "  \"pen_down_milliseconds\": %lld,\n  \"median_interval_ms\": %d,\n"
                  "  \"samples_per_second\": %.1f,\n  \"intervals_left_out\": %lld\n}\n",
                  s.tickedSamples, s.Intervals(), s.PenDownMilliseconds(), s.MedianInterval(),
                  s.SamplesPerSecond(), s.intervalsLeftOut);
    return out;
}
