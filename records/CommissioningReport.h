#pragma once
// The commissioning report: what was set in a module, for the customer's records. Its content
// is built here once, as an HTML page; fernwell-cli writes that page to a file and the window
// prints the same page to PDF.

#include <optional>
#include <string>

#include "records/SettingsFile.h"

// Who and where, as the technician types it (the window remembers it for the next report).
struct ReportSite {
    std::string site;
    std::string tag;
    std::string technician;
    std::string note;
};

// What was read from the module for the report.
struct ReportReading {
    ModuleRecord record;            // its settings and text lines
    double flowRate = 0;            // a live reading
    std::string flowUnit;           // "gpm"
    std::optional<bool> highAlarm;  // the 640's alarm states: activated or not
    std::optional<bool> lowAlarm;
};

struct ReportContext {
    std::string generatedAt;                // ISO 8601 local time
    std::string program;                    // "fernwell 1.9.0"
    std::string port;                       // "COM3"
    std::optional<std::string> lastUpload;  // LastUploadText of the journal, nullopt: none
};

// The page: a title, date and time, program and version, port and model, the module's text
// lines, the live reading (and the 640's alarm states), every setting with its readable name,
// value and unit, the last upload to this port, the technician's note, and a place to sign.
// Every text from the module or the technician is escaped; the page needs no other file.
std::string CommissioningReportHtml(const ReportSite& site, const ReportReading& reading,
                                    const ReportContext& context);
