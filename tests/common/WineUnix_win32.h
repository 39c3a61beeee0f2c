#pragma once
// The Windows build's tests run under Wine on a Linux machine, where the simulator and the
// pseudo-terminals are Linux things. Wine starts a Unix program when asked to create a process
// from one, but gives back no handle to wait on and none of its output, so these run a
// shell script and hear back through files: paths cross over with Wine's own
// wine_get_unix_file_name.

#include <optional>
#include <string>

namespace fwtest::wine {

// The Unix path of a Windows path ("C:\users\x\Temp\f" -> "/root/.wine/drive_c/users/...");
// empty when not under Wine.
std::string UnixPath(const std::string& windowsPath);
// The Windows path of a Unix path ("/tmp/x" -> "Z:\tmp\x").
std::string WindowsPath(const std::string& unixPath);
// The prefix's dosdevices folder (where comN links name COM ports), as a Unix path.
std::string DosDevices();
// A scratch folder of this test process (Unix path), made on first use.
std::string ScratchDir();
// The text of a small file (Unix path), or nullopt while it does not exist.
std::optional<std::string> ReadText(const std::string& unixPath);
// `text` as one single-quoted shell word.
std::string ShellQuote(const std::string& text);

// Starts `script` under /bin/sh without waiting for it. False when it could not be started.
bool StartScript(const std::string& script);
// Runs `script` under /bin/sh and waits up to `timeoutMs` for it to end. Its exit status, or
// nullopt when it did not end in time or could not be started.
std::optional<int> RunScript(const std::string& script, int timeoutMs = 10000);

}  // namespace fwtest::wine
