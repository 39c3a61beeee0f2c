#include "ui/Colours.h"

#include <QApplication>
#include <QGroupBox>
#include <QPalette>
#include <QPushButton>
#include <QWidget>

namespace ui {
namespace {

void SetRole(QPalette& palette, QPalette::ColorRole role, const QColor& colour) {
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, role, colour);
    }
}

// Label text: disabled controls keep the style's grey, as the system draws them.
void SetTextRole(QPalette& palette, QPalette::ColorRole role, const QColor& colour) {
    palette.setColor(QPalette::Active, role, colour);
    palette.setColor(QPalette::Inactive, role, colour);
}

// Sets every role of the application's palette explicitly, so the widget no longer
// inherits what its window changed.
QPalette SystemPalette() {
    QPalette palette = QApplication::palette();
    for (int r = 0; r < QPalette::NColorRoles; ++r) {
        const auto role = static_cast<QPalette::ColorRole>(r);
        if (role == QPalette::NoRole) {
            continue;
        }
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            palette.setBrush(group, role, palette.brush(group, role));
        }
    }
    return palette;
}

}  // namespace

void SetWindowColours(QWidget* window, const QColor& background, std::optional<QColor> text) {
    QPalette palette = window->palette();
    SetRole(palette, QPalette::Window, background);
    if (text) {
        SetTextRole(palette, QPalette::WindowText, *text);
    }
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    // Group boxes draw their caption in the text colour of input fields; give them the
    // window's label colour without touching the fields themselves.
    if (text) {
        for (QGroupBox* box : window->findChildren<QGroupBox*>()) {
            if (box->window() != window) {
                continue;
            }
            QPalette own = box->palette();
            SetTextRole(own, QPalette::Text, *text);
            SetTextRole(own, QPalette::WindowText, *text);
            box->setPalette(own);
        }
    }
}

void SetDisplayColours(QWidget* control, const QColor& background, const QColor& text) {
    QPalette palette = control->palette();
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
        SetRole(palette, role, background);
    }
    // A disabled field keeps the white background, but the system draws its text grey
    // whatever colour the handler chose, so it still looks disabled.
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        SetTextRole(palette, role, text);
    }
    control->setPalette(palette);
    control->setAutoFillBackground(true);
}

void SetSystemColours(QWidget* control) {
    control->setPalette(SystemPalette());
}

}  // namespace ui
