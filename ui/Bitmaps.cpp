#include "ui/Bitmaps.h"

#include <QLabel>
#include <QPixmapCache>

#include "res/Images.h"
#include "res/Resource.h"

namespace ui {
namespace {

constexpr const char* kBitmapProperty = "fernwellBitmap";
constexpr const char* kLampProperty = "fernwellLampMeaning";

// The description of a named lamp for the bitmap it shows now.
void DescribeLamp(QLabel* lamp) {
    const QString meaning = lamp->property(kLampProperty).toString();
    if (meaning.isEmpty()) {
        return;
    }
    const int id = BitmapOf(lamp);
    const bool lit = id != 0 && id != IDB_LAMP_GREY;
    lamp->setAccessibleDescription(meaning +
                                   (lit ? QStringLiteral(": on") : QStringLiteral(": off")));
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
    control->setPixmap(pixmap);
    control->resize(pixmap.deviceIndependentSize().toSize());
    control->setProperty(kBitmapProperty, id);
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

}  // namespace ui
