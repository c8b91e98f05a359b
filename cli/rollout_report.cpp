#include "cli/rollout_report.h"

#include <algorithm>
#include <cstdio>

namespace cli {

namespace {

constexpr size_t kFirstSkippedShown = 5;
// time, computer, user, device, before, after, outcome, exit code: the fields
// of the log's first version; later versions only add fields after them.
constexpr size_t kLeastFields = 8;

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

bool Digits(std::string_view text, size_t at, size_t count, int& value) {
    if (at + count > text.size()) {
        return false;
    }
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// Days from 1970-01-01 to the date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// Whether the bytes are UTF-8 as a log's writer makes it: no overlong forms,
// no surrogates, nothing past U+10FFFF.
bool IsUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        size_t length = byte < 0x80                    ? 1
                        : byte >= 0xC2 && byte <= 0xDF ? 2
                        : byte >= 0xE0 && byte <= 0xEF ? 3
                        : byte >= 0xF0 && byte <= 0xF4 ? 4
                                                       : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        uint32_t point = length == 1 ? byte : byte & (0x3F >> (length - 1));
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            point = point << 6 | (next & 0x3F);
        }
        const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < least[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string JsonNames(const std::vector<std::string>& names) {
    std::string json = "[";
    for (const std::string& name : names) {
        json += (json.size() > 1 ? "," : "") + JsonUtf8String(name);
    }
    return json + "]";
}

}  // namespace

PcState StateOfExitCode(int exitCode) {
    if (exitCode == 0 || exitCode == 3) {
        return PcState::Done;
    }
    return exitCode == 11 || exitCode == 12 ? PcState::NothingToDo : PcState::Attention;
}

bool ParseLogTime(std::string_view text, int64_t& utcSeconds) {
    int year, month, day, hour, minute, second;
    if (text.size() < 20 || !Digits(text, 0, 4, year) || text[4] != '-' ||
        !Digits(text, 5, 2, month) || text[7] != '-' || !Digits(text, 8, 2, day) ||
        text[10] != 'T' || !Digits(text, 11, 2, hour) || text[13] != ':' ||
        !Digits(text, 14, 2, minute) || text[16] != ':' || !Digits(text, 17, 2, second)) {
        return false;
    }
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 60) {
        return false;
    }
    int offsetMinutes = 0;
    const std::string_view zone = text.substr(19);
    if (zone != "Z") {
        int zoneHours, zoneMinutes;
        if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') ||
            !Digits(zone, 1, 2, zoneHours) || zone[3] != ':' || !Digits(zone, 4, 2, zoneMinutes) ||
            zoneHours > 14 || zoneMinutes > 59) {
            return false;
        }
        offsetMinutes = (zone[0] == '-' ? -1 : 1) * (zoneHours * 60 + zoneMinutes);
    }
    utcSeconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second -
                 offsetMinutes * 60;
    return true;
}

std::string UtcTimeText(int64_t utcSeconds) {
    const int64_t days = (utcSeconds >= 0 ? utcSeconds : utcSeconds - 86399) / 86400;
    const int64_t inDay = utcSeconds - days * 86400;
    // civil_from_days
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2);
    char text[32];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ",
                  static_cast<long long>(year), static_cast<long long>(month),
                  static_cast<long long>(day), static_cast<long long>(inDay / 3600),
                  static_cast<long long>(inDay / 60 % 60), static_cast<long long>(inDay % 60));
    return text;
}

std::string JsonUtf8String(std::string_view utf8) {
    std::string json = "\"";
    for (size_t i = 0; i < utf8.size();) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const size_t length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        uint32_t point = length == 1 ? byte : byte & (0x3F >> (length - 1));
        for (size_t k = 1; k < length && i + k < utf8.size(); ++k) {
            point = point << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        i += length;
        char escape[16];
        if (point == '"' || point == '\\') {
            json += '\\';
            json += static_cast<char>(point);
        } else if (point >= 0x20 && point < 0x7F) {
            json += static_cast<char>(point);
        } else if (point < 0x10000) {
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(point));
            json += escape;
        } else {
            point -= 0x10000;
            std::snprintf(escape, sizeof escape, "\\u%04X\\u%04X",
                          static_cast<unsigned>(0xD800 + (point >> 10)),
                          static_cast<unsigned>(0xDC00 + (point & 0x3FF)));
            json += escape;
        }
    }
    return json + "\"";
}

void RolloutReport::Skip(size_t log, const char* reason) {
    ++linesSkipped_;
    if (firstSkipped_.size() < kFirstSkippedShown) {
        firstSkipped_.push_back({log, lineInLog_, reason});
    }
}

