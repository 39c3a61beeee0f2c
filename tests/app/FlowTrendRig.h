#pragma once
// The flow trend window shown from the main window, and its file dialogs answered: what both
// flow trend suites share.

#include <gtest/gtest.h>

#include <QFile>
#include <QString>
#include <QStringList>

#include "tests/app/MainWindowRig.h"
#include "toolwindows/FlowTrendDlg.h"
#include "ui/FileDialog.h"

namespace apptest {

// Answers the file dialogs with `path` while it lives.
class FileAnswer {
public:
    explicit FileAnswer(QString answer) : path(std::move(answer)) {
        previous_ = ui::SetFileDialogHandler(
            [this](QWidget*, const QString& caption, const QString&, ui::SaveKind kind) {
                captions << caption + (kind == ui::SaveKind::kAppend ? " (append)" : "");
                return this->path;
            });
    }
    ~FileAnswer() { ui::SetFileDialogHandler(previous_); }
    QString path;
    QStringList captions;

private:
    ui::FileDialogHandler previous_;
};

inline FlowTrendDlg& ShowTrend(MainWindowRig& rig, bool model640) {
    if (model640) {
        rig.Command(ID_DEVICE_642);
    }
    rig.Command(ID_FLOW_TREND);
    FlowTrendDlg* trend = rig.dlg().flowTrend();
    EXPECT_TRUE(trend && trend->isVisible());
    return *trend;
}

// A 640 with its high alarm activated at 150 gpm, and the trend window shown on it.
inline FlowTrendDlg& ShowTrendOfAnAlarming640(MainWindowRig& rig) {
    rig.AddSim(1, {"--model", "640", "--flow", "150", "--high-status", "100", "--low-status", "0"});
    rig.Start();
    return ShowTrend(rig, true);
}

inline QStringList Lines(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

}  // namespace apptest
