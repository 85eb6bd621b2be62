// How a file name is written wherever a person reads it (log lines, result
// lines, labels, report fields): one name is always one line, nothing in a
// name can move the cursor or change a terminal's colours, and two names
// never give the same text, so a line always says which file it means.
#pragma once

#include <cstddef>
#include <string>

// `text` with every control byte (below 0x20, and 0x7F) written as "\n",
// "\t", "\r" or "\xHH" (two upper-case hex digits), and the backslash itself
// as "\\": a name holding a backslash and an "n" is then told apart from one
// holding a newline. Other bytes are kept, so a name that is not valid UTF-8
// shows as it did. With `invalidUtf8Too`, bytes that are not part of a valid
// UTF-8 sequence are written as "\xHH" too, for texts that must be UTF-8
// (the report). Escape a text once, where it is shown: escaping it again
// doubles its backslashes.
std::string EscapeControls(const std::string &text, bool invalidUtf8Too = false);

// Appends "\xHH" for `byte`, two upper-case hex digits.
void PutHex(std::string &out, unsigned char byte);

// The length of the valid UTF-8 sequence of more than one byte at `i`, or 0
// when there is none there (an ASCII byte, stray continuation bytes,
// overlong forms, surrogates, beyond U+10FFFF).
std::size_t Utf8Length(const std::string &s, std::size_t i);

// Whether `text` is valid UTF-8 by the same rule as above (no overlong
// forms, surrogates or code points beyond U+10FFFF).
bool IsUtf8(const std::string &text);
