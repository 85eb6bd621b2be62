// Paths between the window and the rest of the program: the engine and the
// platform hold a path as the bytes the file system names it by, the widgets
// hold text. A path that is valid UTF-8 shows as itself. A byte that is not
// part of a valid UTF-8 sequence shows as "\xHH" (two hex digits), and so
// does a backslash that would otherwise read as the start of such an escape
// ("\x5C"), so that every path comes back from its text with the bytes it
// went out with, and a name typed with "\xHH" names the byte.
#pragma once

#include <QString>

#include <string>

// The bytes of the path a box or label shows: "\xHH" (either case) is the
// byte, everything else its UTF-8.
std::string ToPath(const QString &text);
// The text of a path, for a box or a label.
QString FromPath(const std::string &path);
// A text the engine made for a person (a log line, a message): it has
// written the names in it already, so it is only decoded.
QString FromText(const std::string &text);
