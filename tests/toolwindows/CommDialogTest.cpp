// The comm settings dialog with the port map pointed at links in a scratch ports directory:
// which ports it lists, which it preselects, what OK and Cancel leave in the main window.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>

#include "serial/SerialPort.h"
#include "tests/common/GuiTest.h"
#include "tests/common/PtyPair.h"
#include "texts/Resource.h"
#include "toolwindows/CommDialog.h"

namespace {

// Every entry of the list shows whole in the closed list: its text beside the arrow, as the
// style lays a combo box out.
void ExpectEntriesFit(QComboBox* list) {
    const QFontMetrics fm(list->font());
    for (int i = 0; i < list->count(); ++i) {
        QStyleOptionComboBox option;
        option.initFrom(list);
        const QSize text(fm.horizontalAdvance(list->itemText(i)), fm.height());
        EXPECT_LE(list->style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, list).width(),
                  list->width())
            << "clips \"" << list->itemText(i).toStdString() << "\"";
    }
}

// Ports 1 to 255 that exist, as links to ordinary files (which open like devices); the main
// window is never created: the dialog only reads and writes its portNumber.
class CommDialogTest : public ::testing::Test {
protected:
    void AddPorts(std::initializer_list<int> numbers) {
        for (int n : numbers) {
            ASSERT_TRUE(ports.Link(n, ports.MakeFakeDevice("dev" + std::to_string(n))));
        }
    }
    QComboBox* List(CCommDialog* dlg) { return dlg->GetDlgItemAs<QComboBox>(IDC_COMM_PORT_LIST); }
    QStringList Entries(CCommDialog* dlg) {
        QStringList entries;
        for (int i = 0; i < List(dlg)->count(); ++i) {
            entries << List(dlg)->itemText(i);
        }
        return entries;
    }
    // Runs the dialog modally, acts on it with `act` and returns DoModal's result.
    int Run(const std::function<void(CCommDialog*)>& act) {
        CCommDialog dlg;
        dlg.portNumber = port;
        guitest::NextModal next([&](QWidget* modal) {
            ASSERT_EQ(modal, &dlg);
            act(&dlg);
            if (dlg.isVisible()) {
                dlg.EndDialog(IDCANCEL);  // a failed expectation left it open
            }
        });
        const int result = dlg.DoModal();
        port = dlg.portNumber;
        return result;
    }

    fwtest::ScopedPortsDir ports;
    int port = 0;  // the port in use before the run, the dialog's portNumber after it
};

TEST_F(CommDialogTest, ListsThePortsInAscendingOrderAndPreselectsTheCurrentOne) {
    struct Row {
        std::initializer_list<int> ports;
        int current;
        QStringList entries;
        int selected;
    };
    const Row rows[] = {
        {{1, 3}, 3, {"Comm 1", "Comm 3"}, 1},
        {{1, 3}, 1, {"Comm 1", "Comm 3"}, 0},
        // Inserted at their positions: the sorted style would put "Comm 10" first.
        {{2, 10, 33, 255}, 33, {"Comm 2", "Comm 10", "Comm 33", "Comm 255"}, 2},
        {{1, 3}, 2, {"Comm 1", "Comm 3"}, -1},  // current port absent: nothing selected
        {{}, 1, {}, -1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.entries.join(",").toStdString() + " current " + std::to_string(r.current));
        fwtest::ScopedPortsDir scratch;
        for (int n : r.ports) {
            ASSERT_TRUE(scratch.Link(n, scratch.MakeFakeDevice("dev" + std::to_string(n))));
        }
        port = r.current;
        Run([&](CCommDialog* dlg) {
            EXPECT_EQ(Entries(dlg), r.entries);
            EXPECT_EQ(List(dlg)->currentIndex(), r.selected);
            EXPECT_EQ(dlg->portNumbers, std::vector<unsigned>(r.ports.begin(), r.ports.end()));
        });
        EXPECT_EQ(port, r.current);
    }
}

TEST_F(CommDialogTest, OkWritesTheChosenPortIntoTheMainWindow) {
    AddPorts({1, 3});
    struct Row {
        int current;
        int choose;  // list position, -1: leave the preselection
        int written;
    };
    const Row rows[] = {{3, -1, 3}, {3, 0, 1}, {7, 1, 3}, {1, -1, 1}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.current << " choose " << r.choose);
        port = r.current;
        const int result = Run([&](CCommDialog* dlg) {
            if (r.choose >= 0) {
                List(dlg)->setCurrentIndex(r.choose);
            }
            dlg->GetDlgItemAs<QPushButton>(IDOK)->click();
            EXPECT_FALSE(dlg->isVisible());
        });
        EXPECT_EQ(result, IDOK);
        EXPECT_EQ(port, r.written);
    }
}

