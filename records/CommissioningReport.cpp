#include "records/CommissioningReport.h"

#include <string_view>
#include <vector>

#include "protocol/Commands.h"  // FormatFixed: the reading as the main window shows it
#include "protocol/Model.h"
#include "records/RecordFields.h"

namespace {

// Text for an HTML page: the five characters that could start markup or end an attribute.
std::string Escape(std::string_view text) {
    std::string html;
    for (const char c : text) {
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

// Several lines of the technician's note, each kept.
std::string EscapeLines(std::string_view text) {
    std::string html = Escape(text);
    std::string withBreaks;
    for (const char c : html) {
        withBreaks += c == '\n' ? std::string("<br>") : std::string(1, c);
    }
    return withBreaks;
}

// The module's own text (ISO 8859-1), control characters shown as escapes.
std::string ModuleText(const std::string& latin1) {
    return Escape(Latin1ToUtf8(EscapeControls(latin1)));
}

void Row(std::string& html, std::string_view name, const std::string& valueHtml) {
    html += "<tr><th align=\"left\">" + Escape(name) + "</th><td>" + valueHtml + "</td></tr>\n";
}

std::string AlarmText(const std::optional<bool>& activated) {
    return *activated ? "activated" : "not activated";
}

// Space above a heading. Qt's rich text, which prints the page to PDF, lets a heading sit
// right under a table whatever margins the style sheet asks for; an empty small paragraph
// keeps them apart there and in a browser alike.
const std::string kGap = "<p style=\"font-size: 2pt\">&nbsp;</p>\n";

}  // namespace

std::string CommissioningReportHtml(const ReportSite& site, const ReportReading& reading,
                                    const ReportContext& context) {
    const Model model = ModelOf(reading.record);
    const std::string modelText = std::to_string(ModelNumber(model));
    const auto [text1, text2] = std::visit(
        [](const auto& r) {
            return std::pair{r.text1, r.text2};
        },
        reading.record);

    std::string html =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n"
        "<title>Commissioning Report</title>\n"
        "<style>\n"
        "body { font-family: 'DejaVu Sans', Arial, sans-serif; font-size: 9pt; }\n"
        "h1 { font-size: 18pt; margin-bottom: 2pt; }\n"
        "h2 { font-size: 12pt; margin-top: 14pt; margin-bottom: 4pt; }\n"
        "th, td { padding: 3px 8px; }\n"
        ".settings th { background-color: #e8eee8; }\n"
        ".sign td { padding-top: 20px; }\n"
        "</style></head><body>\n";
    html += "<h1>Commissioning Report</h1>\n";
    html += "<p>Fernwell flow transmitter, model " + modelText + "</p>\n";

    html += "<table cellspacing=\"0\">\n";
    Row(html, "Site", Escape(site.site));
    Row(html, "Tag", Escape(site.tag));
    Row(html, "Technician", Escape(site.technician));
    Row(html, "Date and time", Escape(context.generatedAt));
    Row(html, "Program", Escape(context.program));
    Row(html, "Port", Escape(context.port));
    Row(html, "Model", modelText);
    Row(html, "Module", ModuleText(text1) + "<br>" + ModuleText(text2));
    // The live reading, so the customer sees the module measuring when it was handed over.
    Row(html, "Flow rate",
        Escape(FormatFixed(reading.flowRate, 2)) + " " + Escape(reading.flowUnit));
    if (reading.highAlarm) {
        Row(html, "High alarm", AlarmText(reading.highAlarm));
    }
    if (reading.lowAlarm) {
        Row(html, "Low alarm", AlarmText(reading.lowAlarm));
    }
    html += "</table>\n";

    html += kGap + "<h2>Settings</h2>\n";
    html += "<table class=\"settings\" border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n";
    html +=
        "<tr><th align=\"left\">Setting</th><th align=\"left\">Value</th>"
        "<th align=\"left\">Unit</th><th align=\"left\">Key</th></tr>\n";
    for (const SettingComparison& s : CompareSettings(reading.record, reading.record)) {
        html += "<tr><td>" + Escape(s.caption) + "</td><td>" + Escape(s.first) + "</td><td>" +
                Escape(s.unit) + "</td><td>" + Escape(s.key) + "</td></tr>\n";
    }
    html += "</table>\n";

    html += kGap + "<h2>Last upload</h2>\n<p>";
    html += context.lastUpload ? Escape(*context.lastUpload)
                               : std::string("The journal records no upload to this port.");
    html += "</p>\n";

    if (!site.note.empty()) {
        html += kGap + "<h2>Note</h2>\n<p>" + EscapeLines(site.note) + "</p>\n";
    }

    html += kGap + "<h2>Signatures</h2>\n";
    html += "<table class=\"sign\" width=\"100%\" cellspacing=\"0\">\n";
    for (const char* who : {"Technician", "Customer"}) {
        html += std::string("<tr><td width=\"50%\">") + who +
                ": ______________________________</td>"
                "<td>Date: ________________</td></tr>\n";
    }
    html += "</table>\n</body></html>\n";
    return html;
}