void RolloutReport::AddLine(size_t log, std::string_view line) {
    ++linesRead_;
    lineInLog_ = log == currentLog_ ? lineInLog_ + 1 : 1;
    currentLog_ = log;
    if (line.empty()) {
        return;  // a blank line is no record, and nothing wrong
    }
    if (line.size() > kMaxLogLineBytes) {
        return Skip(log, "longer than any record");
    }
    if (!IsUtf8(line)) {
        return Skip(log, "not UTF-8");
    }
    std::string_view fields[kLeastFields];
    size_t count = 0;
    for (size_t start = 0; count < kLeastFields; ++count) {
        const size_t tab = line.find('\t', start);
        fields[count] = line.substr(start, tab == std::string_view::npos ? tab : tab - start);
        if (tab == std::string_view::npos) {
            ++count;
            break;
        }
        start = tab + 1;
    }
    if (count < kLeastFields) {
        return Skip(log, "too few fields for a record");
    }
    int64_t time = 0;
    if (!ParseLogTime(fields[0], time)) {
        return Skip(log, "no time of a record");
    }
    int exitCode = 0;
    if (fields[7].empty() || fields[7].size() > 3 ||
        !Digits(fields[7], 0, fields[7].size(), exitCode)) {
        return Skip(log, "no exit code");
    }
    const std::string_view computerName = fields[1];
    if (computerName.empty() || computerName == "-" ||
        std::any_of(line.begin(), line.end(),
                    [](char c) { return c != '\t' && static_cast<unsigned char>(c) < 0x20; })) {
        return Skip(log, computerName.empty() ? "no computer name" : "a control character");
    }
    if (computerName.size() > kMaxComputerNameBytes) {
        return Skip(log, "a computer name longer than a PC's");
    }
    if (fields[3].size() > kMaxDeviceNameBytes || fields[6].size() > kMaxOutcomeBytes) {
        return Skip(log, "a device name or outcome longer than any record's");
    }
    const std::string key = Upper(computerName);
    auto known = computers_.find(key);
    const bool newDevice =
        known == computers_.end() || known->second.devices.count(std::string(fields[3])) == 0;
    if (newDevice && devices_ == kMaxReportedDevices) {
        return Skip(log, "more devices than a roll-out holds");
    }
    devices_ += newDevice ? 1 : 0;
    Computer& computer = known != computers_.end() ? known->second : computers_[key];
    if (time >= computer.spellingTime) {
        computer.spelling = std::string(computerName);
        computer.spellingTime = time;
    }
    Latest& latest =
        computer.devices.emplace(std::string(fields[3]), Latest{INT64_MIN, 0, {}, {}, 0})
            .first->second;
    if (time >= latest.time) {
        latest = {time, ++order_, std::string(fields[3]), std::string(fields[6]), exitCode};
    }
    if (exitCode == 0 && fields[6] == "updated") {
        ++doneByDay_[UtcTimeText(time).substr(0, 10)];
    }
}

void RolloutReport::Expect(std::string_view computer) {
    if (!computer.empty()) {
        expected_.emplace(Upper(computer), std::string(computer));
    }
}

RolloutReport::Summary RolloutReport::Summarize() const {
    Summary summary;
    summary.linesRead = linesRead_;
    summary.linesSkipped = linesSkipped_;
    summary.firstSkipped = firstSkipped_;
    summary.doneByDay = doneByDay_;
    for (PcState state :
         {PcState::Done, PcState::NothingToDo, PcState::Attention, PcState::NeverReported}) {
        summary.states[state] = 0;
    }
    // A computer's worst device: attention outweighs done, done outweighs nothing to do.
    const auto weight = [](PcState state) {
        return state == PcState::Attention ? 2 : state == PcState::Done ? 1 : 0;
    };
    std::map<std::pair<int, std::string>, Cause> causes;
    for (const auto& [key, computer] : computers_) {
        const Latest* worst = nullptr;
        for (const auto& [device, latest] : computer.devices) {
            const PcState state = StateOfExitCode(latest.exitCode);
            if (!worst || weight(state) > weight(StateOfExitCode(worst->exitCode)) ||
                (state == StateOfExitCode(worst->exitCode) && latest.exitCode > worst->exitCode)) {
                worst = &latest;
            }
        }
        const PcState state = StateOfExitCode(worst->exitCode);
        ++summary.states[state];
        summary.computers.push_back({computer.spelling, worst->outcome, state, worst->time});
        if (state != PcState::Attention) {
            continue;
        }
        Cause& cause = causes
                           .emplace(std::make_pair(worst->exitCode, worst->outcome),
                                    Cause{worst->exitCode,
                                          codeOf_(worst->exitCode),
                                          worst->outcome,
                                          {},
                                          worst->time,
                                          worst->time,
                                          {}})
                           .first->second;
        cause.computers.push_back(computer.spelling);
        cause.firstSeen = std::min(cause.firstSeen, worst->time);
        cause.lastSeen = std::max(cause.lastSeen, worst->time);
    }
    for (auto& [key, cause] : causes) {
        std::sort(cause.computers.begin(), cause.computers.end());
        summary.causes.push_back(std::move(cause));
    }
    std::stable_sort(
        summary.causes.begin(), summary.causes.end(),
        [](const Cause& a, const Cause& b) { return a.computers.size() > b.computers.size(); });
    for (const auto& [key, spelling] : expected_) {
        if (computers_.count(key) == 0) {
            summary.neverReported.push_back(spelling);
        }
    }
    std::sort(summary.neverReported.begin(), summary.neverReported.end());
    summary.states[PcState::NeverReported] = static_cast<int>(summary.neverReported.size());
    return summary;
}

