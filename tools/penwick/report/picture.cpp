#include "report/picture.h"

#include <algorithm>
#include <cmath>

#include "engine/replay_strokes.h"
#include "report/format.h"
#include "report/summary.h"

namespace {

const double kUnitsPerPixel = 4;  // calibrated units per screen pixel
const double kPlotSize = 560;     // the longer side of a plot
const double kMargin = 24;
const double kLineHeight = 15;
const double kCharWidth = 6.3;    // of 12-pixel sans-serif text, roughly
const double kMarkRadius = 4.5;
const double kLegendWidth = 300;

// Strokes take these in turn; none is the red, orange or green of a mark.
const char* const kStrokeColours[] = {"#1f77b4", "#6a3d9a", "#8c564b", "#17becf", "#393b79"};
const int kStrokeColourCount = 5;
const char kLostColour[] = "#e31a1c";  // the band under a lost stroke

// What a mark says about its sample.
enum class Mark {
    FaultKept,       // labelled fault, not at its own place: the filter did its job
    FaultDelivered,  // labelled fault at its own place: a spike got through
    GoodLost,        // labelled good sample not at its own place
    Cause,           // unlabelled: why it is not at its own place (the first of the causes)
};
const int kMarkCount = 3 + kReplayCauseCount;

struct MarkStyle {
    const char* colour;
    const char* shape;  // circle, square, diamond, cross, plus, triangle, dot
};

MarkStyle StyleOf(int mark) {
    static const MarkStyle styles[kMarkCount] = {
        {"#2ca02c", "diamond"},  // fault kept from the host
        {"#d62728", "cross"},    // fault delivered
        {"#ff7f0e", "circle"},   // good sample lost
        // The causes: rejections without error in black, errors in red.
        {"#222222", "circle"},    // stroke start
        {"#222222", "square"},    // rule b
        {"#222222", "diamond"},   // rule f
        {"#d62728", "cross"},     // error d
        {"#d62728", "plus"},      // error e
        {"#d62728", "triangle"},  // error h
        {"#d62728", "dot"},       // error delay
        {"#888888", "square"},    // unusable
        {"#222222", "triangle"},  // extra pen-up
    };
    return styles[mark];
}

std::string MarkLegend(int mark) {
    switch (mark) {
    case 0: return "fault kept from the host";
    case 1: return "fault delivered to the host";
    case 2: return "good sample lost";
    default: return std::string("not at its own place: ") + CauseName(static_cast<ReplayCause>(mark - 3));
    }
}

// The mark for a sample, or -1 when it needs none.
int MarkOf(const ReplayRecord& r) {
    if (r.in.truth == Truth::Fault) {
        return r.AtOwnPlace() ? 1 : 0;
    }
    if (r.AtOwnPlace()) {
        return -1;
    }
    return r.in.truth == Truth::Ok ? 2 : 3 + static_cast<int>(CauseOf(r));
}

std::string MarkShape(int mark, double x, double y) {
    const double r = kMarkRadius;
    MarkStyle style = StyleOf(mark);
    std::string shape = style.shape;
    std::string stroke = Format("fill='none' stroke='%s' stroke-width='1.6'", style.colour);
    if (shape == "circle") {
        return Format("<circle cx='%.1f' cy='%.1f' r='%.1f' %s/>", x, y, r, stroke.c_str());
    }
    if (shape == "square") {
        return Format("<rect x='%.1f' y='%.1f' width='%.1f' height='%.1f' %s/>", x - r, y - r,
                      2 * r, 2 * r, stroke.c_str());
    }
    if (shape == "diamond") {
        return Format("<path d='M%.1f %.1fL%.1f %.1fL%.1f %.1fL%.1f %.1fZ' %s/>", x, y - r - 1,
                      x + r + 1, y, x, y + r + 1, x - r - 1, y, stroke.c_str());
    }
    if (shape == "cross") {
        return Format("<path d='M%.1f %.1fL%.1f %.1fM%.1f %.1fL%.1f %.1f' stroke='%s' stroke-width='2.2'/>",
                      x - r, y - r, x + r, y + r, x - r, y + r, x + r, y - r, style.colour);
    }
    if (shape == "plus") {
        return Format("<path d='M%.1f %.1fH%.1fM%.1f %.1fV%.1f' stroke='%s' stroke-width='2.2'/>",
                      x - r, y, x + r, x, y - r, y + r, style.colour);
    }
    if (shape == "triangle") {
        return Format("<path d='M%.1f %.1fL%.1f %.1fL%.1f %.1fZ' %s/>", x, y - r - 1, x + r + 1,
                      y + r, x - r - 1, y + r, stroke.c_str());
    }
    return Format("<circle cx='%.1f' cy='%.1f' r='%.1f' fill='%s'/>", x, y, r - 1.5, style.colour);
}

// The tooltip of a mark: where the sample stands and what became of it.
std::string Tooltip(const ReplayRecord& r) {
    std::string text = Format("line %d (%d, %d): ", r.in.line, r.in.x, r.in.y);
    text += std::string(r.Judged() ? "rule " : "") + RuleName(r);
    text += std::string(", ") + VerdictName(r.verdict);
    if (r.Judged()) {
        text += Format(", error delay %d", r.errorDelay);
    }
    if (r.HasSquaredStep()) {
        text += Format("; squared step %d", r.squaredStep);
    }
    if (r.HasSpeedChange()) {
        text += Format(", speed change %d", r.speedChange);
    }
    if (r.HasDirectionChange()) {
        text += Format(", direction change %.2f", r.directionChange);
    }
    if (r.in.truth != Truth::Unknown) {
        text += r.in.truth == Truth::Fault ? "; labelled fault" : "; labelled ok";
    }
    return text;
}

// Maps calibrated coordinates into one plot.
struct View {
    double minX, minY, scale;
    double left, top;  // the plot's corner in the picture
    double X(double x) const { return left + (x - minX) * scale; }
    double Y(double y) const { return top + (y - minY) * scale; }
};

// The area every plot shows: the whole screen with every drawn sample, or,
// when the drawn samples cover only a small part of it, those samples
// closer up (never closer than an eighth of the screen across).
struct Area {
    double minX, minY, maxX, maxY;
    bool wholeScreen;
};

Area Bounds(const std::vector<PicturePanel>& panels, double screenX, double screenY) {
    bool any = false;
    Area samples = {0, 0, 0, 0, false};
    for (const PicturePanel& panel : panels) {
        for (const ReplayRecord& r : panel.records) {
            if (!any) {
                samples = {double(r.in.x), double(r.in.y), double(r.in.x), double(r.in.y), false};
                any = true;
            }
            samples.minX = std::min(samples.minX, double(r.in.x));
            samples.minY = std::min(samples.minY, double(r.in.y));
            samples.maxX = std::max(samples.maxX, double(r.in.x));
            samples.maxY = std::max(samples.maxY, double(r.in.y));
        }
    }
    double width = samples.maxX - samples.minX, height = samples.maxY - samples.minY;
    Area area;
    if (!any || width >= screenX / 2 || height >= screenY / 2) {
        area = {std::min(0.0, samples.minX), std::min(0.0, samples.minY),
                std::max(screenX, samples.maxX), std::max(screenY, samples.maxY), true};
    } else {
        double span = std::max({width, height, std::max(screenX, screenY) / 8});
        double centreX = (samples.minX + samples.maxX) / 2, centreY = (samples.minY + samples.maxY) / 2;
        area = {centreX - span / 2, centreY - span / 2, centreX + span / 2, centreY + span / 2, false};
    }
    double pad = 0.04 * std::max(area.maxX - area.minX, area.maxY - area.minY);
    area.minX -= pad;
    area.minY -= pad;
    area.maxX += pad;
    area.maxY += pad;
    return area;
}

// A picture of width by height around `body`, on white.
std::string SvgDocument(double width, double height, const std::string& body) {
    return Format("<svg xmlns='http://www.w3.org/2000/svg' width='%.0f' height='%.0f' "
                  "viewBox='0 0 %.0f %.0f' font-family='sans-serif' font-size='12'>\n",
                  width, height, width, height) +
           "<rect width='100%' height='100%' fill='white'/>\n" + body + "</svg>\n";
}

class SvgText {
public:
    explicit SvgText(std::string& svg) : svg_(svg) {}
    // One line at (x, y); y moves down a line.
    void Line(double x, double& y, const std::string& text, const char* weight = "normal",
              const char* colour = "#000") {
        svg_ += Format("<text x='%.0f' y='%.0f' font-weight='%s' fill='%s'>", x, y, weight, colour) +
                XmlEscaped(text) + "</text>\n";
        y += kLineHeight;
    }
    void Wrapped(double x, double& y, double width, const std::string& text,
                 const char* weight = "normal") {
        for (const std::string& line : WrapPhrases(text, static_cast<size_t>(width / kCharWidth))) {
            Line(x, y, line, weight);
        }
    }
    // Each line of `text` wrapped.
    void Paragraphs(double x, double& y, double width, const std::string& text) {
        for (size_t begin = 0; begin < text.size();) {
            size_t end = text.find('\n', begin);
            Wrapped(x, y, width, text.substr(begin, end - begin));
            begin = end == std::string::npos ? text.size() : end + 1;
        }
    }

private:
    std::string& svg_;
};

// Where a close-up lies on the screen: a small screen in the plot's corner
// with the part shown outlined.
void DrawLocator(std::string& svg, const Area& area, const View& view, double width, double screenX,
                 double screenY) {
    double scale = 80 / std::max(screenX, screenY);
    double left = view.left + width - screenX * scale - 6, top = view.top + 6;
    svg += Format("<rect x='%.1f' y='%.1f' width='%.1f' height='%.1f' fill='white' stroke='#999999'/>\n",
                  left, top, screenX * scale, screenY * scale);
    svg += Format("<rect x='%.1f' y='%.1f' width='%.1f' height='%.1f' fill='none' stroke='#d62728'/>\n",
                  left + area.minX * scale, top + area.minY * scale,
                  std::max(2.0, (area.maxX - area.minX) * scale), std::max(2.0, (area.maxY - area.minY) * scale));
    svg += Format("<text x='%.1f' y='%.1f' fill='#777777' font-size='10' text-anchor='end'>"
                  "the part shown</text>\n", left - 4, top + 10);
}

typedef std::vector<std::pair<int32_t, int32_t>> Screens;

void DrawPlot(std::string& svg, int number, const PicturePanel& panel, const Area& area,
              const View& view, double width, double height, const Screens& screens) {
    svg += Format("<rect x='%.1f' y='%.1f' width='%.1f' height='%.1f' fill='#fafafa' stroke='#cccccc'/>\n",
                  view.left, view.top, width, height);
    svg += Format("<clipPath id='plot%d'><rect x='%.1f' y='%.1f' width='%.1f' height='%.1f'/></clipPath>\n"
                  "<g clip-path='url(#plot%d)'>\n", number, view.left, view.top, width, height, number);
    // The screens' outlines, each labelled at its lower left corner.
    for (const auto& [screenWidth, screenHeight] : screens) {
        double x = screenWidth * kUnitsPerPixel, y = screenHeight * kUnitsPerPixel;
        svg += Format("<rect x='%.1f' y='%.1f' width='%.1f' height='%.1f' fill='%s' stroke='#999999' "
                      "stroke-dasharray='6 3'/>\n",
                      view.X(0), view.Y(0), x * view.scale, y * view.scale,
                      screens.size() == 1 ? "white" : "none");
        svg += Format("<text x='%.1f' y='%.1f' fill='#777777' font-size='11'>screen %d x %d px</text>\n",
                      view.X(0) + 4, view.Y(y) - 5, screenWidth, screenHeight);
    }

    // Each stroke as the original driver delivered it (dashed) and as the
    // host received it (solid), in the stroke's colour; numbered at its start.
    // A stroke the host never received is lost: a tap that opened nothing.
    // It is drawn under a wide red band and named at its number.
    std::vector<std::string> raw, delivered;
    std::vector<StrokeFate> lost;
    std::string labels;
    bool inputDown = false, hostDown = false, hostOpen = false;
    StrokeTracker strokes;
    for (const ReplayRecord& r : panel.records) {
        bool down = (r.in.flags & TouchSampleDownFlag) != 0;
        if (raw.empty() || (down && !inputDown)) {
            const char* colour = kStrokeColours[raw.size() % kStrokeColourCount];
            labels += Format("<text x='%.1f' y='%.1f' fill='%s' font-weight='bold'>%zu</text>\n",
                             view.X(r.in.x) + 6, view.Y(r.in.y) - 6, colour, raw.size() + 1);
            raw.push_back("");
            delivered.push_back("");
            lost.push_back(StrokeFate::None);
            hostOpen = false;
        }
        StrokeEnd end = strokes.Add(r);
        if (end.Lost()) {
            lost.back() = end.fate;
            labels += Format("<text x='%.1f' y='%.1f' fill='%s' font-weight='bold'>lost%s</text>\n",
                             view.X(r.in.x) + 6, view.Y(r.in.y) + 14, kLostColour,
                             end.fate == StrokeFate::LostAlways ? " (no settings deliver it)" : "");
        }
        raw.back() += Format("%s%.1f %.1f", raw.back().empty() ? "M" : "L", view.X(r.in.x), view.Y(r.in.y));
        inputDown = down;
        if (r.Delivered()) {
            bool outDown = (r.flagsOut & TouchSampleDownFlag) != 0;
            delivered.back() += Format("%s%.1f %.1f", hostOpen && hostDown ? "L" : "M", view.X(r.xOut),
                                       view.Y(r.yOut));
            hostOpen = true;
            hostDown = outDown;
        }
    }
    for (size_t i = 0; i < raw.size(); i++) {
        const char* colour = kStrokeColours[i % kStrokeColourCount];
        if (lost[i] != StrokeFate::None) {
            svg += Format("<path d='%s' fill='none' stroke='%s' stroke-opacity='0.35' stroke-width='14' "
                          "stroke-linecap='round' stroke-linejoin='round'/>\n", raw[i].c_str(), kLostColour);
        }
        svg += Format("<path d='%s' fill='none' stroke='%s' stroke-opacity='0.55' stroke-width='1' "
                      "stroke-dasharray='3 2'/>\n", raw[i].c_str(), colour);
        if (!delivered[i].empty()) {
            svg += Format("<path d='%s' fill='none' stroke='%s' stroke-width='1.8'/>\n",
                          delivered[i].c_str(), colour);
        }
    }
    svg += labels;
    for (const ReplayRecord& r : panel.records) {
        int mark = MarkOf(r);
        if (mark >= 0) {
            svg += "<g><title>" + XmlEscaped(Tooltip(r)) + "</title>" +
                   MarkShape(mark, view.X(r.in.x), view.Y(r.in.y)) + "</g>\n";
        }
    }
    svg += "</g>\n";
    if (!area.wholeScreen) {
        DrawLocator(svg, area, view, width, screens[0].first * kUnitsPerPixel,
                    screens[0].second * kUnitsPerPixel);
    }

    // A scale in screen pixels, under the plot.
    double perPixel = view.scale * kUnitsPerPixel;
    int bar = 10;
    for (int candidate : {20, 50, 100, 200, 500, 1000}) {
        if (candidate * perPixel <= 140) {
            bar = candidate;
        }
    }
    double x = view.left, y = view.top + height + 14;
    svg += Format("<path d='M%.1f %.1fv-6M%.1f %.1fh%.1fv-6' fill='none' stroke='#000'/>\n", x, y, x, y,
                  bar * perPixel);
    svg += Format("<text x='%.1f' y='%.1f'>%d screen pixels</text>\n", x + bar * perPixel + 6, y, bar);
}

}  // namespace

