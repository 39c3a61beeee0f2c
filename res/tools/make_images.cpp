// Draws the program's images into res/images: the lamps 144-149, the banner 1001 and the
// icon 128. Run once through make_images.sh; the PNGs are committed, so the build needs
// neither this tool nor its fonts.
//
// Bitmaps on Windows carry no alpha channel, so lamps and banner are drawn on the window
// green RGB(0, 155, 89) they sit on.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>

namespace {

const QColor kGreen(0, 155, 89);

bool Save(const QImage& image, const QString& dir, const QString& name) {
    const QString path = dir + "/" + name;
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// A round lamp of 14 by 14 pixels: a black rim, the lamp colour shaded towards the lower
// right, and a white highlight at the upper left.
QImage Lamp(const QColor& colour) {
    QImage image(14, 14, QImage::Format_RGB32);
    image.fill(kGreen);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient shade(QPointF(5.5, 5.0), 8.5);
    shade.setColorAt(0.0, colour.lighter(115));
    shade.setColorAt(1.0, colour.darker(135));
    p.setPen(QPen(Qt::black, 1.0));
    p.setBrush(shade);
    p.drawEllipse(QRectF(0.5, 0.5, 13.0, 13.0));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawEllipse(QRectF(3.4, 3.0, 3.6, 2.8));
    return image;
}

// Three stacked waves: the flow emblem of banner and icon, in a `size` square at `origin`.
void Waves(QPainter& p, QPointF origin, qreal size, int count, qreal penWidth) {
    p.setPen(QPen(Qt::white, penWidth, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const qreal step = size / (count + 1);
    for (int i = 1; i <= count; ++i) {
        QPainterPath path;
        const qreal y = origin.y() + i * step;
        const qreal amplitude = step * 0.28;
        path.moveTo(origin.x(), y);
        const int segments = 48;
        for (int s = 1; s <= segments; ++s) {
            const qreal t = qreal(s) / segments;
            path.lineTo(origin.x() + t * size, y - amplitude * std::sin(t * 2 * M_PI * 1.5));
        }
        p.drawPath(path);
    }
}

QImage Banner() {
    QImage image(246, 45, QImage::Format_RGB32);
    image.fill(kGreen);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // Emblem: a white ring around the waves.
    p.setPen(QPen(Qt::white, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(9, 5.5, 34, 34));
    Waves(p, QPointF(15, 8.5), 22, 3, 2.2);

    QFont word("DejaVu Sans");
    word.setPixelSize(25);
    word.setBold(true);
    p.setFont(word);
    p.setPen(Qt::white);
    p.drawText(QRectF(52, 2, 190, 30), Qt::AlignLeft | Qt::AlignVCenter, "Fernwell");

    QFont tag("DejaVu Sans");
    tag.setPixelSize(9);
    tag.setLetterSpacing(QFont::AbsoluteSpacing, 2.0);
    p.setFont(tag);
    p.setPen(QColor(225, 245, 235));
    p.drawText(QRectF(54, 29, 190, 12), Qt::AlignLeft | Qt::AlignVCenter, "SETUP TOOL");
    return image;
}

QImage Icon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal m = size / 16.0;
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawRoundedRect(QRectF(0.5 * m, 0.5 * m, 15 * m, 15 * m), 3 * m, 3 * m);
    Waves(p, QPointF(3 * m, 2.5 * m), 10 * m, size < 32 ? 2 : 3, size < 32 ? 1.6 : 1.2 * m);
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("res/images");
    QDir().mkpath(dir);
    const struct {
        int id;
        QColor colour;
    } lamps[] = {
        {144, QColor(255, 128, 64)}, {145, QColor(255, 0, 0)},   {146, QColor(255, 255, 0)},
        {147, QColor(0, 128, 255)},  {148, QColor(0, 255, 128)}, {149, QColor(192, 192, 192)},
    };
    bool ok = true;
    for (const auto& lamp : lamps) {
        ok &= Save(Lamp(lamp.colour), dir, QString("lamp%1.png").arg(lamp.id));
    }
    ok &= Save(Banner(), dir, "banner1001.png");
    // 16, 32 and 48 are the window icon in the resource file; with the other sizes they are the
    // hicolor theme icons the package installs.
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        ok &= Save(Icon(size), dir, QString("icon128_%1.png").arg(size));
    }
    return ok ? 0 : 1;
}
