#pragma once
// What every program (the window, fernwell-cli, fernwell-sim) does first thing in main(),
// before it opens anything:
//  - descriptors 0, 1 and 2 are always taken. A program started with one of them closed
//    (`prog >&-`, a service manager, a parent that closed its descriptors) would otherwise get
//    its next open() there: the serial port would become "standard output", and text meant
//    for the terminal would go down the line into the module. A closed one is opened onto the
//    null device (/dev/null; NUL on Windows) for reading only: a read gives end of file, a
//    write fails (EBADF) as a write to a closed descriptor would, so a result that could not
//    be delivered is still reported as a failure;
//  - SIGXFSZ is ignored (POSIX): a log that reaches the file size limit (ulimit -f) is then a
//    failed write (EFBIG), reported like a full disk, instead of killing the process with no
//    word and a cut row.
void PrepareProcess();
