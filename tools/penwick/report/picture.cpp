#include "report/picture.h"

#include <algorithm>
#include <sstream>

#include "report/format.h"
#include "report/summary.h"

namespace {

// How each cause is marked in the picture.
struct CauseStyle {
    const char* colour;
    const char* shape;  // circle, square, cross, diamond
};

CauseStyle StyleOf(Cause cause) {
    switch (cause) {
    case Cause::StrokeStart: return {"#2ca02c", "circle"};
    case Cause::RuleB: return {"#ff7f0e", "square"};
    case Cause::RuleF: return {"#9467bd", "square"};
    case Cause::ErrorD: return {"#d62728", "cross"};
    case Cause::ErrorE: return {"#e377c2", "cross"};
    case Cause::ErrorH: return {"#8c564b", "cross"};
    case Cause::ErrorDelay: return {"#bcbd22", "diamond"};
    case Cause::Unusable: return {"#7f7f7f", "diamond"};
    case Cause::ExtraUp: return {"#17becf", "circle"};
    case Cause::Delivered: break;
    }
    return {"#000000", "circle"};
}

std::string Marker(const CauseStyle& style, double x, double y) {
    const double r = 4;
    std::string shape = style.shape;
    if (shape == "circle") {
        return Format("<circle cx='%.1f' cy='%.1f' r='%.0f' fill='none' stroke='%s' stroke-width='1.5'/>",
                      x, y, r, style.colour);
    }
    if (shape == "square") {
        return Format("<rect x='%.1f' y='%.1f' width='%.0f' height='%.0f' fill='none' stroke='%s' stroke-width='1.5'/>",
                      x - r, y - r, 2 * r, 2 * r, style.colour);
    }
    if (shape == "cross") {
        return Format("<path d='M%.1f %.1fL%.1f %.1fM%.1f %.1fL%.1f %.1f' stroke='%s' stroke-width='2'/>",
                      x - r, y - r, x + r, y + r, x - r, y + r, x + r, y - r, style.colour);
    }
    return Format("<path d='M%.1f %.1fL%.1f %.1fL%.1f %.1fL%.1f %.1fZ' fill='%s' fill-opacity='0.6'/>",
                  x, y - r, x + r, y, x, y + r, x - r, y, style.colour);
}

}  // namespace

std::string FormatReplaySvg(const ReplayResult& result, const std::string& title) {
    const std::vector<ReplayRecord>& records = result.records;
    double minX = 0, maxX = 1, minY = 0, maxY = 1;
    if (!records.empty()) {
        minX = maxX = records[0].in.x;
        minY = maxY = records[0].in.y;
    }
    for (const ReplayRecord& r : records) {
        minX = std::min(minX, double(r.in.x));
        maxX = std::max(maxX, double(r.in.x));
        minY = std::min(minY, double(r.in.y));
        maxY = std::max(maxY, double(r.in.y));
    }
    const double plot = 640, margin = 20, panelX = plot + 2 * margin, width = panelX + 420;
    double span = std::max({maxX - minX, maxY - minY, 1.0});
    double scale = plot / span;
    auto px = [&](double x) { return margin + (x - minX) * scale; };
    auto py = [&](double y) { return margin + (y - minY) * scale; };

    // The picture's body; its height is known once the panel is written.
    std::ostringstream svg;
    svg << Format("<rect x='%.0f' y='%.0f' width='%.0f' height='%.0f' fill='#f8f8f8' stroke='#ccc'/>\n",
                  margin, margin, plot, plot);

    // The raw strokes, as the original driver delivered them (light), and
    // the strokes the host received (dark), each cut where the pen lifts.
    auto path = [&](bool raw) {
        std::string d;
        bool open = false;
        for (const ReplayRecord& r : records) {
            bool shown = raw || r.delivered;
            if (!shown) {
                continue;
            }
            uint32_t flags = raw ? r.in.flags : r.flagsOut;
            double x = px(raw ? r.in.x : r.xOut), y = py(raw ? r.in.y : r.yOut);
            d += Format("%s%.1f %.1f ", open ? "L" : "M", x, y);
            open = (flags & 0x02) != 0;
        }
        return d;
    };
    svg << "<path d='" << path(true)
        << "' fill='none' stroke='#aaaaaa' stroke-width='1' stroke-dasharray='3 2'/>\n";
    svg << "<path d='" << path(false) << "' fill='none' stroke='#1f4e9c' stroke-width='2'/>\n";
    for (const ReplayRecord& r : records) {
        if (r.cause != Cause::Delivered && r.cause != Cause::Unusable) {
            svg << Marker(StyleOf(r.cause), px(r.in.x), py(r.in.y)) << "\n";
        }
    }

    // Legend, settings and summary in the panel on the right.
    double y = margin + 14;
    auto line = [&](const std::string& text, const char* weight = "normal") {
        svg << Format("<text x='%.0f' y='%.0f' font-weight='%s'>", panelX, y, weight)
            << XmlEscaped(text) << "</text>\n";
        y += 16;
    };
    // Long text is broken at spaces into lines of at most 60 characters.
    auto wrapped = [&](const std::string& text, const char* weight = "normal") {
        for (size_t start = 0; start < text.size();) {
            size_t end = std::min(text.size(), start + 60);
            if (end < text.size()) {
                size_t space = text.rfind(' ', end);
                end = space > start ? space + 1 : end;
            }
            line(text.substr(start, end - start), weight);
            start = end;
        }
    };
    wrapped(title, "bold");
    y += 6;
    svg << Format("<path d='M%.0f %.0fh24' stroke='#aaaaaa' stroke-dasharray='3 2'/>", panelX, y - 4);
    svg << Format("<text x='%.0f' y='%.0f'>raw samples</text>\n", panelX + 30, y);
    y += 16;
    svg << Format("<path d='M%.0f %.0fh24' stroke='#1f4e9c' stroke-width='2'/>", panelX, y - 4);
    svg << Format("<text x='%.0f' y='%.0f'>delivered to the host</text>\n", panelX + 30, y);
    y += 16;
    for (int c = 1; c < kCauseCount; c++) {
        Cause cause = static_cast<Cause>(c);
        svg << Marker(StyleOf(cause), panelX + 12, y - 4);
        svg << Format("<text x='%.0f' y='%.0f'>withheld: %s (%d)</text>\n", panelX + 30, y,
                      CauseName(cause), result.summary.withheld[c]);
        y += 16;
    }
    y += 8;
    line("Settings", "bold");
    wrapped(FormatSettings(result));
    y += 8;
    line("Summary", "bold");
    std::istringstream summary(FormatReplaySummary(result));
    for (std::string text; std::getline(summary, text);) {
        wrapped(text);
    }
    double height = std::max(plot + margin, y) + margin;
    return Format("<svg xmlns='http://www.w3.org/2000/svg' width='%.0f' height='%.0f' "
                  "viewBox='0 0 %.0f %.0f' font-family='sans-serif' font-size='12'>\n",
                  width, height, width, height) +
           "<rect width='100%' height='100%' fill='white'/>\n" + svg.str() + "</svg>\n";
}
