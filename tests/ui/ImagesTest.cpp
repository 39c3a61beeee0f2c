#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPainter>

#include "tests/common/GuiTest.h"
#include "texts/Resource.h"
#include "ui/Bitmaps.h"
#include "ui/Colours.h"

namespace {

const QColor kGreen(0, 155, 89);

// Each lamp is its own colour at the centre, ringed in black, on the window green.
TEST(Lamps, AreRoundLampsOfTheirColoursOnTheGreen) {
    struct Row {
        int id;
        QColor colour;
    };
    const Row rows[] = {
        {IDB_LAMP_ORANGE, {255, 128, 64}}, {IDB_LAMP_RED, {255, 0, 0}},
        {IDB_LAMP_YELLOW, {255, 255, 0}},  {IDB_LAMP_BLUE, {0, 128, 255}},
        {IDB_LAMP_GREEN, {0, 255, 128}},   {IDB_LAMP_GREY, {192, 192, 192}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.id);
        const QImage lamp = ui::BitmapResource(r.id).toImage();
        ASSERT_EQ(lamp.size(), QSize(14, 14));
        for (QPoint corner : {QPoint(0, 0), QPoint(13, 0), QPoint(0, 13), QPoint(13, 13)}) {
            EXPECT_EQ(lamp.pixelColor(corner), kGreen) << corner.x() << "," << corner.y();
        }
        // Below the highlight, towards the middle: near the lamp colour.
        const QColor centre = lamp.pixelColor(7, 8);
        EXPECT_NEAR(centre.red(), r.colour.red(), 60);
        EXPECT_NEAR(centre.green(), r.colour.green(), 60);
        EXPECT_NEAR(centre.blue(), r.colour.blue(), 60);
        // The rim, at the middle of the left edge, is black.
        EXPECT_LT(lamp.pixelColor(0, 7).value(), 90);
        // The highlight at the upper left is nearly white.
        EXPECT_GT(QColor(lamp.pixelColor(5, 4)).lightness(), 200);
    }
}

TEST(Images, BannerAndIconSizes) {
    const QPixmap banner = ui::BitmapResource(IDB_BANNER);
    EXPECT_EQ(banner.size(), QSize(246, 45));
    EXPECT_EQ(banner.toImage().pixelColor(0, 0), kGreen);
    EXPECT_EQ(banner.toImage().pixelColor(245, 44), kGreen);
    const QIcon icon = ui::IconResource(IDR_MAINFRAME);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.availableSizes(), (QList<QSize>{{16, 16}, {32, 32}, {48, 48}}));
    EXPECT_TRUE(ui::BitmapResource(999).isNull());
    EXPECT_TRUE(ui::IconResource(999).isNull());
}

// One copy of each image: every lookup and every control shares it.
TEST(Lamps, EachImageIsLoadedOnceAndShared) {
    QLabel a, b;
    ASSERT_TRUE(ui::SetBitmap(&a, IDB_LAMP_RED));
    ASSERT_TRUE(ui::SetBitmap(&b, IDB_LAMP_RED));
    const qint64 key = ui::BitmapResource(IDB_LAMP_RED).cacheKey();
    EXPECT_EQ(ui::BitmapResource(IDB_LAMP_RED).cacheKey(), key);
    EXPECT_EQ(a.pixmap().cacheKey(), key);
    EXPECT_EQ(b.pixmap().cacheKey(), key);
    EXPECT_NE(ui::BitmapResource(IDB_LAMP_GREY).cacheKey(), key);
}

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

// A bitmap control takes the image's size; giving it the image it shows repaints nothing.
TEST(Lamps, SettingTheSameLampAgainCostsNothing) {
    QWidget window;
    window.resize(100, 100);
    auto* lamp = new QLabel(&window);
    lamp->setGeometry(10, 10, 40, 30);
    ASSERT_TRUE(guitest::ShowActive(&window));
    PaintCounter counter;
    lamp->installEventFilter(&counter);

    ASSERT_TRUE(ui::SetBitmap(lamp, IDB_LAMP_GREY));
    EXPECT_EQ(lamp->size(), QSize(14, 14));
    EXPECT_EQ(ui::BitmapOf(lamp), IDB_LAMP_GREY);
    QApplication::processEvents();
    const int afterFirst = counter.paints;
    EXPECT_GT(afterFirst, 0);

    for (int i = 0; i < 5; ++i) {
        ui::SetBitmap(lamp, IDB_LAMP_GREY);
    }
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, afterFirst);

    ui::SetBitmap(lamp, IDB_LAMP_RED);
    QApplication::processEvents();
    EXPECT_GT(counter.paints, afterFirst);
    EXPECT_EQ(ui::BitmapOf(lamp), IDB_LAMP_RED);

    EXPECT_FALSE(ui::SetBitmap(lamp, 999));
    EXPECT_EQ(ui::BitmapOf(lamp), IDB_LAMP_RED);
}

// The window colours reach labels but not input fields; a display fills its own background.
TEST(Colours, WindowDisplayAndSystemColours) {
    QWidget window;
    window.resize(200, 100);
    auto* label = new QLabel("label", &window);
    label->setGeometry(0, 0, 100, 20);
    auto* display = new QLabel("display", &window);
    display->setGeometry(0, 30, 100, 20);
    auto* system = new QLabel("system", &window);
    system->setGeometry(0, 60, 100, 20);
    ui::SetWindowColours(&window, ui::kWindowGreen, QColor(Qt::white));
    ui::SetDisplayColours(display, ui::kDisplayWhite, QColor(Qt::black));
    ui::SetSystemColours(system);
    system->setAutoFillBackground(true);

    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_EQ(label->palette().color(QPalette::Text), QApplication::palette().color(QPalette::Text))
        << "input fields keep their black text";
    EXPECT_EQ(display->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(system->palette().color(QPalette::Window),
              QApplication::palette().color(QPalette::Window));

    const QImage shot = window.grab().toImage();
    EXPECT_EQ(shot.pixelColor(190, 5), kGreen);
    EXPECT_EQ(shot.pixelColor(98, 32), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(98, 62), QApplication::palette().color(QPalette::Window));
}

}  // namespace