std::vector<std::string> WrapPhrases(const std::string& text, size_t width) {
    // Phrases end after ", ", "; " or ": "; words after any space.
    std::vector<std::string> phrases;
    size_t start = 0;
    for (size_t i = 0; i + 1 < text.size(); i++) {
        if ((text[i] == ',' || text[i] == ';' || text[i] == ':') && text[i + 1] == ' ') {
            phrases.push_back(text.substr(start, i + 2 - start));
            start = i + 2;
        }
    }
    phrases.push_back(text.substr(start));

    std::vector<std::string> lines(1);
    auto add = [&](const std::string& piece) {
        if (!lines.back().empty() && lines.back().size() + piece.size() > width) {
            lines.push_back("");
        }
        lines.back() += piece;
    };
    for (const std::string& phrase : phrases) {
        if (phrase.size() <= width) {
            add(phrase);
            continue;
        }
        for (size_t begin = 0; begin < phrase.size();) {
            size_t space = phrase.find(' ', begin);
            size_t end = space == std::string::npos ? phrase.size() : space + 1;
            add(phrase.substr(begin, end - begin));
            begin = end;
        }
    }
    for (std::string& line : lines) {
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
    }
    return lines;
}

std::string FormatReplaySvg(const std::string& title, const std::vector<PicturePanel>& panels,
                            int32_t screenWidth, int32_t screenHeight) {
    Screens screens = panels.empty() ? Screens() : panels[0].screens;
    if (screens.empty()) {
        screens.push_back({screenWidth, screenHeight});
    }
    double screenX = 0, screenY = 0;
    for (const auto& [width, height] : screens) {
        screenX = std::max(screenX, width * kUnitsPerPixel);
        screenY = std::max(screenY, height * kUnitsPerPixel);
    }
    Area area = Bounds(panels, screenX, screenY);
    double scale = kPlotSize / std::max(area.maxX - area.minX, area.maxY - area.minY);
    double plotWidth = (area.maxX - area.minX) * scale, plotHeight = (area.maxY - area.minY) * scale;
    double panelWidth = std::max(plotWidth, 360.0) + kMargin;
    double top = kMargin + 2 * kLineHeight + 8;

    std::string body;
    SvgText text(body);
    double y = kMargin + 12;
    text.Line(kMargin, y, title, "bold");
    int drawn = static_cast<int>(panels.empty() ? 0 : panels[0].records.size());
    text.Line(kMargin, y,
              drawn == 0 ? std::string("no samples drawn")
                         : Format("lines %d to %d, %d samples", panels[0].records.front().in.line,
                                  panels[0].records.back().in.line, drawn));

    double bottom = top + plotHeight;
    for (size_t p = 0; p < panels.size(); p++) {
        const PicturePanel& panel = panels[p];
        View view{area.minX, area.minY, scale, kMargin + p * panelWidth, top};
        DrawPlot(body, static_cast<int>(p), panel, area, view, plotWidth, plotHeight, screens);
        double textY = top + plotHeight + 40;
        double textWidth = panelWidth - kMargin;
        text.Wrapped(view.left, textY, textWidth, panel.caption, "bold");
        text.Paragraphs(view.left, textY, textWidth, FormatSettings(panel.start));
        textY += 6;
        text.Paragraphs(view.left, textY, textWidth, FormatReplaySummary(panel.summary, panel.start));
        bottom = std::max(bottom, textY);
    }

    // The legend: what the lines and the marks in use mean.
    double legendX = kMargin + panels.size() * panelWidth + 8;
    double legendY = top + 10;
    text.Line(legendX, legendY, "Legend", "bold");
    body += Format("<path d='M%.0f %.0fh26' stroke='#1f77b4' stroke-opacity='0.55' stroke-dasharray='3 2'/>\n",
                   legendX, legendY - 4);
    text.Line(legendX + 34, legendY, "as the original driver delivered it");
    body += Format("<path d='M%.0f %.0fh26' stroke='#1f77b4' stroke-width='1.8'/>\n", legendX, legendY - 4);
    text.Line(legendX + 34, legendY, "as the host received it");
    text.Line(legendX, legendY, "one colour a stroke, numbered at its start");
    bool anyLost = false;
    for (const PicturePanel& panel : panels) {
        anyLost = anyLost || panel.summary.strokesLost > 0;
    }
    if (anyLost) {
        body += Format("<path d='M%.0f %.0fh26' stroke='%s' stroke-opacity='0.35' stroke-width='14' "
                       "stroke-linecap='round'/>\n", legendX, legendY - 4, kLostColour);
        text.Wrapped(legendX + 34, legendY, kLegendWidth - 40,
                     "a stroke lost: nothing of it reached the host (a tap that did nothing)");
    }
    legendY += 6;
    int counts[kMarkCount] = {};
    for (const PicturePanel& panel : panels) {
        for (const ReplayRecord& r : panel.records) {
            int mark = MarkOf(r);
            counts[mark < 0 ? 0 : mark] += mark >= 0;
        }
    }
    for (int mark = 0; mark < kMarkCount; mark++) {
        if (counts[mark] == 0) {
            continue;
        }
        body += MarkShape(mark, legendX + 12, legendY - 4) + "\n";
        text.Wrapped(legendX + 34, legendY, kLegendWidth - 40, MarkLegend(mark));
    }
    legendY += 6;
    for (const char* line : {"Hover over a mark for its line in the", "trace, rule, verdict and measures.",
                             "Rules: a short step, c steady length,", "g steady direction (accept);",
                             "b no step, f no direction yet (reject);", "d length jumps, e too short to turn,",
                             "h direction jumps (errors: they start", "the error delay, which withholds the",
                             "samples after them)."}) {
        text.Line(legendX, legendY, line, "normal", "#444444");
    }
    bottom = std::max(bottom, legendY);

    double width = legendX + kLegendWidth;
    double height = bottom + kMargin;
    return SvgDocument(width, height, body);
}

