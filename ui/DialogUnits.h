#pragma once
// Dialog units, converted as the dialog manager converts them: through the base units of
// the dialog's font. cx is the average width of "A".."Z""a".."z" (rounded), cy the font's
// height; a horizontal unit is cx/4 pixels and a vertical unit cy/8 pixels, each coordinate
// rounded on its own. A control's right and bottom edges are converted, not its size, so
// controls that touch in dialog units still touch on screen.

#include <QFont>
#include <QRect>

namespace ui {

struct BaseUnits {
    int cx = 0;
    int cy = 0;
    bool operator==(const BaseUnits&) const = default;
};

// The dialogs' font: "MS Shell Dlg" 8 of the templates (Tahoma 8 on Windows, DejaVu Sans 8
// elsewhere).
QFont DialogFont();

// Base units of `font`.
BaseUnits BaseUnitsOf(const QFont& font);

// a * b / c rounded half away from zero, like the system's MulDiv.
int MulDiv(int a, int b, int c);

// Horizontal and vertical dialog-unit coordinates in pixels.
inline int DuToPxX(int du, BaseUnits bu) {
    return MulDiv(du, bu.cx, 4);
}
inline int DuToPxY(int du, BaseUnits bu) {
    return MulDiv(du, bu.cy, 8);
}

// A rectangle (x, y, width, height) in dialog units to pixels.
QRect MapDialogRect(const QRect& du, BaseUnits bu);

}  // namespace ui
