// Item-ID lists: the byte-framed names by which the folder tree refers to
// namespace items. A list is a run of items, each a 16-bit little-endian count
// (the item's whole length, the count included) followed by its data, and a
// 16-bit zero at the end. The empty list (the terminator alone) names the
// desktop. Nothing here reads item data; only the folder that made an item
// does. Every list a helper makes is new and comes in a TPidlHolder, which
// releases it; a PItemIDList or PCItemIDList a helper returns points into its
// argument and owns nothing.
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

// Owns a list; releases it at the end of the scope.
struct TPidlDeleter {
    void operator()(std::uint8_t *p) const;
};
using TPidlHolder = std::unique_ptr<std::uint8_t, TPidlDeleter>;

// Size in bytes including the terminator; 0 for no list.
std::size_t GetPidlSize(PCItemIDList list);
// A zero-filled block of `size` bytes; empty when allocation fails.
TPidlHolder CreatePIDL(std::size_t size);
// The items of `first` (may be nullptr) followed by all of `second`.
TPidlHolder ConcatPIDLs(PCItemIDList first, PCItemIDList second);
TPidlHolder CopyPIDL(PCItemIDList list);
// Byte equality, terminator included; two nullptrs are equal.
bool ComparePIDLs(PCItemIDList a, PCItemIDList b);
// Points into `list` at its second item; nullptr when `list` is at its end.
PCItemIDList NextPIDL(PCItemIDList list);
PItemIDList NextPIDL(PItemIDList list);
int PIDLCount(PCItemIDList list);
TPidlHolder CopyFirstID(PCItemIDList list);
TPidlHolder CopyLastID(PCItemIDList list);
// The list without its last item; the empty list stays empty.
TPidlHolder CopyParentPIDL(PCItemIDList list);

// Builds a one-item list whose data is `data` (helpers for namespace folders);
// empty when the data is too long to frame.
TPidlHolder MakeItemID(const std::string &data);
// The data bytes of the first item of `list`; empty for an empty list.
std::string ItemData(PCItemIDList list);

// The namespace bridges. Failures are an empty string, or false with `id`
// left empty (a list it held is released either way).
std::string GetDisplayName(TShellFolder *folder, PCItemIDList relativeId, TDisplayNameType type);
bool GetPIDLFromPath(QWidget *owner, TShellFolder *folder, const std::string &path, TPidlHolder &id);
