#pragma once
// The program's one stored setting: the COM port the window opens at start and the CLI uses
// when no port is given. HKEY_CURRENT_USER\Software\Fernwell\CommPort (on Linux the settings
// file that stands in for the registry).

// The stored port; `fallback` when the key cannot be made or the value is missing.
int ReadStoredPort(int fallback = 1);
// Stores `port`. False when it could not be written (the stored value is then unchanged).
bool WriteStoredPort(int port);
