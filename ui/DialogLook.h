#pragma once
// How the dialog layer makes its controls look and answer as a Windows dialog's do, where Qt's
// own widgets differ. CDialog applies all of it to every control it builds from a template.
//
//  - Drop-down lists measure as a Windows list: a 2-pixel sunken edge and an arrow button as
//    wide as a scroll bar (17 pixels at 96 dpi), so the text field is as wide as the system's
//    and the longest item of a list sized for Windows shows whole. They take the mouse wheel
//    only while they have the focus (a click gives it to them): the wheel over another list
//    changes nothing.
//  - Group boxes are an etched frame (a shadow line and a highlight line) with the caption
//    interrupting the top line, and paint nothing inside: the window's colour shows through.
//  - The menu bar: F10, or a press and release of Alt, highlights its first menu; the arrows,
//    Enter and Escape then work as Qt's menu keyboard mode has them, and a letter moves to the
//    next menu or item whose text begins with it (the menus have no access keys).
//  - The focus shows on every control that can take it (buttons, check boxes, radios, edits,
//    lists) as a frame that stands out on the green window and on white, from the moment
//    the control has it; the menu bar in keyboard mode shows its active title.
//  - Edits and lists are named for assistive tools after the static text just before them in
//    the template. Buttons, check boxes and radios answer every accessibility action with a
//    click, so the dialog's click handler runs whichever way they are pressed.

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QString>

class QComboBox;
class QFontMetrics;
class QMenuBar;
class QScreen;
class QStyle;

namespace ui {

// The style of the dialogs' controls and the menu bar: the application's style with the
// metrics, hints and focus frames above. One instance, owned by the application.
QStyle* DialogStyle();

// A drop-down list as the dialog layer builds it: the style above, the wheel only with focus.
void SetUpDropList(QComboBox* list);

// The menu keys described above, for `bar` and the menus it holds at the time. F10 reaches
// the window as a key press; the window calls ActivateMenuBar for it.
void SetUpMenuKeys(QMenuBar* bar);
void ActivateMenuBar(QMenuBar* bar);

// Group box drawn as the system draws one.
class GroupFrame : public QGroupBox {
    Q_OBJECT

public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The dialogs' buttons. Their own classes make the accessibility factory below the one asked
// first for them (Qt asks for the most derived class first).
class DialogPushButton : public QPushButton {
    Q_OBJECT

public:
    using QPushButton::QPushButton;
};
class DialogCheckBox : public QCheckBox {
    Q_OBJECT

public:
    using QCheckBox::QCheckBox;
};
class DialogRadioButton : public QRadioButton {
    Q_OBJECT

public:
    using QRadioButton::QRadioButton;
};

// Installs (once) the accessibility of buttons described above.
void InstallButtonAccessibility();

// `text` with "&" access-key marks removed ("&&" is a literal "&").
QString WithoutAccessKeys(const QString& text);

// Message boxes: the widest a line of text may be (five eighths of the screen's width, as
// the system's message box lays out its text), and the text with every line wider than
// `width` broken at the last space that keeps it within (or inside a word too long for a line).
int MessageTextWidth(const QScreen* screen);
QString WrapMessageText(const QString& text, const QFontMetrics& metrics, int width);

}  // namespace ui
