#pragma once
// Who else has a serial device open (POSIX only: the Windows open is exclusive by itself and
// its sharing error says enough).
//
// A tty lets any number of programs open it; an exclusive flag or a lock keeps out only those
// that ask. A terminal program or `cat` that holds the port without either would take the
// module's replies from under us, so the open looks for other holders among the processes'
// open descriptors (/proc/<pid>/fd), comparing the device number of the character device
// rather than the path (a link, /dev/serial/by-id or a second device node all count).
//
// Not counted:
//  - this process (the port probe of the comm settings dialog may hold it for a moment);
//  - for a pseudo-terminal, a process that holds its master side: that is the far end of
//    the line (fernwell-sim, a test rig), which also keeps a slave descriptor open so the
//    line does not hang up between our opens. A master descriptor names its pty in
//    /proc/<pid>/fdinfo ("tty-index:").
// Processes the user may not inspect (other users', unless root) cannot be seen; they count
// only when the open itself was refused as busy, as "another program".

#include <string>

namespace portmap {

// "cat (pid 4711)" for the first other process (lowest pid) that holds the character device
// `device` open, or an empty string when none that we may inspect does (also when `device`
// is no character device).
std::string OtherHolder(const std::string& device);

// The reason after "Error Opening COM%d:\n" for a port that is in use: "The port is in use
// by cat (pid 4711)." or, for an empty `holder`, "The port is in use by another program."
std::string InUseText(const std::string& holder);

}  // namespace portmap
