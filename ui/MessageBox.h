#pragma once
// The one message box of the program. Every box goes through ShowMessageBox, so tests can
// replace the function with a recorder (and the GUI test main installs one that fails the
// test on any box nobody expected). Nothing else calls QMessageBox.
//
// The types and results keep the system's values (MB_OK, MB_ICONSTOP, IDOK, ...).

#include <QString>
#include <functional>

class QWidget;

namespace ui {

// Buttons (low four bits of the type).
constexpr unsigned kMbOk = 0x0;
constexpr unsigned kMbOkCancel = 0x1;
constexpr unsigned kMbAbortRetryIgnore = 0x2;
constexpr unsigned kMbYesNoCancel = 0x3;
constexpr unsigned kMbYesNo = 0x4;
constexpr unsigned kMbRetryCancel = 0x5;
constexpr unsigned kMbButtonsMask = 0xF;
// Icons.
constexpr unsigned kMbIconStop = 0x10;
constexpr unsigned kMbIconQuestion = 0x20;
constexpr unsigned kMbIconExclamation = 0x30;
constexpr unsigned kMbIconInformation = 0x40;
constexpr unsigned kMbIconMask = 0xF0;
// The program's own (no system value): the text can be selected and copied, by mouse and
// keyboard (an address the user must take elsewhere).
constexpr unsigned kMbSelectableText = 0x80000000u;

// Results.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdAbort = 3;
constexpr int kIdRetry = 4;
constexpr int kIdIgnore = 5;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// What a box is given. `caption` is already resolved (never empty).
using MessageBoxHandler =
    std::function<int(QWidget* owner, const QString& text, const QString& caption, unsigned type)>;

// Shows a modal message box owned by `owner` and returns the button pressed. A box without a
// caption is the framework's: captioned with the application's title ("Fernwell"), with the
// exclamation icon (the question for Yes/No) when `type` names none.
int ShowMessageBox(QWidget* owner, const QString& text, const QString& caption = QString(),
                   unsigned type = kMbOk);

// Replaces the function behind ShowMessageBox; an empty handler restores the real boxes.
// Returns the handler in place before.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// The result a box of `type` gives when its first button is pressed (OK, Abort, Yes, Retry).
int FirstButtonResult(unsigned type);

// The framework's invalid-argument error, raised by a handler (for example an index outside
// an array) and caught where the command is dispatched (CDialog::OnCommand), which reports
// it with ReportInvalidArgument and carries on: the dialog stays open.
struct InvalidArgument {};
[[noreturn]] void ThrowInvalidArgument();

// "An invalid argument was encountered." with the stop icon and the application's title.
void ReportInvalidArgument(QWidget* owner);

}  // namespace ui
