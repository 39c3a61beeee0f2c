#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "serial/ProcessSetup.h"

void PrepareProcess() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1) {
            continue;  // open
        }
        // The descriptors below `fd` are taken, so open() returns `fd` itself.
        const int opened = open("/dev/null", O_RDONLY);
        if (opened != -1 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
    signal(SIGXFSZ, SIG_IGN);
}
