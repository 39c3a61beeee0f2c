#include "ui/DialogUnits.h"

namespace ui {

// The Windows dialog font, "MS Shell Dlg" 8, has no counterpart of that name here; DejaVu Sans
// (fonts-dejavu-core, on every Debian desktop) at the same size is the nearest in width.
QFont DialogFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace ui
