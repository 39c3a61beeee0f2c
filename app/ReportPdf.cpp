#include "app/ReportPdf.h"

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>

namespace {

constexpr int kDpi = 300;
constexpr qreal kMarginMm = 15;
constexpr qreal kFontPoints = 10;

}  // namespace

std::optional<std::string> WriteHtmlAsPdf(const std::string& html, const QString& path) {
    // Into a temporary file beside the path, renamed over it at the end: a failed write leaves
    // what was there before.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString().toStdString();
    }
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                         QPageLayout::Millimeter));
        writer.setResolution(kDpi);
        writer.setTitle(QStringLiteral("Commissioning Report"));
        writer.setCreator(QStringLiteral("Fernwell Setup Tool"));

        QTextDocument document;
        QFont font = document.defaultFont();
        font.setPointSizeF(kFontPoints);
        // No ligatures: "fl" and "ff" stay two letters, so the PDF can be searched and copied.
        font.setStyleStrategy(QFont::PreferNoShaping);
        document.setDefaultFont(font);
        // Laid out for the writer, one page the size of its printable area: the text is
        // measured at 300 dpi and no second margin or page number is added when printing.
        document.documentLayout()->setPaintDevice(&writer);
        document.setHtml(QString::fromStdString(html));
        document.setPageSize(writer.pageLayout().paintRectPixels(kDpi).size());
        document.print(&writer);
    }
    if (file.error() != QFileDevice::NoError) {
        const std::string error = file.errorString().toStdString();
        file.cancelWriting();
        return error;
    }
    if (!file.commit()) {
        return file.errorString().toStdString();
    }
    return std::nullopt;
}
