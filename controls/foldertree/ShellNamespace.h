// Our folder namespace: the Desktop root holds "Home" (the user's home
// folder) and "Computer", a virtual folder whose children are the volumes a
// user cares about; below those, the file system. Items are framed as
// item-ID lists (PidlHelp.h); a file-system item's data is its name bytes, a
// volume's its mount point, a Desktop item's a fixed token.
//
// Folders are shared objects: a tree node keeps the folder that listed it, so
// binding, comparing and naming never re-parse a path.
#pragma once

#include "controls/foldertree/PidlHelp.h"

#include <cstdint>
#include <memory>
#include <string>

class QWidget;

// Attribute bits of an item (the values the shell gives them).
enum : std::uint32_t {
    sfgaoCanCopy = 0x1,
    sfgaoCanMove = 0x2,
    sfgaoCanLink = 0x4,
    sfgaoCanRename = 0x10,
    sfgaoCanDelete = 0x20,
    sfgaoHasPropSheet = 0x40,
    sfgaoDropTarget = 0x100,
    sfgaoLink = 0x10000,
    sfgaoShare = 0x20000,
    sfgaoHidden = 0x80000,
    sfgaoValidate = 0x1000000,
    sfgaoRemovable = 0x2000000,
    sfgaoFileSysAncestor = 0x10000000,
    sfgaoFolder = 0x20000000,
    sfgaoFileSystem = 0x40000000,
    sfgaoHasSubfolder = 0x80000000,
};

// What the folder tree asks for.
constexpr std::uint32_t TreeAttributeMask = 0xF20B0177;

// Enumeration flags.
enum : unsigned {
    shcontfFolders = 0x20,
    shcontfNonFolders = 0x40,
    shcontfIncludeHidden = 0x80,
};

// One pass over a folder's items.
class TEnumIDList
{
public:
    virtual ~TEnumIDList() = default;
    // The next item as a new one-item list in `id` (a list it held is
    // released); false, with `id` empty, at the end.
    virtual bool Next(TPidlHolder &id) = 0;
};

class TShellFolder;
using TShellFolderPtr = std::shared_ptr<TShellFolder>;

class TShellFolder
{
public:
    virtual ~TShellFolder() = default;

    // The folder's items of the kinds `flags` asks for, in the order the
    // folder holds them; nullptr when the folder cannot be listed.
    virtual std::unique_ptr<TEnumIDList> EnumObjects(QWidget *owner, unsigned flags) = 0;
    // The folder named by a relative ID (one item or more); nullptr, with the
    // reason in `error` when given, when there is none.
    virtual TShellFolderPtr BindToObject(PCItemIDList relativeId, std::string *error = nullptr) = 0;
    // Orders two relative IDs by name: negative, zero (the same item) or
    // positive, always within -127..127.
    virtual int CompareIDs(int column, PCItemIDList a, PCItemIDList b) = 0;
    // The item's attribute bits, limited to `mask`.
    virtual std::uint32_t GetAttributesOf(PCItemIDList relativeId, std::uint32_t mask) = 0;
    // Drops whatever the folder remembers about its items.
    virtual void Validate() {}
    // The item's name; false when the folder cannot name it.
    virtual bool GetDisplayNameOf(PCItemIDList relativeId, TDisplayNameType type, std::string &name) = 0;
    // Parses a path relative to this folder into a new ID in `id` (a list it
    // held is released); false, with `id` empty, when the path names nothing
    // that exists.
    virtual bool ParseDisplayName(QWidget *owner, const std::string &path, TPidlHolder &id) = 0;
    // The file-system path of an item of this folder (relative ID, one or
    // more items); false for virtual items.
    virtual bool GetPathOf(PCItemIDList relativeId, std::string &path) = 0;
    // Name of the icon the shared icon list shows for the item.
    virtual std::string IconKeyOf(PCItemIDList relativeId, bool open) = 0;
    // Gives the item (relative ID, one item or more) the last name `name`,
    // never replacing another item of that name; its new relative ID in
    // `newId` (a list it held is released). False, with `newId` empty and the
    // errno in `error` when given, when the folder refuses: the name is taken
    // or not one plain name, or the item cannot be renamed (every item but a
    // file-system entry).
    virtual bool SetNameOf(QWidget *owner, PCItemIDList relativeId, const std::string &name, TPidlHolder &newId,
                           int *error = nullptr);
};

// The root of the namespace. Never fails.
TShellFolderPtr GetDesktopFolder();

// The file-system path of an absolute ID; false for virtual items (the
// Desktop itself, "Computer").
bool GetPathFromIDList(PCItemIDList absoluteId, std::string &path);

// Well-known roots, by the shell's folder numbers.
enum : int {
    csidlDesktop = 0x00,
    csidlPrograms = 0x02,
    csidlControls = 0x03,
    csidlPrinters = 0x04,
    csidlPersonal = 0x05,
    csidlFavorites = 0x06,
    csidlStartup = 0x07,
    csidlRecent = 0x08,
    csidlSendTo = 0x09,
    csidlBitBucket = 0x0A,
    csidlStartMenu = 0x0B,
    csidlDesktopDirectory = 0x10,
    csidlDrives = 0x11,
    csidlNetwork = 0x12,
    csidlNetHood = 0x13,
    csidlFonts = 0x14,
    csidlTemplates = 0x15,
};
// The absolute ID of a well-known folder in `id` (a list it held is
// released); false, with `id` empty, for the ones that name nothing here or
// whose folder does not exist.
bool GetSpecialFolderLocation(QWidget *owner, int csidl, TPidlHolder &id);
