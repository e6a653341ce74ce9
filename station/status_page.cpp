#include "station/status_page.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <tuple>

#include "segweld_version.h"
#include "station/time_stamp.h"

namespace segweld::station {
namespace {

using Wall = std::chrono::system_clock;
using State = StatusCell::State;

// How each state looks: the colours are of Okabe and Ito's palette, which
// readers with any common colour blindness tell apart; the symbol says the
// same without colour.
struct Look {
    State state;
    const char* symbol;
    const char* label;
};
constexpr std::array<Look, 6> kLooks = {{
    {State::Complete, "\u2713", "complete"},
    {State::Incomplete, "\u25D0", "incomplete"},
    {State::Failed, "!", "failed"},
    {State::Late, "\u21BB", "late"},
    {State::Missing, "\u2717", "missing"},
    {State::Waiting, "\u2026", "waiting"},
}};

const Look& LookOf(State state) {
    return *std::find_if(kLooks.begin(), kLooks.end(),
                         [&](const Look& l) { return l.state == state; });
}

constexpr const char* kStyle = R"(
:root{font-family:"DejaVu Sans",Verdana,sans-serif;color:#1a1a1a;background:#fff}
body{margin:0 auto;padding:.6rem 1rem;max-width:1240px}
h1{font-size:1.3rem;margin:.2rem 0}h2{font-size:1.1rem;margin:1.2rem 0 .4rem}
h3{font-size:1rem;margin:.8rem 0 .3rem}
.health{display:flex;flex-wrap:wrap;gap:.3rem 1.4rem;margin:.3rem 0;padding:0}
.health div{min-width:10rem}.health dt{font-size:.75rem;color:#555}
.health dd{margin:0;font-weight:bold;overflow-wrap:anywhere}
.legend span,.totals span{display:inline-block;margin:0 .8rem .3rem 0;white-space:nowrap}
.scroll{overflow-x:auto}
table{border-collapse:collapse;font-size:.85rem}
.grid th,.grid td{border:1px solid #fff;padding:0;text-align:center}
.grid thead th{font-size:.7rem;font-weight:normal;padding:.1rem .15rem;vertical-align:bottom;
text-align:left}
.grid thead th.ch{writing-mode:vertical-rl;transform:rotate(180deg);height:4.2rem;text-align:center}
.grid tbody th{font-weight:normal;text-align:left;padding:0 .5rem 0 0;white-space:nowrap}
.grid td.c{width:2rem;height:1.5rem;font-size:1rem}
.grid td.sum{text-align:left;padding:0 .5rem;white-space:nowrap;font-size:.8rem}
.sw{display:inline-block;width:1.4rem;text-align:center;margin-right:.3rem}
.complete{background:#009E73;color:#000}.incomplete{background:#E69F00;color:#000}
.failed{background:#E69F00;color:#000;font-weight:bold}.late{background:#0072B2;color:#fff}
.missing{background:#D55E00;color:#000}.waiting{background:#e4e4e4;color:#000}
.list td,.list th{text-align:left;padding:.15rem .6rem .15rem 0;vertical-align:top}
.list td.name{overflow-wrap:anywhere;font-family:"DejaVu Sans Mono",monospace;font-size:.78rem}
@media (max-width:700px){body{padding:.4rem}.grid td.c{width:1.45rem;height:1.35rem;font-size:.85rem}
.grid tbody th{font-size:.72rem}.grid td.sum{font-size:.7rem}.health div{min-width:8rem}}
)";

std::string Text(std::string_view text) {
    return EscapedHtml(text);
}

std::string TimeOf(Wall::time_point when) {
    const std::string stamp = UtcTimeStamp(when);  // 2026-12-06T21:30:05.123Z
    return stamp.substr(0, 10) + " " + stamp.substr(11, 8);
}

std::string Age(Wall::time_point now, Wall::time_point then) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - then).count();
    char text[48];
    if (seconds < 120) {
        std::snprintf(text, sizeof text, "%lld s",
                      static_cast<long long>(std::max<int64_t>(seconds, 0)));
    } else if (seconds < 2 * 3600) {
        std::snprintf(text, sizeof text, "%lld min", static_cast<long long>(seconds / 60));
    } else if (seconds < 2 * 86400) {
        std::snprintf(text, sizeof text, "%lld h %lld min", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60));
    } else {
        std::snprintf(text, sizeof text, "%lld d %lld h", static_cast<long long>(seconds / 86400),
                      static_cast<long long>(seconds / 3600 % 24));
    }
    return text;
}

// "201010111400" -> "2010-10-11 14:00".
std::string SlotTime(const std::string& time) {
    return time.substr(0, 4) + "-" + time.substr(4, 2) + "-" + time.substr(6, 2) + " " +
           time.substr(8, 2) + ":" + time.substr(10, 2);
}

std::string SlotTimeField(Wall::time_point when) {
    const std::string stamp = UtcTimeStamp(when);
    return stamp.substr(0, 4) + stamp.substr(5, 2) + stamp.substr(8, 2) + stamp.substr(11, 2) +
           stamp.substr(14, 2);
}

std::string Cell(const StatusRow& row, const std::string& channel, const StatusCell& cell) {
    const Look& look = LookOf(cell.state);
    std::string title = channel + " " + SlotTime(row.key.time) + " UTC: " + look.label;
    if (cell.joined > 0 || cell.missing > 0) {
        title += ", " + std::to_string(cell.joined) + " segment" + (cell.joined == 1 ? "" : "s") +
                 " joined";
        if (cell.missing > 0) {
            title += ", " + std::to_string(cell.missing) + " missing";
        }
    }
    if (!cell.output.empty()) {
        title += " \u2192 " + cell.output;
    }
    return "<td class=\"c " + std::string(look.label) + "\" data-channel=\"" + Text(channel) +
           "\" data-state=\"" + look.label + "\" title=\"" + Text(title) + "\">" + look.symbol +
           "</td>";
}

// The row's counts in words: "12 complete", "10 complete, 1 late, 1 missing".
std::string Summary(const StatusRow& row) {
    std::string text;
    for (const Look& look : kLooks) {
        const auto count =
            std::count_if(row.cells.begin(), row.cells.end(),
                          [&](const StatusCell& c) { return c.state == look.state; });
        if (count > 0) {
            text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + look.label;
        }
    }
    if (row.publication > 0) {
        text += "; published " + std::string(SlotStateName(row.published));
        if (row.publication > 1) {
            text += " (" + std::to_string(row.publication) + ")";
        }
    }
    if (row.publication > 0 && !(row.prologue && row.epilogue)) {
        text += row.prologue   ? "; no epilogue"
                : row.epilogue ? "; no prologue"
                               : "; no prologue, no epilogue";
    }
    return text;
}

using Series = std::tuple<char, std::string, std::string>;  // rate, satellite, service

// The rows of one series, the newest first, with the repeat cycles between
// them that saw no file as rows of missing cells, at most a day's worth.
std::vector<StatusRow> WithGaps(std::vector<StatusRow> rows, size_t channels) {
    std::sort(rows.begin(), rows.end(),
              [](const StatusRow& a, const StatusRow& b) { return a.key.time > b.key.time; });
    if (rows.empty()) {
        return rows;
    }
    const auto cycle = std::chrono::minutes(rows.front().key.service == "RSS" ? 5 : 15);
    const size_t most = static_cast<size_t>(StatusBoard::kKept / cycle);
    std::vector<StatusRow> filled;
    for (size_t i = 0; i < rows.size() && filled.size() < most; ++i) {
        filled.push_back(rows[i]);
        if (i + 1 == rows.size()) {
            break;
        }
        const Wall::time_point next = rows[i + 1].key.NominalTime();
        for (Wall::time_point t = rows[i].key.NominalTime() - cycle;
             t > next && filled.size() < most; t -= cycle) {
            StatusRow gap;
            gap.key = rows[i].key;
            gap.key.time = SlotTimeField(t);
            gap.cells.resize(channels);
            filled.push_back(std::move(gap));
        }
    }
    return filled;
}

void Grid(std::string& html, const StatusView& view) {
    std::map<Series, std::vector<StatusRow>> series;
    for (const StatusRow& row : view.rows) {
        series[{row.key.rate, row.key.satellite, row.key.service}].push_back(row);
    }
    std::map<State, size_t> totals;
    std::string tables;
    for (auto& [id, rows] : series) {
        const auto& [rate, satellite, service] = id;
        const std::string name = std::string(1, rate) + "-" + satellite + "-" + service;
        tables += "<h3>" + Text(satellite) + " " + Text(service) + (rate == 'L' ? " (LRIT)" : "") +
                  "</h3>\n<div class=\"scroll\"><table class=\"grid\" data-series=\"" + Text(name) +
                  "\">\n<thead><tr><th>nominal time (UTC)</th>";
        for (const std::string& channel : view.channels) {
            tables += "<th class=\"ch\">" + Text(channel) + "</th>";
        }
        tables += "<th>slot</th></tr></thead>\n<tbody>\n";
        for (const StatusRow& row : WithGaps(std::move(rows), view.channels.size())) {
            tables += "<tr data-slot=\"" + Text(row.key.Text()) + "\"><th>" +
                      Text(SlotTime(row.key.time)) + "</th>";
            for (size_t column = 0; column < view.channels.size(); ++column) {
                tables += Cell(row, view.channels[column], row.cells[column]);
                ++totals[row.cells[column].state];
            }
            tables += "<td class=\"sum\">" + Text(Summary(row)) + "</td></tr>\n";
        }
        tables += "</tbody></table></div>\n";
    }
    html += "<p class=\"legend\">";
    for (const Look& look : kLooks) {
        html += "<span><span class=\"sw " + std::string(look.label) + "\">" + look.symbol +
                "</span>" + look.label + "</span>";
    }
    html += "</p>\n";
    if (series.empty()) {
        html += "<p>No time slot seen in the last 24 hours.</p>\n";
        return;
    }
    html += "<p class=\"totals\" id=\"totals\">Channels of the slots shown: ";
    for (const Look& look : kLooks) {
        html += "<span data-state=\"" + std::string(look.label) + "\">" +
                std::to_string(totals[look.state]) + " " + look.label + "</span>";
    }
    html += "</p>\n" + tables;
}

void Outputs(std::string& html, const StatusView& view) {
    html += "<h2>Latest outputs</h2>\n";
    if (view.outputs.empty()) {
        html += "<p>None yet.</p>\n";
        return;
    }
    html +=
        "<div class=\"scroll\"><table class=\"list\" id=\"outputs\"><thead><tr><th>written "
        "(UTC)</th><th>state</th><th>output</th></tr></thead><tbody>\n";
    for (const StatusOutput& output : view.outputs) {
        const char* state = output.again ? "late" : StatusName(output.status);
        const size_t slash = output.output.find_last_of("/\\");
        const std::string name =
            slash == std::string::npos ? output.output : output.output.substr(slash + 1);
        html += "<tr><td>" + TimeOf(output.when) + "</td><td>" + state +
                "</td><td class=\"name\" title=\"" + Text(output.output) + "\">" + Text(name) +
                "</td></tr>\n";
    }
    html += "</tbody></table></div>\n";
}

void Waiting(std::string& html, const StatusView& view) {
    html += "<h2>Waiting products (" + std::to_string(view.waitingTotal) + ")</h2>\n";
    if (view.waiting.empty()) {
        html += "<p>None.</p>\n";
        return;
    }
    html +=
        "<div class=\"scroll\"><table class=\"list\" id=\"waiting\"><thead><tr><th>since</th>"
        "<th>segments</th><th>product</th></tr></thead><tbody>\n";
    for (const StatusWaiting& waiting : view.waiting) {
        html += "<tr><td>" + Age(view.now, waiting.since) + "</td><td>" +
                std::to_string(waiting.segments) + (waiting.joining ? ", being joined" : "") +
                "</td><td class=\"name\">" + Text(waiting.key) + "</td></tr>\n";
    }
    if (view.waitingTotal > view.waiting.size()) {
        html += "<tr><td colspan=\"3\">and " +
                std::to_string(view.waitingTotal - view.waiting.size()) + " more</td></tr>\n";
    }
    html += "</tbody></table></div>\n";
}

void Health(std::string& html, const StatusView& view, uint64_t written) {
    const std::pair<const char*, std::string> items[] = {
        {"up for", Age(view.now, view.started)},
        {"started (UTC)", TimeOf(view.started)},
        {"watching", view.inputFolder},
        {"writing into", view.outputFolder},
        {"outputs written", std::to_string(written)},
        {"last output", view.outputs.empty() ? std::string("none yet")
                                             : Age(view.now, view.outputs.front().when) + " ago"},
        {"time slots", view.slots ? "published (--slots)" : "shown from the products"},
        {"version", "segweld " SEGWELD_VERSION},
    };
    html += "<dl class=\"health\" id=\"health\">";
    for (const auto& [term, value] : items) {
        html += "<div><dt>" + std::string(term) + "</dt><dd>" + Text(value) + "</dd></div>";
    }
    html += "</dl>\n";
}

}  // namespace

std::string EscapedHtml(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&#39;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string StatusPageHtml(const StatusView& view, uint64_t written) {
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<meta http-equiv=\"refresh\" content=\"15\">\n<title>segweld: " +
        Text(view.inputFolder) + "</title>\n<style>" + kStyle + "</style></head>\n<body>\n";
    html += "<h1>segweld watch of " + Text(view.inputFolder) + "</h1>\n";
    Health(html, view, written);
    html += "<h2>Time slots of the last 24 hours</h2>\n";
    Grid(html, view);
    Outputs(html, view);
    Waiting(html, view);
    html += "<p><small>As at " + TimeOf(view.now) +
            " UTC; this page reloads every 15 s. Metrics: <a href=\"/metrics\">/metrics</a>."
            "</small></p>\n</body></html>\n";
    return html;
}

}  // namespace segweld::station
