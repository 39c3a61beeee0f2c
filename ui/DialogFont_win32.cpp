#include <QStringList>

#include "ui/DialogUnits.h"

namespace ui {

// The templates' own font. Windows resolves "MS Shell Dlg" to Microsoft Sans Serif, with the
// metrics of the MS Sans Serif the templates were drawn for, and Wine to Tahoma. Where the
// font database does not know the alias, those two follow it by name.
QFont DialogFont() {
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("MS Shell Dlg"),
                                 QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Tahoma")});
    font.setPointSize(8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace ui
