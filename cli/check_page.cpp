#include "cli/check_page.h"

#include <map>
#include <tuple>

#include "cli/cli_common.h"

namespace meshara::cli {

namespace {

// Text as HTML: printable as everywhere, then escaped.
std::string Html(std::string_view text) {
    std::string out;
    for (char c : Printable(text)) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string Base64(const std::vector<uint8_t>& bytes) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const uint32_t n = uint32_t{bytes[i]} << 16 | (i + 1 < bytes.size() ? uint32_t{bytes[i + 1]} << 8 : 0) |
                           (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        out += kDigits[n >> 18 & 63];
        out += kDigits[n >> 12 & 63];
        out += i + 1 < bytes.size() ? kDigits[n >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
    }
    return out;
}

constexpr const char* kStyle = R"(
body { font: 15px/1.4 system-ui, sans-serif; margin: 0 auto; max-width: 60em; padding: 1em; color: #222; }
h1 { font-size: 1.6em; } h2 { font-size: 1.2em; margin: 0 0 .4em; word-break: break-all; }
table { border-collapse: collapse; width: 100%; margin: .4em 0; }
th, td { text-align: left; padding: .2em .5em; border-bottom: 1px solid #ddd; vertical-align: top; }
caption { text-align: left; font-weight: bold; padding: .2em 0; }
.model { display: grid; grid-template-columns: 136px 1fr; gap: 0 1em; border-top: 2px solid #888; padding: .8em 0; }
.model img, .model .none { width: 128px; height: 128px; background: #eee; }
.model .none { display: flex; align-items: center; justify-content: center; font-size: .8em; color: #555; }
dl { display: grid; grid-template-columns: max-content 1fr; gap: 0 .8em; margin: 0; }
dt { font-weight: bold; } dd { margin: 0; }
.error td:first-child { color: #a00; font-weight: bold; } .warning td:first-child { color: #8a5a00; font-weight: bold; }
fieldset { border: 1px solid #ccc; } .clean { color: #276227; }
)";

// Rows of the severities not ticked are hidden; nothing is fetched.
constexpr const char* kScript = R"(
document.querySelectorAll('#filter input').forEach(function (box) {
  box.addEventListener('change', function () {
    document.querySelectorAll('tr.' + box.value).forEach(function (row) { row.hidden = !box.checked; });
  });
});
)";

}  // namespace

std::string CheckPage(const std::vector<CheckedModel>& checked, const std::vector<std::vector<uint8_t>>& thumbnails) {
    int64_t players = 0, counts[3] = {0, 0, 0};
    std::map<std::tuple<int, std::string>, int64_t> byCode;  // by severity, then code
    for (const CheckedModel& m : checked) {
        players += m.player;
        for (const Finding& f : m.findings) {
            ++counts[static_cast<int>(f.severity)];
            ++byCode[{static_cast<int>(f.severity), f.code}];
        }
    }
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; img-src data:; "
        "style-src 'unsafe-inline'; script-src 'unsafe-inline'\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>Model check: " +
        std::to_string(checked.size()) + " checked</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<main>\n";
    const auto counted = [](int64_t n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); };
    page += "<h1>Model check</h1>\n<p>" + counted(static_cast<int64_t>(checked.size()) - players, "model", "models") +
            " and " + counted(players, "player", "players") + ": " + counted(counts[0], "error", "errors") + ", " +
            counted(counts[1], "warning", "warnings") + ", " + counted(counts[2], "note", "notes") + ".</p>\n";
    page += "<section aria-labelledby=\"by-code\">\n<h2 id=\"by-code\">Findings by code</h2>\n<table>\n"
            "<caption>How often each finding was made</caption>\n<thead><tr><th scope=\"col\">Severity</th>"
            "<th scope=\"col\">Code</th><th scope=\"col\">Count</th></tr></thead>\n<tbody>\n";
    for (const auto& [key, n] : byCode) {
        const char* severity = SeverityName(static_cast<Severity>(std::get<0>(key)));
        page += std::string("<tr class=\"") + severity + "\"><td>" + severity + "</td><td>" + Html(std::get<1>(key)) +
                "</td><td>" + std::to_string(n) + "</td></tr>\n";
    }
    if (byCode.empty()) page += "<tr><td colspan=\"3\" class=\"clean\">No findings</td></tr>\n";
    page += "</tbody>\n</table>\n</section>\n";
    page += "<fieldset id=\"filter\">\n<legend>Show findings of severity</legend>\n";
    for (const char* severity : {"error", "warning", "note"})
        page += std::string("<label><input type=\"checkbox\" value=\"") + severity + "\" checked> " + severity +
                "s</label>\n";
    page += "</fieldset>\n";
    for (size_t i = 0; i < checked.size(); ++i) {
        const CheckedModel& m = checked[i];
        const std::string id = "model-" + std::to_string(i);
        page += "<section class=\"model\" aria-labelledby=\"" + id + "\">\n<div>";
        if (i < thumbnails.size() && !thumbnails[i].empty())
            page += "<img src=\"data:image/png;base64," + Base64(thumbnails[i]) + "\" alt=\"" +
                    Html(m.path) + " drawn in its skin\" width=\"128\" height=\"128\">";
        else
            page += "<div class=\"none\" role=\"img\" aria-label=\"no picture: the model cannot be drawn\">no picture</div>";
        page += "</div>\n<div>\n<h2 id=\"" + id + "\">" + Html(m.path) + "</h2>\n<dl>\n<dt>Kind</dt><dd>" +
                (m.player ? "player" : "model") + "</dd>\n<dt>Frames</dt><dd>" + std::to_string(m.frames) +
                "</dd>\n<dt>Vertices</dt><dd>" + std::to_string(m.vertices) + "</dd>\n<dt>Triangles</dt><dd>" +
                std::to_string(m.triangles) + "</dd>\n<dt>Skins</dt><dd>";
        for (size_t k = 0; k < m.skins.size(); ++k) page += (k ? ", " : "") + Html(m.skins[k]);
        if (m.skins.empty()) page += "none";
        page += "</dd>\n<dt>Animations</dt><dd>";
        for (size_t k = 0; k < m.animations.size(); ++k)
            page += (k ? ", " : "") + Html(m.animations[k].name) + " " + std::to_string(m.animations[k].first) + "&ndash;" +
                    std::to_string(m.animations[k].last);
        if (m.animations.empty()) page += "none";
        page += "</dd>\n</dl>\n";
        if (m.findings.empty()) {
            page += "<p class=\"clean\">No findings.</p>\n";
        } else {
            page += "<table>\n<caption>Findings for " + Html(m.path) + "</caption>\n<thead><tr><th scope=\"col\">Severity"
                    "</th><th scope=\"col\">Code</th><th scope=\"col\">Frame</th><th scope=\"col\">Finding</th></tr>"
                    "</thead>\n<tbody>\n";
            for (const Finding& f : m.findings) {
                const char* severity = SeverityName(f.severity);
                page += std::string("<tr class=\"") + severity + "\"><td>" + severity + "</td><td>" + Html(f.code) +
                        "</td><td>" + (f.frame ? std::to_string(*f.frame) : "") + "</td><td>" + Html(f.message) +
                        "</td></tr>\n";
            }
            page += "</tbody>\n</table>\n";
        }
        page += "</div>\n</section>\n";
    }
    page += "</main>\n<script>" + std::string(kScript) + "</script>\n</body>\n</html>\n";
    return page;
}

}  // namespace meshara::cli
