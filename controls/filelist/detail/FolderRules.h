// Rules the file list and the directory list share: which folder a typed
// path names, making it current, the order of names, and the wildcard
// patterns of a folder search.
#pragma once

#include <QString>

#include <string>

namespace QvlFileList {

// The absolute path `wanted` names when taken relative to `present` (the
// folder a list shows; the process's current folder when empty): "~"
// expanded, "." and ".." folded textually, no trailing slash ("/" for the
// root). The empty string for an empty text.
std::string ResolveFolder(const std::string &present, const std::string &wanted);

// Makes `present` current again when it still exists, then `target` (a
// resolved path). Throws EInOutError naming `given` when `target` cannot be
// made current.
void ChangeToFolder(const std::string &present, const std::string &target, const std::string &given);

// The order of rows: without regard to case.
int CompareNames(const QString &a, const QString &b);

// Whether `name` matches one wildcard pattern of a folder search, without
// regard to case: "*" any run of characters, "?" exactly one; "*" and "*.*"
// match every name; a pattern ending in ".*" also matches without that
// ending ("x.*" matches "x"); a pattern ending in "." matches names without
// a dot ("*." matches "README"). An empty pattern matches nothing.
bool MatchesFindPattern(const QString &name, const QString &pattern);

} // namespace QvlFileList
