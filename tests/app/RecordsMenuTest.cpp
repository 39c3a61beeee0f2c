// The Configuration menu's settings files and commissioning report, on both models against the
// simulator: what reaches the file, the configuration dialog, the comparison and the PDF.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <fstream>

#include "config/Config612Dlg.h"
#include "config/Config640Dlg.h"
#include "records/SettingsFile.h"
#include "store/StoredPort.h"
#include "tests/app/FlowTrendRig.h"
#include "texts/Strings.h"
#include "toolwindows/CompareSettingsDlg.h"
#include "toolwindows/ReportSiteDlg.h"

namespace {

const struct ModelRow {
    Model model;
    int command;  // the Device item that selects it
} kModels[] = {{Model::k612, ID_DEVICE_612}, {Model::k640, ID_DEVICE_642}};

ModuleRecord ReadModule(CFernwellDlg& dlg) {
    ModuleRecord record;
    dlg.link().Call([&](CSerialPort& port, const int& online) {
        if (dlg.model == Model::k640) {
            ModuleData640 data;
            EXPECT_EQ(CDevice640(port, online).ReadAll(data), kLinkOk);
            record = data;
        } else {
            ModuleData612 data;
            EXPECT_EQ(CDevice612(port, online).ReadAll(data), kLinkOk);
            record = data;
        }
    });
    return record;
}

// A menu command whose file dialog is answered with `path`, and the read it started done.
void CommandOnFile(apptest::MainWindowRig& rig, int command, const QString& path) {
    apptest::FileAnswer answer(path);
    rig.Command(command);
    EXPECT_TRUE(guitest::WaitUntil([&] { return rig.dlg().busy == 0; }));
}

// The keys of the rows the comparison with `path` marks, or "same" for its one line.
std::vector<std::string> Compared(apptest::MainWindowRig& rig, const QString& path) {
    std::vector<std::string> marked;
    guitest::NextModal check([&](QWidget* modal) {
        auto* dlg = qobject_cast<CompareSettingsDlg*>(modal);
        ASSERT_NE(dlg, nullptr);
        guitest::ExpectKeyboardAndNames(dlg);
        if (QTableWidget* table = dlg->table()) {
            for (int r = 0; r < table->rowCount(); ++r) {
                if (table->item(r, 0)->text().startsWith(QString::fromUtf8(res::kDifferMark))) {
                    EXPECT_TRUE(table->item(r, 1)->font().bold());
                    marked.push_back(dlg->rows[static_cast<std::size_t>(r)].key);
                }
            }
        } else {
            EXPECT_EQ(dlg->GetDlgItemText(IDC_COMPARE_SUMMARY), res::kSettingsSame);
            marked.push_back("same");
        }
        QTest::keyClick(dlg, Qt::Key_Escape);
    });
    CommandOnFile(rig, ID_COMPARE_SETTINGS, path);
    return marked;
}

TEST(RecordsMenuTest, SettingsFilesSaveCompareAndLoadOnBothModels) {
    for (const ModelRow& row : kModels) {
        SCOPED_TRACE(static_cast<int>(row.model));
        apptest::MainWindowRig rig;
        rig.AddSim(1);
        CFernwellDlg& dlg = rig.Start();
        rig.Command(row.command);
        QTemporaryDir dir;
        const QString saved = dir.filePath("saved.json");

        CommandOnFile(rig, ID_SAVE_SETTINGS, saved);
        const ModuleRecord module = ReadModule(dlg);
        const SettingsRead read = ReadSettingsFile(saved.toStdString(), row.model);
        ASSERT_TRUE(std::holds_alternative<SettingsFile>(read))
            << std::get<SettingsRefusal>(read).message;
        EXPECT_EQ(SettingsJson(std::get<SettingsFile>(read).record), SettingsJson(module));
        EXPECT_EQ(std::get<SettingsFile>(read).header.port, "COM1");

        EXPECT_EQ(Compared(rig, saved), std::vector<std::string>{"same"});
        nlohmann::json changed = nlohmann::json::parse(std::ifstream(saved.toStdString()));
        changed["settings"]["kFactor"] = 2.5;
        const QString changedPath = dir.filePath("changed.json");
        std::ofstream(changedPath.toStdString()) << changed.dump(4);
        EXPECT_EQ(Compared(rig, changedPath), std::vector<std::string>{"kFactor"});

        // Loaded: the dialog shows the file's K over the module's read; OK sends nothing.
        guitest::NextModal load([&](QWidget* modal) {
            auto* config = dynamic_cast<ConfigDlgBase*>(modal);
            ASSERT_NE(config, nullptr);
            EXPECT_TRUE(guitest::WaitUntil([&] { return config->pendingExchanges() == 0; }));
            EXPECT_EQ(config->GetDlgItemText(IDC_K_FACTOR), "2.500000");
            EXPECT_TRUE(config->windowTitle().contains("changed.json"));
            config->OnCommand(IDOK);
        });
        CommandOnFile(rig, ID_LOAD_SETTINGS, changedPath);
        EXPECT_EQ(SettingsJson(ReadModule(dlg)), SettingsJson(module));
    }
}

TEST(RecordsMenuTest, CommissioningReportPrintsTheSiteThePortAndTheSettings) {
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty()) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    for (const ModelRow& row : kModels) {
        SCOPED_TRACE(static_cast<int>(row.model));
        apptest::MainWindowRig rig;
        rig.AddSim(1);
        CFernwellDlg& dlg = rig.Start();
        rig.Command(row.command);
        QTemporaryDir dir;
        const QString pdf = dir.filePath("report.pdf");
        guitest::NextModal site([](QWidget* modal) {
            auto* dlg = qobject_cast<ReportSiteDlg*>(modal);
            ASSERT_NE(dlg, nullptr);
            guitest::ExpectKeyboardAndNames(dlg);
            dlg->SetDlgItemText(IDC_REPORT_SITE, "North Pumphouse");
            dlg->SetDlgItemText(IDC_REPORT_NOTE, "Sensor cleaned.");
            dlg->OnCommand(IDOK);
        });
        CommandOnFile(rig, ID_COMMISSIONING_REPORT, pdf);
        EXPECT_EQ(ReadStoredText("ReportSite"), "North Pumphouse");

        QProcess text;
        text.start(pdftotext, {"-layout", pdf, "-"});
        ASSERT_TRUE(text.waitForFinished(10000));
        const QString page = QString::fromUtf8(text.readAllStandardOutput());
        const ModuleRecord module = ReadModule(dlg);
        const auto rows = CompareSettings(module, module);
        const auto code = std::find_if(rows.begin(), rows.end(), [](const SettingComparison& r) {
            return r.key == "SensorCode";
        });
        ASSERT_NE(code, rows.end());
        for (const QString& part : {QString("Commissioning Report"), QString("North Pumphouse"),
                                    QString("COM1"), QString::fromStdString(code->caption),
                                    QString("Flow rate")}) {  // two letters, not a ligature
            EXPECT_TRUE(page.contains(part)) << part.toStdString() << " not in\n"
                                             << page.toStdString();
        }
        // The page as a customer sees it, beside the windows' screenshots.
        const QString shots = qEnvironmentVariable("FERNWELL_SCREENSHOT_DIR");
        if (!shots.isEmpty()) {
            QFile::copy(pdf, QStringLiteral("%1/commissioning-%2.pdf")
                                 .arg(shots)
                                 .arg(static_cast<int>(row.model)));
        }
    }
}

}  // namespace
