#include "ui/Bitmaps.h"

#include <QLabel>
#include <QPainter>
#include <QPixmapCache>

#include "res/Images.h"
#include "texts/Resource.h"

namespace ui {
namespace {

constexpr const char* kBitmapProperty = "fernwellBitmap";
constexpr const char* kLampProperty = "fernwellLampMeaning";
constexpr const char* kStaleProperty = "fernwellStale";

bool IsStale(const QLabel* control) {
    return control->property(kStaleProperty).toBool();
}

// The image at a third of its strength over what is behind it: a lit lamp keeps its colour,
// so a dimmed red is not mistaken for the grey of a lamp that is off.
QPixmap Dimmed(const QPixmap& pixmap) {
    QPixmap dimmed(pixmap.size());
    dimmed.setDevicePixelRatio(pixmap.devicePixelRatio());
    dimmed.fill(Qt::transparent);
    QPainter painter(&dimmed);
    painter.setOpacity(0.35);
    painter.drawPixmap(0, 0, pixmap);
    return dimmed;
}

void ShowImage(QLabel* control, int id) {
    const QPixmap pixmap = BitmapResource(id);
    control->setPixmap(IsStale(control) ? Dimmed(pixmap) : pixmap);
}

// The description of a named lamp for the bitmap it shows now.
void DescribeLamp(QLabel* lamp) {
    const QString meaning = lamp->property(kLampProperty).toString();
    if (meaning.isEmpty()) {
        return;
    }
    const int id = BitmapOf(lamp);
    const bool lit = id != 0 && id != IDB_LAMP_GREY;
    lamp->setAccessibleDescription(meaning +
                                   (lit ? QStringLiteral(": on") : QStringLiteral(": off")) +
                                   (IsStale(lamp) ? QStringLiteral(" (last reading)") : QString()));
}

}  // namespace

QPixmap BitmapResource(int id) {
    const char* file = res::BitmapFile(id);
    if (!file) {
        return QPixmap();
    }
    const QString key = QStringLiteral("fernwell-bitmap-%1").arg(id);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        pixmap.load(QString::fromUtf8(file));
        QPixmapCache::insert(key, pixmap);
    }
    return pixmap;
}

QIcon IconResource(int id) {
    // QIcon reads a size's file only when that size is first drawn.
    QIcon icon;
    for (const char* file : res::IconFiles(id)) {
        icon.addFile(QString::fromUtf8(file));
    }
    return icon;
}

bool SetBitmap(QLabel* control, int id) {
    if (BitmapOf(control) == id) {
        return true;
    }
    const QPixmap pixmap = BitmapResource(id);
    if (pixmap.isNull()) {
        return false;
    }
    control->setProperty(kBitmapProperty, id);
    ShowImage(control, id);
    control->resize(pixmap.deviceIndependentSize().toSize());
    DescribeLamp(control);
    return true;
}

int BitmapOf(const QLabel* control) {
    return control->property(kBitmapProperty).toInt();
}

void NameLamp(QLabel* lamp, const QString& meaning) {
    lamp->setProperty(kLampProperty, meaning);
    lamp->setAccessibleName(meaning);
    DescribeLamp(lamp);
}

void SetStale(QLabel* control, bool stale) {
    if (IsStale(control) == stale) {
        return;
    }
    control->setProperty(kStaleProperty, stale);
    // A disabled label draws its text in the disabled grey; its image is dimmed here instead
    // (the style's disabled image is grey, which would make a lit lamp look off).
    if (const int id = BitmapOf(control)) {
        ShowImage(control, id);
    } else {
        control->setEnabled(!stale);
    }
    DescribeLamp(control);
}

}  // namespace ui