// OK with nothing selected: the framework's invalid-argument box, the dialog stays open and
// the main window's port is untouched. Cancel (button, Escape) changes nothing either.
TEST_F(CommDialogTest, OkWithoutSelectionReportsAnInvalidArgumentAndStaysOpen) {
    struct Row {
        std::initializer_list<int> ports;
        const char* what;
    };
    const Row rows[] = {{{1, 3}, "current port absent"}, {{}, "no ports at all"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        fwtest::ScopedPortsDir scratch;
        for (int n : r.ports) {
            ASSERT_TRUE(scratch.Link(n, scratch.MakeFakeDevice("dev" + std::to_string(n))));
        }
        port = 5;
        guitest::MessageBoxRecorder boxes;
        const int result = Run([&](CCommDialog* dlg) {
            dlg->GetDlgItemAs<QPushButton>(IDOK)->click();
            EXPECT_TRUE(dlg->isVisible());
            QTest::keyClick(dlg, Qt::Key_Return);  // Enter presses OK, the default button
            EXPECT_TRUE(dlg->isVisible());
            dlg->GetDlgItemAs<QPushButton>(IDCANCEL)->click();
        });
        EXPECT_EQ(result, IDCANCEL);
        ASSERT_EQ(boxes.boxes.size(), 2u);
        for (const guitest::RecordedBox& box : boxes.boxes) {
            EXPECT_EQ(box.text, "An invalid argument was encountered.");
            EXPECT_EQ(box.type & ui::kMbIconMask, ui::kMbIconStop);
        }
        EXPECT_EQ(port, 5);
    }
}

TEST_F(CommDialogTest, CancelAfterChangingTheSelectionChangesNothing) {
    AddPorts({1, 3});
    port = 3;
    struct Row {
        const char* how;
        std::function<void(CCommDialog*)> cancel;
    };
    const Row rows[] = {
        {"Cancel", [](CCommDialog* d) { d->GetDlgItemAs<QPushButton>(IDCANCEL)->click(); }},
        {"Escape", [](CCommDialog* d) { QTest::keyClick(d, Qt::Key_Escape); }},
        {"close box", [](CCommDialog* d) { d->close(); }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.how);
        const int result = Run([&](CCommDialog* dlg) {
            List(dlg)->setCurrentIndex(0);
            r.cancel(dlg);
        });
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_EQ(port, 3);
    }
}

// A port that another program holds open is still listed (it exists; it is only busy).
TEST_F(CommDialogTest, APortHeldOpenElsewhereIsListed) {
    fwtest::PtyPair line;
    ASSERT_TRUE(line.Ok()) << line.Error();
    ASSERT_TRUE(ports.Link(2, line.SlavePath()));
    AddPorts({4});
    CSerialPort holder;
    ASSERT_EQ(holder.Open(2, 1200, 'N', 8, 1), 0) << holder.LastErrorText();
    port = 2;
    Run([&](CCommDialog* dlg) {
        EXPECT_EQ(Entries(dlg), QStringList({"Comm 2 - pseudo-terminal", "Comm 4"}));
        EXPECT_EQ(List(dlg)->currentIndex(), 0);
    });
}

// Template 130 on screen: caption, OK the default button, nothing clipped or overlapping;
// the list grows to show a long description whole, and the dialog with it.
TEST_F(CommDialogTest, LaidOutTidily) {
    struct Row {
        const char* what;
        bool usbAdapter;
        QString entry;  // the current port's entry
    };
    const Row rows[] = {
        {"numbers only", false, "Comm 1"},
        {"a USB adapter", true, "Comm 33 - FT232R USB UART (FTDI, A12345)"},
    };
    std::vector<int> widths;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        fwtest::ScopedPortsDir scratch;
        ASSERT_TRUE(scratch.Link(3, scratch.MakeFakeDevice("dev3")));
        scratch.MakeFakeDevice("ttyS0");
        if (r.usbAdapter) {
            scratch.MakeFakeDevice("ttyUSB0");
            scratch.AddSysfsTty("ttyUSB0", "ftdi_sio",
                                {{"idVendor", "0403"},
                                 {"idProduct", "6001"},
                                 {"manufacturer", "FTDI"},
                                 {"product", "FT232R USB UART"},
                                 {"serial", "A12345"}});
        }
        port = r.usbAdapter ? 33 : 1;
        Run([&](CCommDialog* dlg) {
            EXPECT_EQ(dlg->windowTitle(), "Comm Settings");
            EXPECT_EQ(List(dlg)->currentText(), r.entry);
            EXPECT_TRUE(dlg->GetDlgItemAs<QPushButton>(IDOK)->isDefault());
            widths.push_back(dlg->width());
            guitest::ExpectTidyLayout(dlg);
            guitest::ExpectKeyboardAndNames(dlg);
            ExpectEntriesFit(List(dlg));
            guitest::SaveScreenshot(dlg, "comm-settings");
        });
    }
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_GT(widths[1], widths[0]);  // the template's width unless an entry needs more
}

}  // namespace
