// File masks of the folder tree: "*.txt;*.doc" style pattern lists and the
// matcher of its own small wildcard language ('*' any run, '?' exactly one
// character, everything else itself; no sets, no escapes). The matcher takes
// the first place a literal fits and never goes back, and a name without a
// full stop is matched with one appended: both are part of its contract.
#pragma once

#include <string>
#include <vector>

// Lower-cased patterns, sorted.
using TMaskList = std::vector<std::string>;

// Fills `list` from a mask text: an empty text gives {"*"}; blanks are kept.
void BuildMask(const std::string &maskText, TMaskList &list);

// True when `name` matches a pattern of the list; an empty list (or none)
// matches everything. Case does not matter.
bool FileMatches(const std::string &name, const TMaskList *list);

// One pattern against one name, both already lower-cased.
bool MaskMatches(const std::string &name, const std::string &pattern);
