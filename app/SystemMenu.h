#pragma once
// The window's system menu, where the window system has one (Windows). Plain C++ on purpose:
// the Windows file includes only <windows.h>, so it builds and is checked without Qt.
//
// Off Windows there is no system menu: both functions answer false, and the main window puts
// its About item at the end of the "Help" menu instead.

#include <cstdint>
#include <string>

// Appends a separator and the item `id` with `text` to the system menu of the native window
// `winId` (an HWND). False when the window has no system menu.
bool AppendNativeSystemMenuItem(std::uintptr_t winId, int id, const std::wstring& text);

// When `message` (a native message, an MSG on Windows) is WM_SYSCOMMAND, stores its command
// (all bits, the system's low four included) in `id` and returns true; otherwise false.
bool NativeSystemCommand(void* message, int* id);