// The overview of a long trace.

namespace {

// The layer a sample adds to, besides Samples, or -1.
int OverviewLayerOf(const ReplayRecord& r) {
    if (r.in.truth == Truth::Fault) {
        return r.AtOwnPlace() ? PictureOverview::Delivered : PictureOverview::Kept;
    }
    if (r.AtOwnPlace()) {
        return -1;
    }
    if (r.in.truth == Truth::Ok) {
        return PictureOverview::Lost;
    }
    ReplayCause cause = CauseOf(r);
    bool error = cause == ReplayCause::ErrorD || cause == ReplayCause::ErrorE || cause == ReplayCause::ErrorH;
    return error ? PictureOverview::Kept : PictureOverview::Lost;
}

const int kOverviewCells = 40;  // cells across the first screen's longer side, and down

}  // namespace

void PictureOverview::Count(int layer, int line, int32_t x, int32_t y) {
    totals[layer]++;
    int index = (line - 1) / linesPerBin;
    while (index >= kBins) {
        // Twice the lines a bin: each pair of bins becomes one.
        for (int i = 0; i < kBins / 2; i++) {
            for (int l = 0; l < kLayers; l++) {
                bins[i][l] = bins[2 * i][l] + bins[2 * i + 1][l];
            }
        }
        for (int i = kBins / 2; i < kBins; i++) {
            bins[i] = {};
        }
        linesPerBin *= 2;
        index = (line - 1) / linesPerBin;
    }
    bins[index][layer]++;
    if (cells[layer].empty()) {
        cells[layer].assign(kOverviewCells * kOverviewCells, 0);
    }
    double cell = std::max(screenWidth, screenHeight) * kUnitsPerPixel / kOverviewCells;
    int cx = std::clamp(static_cast<int>(x / cell), 0, kOverviewCells - 1);
    int cy = std::clamp(static_cast<int>(y / cell), 0, kOverviewCells - 1);
    cells[layer][cy * kOverviewCells + cx]++;
}

