#include "report/summary.h"

#include "proxy/configuration.h"
#include "report/format.h"

std::string FormatSettings(const ReplayResult& result) {
    std::string name = PrintableName(result.driverName);
    if (!result.filteringEnabled) {
        return "filtering off (a setting is missing or unreadable): every sample passes; "
               "original driver " + name;
    }
    std::string text;
    for (const ConfigurationSetting& setting : kConfigurationSettings) {
        text += Format("%s%s %d", text.empty() ? "" : ", ", PrintableName(setting.name).c_str(),
                       result.settings.*setting.field);
    }
    return text + "; original driver " + name;
}

std::string FormatReplaySummary(const ReplayResult& result) {
    const ReplaySummary& s = result.summary;
    std::string out = Format("samples %d, delivered %d, withheld %d\n", s.samples, s.delivered,
                             s.samples - s.delivered);
    out += "withheld by cause:";
    for (int c = 1; c < kCauseCount; c++) {
        out += Format("%s %s %d", c == 1 ? "" : ",", CauseName(static_cast<Cause>(c)), s.withheld[c]);
    }
    out += Format("\nstrokes in %d, strokes delivered %d\n", s.strokesIn, s.strokesDelivered);
    if (s.labelled) {
        out += Format("faults withheld %d of %d, good samples lost %d of %d\n", s.faultsWithheld,
                      s.faults, s.goodLost, s.good);
    }
    return out;
}
