#include <gtest/gtest.h>

#include <QFontInfo>

#include "ui/DialogUnits.h"

namespace {

TEST(MulDiv, RoundsHalfAwayFromZero) {
    struct Row {
        int a, b, c, expected;
    };
    const Row rows[] = {
        {7, 7, 4, 12},   // 12.25
        {6, 7, 4, 11},   // 10.5 rounds up
        {2, 7, 4, 4},    // 3.5
        {-2, 7, 4, -4},  // -3.5 rounds away from zero
        {2, -7, 4, -4},  //
        {5, 13, 8, 8},   // 8.125
        {3, 13, 8, 5},   // 4.875
        {0, 13, 8, 0},   //
        {1, 1, 0, -1},   // division by zero: the system's -1
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.a << "*" << r.b << "/" << r.c);
        EXPECT_EQ(ui::MulDiv(r.a, r.b, r.c), r.expected);
    }
}

// Edges are converted, not sizes: a control's width is the difference of its converted
// right and left edges, so neighbours that touch in dialog units still touch in pixels.
TEST(MapDialogRect, ConvertsEdges) {
    struct Row {
        ui::BaseUnits bu;
        QRect du;
        QRect px;
    };
    const Row rows[] = {
        {{7, 13}, {7, 7, 172, 161}, {12, 11, 301, 262}},
        {{7, 13}, {129, 173, 50, 14}, {226, 281, 87, 23}},
        // Width 1 at x 1 with cx 6: edges 1.5 -> 2 and 3.0 -> 3, so one pixel, where
        // converting the size would give two.
        {{6, 13}, {1, 1, 1, 1}, {2, 2, 1, 1}},
        {{6, 12}, {3, 3, 2, 2}, {5, 5, 3, 3}},
        {{8, 16}, {0, 0, 190, 115}, {0, 0, 380, 230}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "du " << r.du.x() << "," << r.du.y() << ","
                                        << r.du.width() << "," << r.du.height());
        EXPECT_EQ(ui::MapDialogRect(r.du, r.bu), r.px);
    }
}

}  // namespace
