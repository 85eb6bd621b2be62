// Opening a file to write a program's output to, as a shell's redirection
// does: a regular file is created or emptied; a FIFO, a terminal or another
// device is opened as it is, without waiting for it.
#pragma once

#include <string>

struct TOutputFile {
    int fd = -1;     // open for writing (blocking writes), or -1
    int error = 0;   // the errno of the failure
    std::string reason; // the failure as a person reads it
};

// Opens `path` for writing. A FIFO that no process reads is refused at once
// (a plain open would wait for a reader for ever), with a reason that says
// so; writes to what was opened wait as usual.
TOutputFile OpenOutputFile(const std::string &path);

// Closes a descriptor from OpenOutputFile(); 0 or the errno of the failure
// (a file system may report a failed write only here).
int CloseOutputFile(int fd);
