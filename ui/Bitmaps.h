#pragma once
// Bitmap and icon resources on screen. Each image is loaded once and shared by every control
// that shows it; giving a static bitmap control the image it already shows costs nothing
// (the lamps are set on every poll).

#include <QIcon>
#include <QPixmap>

class QLabel;

namespace ui {

// Bitmap resource `id` (144-149, 1001); a null pixmap when there is none.
QPixmap BitmapResource(int id);

// Icon resource `id` (128) with all its sizes; a null icon when there is none.
QIcon IconResource(int id);

// STM_SETIMAGE: shows bitmap `id` in static bitmap control `control`, which takes the
// image's size as a bitmap control does. Nothing happens when it shows that bitmap already.
// Returns false when there is no such bitmap (the control is left as it is).
bool SetBitmap(QLabel* control, int id);

// The bitmap `control` shows, 0 when none.
int BitmapOf(const QLabel* control);

// A lamp for assistive tools, which see an image without a name: its accessible name becomes
// `meaning` ("High alarm activated") and its description that meaning with its state ("High
// alarm activated: on", ": off" while grey or empty), kept up to date by every SetBitmap.
void NameLamp(QLabel* lamp, const QString& meaning);

// A value display or lamp that still shows the last reading of a module that stopped
// answering: its text greyed (the control disabled), its image dimmed, and a named lamp's
// description ends in "(last reading)". Not stale again shows it as it was; SetBitmap keeps
// a stale lamp dimmed.
void SetStale(QLabel* control, bool stale);

}  // namespace ui
