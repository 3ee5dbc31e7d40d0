#include "files/trace.h"

#include <stdio.h>

#include <sstream>

#include "files/input.h"

namespace {

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ',')) {
        fields.push_back(Trim(field));
    }
    if (!line.empty() && line.back() == ',') {
        fields.push_back("");
    }
    return fields;
}

}  // namespace

std::vector<TraceSample> ParseTrace(const std::string& text, const std::string& fileName) {
    std::vector<TraceSample> samples;
    std::istringstream in(text);
    std::string raw;
    int lineNumber = 0;
    bool seenContent = false;
    while (std::getline(in, raw)) {
        lineNumber++;
        std::string line = Trim(raw.substr(0, raw.find('#')));
        if (line.empty()) {
            continue;
        }
        bool firstContent = !seenContent;
        seenContent = true;
        char first = line[0];
        bool numeric = (first >= '0' && first <= '9') || first == '-' || first == '+';
        if (firstContent && !numeric) {
            continue;  // the header
        }
        std::vector<std::string> fields = SplitFields(line);
        if (fields.size() < 3 || fields.size() > 4) {
            throw InputError(fileName, lineNumber,
                             "expected flags,x,y[,truth] but found " +
                                 std::to_string(fields.size()) + " fields");
        }
        long long flags, x, y;
        if (!ParseInteger(fields[0], 0, UINT32_MAX, &flags)) {
            throw InputError(fileName, lineNumber,
                             "flags '" + fields[0] + "' is not a 32-bit unsigned number");
        }
        if (!ParseInteger(fields[1], INT32_MIN, INT32_MAX, &x)) {
            throw InputError(fileName, lineNumber, "x '" + fields[1] + "' is not a 32-bit integer");
        }
        if (!ParseInteger(fields[2], INT32_MIN, INT32_MAX, &y)) {
            throw InputError(fileName, lineNumber, "y '" + fields[2] + "' is not a 32-bit integer");
        }
        Truth truth = Truth::Unknown;
        if (fields.size() == 4) {
            if (fields[3] == "ok") {
                truth = Truth::Ok;
            } else if (fields[3] == "fault") {
                truth = Truth::Fault;
            } else {
                throw InputError(fileName, lineNumber,
                                 "truth '" + fields[3] + "' is neither ok nor fault");
            }
        }
        samples.push_back({static_cast<uint32_t>(flags), static_cast<int32_t>(x),
                           static_cast<int32_t>(y), truth, lineNumber});
    }
    return samples;
}

std::string FormatTrace(const std::vector<TraceSample>& samples, const std::string& comment) {
    std::string out;
    std::istringstream lines(comment);
    std::string line;
    while (std::getline(lines, line)) {
        out += "# " + line + "\n";
    }
    out += "flags,x,y,truth\n";
    char buffer[64];
    for (const TraceSample& s : samples) {
        snprintf(buffer, sizeof buffer, "0x%02X,%d,%d", s.flags, s.x, s.y);
        out += buffer;
        if (s.truth != Truth::Unknown) {
            out += s.truth == Truth::Ok ? ",ok" : ",fault";
        }
        out += "\n";
    }
    return out;
}
