#include "report/table.h"

#include <charconv>

#include "platform/decimal_digits.h"

std::string ReplayTableHeader(bool ticks) {
    return std::string("line,") + (ticks ? "tick," : "") +
           "flags_in,x_in,y_in,truth,rule,squared_step,speed_change,direction_change,error_delay,"
           "verdict,flags_out,x_out,y_out,stroke\n";
}

namespace {

// Rows are made millions of times: each is written into a buffer of its
// own with to_chars, which neither allocates nor consults the locale, and
// appended at once.
class Row {
public:
    template <typename T>
    void Number(T value) {
        end_ = std::to_chars(end_, buffer_ + sizeof buffer_, value).ptr;
    }
    void Flags(uint32_t flags) {
        char text[11];
        FlagsHexDigits(flags, text);
        Text(text);
    }
    void Text(const char* text) {
        while (*text != 0) {
            *end_++ = *text++;
        }
    }
    void Comma() { *end_++ = ','; }
    void AppendTo(std::string& out) {
        *end_++ = '\n';
        out.append(buffer_, end_);
    }

private:
    // Sixteen fields of at most 16 characters each.
    char buffer_[256];
    char* end_ = buffer_;
};

}  // namespace

void AppendReplayRow(std::string& out, const ReplayRecord& r, const char* stroke, bool ticks) {
    Row row;
    row.Number(r.in.line);
    row.Comma();
    if (ticks) {
        if (r.in.hasTick) {
            row.Number(r.in.tick);
        }
        row.Comma();
    }
    row.Flags(r.in.flags);
    row.Comma();
    row.Number(r.in.x);
    row.Comma();
    row.Number(r.in.y);
    row.Comma();
    row.Text(r.in.truth == Truth::Ok ? "ok" : r.in.truth == Truth::Fault ? "fault" : "");
    row.Comma();
    row.Text(RuleName(r));
    row.Comma();
    if (r.HasSquaredStep()) {
        row.Number(r.squaredStep);
    }
    row.Comma();
    if (r.HasSpeedChange()) {
        row.Number(r.speedChange);
    }
    row.Comma();
    if (r.HasDirectionChange()) {
        row.Number(r.directionChange);
    }
    row.Comma();
    row.Number(r.errorDelay);
    row.Comma();
    row.Text(VerdictName(r.verdict));
    row.Comma();
    if (r.Delivered()) {
        row.Flags(r.flagsOut);
        row.Comma();
        row.Number(r.xOut);
        row.Comma();
        row.Number(r.yOut);
    } else {
        row.Comma();
        row.Comma();
    }
    row.Comma();
    row.Text(stroke);
    row.AppendTo(out);
}

void ReplayTable::Flush(std::string& out, const char* stroke) {
    for (const ReplayRecord& record : waiting_) {
        AppendReplayRow(out, record, stroke, ticks_);
    }
    waiting_.clear();
}

void ReplayTable::Add(const ReplayRecord& record, std::string& out) {
    bool inStroke = false;
    StrokeEnd end = strokes_.Add(record, &inStroke);
    if (!inStroke || strokes_.Reached() || end.fate == StrokeFate::Reached) {
        Flush(out, "");
        AppendReplayRow(out, record, "", ticks_);
        return;
    }
    waiting_.push_back(record);
    if (end.Lost()) {
        Flush(out, end.fate == StrokeFate::LostAlways ? "lost-always" : "lost");
    }
}

void ReplayTable::Interrupt(std::string& out) {
    strokes_.Interrupt();
    Flush(out, "");
}