std::string ReportJson(const RolloutReport::Summary& summary) {
    std::string json =
        "{\"states\":{\"done\":" + std::to_string(summary.states.at(PcState::Done)) +
        ",\"nothingToDo\":" + std::to_string(summary.states.at(PcState::NothingToDo)) +
        ",\"attention\":" + std::to_string(summary.states.at(PcState::Attention)) +
        ",\"neverReported\":" + std::to_string(summary.states.at(PcState::NeverReported)) +
        "},\"causes\":[";
    for (size_t i = 0; i < summary.causes.size(); ++i) {
        const Cause& cause = summary.causes[i];
        json += std::string(i ? "," : "") + "{\"exitCode\":" + std::to_string(cause.exitCode) +
                ",\"code\":" + (cause.code.empty() ? "null" : JsonUtf8String(cause.code)) +
                ",\"outcome\":" + JsonUtf8String(cause.outcome) +
                ",\"computers\":" + std::to_string(cause.computers.size()) +
                ",\"names\":" + JsonNames(cause.computers) +
                ",\"recordings\":" + JsonNames(cause.recordings) +
                ",\"firstSeen\":" + JsonUtf8String(UtcTimeText(cause.firstSeen)) +
                ",\"lastSeen\":" + JsonUtf8String(UtcTimeText(cause.lastSeen)) + "}";
    }
    json += "],\"neverReported\":" + JsonNames(summary.neverReported) +
            ",\"linesRead\":" + std::to_string(summary.linesRead) +
            ",\"linesSkipped\":" + std::to_string(summary.linesSkipped) + "}";
    return json;
}

std::string HtmlText(std::string_view utf8) {
    std::string html;
    for (const char c : utf8) {
        switch (c) {
            case '&':
                html += "&amp;";
                break;
            case '<':
                html += "&lt;";
                break;
            case '>':
                html += "&gt;";
                break;
            case '"':
                html += "&quot;";
                break;
            case '\'':
                html += "&#39;";
                break;
            default:
                html += c;
        }
    }
    return html;
}

