#include "files/trace.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <sstream>
#include <string_view>

#include "files/input.h"
#include "platform/decimal_digits.h"
#include "proxy/capture_lines.h"

namespace {

// Lines are read in blocks of at most this size, the first much smaller;
// a longer line is not a trace's.
const size_t kBlockBytes = 1 << 20;
const size_t kFirstBlockBytes = 1 << 14;
const size_t kLongestLine = 1 << 16;

// A field as an error message quotes it: whole when it is short.
std::string Quoted(std::string_view text) {
    const size_t longest = 40;
    if (text.size() <= longest) {
        return "'" + std::string(text) + "'";
    }
    return "'" + std::string(text.substr(0, longest)) + "...' (" + std::to_string(text.size()) +
           " characters)";
}

// "# penwick WORD ARGUMENT": the capture's lines about what happened between
// samples. False for any other comment.
bool ParseDirective(std::string_view comment, TraceEvent& event, const std::string& fileName,
                    int line) {
    event.text = std::string(comment);
    comment = Trim(comment.substr(1));
    const std::string_view prefix = kCaptureLineMark;
    if (comment.substr(0, prefix.size()) != prefix) {
        return false;
    }
    comment = Trim(comment.substr(prefix.size()));
    size_t space = comment.find_first_of(" \t");
    std::string_view word = comment.substr(0, space);
    std::string_view argument =
        space == std::string_view::npos ? std::string_view() : Trim(comment.substr(space));
    event.line = line;
    if (word == kCaptureLineBoot) {
        event.kind = TraceEvent::Boot;
        return true;
    }
    if (word == kCaptureLineEnableScreen || word == kCaptureLineScreen) {
        event.kind = word == kCaptureLineScreen ? TraceEvent::Screen : TraceEvent::EnableScreen;
        if (!ParseScreenSize(argument, &event.width, &event.height)) {
            throw InputError(fileName, line,
                             "'# " + std::string(kCaptureLineMark) + std::string(word) +
                                 "' wants WIDTHxHEIGHT in pixels, 1 to 65535, not " +
                                 Quoted(argument));
        }
        return true;
    }
    if (word == kCaptureLineDropped) {
        long long count;
        if (!ParseInteger(argument, 0, 1LL << 40, &count)) {
            throw InputError(fileName, line,
                             "'# " + std::string(kCaptureLineMark) + kCaptureLineDropped +
                                 "' wants a count of samples, not " + Quoted(argument));
        }
        event.kind = TraceEvent::Dropped;
        event.dropped = count;
        return true;
    }
    event.kind = TraceEvent::Note;  // what the capture says for the reader only
    return true;
}

}  // namespace

TraceReader::TraceReader(std::istream& in, std::string fileName)
    : in_(in), fileName_(std::move(fileName)), buffer_(kFirstBlockBytes) {}

bool TraceReader::ReadLine(const char*& begin, const char*& end) {
    for (;;) {
        const char* data = buffer_.data();
        const char* newline =
            static_cast<const char*>(memchr(data + start_, '\n', end_ - start_));
        if (newline != nullptr || (atEnd_ && start_ < end_)) {
            begin = data + start_;
            end = newline != nullptr ? newline : data + end_;
            start_ = newline != nullptr ? newline - data + 1 : end_;
            line_++;
            return true;
        }
        if (atEnd_) {
            return false;
        }
        if (end_ - start_ > kLongestLine) {
            throw InputError(fileName_, line_ + 1,
                             "a line of more than " + std::to_string(kLongestLine) +
                                 " characters: not a trace");
        }
        memmove(buffer_.data(), data + start_, end_ - start_);
        end_ -= start_;
        start_ = 0;
        // A long trace, or a long line, is read in ever larger blocks, up to
        // the largest.
        if (end_ * 2 > buffer_.size() || bytesRead_ > buffer_.size()) {
            buffer_.resize(std::min(buffer_.size() * 4, kBlockBytes + kLongestLine));
        }
        in_.read(buffer_.data() + end_, static_cast<std::streamsize>(buffer_.size() - end_));
        end_ += static_cast<size_t>(in_.gcount());
        bytesRead_ += static_cast<size_t>(in_.gcount());
        if (in_.bad()) {
            throw InputError(fileName_, 0, "cannot read");
        }
        atEnd_ = in_.eof() || in_.gcount() == 0;
    }
}