void PictureOverview::Add(const ReplayRecord& r, std::pair<int32_t, int32_t> screen) {
    if (screenWidth == 0) {
        screenWidth = screen.first;
        screenHeight = screen.second;
    }
    int line = std::max(1, r.in.line);
    firstLine = firstLine == 0 ? line : firstLine;
    lastLine = line;
    labelled = labelled || r.in.truth != Truth::Unknown;
    Count(Samples, line, r.in.x, r.in.y);
    int layer = OverviewLayerOf(r);
    if (layer >= 0) {
        Count(layer, line, r.in.x, r.in.y);
    }
    bool inStroke = false;
    StrokeEnd end = strokes_.Add(r, &inStroke);
    if (inStroke || end.fate != StrokeFate::None) {
        if (stroke_.records.size() < kCloseUpSamples) {
            stroke_.records.push_back(r);
        }
        deliveredInStroke_ += layer == Delivered;
        lostInStroke_ += layer == Lost;
    }
    if (end.fate != StrokeFate::None) {
        EndStroke(end);
    }
}

void PictureOverview::EndStroke(const StrokeEnd& end) {
    CloseUp stroke = std::move(stroke_);
    stroke_ = CloseUp();
    if (end.Lost() && !stroke.records.empty()) {
        const ReplayRecord& first = stroke.records.front();
        Count(StrokesLost, std::max(1, first.in.line), first.in.x, first.in.y);
    }
    // What matters most: a stroke lost that other settings deliver, then
    // faults delivered, then good samples lost.
    stroke.score = (end.fate == StrokeFate::Lost ? 1000000000000LL : 0) + deliveredInStroke_ * 1000000 +
                   lostInStroke_;
    if (end.fate == StrokeFate::Lost) {
        stroke.why = "a stroke lost, which other settings deliver";
    } else if (labelled) {
        stroke.why = Format("%lld faults delivered, %lld good samples lost", deliveredInStroke_, lostInStroke_);
    } else {
        stroke.why = Format("%lld samples withheld without an error", lostInStroke_);
    }
    deliveredInStroke_ = lostInStroke_ = 0;
    if (stroke.score == 0 || end.fate == StrokeFate::Open) {
        return;
    }
    // At most half the close-ups are lost strokes (often taps, a dot each),
    // the first ones lost; the others the best of the rest.
    bool lost = end.fate == StrokeFate::Lost;
    std::vector<CloseUp>& kept = lost ? lostCloseUps_ : otherCloseUps_;
    size_t room = lost ? kCloseUps / 2 : kCloseUps;
    if (kept.size() == room && (lost || stroke.score <= kept.back().score)) {
        return;
    }
    auto at = std::find_if(kept.begin(), kept.end(), [&](const CloseUp& c) { return stroke.score > c.score; });
    kept.insert(at, std::move(stroke));
    if (kept.size() > room) {
        kept.pop_back();
    }
}

