#pragma once
// The program's file dialogs. Every one goes through GetSaveFileName, so tests can replace the
// function with their own answer (the GUI test main installs one that fails the test on any
// dialog nobody expected), as with the message box.

#include <QString>
#include <functional>

class QWidget;

namespace ui {

enum class SaveKind {
    kReplace,  // the file is written anew: an existing one is asked about first
    kAppend,   // the file is added to: an existing one is what the user means
};

// What a dialog is given; returns the chosen path, or an empty text when cancelled.
using FileDialogHandler = std::function<QString(QWidget* owner, const QString& caption,
                                                const QString& suggested, SaveKind kind)>;

// A modal "save as" dialog for CSV files, owned by `owner`, starting at `suggested`.
QString GetSaveFileName(QWidget* owner, const QString& caption, const QString& suggested,
                        SaveKind kind);

// Replaces the function behind GetSaveFileName; an empty handler restores the real dialog.
// Returns the handler in place before.
FileDialogHandler SetFileDialogHandler(FileDialogHandler handler);

}  // namespace ui
