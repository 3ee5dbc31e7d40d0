#include "files/trace.h"

#include <ctype.h>
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

// The WORD of a comment "# penwick WORD ARGUMENT", and its argument; false
// for any other comment.
bool DirectiveWord(std::string_view comment, std::string_view* word, std::string_view* argument) {
    comment = Trim(comment.substr(1));
    const std::string_view prefix = kCaptureLineMark;
    if (comment.substr(0, prefix.size()) != prefix) {
        return false;
    }
    comment = Trim(comment.substr(prefix.size()));
    size_t space = comment.find_first_of(" \t");
    *word = comment.substr(0, space);
    *argument = space == std::string_view::npos ? std::string_view() : Trim(comment.substr(space));
    return true;
}

// "# penwick WORD ARGUMENT": the capture's lines about what happened between
// samples. False for any other comment.
bool ParseDirective(std::string_view comment, TraceEvent& event, const std::string& fileName,
                    int line) {
    event.text = std::string(comment);
    std::string_view word, argument;
    if (!DirectiveWord(comment, &word, &argument)) {
        return false;
    }
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

// Reads at most `room` bytes of the trace as UTF-8: as they stand, or
// converted from UTF-16 after its byte-order mark.
size_t TraceReader::Fill(char* to, size_t room) {
    if (!started_) {
        started_ = true;
        char mark[2];
        in_.read(mark, 2);
        std::string first(mark, static_cast<size_t>(in_.gcount()));
        if (first == "\xFF\xFE" || first == "\xFE\xFF") {
            encoding_ = first[0] == '\xFF' ? Utf16Little : Utf16Big;
        } else {
            pendingBytes_ = first;
        }
    }
    if (encoding_ == Bytes) {
        size_t given = std::min(pendingBytes_.size(), room);
        memcpy(to, pendingBytes_.data(), given);
        pendingBytes_.erase(0, given);
        in_.read(to + given, static_cast<std::streamsize>(room - given));
        return given + static_cast<size_t>(in_.gcount());
    }
    // Each code unit gives at most three bytes of UTF-8, a pair of them four.
    std::string raw = pendingBytes_;
    size_t want = room / 3 * 2;
    raw.resize(want);
    in_.read(&raw[pendingBytes_.size()], static_cast<std::streamsize>(want - pendingBytes_.size()));
    raw.resize(pendingBytes_.size() + static_cast<size_t>(in_.gcount()));
    std::string text;
    size_t i = 0;
    for (; i + 1 < raw.size(); i += 2) {
        unsigned char a = static_cast<unsigned char>(raw[i]), b = static_cast<unsigned char>(raw[i + 1]);
        uint32_t unit = encoding_ == Utf16Little ? (b << 8 | a) : (a << 8 | b);
        if (pendingHigh_ != 0) {
            uint32_t high = pendingHigh_;
            pendingHigh_ = 0;
            if (unit >= 0xDC00 && unit < 0xE000) {
                AppendUtf8(text, 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
                continue;
            }
            text += '?';  // a high surrogate alone
        }
        if (unit >= 0xD800 && unit < 0xDC00) {
            pendingHigh_ = unit;
        } else {
            AppendUtf8(text, unit >= 0xDC00 && unit < 0xE000 ? '?' : unit);
        }
    }
    pendingBytes_ = raw.substr(i);
    memcpy(to, text.data(), text.size());
    return text.size();
}

bool TraceReader::ReadLine(const char*& begin, const char*& end) {
    if (aheadValid_) {
        aheadValid_ = false;
        begin = ahead_.data();
        end = ahead_.data() + ahead_.size();
        line_++;
        return true;
    }
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
        size_t got = Fill(buffer_.data() + end_, buffer_.size() - end_);
        end_ += got;
        bytesRead_ += got;
        if (in_.bad()) {
            throw InputError(fileName_, 0, "cannot read");
        }
        atEnd_ = in_.eof() || got == 0;
    }
}

namespace {

const char* const kColumnNames[] = {"flags", "x", "y", "truth", "tick"};
const size_t kColumnCount = 5;

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); i++) {
        if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// The fields between commas, blanks trimmed; at most `most`, and in *count
// how many there were.
size_t SplitFields(std::string_view line, std::string_view* fields, size_t most) {
    size_t count = 0;
    for (size_t start = 0;;) {
        size_t comma = line.find(',', start);
        if (count < most) {
            fields[count] = Trim(line.substr(start, comma == std::string_view::npos ? comma : comma - start));
        }
        count++;
        if (comma == std::string_view::npos) {
            return count;
        }
        start = comma + 1;
    }
}

// Whether a field could be the beginning of a number ("", "-", "0x", ...),
// or of a truth.
bool NumberStart(std::string_view field) {
    long long value;
    return field.empty() || field == "-" || field == "+" || SameLetters(field, "0x") ||
           ParseInteger(field, INT64_MIN / 2, INT64_MAX / 2, &value);
}

bool TruthStart(std::string_view field) {
    return std::string_view("ok").substr(0, field.size()) == field ||
           std::string_view("fault").substr(0, field.size()) == field;
}

// "# penwick boot ...".
bool IsBootLine(std::string_view line) {
    line = Trim(line);
    std::string_view word, argument;
    return !line.empty() && line[0] == '#' && DirectiveWord(line, &word, &argument) &&
           word == kCaptureLineBoot;
}

}  // namespace

