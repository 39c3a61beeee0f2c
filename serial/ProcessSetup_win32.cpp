#include <io.h>

#include <cstdio>
#include <initializer_list>

#include "serial/ProcessSetup.h"

// The C runtime's descriptors 0-2 have no system handle (-1, or -2 for a process without a
// console) when the process was started without them: reopen such a stream onto NUL, for
// reading only, so that a later _open cannot take its number and a write to it fails.
// Windows has no file size signal.
void PrepareProcess() {
    for (std::FILE* stream : {stdin, stdout, stderr}) {
        const int fd = _fileno(stream);
        if (fd >= 0 && _get_osfhandle(fd) != -1 && _get_osfhandle(fd) != -2) {
            continue;
        }
        (void)std::freopen("NUL", "r", stream);
    }
}
