#include "toolwindows/CompareSettingsDlg.h"

#include <QHeaderView>
#include <QTableWidget>
#include <algorithm>

#include "texts/Resource.h"
#include "texts/Strings.h"

namespace {

// A light yellow behind the rows that differ, on top of the bold text and the mark.
const QColor kDifferBackground(255, 242, 204);

}  // namespace

CompareSettingsDlg::CompareSettingsDlg(QWidget* parent) : CDialog(IDD_COMPARE_SETTINGS, parent) {}

bool CompareSettingsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    const auto differing = std::count_if(rows.begin(), rows.end(),
                                         [](const SettingComparison& row) { return row.differs; });
    QWidget* area = GetDlgItem(IDC_COMPARE_TABLE);
    if (differing == 0) {
        SetDlgItemText(IDC_COMPARE_SUMMARY, QString::fromUtf8(res::kSettingsSame));
        // One line and Close: the window closes up under the line rather than framing an
        // empty table's room.
        QWidget* summary = GetDlgItem(IDC_COMPARE_SUMMARY);
        QWidget* close = GetDlgItem(IDOK);
        if (area && summary && close) {
            area->hide();
            const int gap = area->y() - summary->geometry().bottom();
            close->move(close->x(), summary->geometry().bottom() + 2 * gap);
            setFixedSize(width(), close->geometry().bottom() + 2 * gap);
        }
        return true;
    }
    SetDlgItemText(
        IDC_COMPARE_SUMMARY,
        QString::fromUtf8(res::kSettingsDiffer).arg(differing).arg(static_cast<int>(rows.size())));
    table_ = new QTableWidget(static_cast<int>(rows.size()), 3, this);
    table_->setObjectName(QStringLiteral("compareTable"));
    table_->setAccessibleName(QStringLiteral("Settings of the module and of the file"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Setting"), QStringLiteral("Module"), QStringLiteral("File")});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setTabKeyNavigation(false);  // Tab leaves the table for Close, as in a list
    const QString mark = QString::fromUtf8(res::kDifferMark);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const SettingComparison& row = rows[static_cast<std::size_t>(r)];
        QString setting = QString::fromStdString(row.caption);
        if (!row.unit.empty()) {
            setting += QStringLiteral(" (%1)").arg(QString::fromStdString(row.unit));
        }
        const QString texts[] = {row.differs ? mark + u' ' + setting : setting,
                                 QString::fromStdString(row.first),
                                 QString::fromStdString(row.second)};
        for (int c = 0; c < 3; ++c) {
            auto* item = new QTableWidgetItem(texts[c]);
            if (row.differs) {
                QFont bold = table_->font();
                bold.setBold(true);
                item->setFont(bold);
                item->setBackground(kDifferBackground);
                item->setForeground(QColor(Qt::black));
            }
            table_->setItem(r, c, item);
        }
    }
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    // Rows as high as their text, so a long code that wraps shows whole and the rest stay low.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    if (area) {
        table_->setGeometry(area->geometry());
        area->hide();
    }
    // In the Tab order where the placeholder stands: after the summary, before Close.
    if (QWidget* close = GetDlgItem(IDOK)) {
        setTabOrder(table_, close);
    }
    return true;
}
