#include <gtest/gtest.h>

#include <QFontInfo>

#include "ui/DialogUnits.h"

namespace {

// The dialog font stands in for "MS Shell Dlg" 8; its base units size every window.
TEST(DialogFont, IsDejaVuSansEightPointWithItsBaseUnits) {
    const QFont font = ui::DialogFont();
    EXPECT_EQ(QFontInfo(font).family(), "DejaVu Sans") << "fonts-dejavu-core missing?";
    EXPECT_EQ(font.pointSize(), 8);
    // DejaVu Sans 8 pt at 96 dpi: letters average 6.8 pixels, the font is 13 pixels high.
    EXPECT_EQ(ui::BaseUnitsOf(font), (ui::BaseUnits{7, 13}));
}

}  // namespace
