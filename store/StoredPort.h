#pragma once
// The program's stored settings, under HKEY_CURRENT_USER\Software\Fernwell\ (on Linux the
// settings file that stands in for the registry): the COM port the window opens at start and
// the CLI uses when no port is given ("CommPort"), and texts the window remembers between
// runs (what the commissioning report was last given).

#include <string>

// The stored port; `fallback` when the key cannot be made or the value is missing.
int ReadStoredPort(int fallback = 1);
// Stores `port`. False when it could not be written (the stored value is then unchanged).
bool WriteStoredPort(int port);

// The text stored as `name`; empty when there is none.
std::string ReadStoredText(const std::string& name);
// Stores `text` as `name`. False when it could not be written.
bool WriteStoredText(const std::string& name, const std::string& text);