bool TraceReader::HeaderNamesTick() const {
    return std::find(columns_.begin(), columns_.end(), Tick) != columns_.end();
}

void TraceReader::ParseHeader(std::string_view line) {
    std::string_view fields[kColumnCount + 1];
    size_t count = SplitFields(line, fields, kColumnCount + 1);
    std::string known = "flags, x, y, truth, tick";
    if (count > kColumnCount) {
        throw InputError(fileName_, line_,
                         "a header of " + std::to_string(count) + " columns, but Penwick knows only " +
                             std::to_string(kColumnCount) + " (" + known + ")");
    }
    for (size_t i = 0; i < count; i++) {
        size_t c = 0;
        while (c < kColumnCount && !SameLetters(fields[i], kColumnNames[c])) {
            c++;
        }
        if (c == kColumnCount) {
            throw InputError(fileName_, line_,
                             "the header names a column " + Quoted(fields[i]) +
                                 " that Penwick does not know (" + known + ")");
        }
        if (std::find(columns_.begin(), columns_.end(), Column(c)) != columns_.end()) {
            throw InputError(fileName_, line_,
                             "the header names the column " + Quoted(fields[i]) + " twice");
        }
        columns_.push_back(Column(c));
    }
    for (Column needed : {Flags, X, Y}) {
        if (std::find(columns_.begin(), columns_.end(), needed) == columns_.end()) {
            throw InputError(fileName_, line_,
                             std::string("the header names no column ") + kColumnNames[needed] +
                                 ": a sample has flags, x and y");
        }
    }
    for (size_t i = 0; i < columns_.size(); i++) {
        leastFields_ = columns_[i] <= Y ? i + 1 : leastFields_;
    }
    headerLine_ = line_;
}

