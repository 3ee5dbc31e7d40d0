// The worked stroke (samples/worked-stroke.csv and .reg): its eight settings,
// in the order of the settings table, for every suite that runs it. Plain
// enough for the ARM Linux programs of the device's tests too.
#ifndef PENWICK_TESTS_WORKED_STROKE_H
#define PENWICK_TESTS_WORKED_STROKE_H

#include <stdint.h>
#include <stdio.h>

#include <string>

struct WorkedStrokeSetting {
    const char* name;
    int32_t value;
};

const WorkedStrokeSetting kWorkedStroke[8] = {
    {"LowSpeed", 3},     {"MinDirSpeed", 5}, {"HighSpeed", 20},  {"MaxSpeedDiff", 4},
    {"MaxSpeedDiff2", 10}, {"MaxDirDiff", 60}, {"ErrorDelay", 2}, {"MaxErrorDelay", 3},
};

// The eight as a .reg file's lines for Penwick's key, "name"=dword:hex, each
// ended by `newline`.
inline std::string WorkedStrokeRegLines(const char* newline = "\n") {
    std::string lines;
    for (const WorkedStrokeSetting& setting : kWorkedStroke) {
        char line[64];
        snprintf(line, sizeof line, "\"%s\"=dword:%x", setting.name,
                 static_cast<unsigned>(setting.value));
        lines += line;
        lines += newline;
    }
    return lines;
}

#endif
