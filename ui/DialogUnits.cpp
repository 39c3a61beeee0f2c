#include "ui/DialogUnits.h"

#include <QFontMetrics>
#include <cstdlib>

namespace ui {

BaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // The average over the 52 letters, rounded half up: (total / 26 + 1) / 2.
    return BaseUnits{(width / 26 + 1) / 2, metrics.height()};
}

int MulDiv(int a, int b, int c) {
    if (c == 0) {
        return -1;
    }
    const long long product = static_cast<long long>(a) * b;
    const long long half = std::llabs(static_cast<long long>(c)) / 2;
    const bool negative = (product < 0) != (c < 0);
    const long long magnitude =
        (std::llabs(product) + half) / std::llabs(static_cast<long long>(c));
    return static_cast<int>(negative ? -magnitude : magnitude);
}

QRect MapDialogRect(const QRect& du, BaseUnits bu) {
    const int left = DuToPxX(du.x(), bu);
    const int top = DuToPxY(du.y(), bu);
    const int right = DuToPxX(du.x() + du.width(), bu);
    const int bottom = DuToPxY(du.y() + du.height(), bu);
    return QRect(left, top, right - left, bottom - top);
}

}  // namespace ui
