// Writing to the standard streams and talking to the user's terminal, for a
// program without a window.
#pragma once

#include <string>
#include <string_view>

// Writes all of `text` to `fd`, again after a signal cut a write short.
// False, with `error` set to the errno, when the descriptor refuses it
// (a closed pipe, a full disk).
bool WriteAll(int fd, std::string_view text, int &error);

bool IsTerminal(int fd);

// The width of the terminal `fd` is, in columns; 0 when it is none or does
// not say.
int TerminalColumns(int fd);

// The controlling terminal (/dev/tty), opened for reading and writing, or -1
// when the process has none.
int OpenControllingTerminal();
void CloseDescriptor(int fd);

// Reads one line typed on `fd`, without its end. False at the end of the
// input, on an error, or when a signal interrupts the wait.
bool ReadLine(int fd, std::string &line);

// Opens /dev/null on each of the descriptors 0, 1 and 2 that is closed, as
// the program's first step: a program started with `>&-` would otherwise
// open its next file (a report) as its standard output and mix its log into
// it. False when one could not be opened.
bool OpenClosedStandardStreams();

// A write to a closed pipe then fails with EPIPE instead of killing the
// process, so that the program can end its run in order.
void IgnoreBrokenPipe();