std::string ReportHtml(const RolloutReport::Summary& summary) {
    const struct {
        PcState state;
        const char *id, *label, *colour;
    } states[] = {
        {PcState::Done, "done", "done", "#2e7d32"},
        {PcState::NothingToDo, "nothingToDo", "nothing to do", "#90a4ae"},
        {PcState::Attention, "attention", "attention", "#c62828"},
        {PcState::NeverReported, "neverReported", "never reported", "#f9a825"},
    };
    int total = 0;
    for (const auto& state : states) {
        total += summary.states.at(state.state);
    }
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<title>velto1 roll-out report</title><style>"
        "body{font-family:sans-serif;margin:2em;color:#222}"
        ".figures{display:flex;gap:2em}.figure{font-size:2.4em;font-weight:bold}"
        ".label{font-size:0.9em;color:#555}table{border-collapse:collapse;margin:0.5em 0 1.5em}"
        "td,th{border:1px solid #ccc;padding:0.3em 0.6em;text-align:left;vertical-align:top}"
        "</style></head><body>\n<h1>velto1 roll-out report</h1>\n<div class=\"figures\">";
    for (const auto& state : states) {
        html += "<div id=\"" + std::string(state.id) +
                "\"><div class=\"figure\" style=\"color:" + state.colour + "\">" +
                std::to_string(summary.states.at(state.state)) + "</div><div class=\"label\">" +
                state.label + "</div></div>";
    }
    // The states as one bar, each its share of the computers.
    html += "</div>\n<svg width=\"600\" height=\"24\" role=\"img\" aria-label=\"states\">";
    double x = 0;
    for (const auto& state : states) {
        const double width = total ? 600.0 * summary.states.at(state.state) / total : 0;
        char rect[160];
        std::snprintf(rect, sizeof rect,
                      "<rect x=\"%.1f\" width=\"%.1f\" height=\"24\" fill=\"%s\"/>", x, width,
                      state.colour);
        html += rect;
        x += width;
    }
    html += "</svg>\n";
    // The devices updated each day (UTC), one bar a day.
    if (!summary.doneByDay.empty()) {
        int most = 1;
        for (const auto& [day, count] : summary.doneByDay) {
            most = std::max(most, count);
        }
        const size_t days = summary.doneByDay.size();
        const double barWidth = std::max(2.0, std::min(20.0, 600.0 / static_cast<double>(days)));
        html += "<h2>Devices updated per day (UTC)</h2>\n<svg id=\"trend\" width=\"" +
                std::to_string(static_cast<int>(barWidth * static_cast<double>(days)) + 1) +
                "\" height=\"80\" role=\"img\" aria-label=\"devices updated per day\">";
        double at = 0;
        for (const auto& [day, count] : summary.doneByDay) {
            const double height = 78.0 * count / most;
            char rect[200];
            std::snprintf(rect, sizeof rect,
                          "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" "
                          "fill=\"#2e7d32\"><title>",
                          at, 80 - height, barWidth - 1, height);
            html += rect + HtmlText(day) + ": " + std::to_string(count) + "</title></rect>";
            at += barWidth;
        }
        html += "</svg>\n";
    }
    html += "<h2>Causes of attention, largest first</h2>\n";
    if (summary.causes.empty()) {
        html += "<p>None.</p>\n";
    }
    for (const Cause& cause : summary.causes) {
        html += "<table class=\"cause\"><tr><th>computers</th><td class=\"count\">" +
                std::to_string(cause.computers.size()) + "</td></tr><tr><th>outcome</th><td>" +
                HtmlText(cause.outcome) + "</td></tr><tr><th>code</th><td>" +
                HtmlText(cause.code.empty() ? "-" : cause.code) + ", exit code " +
                std::to_string(cause.exitCode) + "</td></tr><tr><th>seen</th><td>" +
                UtcTimeText(cause.firstSeen) + " to " + UtcTimeText(cause.lastSeen) +
                "</td></tr><tr><th>names</th><td class=\"names\">";
        for (size_t i = 0; i < cause.computers.size(); ++i) {
            html += (i ? ", " : "") + HtmlText(cause.computers[i]);
        }
        html += "</td></tr>";
        if (!cause.recordings.empty()) {
            html += "<tr><th>recordings</th><td>";
            for (const std::string& recording : cause.recordings) {
                html += HtmlText(recording) + "<br>";
            }
            html += "</td></tr>";
        }
        html += "</table>\n";
    }
    html += "<h2>Never reported</h2>\n<p id=\"never\">";
    for (size_t i = 0; i < summary.neverReported.size(); ++i) {
        html += (i ? ", " : "") + HtmlText(summary.neverReported[i]);
    }
    html += summary.neverReported.empty() ? "None." : "";
    html +=
        "</p>\n<h2>Every computer</h2>\n<table id=\"computers\"><tr><th>computer</th>"
        "<th>state</th><th>latest outcome of its worst device</th><th>at (UTC)</th></tr>";
    for (const auto& computer : summary.computers) {
        const char* label = "";
        for (const auto& state : states) {
            label = state.state == computer.state ? state.label : label;
        }
        html += "<tr><td>" + HtmlText(computer.name) + "</td><td>" + label + "</td><td>" +
                HtmlText(computer.outcome) + "</td><td>" + UtcTimeText(computer.time) +
                "</td></tr>";
    }
    for (const std::string& name : summary.neverReported) {
        html += "<tr><td>" + HtmlText(name) + "</td><td>never reported</td><td></td><td></td></tr>";
    }
    html += "</table>\n<p class=\"label\">" + std::to_string(summary.linesRead) + " lines read, " +
            std::to_string(summary.linesSkipped) + " skipped.</p>\n</body></html>\n";
    return html;
}

}  // namespace cli