bool TraceReader::ParseLine(const char* begin, const char* end, TraceEvent& event) {
    std::string_view line(begin, end - begin);
    if (line_ == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") {
        line.remove_prefix(3);  // a UTF-8 byte-order mark, as some editors write
    }
    line = Trim(line);
    if (!line.empty() && line[0] == '#') {
        return ParseDirective(line, event, fileName_, line_);
    }
    line = Trim(line.substr(0, line.find('#')));
    if (line.empty()) {
        return false;
    }
    bool firstContent = !seenContent_;
    seenContent_ = true;
    char first = line[0];
    if (firstContent && !((first >= '0' && first <= '9') || first == '-' || first == '+')) {
        return false;  // the header
    }

    std::string_view fields[5];
    size_t count = 0;
    for (size_t start = 0;; ) {
        size_t comma = line.find(',', start);
        if (count < 5) {
            fields[count] = Trim(line.substr(start, comma == std::string_view::npos ? comma : comma - start));
        }
        count++;
        if (comma == std::string_view::npos) {
            break;
        }
        start = comma + 1;
    }
    if (count < 3 || count > 4) {
        throw InputError(fileName_, line_,
                         "expected flags,x,y[,truth] but found " + std::to_string(count) + " fields");
    }
    long long flags, x, y;
    if (!ParseInteger(fields[0], 0, UINT32_MAX, &flags)) {
        throw InputError(fileName_, line_,
                         "flags " + Quoted(fields[0]) + " is not a 32-bit unsigned number");
    }
    if (!ParseInteger(fields[1], INT32_MIN, INT32_MAX, &x)) {
        throw InputError(fileName_, line_, "x " + Quoted(fields[1]) + " is not a 32-bit integer");
    }
    if (!ParseInteger(fields[2], INT32_MIN, INT32_MAX, &y)) {
        throw InputError(fileName_, line_, "y " + Quoted(fields[2]) + " is not a 32-bit integer");
    }
    Truth truth = Truth::Unknown;
    if (count == 4) {
        if (fields[3] == "ok") {
            truth = Truth::Ok;
        } else if (fields[3] == "fault") {
            truth = Truth::Fault;
        } else {
            throw InputError(fileName_, line_,
                             "truth " + Quoted(fields[3]) + " is neither ok nor fault");
        }
    }
    bool labelled = truth != Truth::Unknown;
    if (firstLabelled_ == 0) {
        firstLabelled_ = line_;
        labelled_ = labelled;
    } else if (labelled != labelled_) {
        throw InputError(fileName_, line_,
                         std::string(labelled ? "has a label (ok or fault)" : "has no label (ok or fault)") +
                             " but line " + std::to_string(firstLabelled_) +
                             (labelled_ ? " has one" : " has none") + ": label every sample or none");
    }
    event.kind = TraceEvent::Sample;
    event.text.clear();
    event.sample = {static_cast<uint32_t>(flags), static_cast<int32_t>(x), static_cast<int32_t>(y),
                    truth, line_};
    event.line = line_;
    return true;
}

bool TraceReader::Next(TraceEvent& event) {
    const char* begin;
    const char* end;
    while (ReadLine(begin, end)) {
        if (ParseLine(begin, end, event)) {
            return true;
        }
    }
    return false;
}

std::vector<TraceEvent> ParseTraceEvents(const std::string& text, const std::string& fileName) {
    std::istringstream in(text);
    TraceReader reader(in, fileName);
    std::vector<TraceEvent> events;
    for (TraceEvent event; reader.Next(event);) {
        events.push_back(event);
    }
    return events;
}

std::vector<TraceSample> ParseTrace(const std::string& text, const std::string& fileName) {
    std::vector<TraceSample> samples;
    for (const TraceEvent& event : ParseTraceEvents(text, fileName)) {
        if (event.kind == TraceEvent::Sample) {
            samples.push_back(event.sample);
        }
    }
    return samples;
}

namespace {

// A comment of any number of lines, each as a "# " line.
std::string CommentLines(const std::string& comment) {
    std::string out;
    std::istringstream lines(comment);
    std::string line;
    while (std::getline(lines, line)) {
        out += "# " + line + "\n";
    }
    return out;
}

void AppendSampleLine(std::string& out, const TraceSample& s) {
    char flags[11];
    FlagsHexDigits(s.flags, flags);
    char buffer[64];
    snprintf(buffer, sizeof buffer, "%s,%d,%d%s\n", flags, s.x, s.y,
             s.truth == Truth::Ok ? ",ok" : s.truth == Truth::Fault ? ",fault" : "");
    out += buffer;
}

}  // namespace

std::string FormatTraceEvents(const std::vector<TraceEvent>& events, const std::string& comment) {
    std::string out = CommentLines(comment) + "flags,x,y,truth\n";
    for (const TraceEvent& event : events) {
        if (event.kind == TraceEvent::Sample) {
            AppendSampleLine(out, event.sample);
        } else {
            out += event.text + "\n";  // a capture's line, as it stood
        }
    }
    return out;
}

std::string FormatTrace(const std::vector<TraceSample>& samples, const std::string& comment) {
    std::string out = CommentLines(comment) + "flags,x,y,truth\n";
    for (const TraceSample& sample : samples) {
        AppendSampleLine(out, sample);
    }
    return out;
}