std::string TraceReader::ParseSample(const std::string_view* fields, size_t count,
                                     TraceSample& sample, bool* cut) {
    // Which column each field is: the header's, or by the number of fields
    // and what the fourth holds.
    Column plain[] = {Flags, X, Y, TruthColumn, Tick};
    const Column* columns = columns_.empty() ? plain : columns_.data();
    size_t least = columns_.empty() ? 3 : leastFields_;
    size_t most = columns_.empty() ? kColumnCount : columns_.size();
    if (columns_.empty()) {
        if (count == 4 && !TruthStart(fields[3])) {
            if (!NumberStart(fields[3])) {
                return "the fourth field " + Quoted(fields[3]) +
                       " is neither a truth (ok or fault) nor a tick (a number)";
            }
            plain[3] = Tick;
        }
    }
    *cut = false;
    if (count < least || count > most) {
        std::string expected = "flags,x,y[,truth][,tick]";
        if (!columns_.empty()) {
            expected.clear();
            for (size_t i = 0; i < columns_.size(); i++) {
                expected += std::string(i == 0 ? "" : ",") + (i >= least ? "[" : "") +
                            kColumnNames[columns_[i]] + (i >= least ? "]" : "");
            }
            expected += " (the header on line " + std::to_string(headerLine_) + ")";
        }
        if (count < least) {
            // The beginning of a sample, if what it has is.
            *cut = true;
            for (size_t i = 0; i < count; i++) {
                *cut = *cut && NumberStart(fields[i]);
            }
        }
        return "expected " + expected + " but found " + std::to_string(count) + " fields";
    }
    sample = TraceSample{0, 0, 0, Truth::Unknown, line_};
    for (size_t i = 0; i < count; i++) {
        std::string_view field = fields[i];
        long long value = 0;
        bool good = true;
        switch (columns[i]) {
        case Flags:
            good = ParseInteger(field, 0, UINT32_MAX, &value);
            sample.flags = static_cast<uint32_t>(value);
            break;
        case X:
        case Y:
            good = ParseInteger(field, INT32_MIN, INT32_MAX, &value);
            (columns[i] == X ? sample.x : sample.y) = static_cast<int32_t>(value);
            break;
        case TruthColumn:
            good = field == "ok" || field == "fault";
            sample.truth = field == "ok" ? Truth::Ok : Truth::Fault;
            break;
        case Tick:
            good = ParseInteger(field, 0, UINT32_MAX, &value) && field[0] != '-' && field[0] != '+';
            sample.tick = static_cast<uint32_t>(value);
            sample.hasTick = true;
            break;
        }
        if (good) {
            continue;
        }
        *cut = i + 1 == count && (columns[i] == TruthColumn ? TruthStart(field) : NumberStart(field));
        switch (columns[i]) {
        case Flags: return "flags " + Quoted(field) + " is not a 32-bit unsigned number";
        case TruthColumn: return "truth " + Quoted(field) + " is neither ok nor fault";
        case Tick: return "tick " + Quoted(field) + " is not a millisecond tick (a 32-bit unsigned decimal)";
        default:
            return std::string(kColumnNames[columns[i]]) + " " + Quoted(field) + " is not a 32-bit integer";
        }
    }
    return "";
}

// Whether, after a line cut short, the capture ends or the device booted
// again: the next line that is not blank is a boot line, or there is none.
// That line is left to be read.
bool TraceReader::NextLineEndsCapture() {
    const char* begin;
    const char* end;
    while (ReadLine(begin, end)) {
        std::string_view next = Trim(std::string_view(begin, end - begin));
        if (!next.empty()) {
            ahead_.assign(begin, end);
            aheadValid_ = true;
            line_--;
            return IsBootLine(next);
        }
    }
    return true;
}

bool TraceReader::ParseLine(const char* begin, const char* end, TraceEvent& event) {
    std::string_view line(begin, end - begin);
    if (line_ == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") {
        line.remove_prefix(3);  // a UTF-8 byte-order mark, as some editors write
    }
    // A file system that lost power may leave the end of a file zeros, among
    // the blanks at a line's end.
    while (!line.empty() && (line.back() == '\0' || line.back() == ' ' || line.back() == '\t' ||
                             line.back() == '\r')) {
        line.remove_suffix(1);
    }
    line = Trim(line);
    if (!line.empty() && line[0] == '#') {
        return ParseDirective(line, event, fileName_, line_);
    }
    size_t hash = line.find('#');
    // A sample cut short, and the next boot's line written straight after it.
    bool bootFollows = hash != std::string_view::npos && IsBootLine(line.substr(hash));
    std::string_view comment = hash == std::string_view::npos ? std::string_view() : line.substr(hash);
    line = Trim(line.substr(0, hash));
    if (line.empty()) {
        return false;  // blank, or a comment
    }
    bool firstContent = !seenContent_;
    seenContent_ = true;
    char first = line[0];
    if (firstContent && !((first >= '0' && first <= '9') || first == '-' || first == '+')) {
        ParseHeader(line);
        return false;
    }

    std::string_view fields[kColumnCount + 1];
    size_t count = SplitFields(line, fields, kColumnCount + 1);
    TraceSample sample;
    bool cut = false;
    std::string problem = ParseSample(fields, count, sample, &cut);
    if (problem.empty()) {
        bool labelled = sample.truth != Truth::Unknown;
        if (firstLabelled_ == 0) {
            firstLabelled_ = line_;
            labelled_ = labelled;
        } else if (labelled != labelled_) {
            problem = std::string(labelled ? "has a label (ok or fault)" : "has no label (ok or fault)") +
                      " but line " + std::to_string(firstLabelled_) +
                      (labelled_ ? " has one" : " has none") + ": label every sample or none";
            cut = labelled_;  // its label may be what was cut off
        }
    }
    int sampleLine = line_;
    if (bootFollows || (!problem.empty() && cut)) {
        std::string text(line);
        if (bootFollows || NextLineEndsCapture()) {
            event.kind = TraceEvent::Torn;
            event.line = sampleLine;
            event.text = text;
            if (bootFollows) {
                ParseDirective(comment, boot_, fileName_, sampleLine);
                bootPending_ = true;
            }
            return true;
        }
    }
    if (!problem.empty()) {
        throw InputError(fileName_, sampleLine, problem);
    }
    event.kind = TraceEvent::Sample;
    event.text.clear();
    event.sample = sample;
    event.line = line_;
    return true;
}

