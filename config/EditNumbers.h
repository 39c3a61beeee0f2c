#pragma once
// Numbers typed into the configuration dialogs' edits, read as the framework reads them.

#include <QString>

// The framework's signed integer read of an edit (GetDlgItemInt with bSigned TRUE): leading
// white space skipped, an optional sign, then decimal digits up to the first other character,
// which ends the number ("12 s" reads 12). Text without a number, and a number outside the
// 32-bit range, read as 0.
int DlgTextToInt(const QString& text);