void PictureOverview::Add(const TraceEvent& event) {
    if (event.kind == TraceEvent::Boot) {
        boots.push_back(event.line);
        strokes_.Interrupt();
        stroke_ = CloseUp();
        deliveredInStroke_ = lostInStroke_ = 0;
    } else if (event.kind == TraceEvent::Dropped) {
        drops.push_back(event.line);
    }
}

void PictureOverview::Finish() {
    strokes_.Interrupt();
    stroke_ = CloseUp();
    closeUps = lostCloseUps_;
    for (size_t i = 0; i < otherCloseUps_.size() && closeUps.size() < kCloseUps; i++) {
        closeUps.push_back(otherCloseUps_[i]);
    }
    std::sort(closeUps.begin(), closeUps.end(), [](const CloseUp& a, const CloseUp& b) {
        return a.records.front().in.line < b.records.front().in.line;
    });
}

namespace {

const char* const kLayerColours[PictureOverview::kLayers] = {"#777777", "#2ca02c", "#ff7f0e", "#d62728",
                                                            "#e31a1c"};

std::string LayerName(int layer, bool labelled) {
    switch (layer) {
    case PictureOverview::Samples: return "samples";
    case PictureOverview::Kept: return labelled ? "faults kept from the host" : "withheld as errors (d, e, h)";
    case PictureOverview::Lost: return labelled ? "good samples lost" : "withheld otherwise";
    case PictureOverview::Delivered: return "faults delivered";
    default: return "strokes lost entirely";
    }
}

// The layers worth a row: faults delivered only in a labelled trace.
std::vector<int> Layers(const PictureOverview& o) {
    std::vector<int> layers;
    for (int layer = 0; layer < PictureOverview::kLayers; layer++) {
        if (layer != PictureOverview::Delivered || o.labelled) {
            layers.push_back(layer);
        }
    }
    return layers;
}

const double kTimelineLeft = 240, kTimelineWidth = 840, kLaneHeight = 24;

// Along the trace: a row a layer, each bar the samples of a stretch of
// lines, each row scaled to its own busiest stretch; boots and drops marked;
// the close-ups lettered where they are.
double DrawTimeline(std::string& svg, SvgText& text, const PictureOverview& o, double top) {
    std::vector<int> layers = Layers(o);
    double left = kTimelineLeft, width = kTimelineWidth;
    double lines = std::max(1, o.lastLine);
    auto X = [&](double line) { return left + (line - 1) / lines * width; };
    double y = top + 14;
    text.Line(kMargin, y, "Along the trace (each row scaled to its busiest stretch)", "bold");
    double lanesTop = y + 4;
    for (size_t i = 0; i < layers.size(); i++) {
        int layer = layers[i];
        double laneTop = lanesTop + i * kLaneHeight;
        long long most = 1;
        for (const auto& bin : o.bins) {
            most = std::max(most, bin[layer]);
        }
        svg += Format("<rect x='%.1f' y='%.1f' width='%.1f' height='%.1f' fill='#fafafa' stroke='#dddddd'/>\n",
                      left, laneTop, width, kLaneHeight - 4);
        double labelY = laneTop + 14;
        text.Line(kMargin, labelY, Format("%s %lld", LayerName(layer, o.labelled).c_str(), o.totals[layer]),
                  "normal", layer == 0 ? "#000" : kLayerColours[layer]);
        std::string bars;
        double binWidth = std::max(1.0, width * o.linesPerBin / lines - 0.4);
        for (int b = 0; b < PictureOverview::kBins; b++) {
            long long n = o.bins[b][layer];
            if (n == 0) {
                continue;
            }
            double h = std::max(2.0, (kLaneHeight - 6) * n / most);
            bars += Format("M%.1f %.1fh%.1fv%.1fh%.1fZ", X(1.0 + b * o.linesPerBin), laneTop + kLaneHeight - 5,
                           binWidth, -h, -binWidth);
        }
        if (!bars.empty()) {
            svg += Format("<path d='%s' fill='%s'/>\n", bars.c_str(), kLayerColours[layer]);
        }
    }
    double lanesBottom = lanesTop + layers.size() * kLaneHeight;
    for (int line : o.boots) {
        svg += Format("<path d='M%.1f %.1fV%.1f' stroke='#000' stroke-dasharray='2 2'/>\n", X(line),
                      lanesTop - 2, lanesBottom);
    }
    for (int line : o.drops) {
        svg += Format("<path d='M%.1f %.1fl-4 7h8Z' fill='#6a3d9a'/>\n", X(line), lanesBottom);
    }
    for (size_t c = 0; c < o.closeUps.size(); c++) {
        double x = X(o.closeUps[c].records.front().in.line);
        svg += Format("<path d='M%.1f %.1fV%.1f' stroke='#1f77b4' stroke-width='1.5'/>\n", x, lanesTop - 2,
                      lanesBottom);
        svg += Format("<text x='%.1f' y='%.1f' fill='#1f77b4' font-weight='bold' text-anchor='middle'>%c</text>\n",
                      x, lanesTop - 5, static_cast<char>('A' + c));
    }
    // Line numbers under the rows.
    double axisY = lanesBottom + 20;
    for (int i = 0; i <= 4; i++) {
        double line = 1 + (o.lastLine - 1) * i / 4.0;
        svg += Format("<text x='%.1f' y='%.1f' fill='#555555' font-size='11' text-anchor='%s'>line %.0f</text>\n",
                      X(line), axisY, i == 0 ? "start" : i == 4 ? "end" : "middle", line);
    }
    y = axisY + kLineHeight;
    std::string marks = o.boots.empty() ? "" : "dashed lines: boots; ";
    if (!o.drops.empty()) {
        marks += "purple triangles: samples the device dropped; ";
    }
    text.Line(kMargin, y, marks + "blue letters: the close-ups below", "normal", "#555555");
    return y;
}

// Over the screen: a small map a layer, each cell shaded by its samples.
double DrawMaps(std::string& svg, SvgText& text, const PictureOverview& o, double top) {
    double y = top + 14;
    text.Line(kMargin, y, "Over the screen (each map shaded to its busiest place)", "bold");
    const double cell = 5, size = kOverviewCells * cell;
    double screenW = o.screenWidth, screenH = o.screenHeight;
    double longer = std::max(screenW, screenH);
    std::vector<int> layers = Layers(o);
    double left = kMargin;
    for (int layer : layers) {
        double labelY = y + 2;
        text.Line(left, labelY, Format("%s %lld", LayerName(layer, o.labelled).c_str(), o.totals[layer]),
                  "normal", layer == 0 ? "#000" : kLayerColours[layer]);
        double mapTop = y + 8;
        svg += Format("<rect x='%.1f' y='%.1f' width='%.1f' height='%.1f' fill='white' stroke='#999999' "
                      "stroke-dasharray='6 3'/>\n", left, mapTop, size * screenW / longer, size * screenH / longer);
        const std::vector<long long>& counts = o.cells[layer];
        long long most = 1;
        for (long long n : counts) {
            most = std::max(most, n);
        }
        for (size_t i = 0; i < counts.size(); i++) {
            if (counts[i] == 0) {
                continue;
            }
            // Square roots, so that a few samples in a place still show.
            double shade = 0.12 + 0.88 * std::sqrt(static_cast<double>(counts[i]) / most);
            svg += Format("<rect x='%.0f' y='%.0f' width='5' height='5' fill='%s' fill-opacity='%.2f'/>\n",
                          left + (i % kOverviewCells) * cell, mapTop + (i / kOverviewCells) * cell,
                          kLayerColours[layer], shade);
        }
        left += size + 16;
    }
    return y + 8 + size + 6;
}

}  // namespace