bool TraceReader::Next(TraceEvent& event) {
    if (bootPending_) {
        bootPending_ = false;
        event = boot_;
        return true;
    }
    const char* begin;
    const char* end;
    while (ReadLine(begin, end)) {
        if (ParseLine(begin, end, event)) {
            return true;
        }
    }
    return false;
}

std::string CutLineWarning(const std::string& fileName, const TraceEvent& torn) {
    return std::string("warning: ") +
           InputError(fileName, torn.line,
                      "a sample cut short, as a power loss leaves one, skipped: " + Quoted(torn.text))
               .what();
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

// The header of a trace of these samples: a tick column when any has a
// tick, and a truth column unless a tick would follow it unfilled. A sample
// leaves out the columns at its end that it has no value for.
std::string HeaderLine(bool labelled, bool ticked) {
    return std::string("flags,x,y") + (labelled || !ticked ? ",truth" : "") + (ticked ? ",tick" : "") +
           "\n";
}

void AppendSampleLine(std::string& out, const TraceSample& s) {
    char flags[11];
    FlagsHexDigits(s.flags, flags);
    char buffer[80];
    int length = snprintf(buffer, sizeof buffer, "%s,%d,%d%s", flags, s.x, s.y,
                          s.truth == Truth::Ok ? ",ok" : s.truth == Truth::Fault ? ",fault" : "");
    if (s.hasTick) {
        snprintf(buffer + length, sizeof buffer - length, ",%u", s.tick);
    }
    out += buffer;
    out += '\n';
}

}  // namespace

std::string FormatTraceEvents(const std::vector<TraceEvent>& events, const std::string& comment) {
    bool labelled = false, ticked = false;
    for (const TraceEvent& event : events) {
        labelled = labelled || (event.kind == TraceEvent::Sample && event.sample.truth != Truth::Unknown);
        ticked = ticked || (event.kind == TraceEvent::Sample && event.sample.hasTick);
    }
    std::string out = CommentLines(comment) + HeaderLine(labelled, ticked);
    for (const TraceEvent& event : events) {
        if (event.kind == TraceEvent::Sample) {
            AppendSampleLine(out, event.sample);
        } else if (event.kind == TraceEvent::Torn) {
            continue;  // a sample cut short: nothing to write again
        } else {
            out += event.text + "\n";  // a capture's line, as it stood
        }
    }
    return out;
}

std::string FormatTrace(const std::vector<TraceSample>& samples, const std::string& comment) {
    bool labelled = false, ticked = false;
    for (const TraceSample& sample : samples) {
        labelled = labelled || sample.truth != Truth::Unknown;
        ticked = ticked || sample.hasTick;
    }
    std::string out = CommentLines(comment) + HeaderLine(labelled, ticked);
    for (const TraceSample& sample : samples) {
        AppendSampleLine(out, sample);
    }
    return out;
}
