#pragma once
// The windows' colours, set with palettes in place of the control-colour message and its
// brushes. The main window owns the two colours; the other windows borrow them.
//
//  - window: the green background with white text (labels, check boxes, group box
//    captions) on a transparent text background;
//  - display: value displays and input fields, white with black text; such a control fills
//    its own background;
//  - system: the system's colours, for controls that keep them inside a coloured window.
//
// Push buttons keep the system's face in every case, as the control-colour brushes never
// reach them.

#include <QColor>
#include <optional>

class QWidget;

namespace ui {

inline const QColor kWindowGreen{0, 155, 89};
inline const QColor kDisplayWhite{255, 255, 255};

// The main window's two colours, which the windows it opens borrow.
struct Palette {
    QColor background = kWindowGreen;  // the window green
    QColor display = kDisplayWhite;    // value displays and input fields
};

// Window background `background`; text of the window's labels `text` (left as it is when
// not given). Applies to the window and every control that inherits its palette.
void SetWindowColours(QWidget* window, const QColor& background,
                      std::optional<QColor> text = std::nullopt);

// Background and text of one value display or input field.
void SetDisplayColours(QWidget* control, const QColor& background,
                       const QColor& text = QColor(Qt::black));

// The system's colours for `control`, whatever its window uses.
void SetSystemColours(QWidget* control);

}  // namespace ui
