// Item-ID lists: the byte-framed names by which the folder tree refers to
// namespace items. A list is a run of items, each a 16-bit little-endian count
// (the item's whole length, the count included) followed by its data, and a
// 16-bit zero at the end. The empty list (the terminator alone) names the
// desktop. Nothing here reads item data; only the folder that made an item
// does. Every list a helper returns is new and owned by the caller (release it
// with FreePIDL) unless the helper says it points into its argument.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class QWidget;
class TShellFolder;

using PItemIDList = std::uint8_t *;
using PCItemIDList = const std::uint8_t *;

enum TDisplayNameType {
    dntNormal = 0x0,        // the name shown to the user
    dntInFolder = 0x1,      // the name within its folder
    dntForParsing = 0x8000, // a name the desktop can parse back (a path)
};

// Size in bytes including the terminator; 0 for no list.
std::size_t GetPidlSize(PCItemIDList list);
// A zero-filled block of `size` bytes; nullptr when allocation fails.
PItemIDList CreatePIDL(std::size_t size);
// Releases the list and sets the variable to nullptr.
void FreePIDL(PItemIDList &list);
// The items of `first` (may be nullptr) followed by all of `second`.
PItemIDList ConcatPIDLs(PCItemIDList first, PCItemIDList second);
PItemIDList CopyPIDL(PCItemIDList list);
// Byte equality, terminator included; two nullptrs are equal.
bool ComparePIDLs(PCItemIDList a, PCItemIDList b);
// Points into `list` at its second item; nullptr when `list` is at its end.
PCItemIDList NextPIDL(PCItemIDList list);
PItemIDList NextPIDL(PItemIDList list);
int PIDLCount(PCItemIDList list);
PItemIDList CopyFirstID(PCItemIDList list);
PItemIDList CopyLastID(PCItemIDList list);
// The list without its last item; the empty list stays empty.
PItemIDList CopyParentPIDL(PCItemIDList list);

// Builds a one-item list whose data is `data` (helpers for namespace folders).
PItemIDList MakeItemID(const std::string &data);
// The data bytes of the first item of `list`; empty for an empty list.
std::string ItemData(PCItemIDList list);

// Owns a list; releases it at the end of the scope.
struct TPidlDeleter {
    void operator()(std::uint8_t *p) const;
};
using TPidlHolder = std::unique_ptr<std::uint8_t, TPidlDeleter>;

// The namespace bridges. Failures are an empty string or false.
std::string GetDisplayName(TShellFolder *folder, PCItemIDList relativeId, TDisplayNameType type);
bool GetPIDLFromPath(QWidget *owner, TShellFolder *folder, const std::string &path, PItemIDList &id);
