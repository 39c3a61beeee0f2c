#pragma once
// The program's file dialogs. Every one goes through the same handler, so tests can replace the
// function with their own answer (the GUI test main installs one that fails the test on any
// dialog nobody expected), as with the message box.

#include <QString>
#include <functional>

class QWidget;

namespace ui {

enum class SaveKind {
    kReplace,  // the file is written anew: an existing one is asked about first
    kAppend,   // the file is added to: an existing one is what the user means
    kOpen,     // an existing file to read (GetOpenFileName)
};

// What a dialog is given; returns the chosen path, or an empty text when cancelled.
using FileDialogHandler = std::function<QString(QWidget* owner, const QString& caption,
                                                const QString& suggested, SaveKind kind)>;

// The CSV files of the flow trend, the dialogs' filter unless they are given another.
inline constexpr const char* kCsvFilter = "CSV files (*.csv);;All files (*)";

// A modal "save as" dialog for files of `filter` ("Name (*.ext);;All files (*)"), owned by
// `owner`, starting at `suggested`.
QString GetSaveFileName(QWidget* owner, const QString& caption, const QString& suggested,
                        SaveKind kind, const char* filter = kCsvFilter);
// A modal "open" dialog for an existing file of `filter`; the handler is told kOpen.
QString GetOpenFileName(QWidget* owner, const QString& caption, const char* filter);

// Replaces the function behind GetSaveFileName; an empty handler restores the real dialog.
// Returns the handler in place before.
FileDialogHandler SetFileDialogHandler(FileDialogHandler handler);

}  // namespace ui
