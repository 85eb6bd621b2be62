// Deleting entries the way the desktop does, for every caller that deletes
// (the verify's deletion of matching files, the tree's Delete): the
// protections live here once.
//
// - Each entry is reached through the open folder that holds it and moved
//   relative to it; the caller checks it right before it goes, each time
//   (before its move to the trash, and again after the question).
// - What went to the trash is looked at there: when it is not the entry
//   that was checked (another one took the name in between), it is put back
//   and stays.
// - What cannot go to the trash is deleted for good only after one question
//   for the whole batch, and only as a held descriptor proves it is what was
//   checked; a folder is wiped without following a link and without entering
//   another file system.
// - A folder that is a mount point, or holds one anywhere below it, is never
//   moved nor wiped (EBUSY), and never offered to the question; the mount
//   table is read at that moment.
#pragma once

#include <cstddef>
#include <string>
#include <sys/stat.h>

#include "platform/FolderHandle.h"

class TTrashSession;

// One entry to delete, as its caller's check found it.
struct TDeleteEntry {
    TFolderHandle folder;   // holds the entry
    std::string name;       // the entry's name in `folder`
    std::string path;       // its full path, for the trash and the messages
    struct stat checked {}; // the entry itself (not following a link) as checked
};

// What the caller's check says of an entry right before it goes.
enum class TEntryCheck {
    Go,   // it may go
    Keep, // it stays; the caller has said why
    Stop, // the whole deletion ends here
};

// Why an entry stayed, when the deletion itself decided it.
struct TEntryStay {
    enum Reason {
        Failed,               // `error` and `message` say why
        Declined,             // could not go to the trash; the question was declined
        ChangedWhileDeleting, // another entry took its place on the way (ESTALE)
    };
    Reason reason = Failed;
    int error = 0;
    std::string message;
    // ChangedWhileDeleting after a move to the trash: where the wrong entry
    // was in the trash, and the name it was put back under (empty, with
    // `error` set, when it could not be put back).
    std::string trashedAs;
    std::string restoredAs;
};

class TDeleteCaller
{
public:
    virtual ~TDeleteCaller() = default;
    // Right before entry `index` goes: fills `entry` (folder, name, path,
    // checked) and decides. `afterQuestion`: it could not go to the trash,
    // the user agreed to delete it for good, and this is the check after
    // that question, which may have waited for hours; `entry` then is what
    // the check before the trash left in it.
    virtual TEntryCheck Check(std::size_t index, bool afterQuestion, TDeleteEntry &entry) = 0;
    // Asked once per batch, with how many entries could not go to the trash;
    // true: delete them for good.
    virtual bool AskPermanent(std::size_t count) = 0;
    // Entry `index` is gone. `after`: the entry as it stands in the trash, or
    // the unlinked file as it lives on under other names (st_ino 0 when
    // nothing is known).
    virtual void Gone(std::size_t index, const TDeleteEntry &entry, const struct stat &after) = 0;
    virtual void Stayed(std::size_t index, const TDeleteEntry &entry, const TEntryStay &why) = 0;
};

// Deletes entries 0 .. count-1 in that order, then, after the one question,
// those that could not go to the trash. False when a check said Stop.
bool DeleteEntries(std::size_t count, TDeleteCaller &caller, TTrashSession &trash);
