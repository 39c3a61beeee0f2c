#pragma once
// The commissioning report's page (CommissioningReportHtml, built in the core) printed to a
// PDF file: A4 at 300 dpi with margins of 15 mm, as many pages as it takes.

#include <QString>
#include <optional>
#include <string>

// Writes `html` to `path` as PDF, replacing the file whole or not at all; the error to show
// when it could not be written.
std::optional<std::string> WriteHtmlAsPdf(const std::string& html, const QString& path);