std::string FormatOverviewSvg(const std::string& title, const std::vector<PicturePanel>& panels,
                              const std::vector<const PictureOverview*>& overviews) {
    std::string body;
    SvgText text(body);
    double width = kTimelineLeft + kTimelineWidth + kMargin;
    double y = kMargin + 12;
    text.Line(kMargin, y, title, "bold");
    const PictureOverview& first = *overviews[0];
    text.Wrapped(kMargin, y, width - 2 * kMargin,
                 Format("lines %d to %d, %lld samples: too many to draw one by one, so an overview "
                        "and close-ups of what matters most; --from LINE --to LINE draws every sample "
                        "of a part",
                        first.firstLine, first.lastLine, first.totals[PictureOverview::Samples]));
    for (size_t p = 0; p < overviews.size(); p++) {
        const PictureOverview& o = *overviews[p];
        const PicturePanel& panel = panels[p];
        y += 10;
        text.Wrapped(kMargin, y, width - 2 * kMargin, panel.caption, "bold");
        std::string settings = FormatSettings(panel.start);
        text.Wrapped(kMargin, y, width - 2 * kMargin, settings.substr(0, settings.find('\n')));
        y = DrawTimeline(body, text, o, y);
        y = DrawMaps(body, text, o, y);

        // The close-ups, each of one stroke, every sample drawn.
        if (!o.closeUps.empty()) {
            y += 14;
            text.Line(kMargin, y, "Close-ups of what matters most (hover over a mark for its line, rule "
                      "and verdict)", "bold");
            const double plot = 240;
            double plotTop = y + 3 * kLineHeight + 4;
            Screens screens = {{o.screenWidth, o.screenHeight}};
            double screenX = o.screenWidth * kUnitsPerPixel, screenY = o.screenHeight * kUnitsPerPixel;
            for (size_t c = 0; c < o.closeUps.size(); c++) {
                const PictureOverview::CloseUp& closeUp = o.closeUps[c];
                PicturePanel part;
                part.records = closeUp.records;
                part.screens = screens;
                Area area = Bounds({part}, screenX, screenY);
                double scale = plot / std::max(area.maxX - area.minX, area.maxY - area.minY);
                double left = kMargin + c * (plot + 24);
                View view{area.minX, area.minY, scale, left, plotTop};
                int from = closeUp.records.front().in.line, to = closeUp.records.back().in.line;
                double captionY = y + kLineHeight;
                text.Line(left, captionY, Format("%c: --from %d --to %d", static_cast<char>('A' + c), from, to),
                          "bold", "#1f77b4");
                text.Wrapped(left, captionY, plot, closeUp.why);
                DrawPlot(body, static_cast<int>(100 + p * PictureOverview::kCloseUps + c), part, area, view,
                         (area.maxX - area.minX) * scale, (area.maxY - area.minY) * scale, screens);
            }
            y = plotTop + plot + 30;
        }
        y += 8;
        text.Paragraphs(kMargin, y, width - 2 * kMargin, FormatReplaySummary(panel.summary, panel.start));
    }
    y += 6;
    for (const char* line : {"In the close-ups: dashed, each stroke as the original driver delivered it; solid, "
                             "as the host received it; a wide red band, a stroke lost.",
                             "Marks: green diamond, a fault kept from the host; red cross, a fault delivered; "
                             "orange circle, a good sample lost; unlabelled, black and red marks give the cause "
                             "(red for errors)."}) {
        text.Wrapped(kMargin, y, width - 2 * kMargin, line);
    }
    double height = y + kMargin;
    return SvgDocument(width, height, body);
}
