// Path texts as the program handles them: native POSIX paths held as byte
// strings (UTF-8 or not), '/' as the separator.
#pragma once

#include <string>

// The path with one '/' at its end (added only when missing).
std::string IncludeTrailingSlash(const std::string &path);

// The path without trailing slashes; "/" stays "/".
std::string ExcludeTrailingSlash(const std::string &path);

// "~" and "~/..." name the user's home folder, as in every shell; any other
// text is returned unchanged.
std::string ExpandHome(const std::string &path);

// An absolute path for a path typed by the user: "~" expanded, a relative path
// resolved against the process's current folder. Purely textual: links are
// not resolved and "." / ".." segments are folded without touching the disk.
std::string AbsolutePath(const std::string &path);

// The part of `path` after `base` (which is taken with a trailing slash), or
// the empty string when `path` does not lie below `base`.
std::string RelativeTo(const std::string &path, const std::string &base);

// The folder part of an absolute path without a trailing slash: everything
// before its last '/', and "/" for the root and the entries in it.
std::string ParentFolder(const std::string &path);
