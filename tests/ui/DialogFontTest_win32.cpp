#include <gtest/gtest.h>

#include <QFontInfo>

#include "ui/DialogUnits.h"

namespace {

// "MS Shell Dlg" 8 as the system resolves it (Microsoft Sans Serif on Windows, Tahoma under
// Wine); both give the base units Windows sizes the original's dialogs with.
TEST(DialogFont, IsMsShellDlgEightPointWithItsBaseUnits) {
    const QFont font = ui::DialogFont();
    const QString family = QFontInfo(font).family();
    EXPECT_TRUE(family == "Microsoft Sans Serif" || family == "Tahoma") << family.toStdString();
    EXPECT_EQ(font.pointSize(), 8);
    // 8 pt at 96 dpi: letters average 6 pixels, the font is 13 pixels high.
    EXPECT_EQ(ui::BaseUnitsOf(font), (ui::BaseUnits{6, 13}));
}

}  // namespace
