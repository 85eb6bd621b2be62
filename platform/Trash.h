// The freedesktop.org Trash, our own: the home trash ($XDG_DATA_HOME/Trash,
// created 0700 when missing) for files on the home's file system; for files on
// another file system $topdir/.Trash/$uid (a sticky folder that is not a link)
// or $topdir/.Trash-$uid.
//
// An entry is moved by rename() relative to the open folder that holds it,
// never by a path that could lead elsewhere by now, and never copied and
// deleted across file systems. Its .trashinfo is complete before the entry
// moves: it is written under a temporary name and renamed into place, which
// also claims the trash name. A taken name is resolved in a few probes,
// however many entries of that name the trash already holds.
#pragma once

#include "platform/FileIdentity.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct MountEntry;
class TFolderHandle;

struct TrashOutcome {
    bool ok = false;
    int error = 0;          // errno of the failure when !ok
    std::string message;    // what went wrong, for the user
    std::string trashedAs;  // full path of the entry in <trash>/files when ok
    std::string infoPath;   // full path of its .trashinfo when ok
    // The entry as it stands in the trash right after the move (not
    // following a link): what really moved, whatever the name held before.
    TFileIdentity trashed;
    bool trashedIsFolder = false;

private:
    friend class TTrashSession;
    std::size_t m_bin = 0;
    std::string m_trashName, m_infoName;
};

// The name an entry called `base` gets in the trash, with number `n` ("name"
// for 0, else "name.<n>"): cut so that "<name>.trashinfo" still fits a file
// name, never empty.
std::string TrashName(const std::string &base, std::uint64_t n);

// The home trash folder ($XDG_DATA_HOME/Trash, default ~/.local/share/Trash).
std::string HomeTrashDir();

// One batch of entries going to the trash: the trash folders of each file
// system are found and opened once, and the names given out are remembered,
// so that a thousand files of one name cost a thousand moves, not a million
// probes.
class TTrashSession
{
public:
    TTrashSession();
    // With a mount table read by the caller.
    explicit TTrashSession(std::vector<MountEntry> mounts);
    ~TTrashSession();
    TTrashSession(const TTrashSession &) = delete;
    TTrashSession &operator=(const TTrashSession &) = delete;

    // Moves the entry `name` of `folder` (a file, a link, a folder) to the
    // trash of its file system. `pathHint` is the entry's full path as the
    // caller knows it, used for the .trashinfo only when the kernel cannot
    // tell where the folder is. A volume's root never moves (EBUSY).
    TrashOutcome MoveAt(const TFolderHandle &folder, const std::string &name, const std::string &pathHint);

    // Moves an entry that MoveAt() moved back into `folder`: under `name`
    // when that is free, else under "<name>.restored" (or a numbered one);
    // the entry's .trashinfo goes. Never replaces anything. 0 or the errno;
    // `restoredAs` gets the name it took.
    int PutBack(const TrashOutcome &moved, const TFolderHandle &folder, const std::string &name,
                std::string &restoredAs);

    // Trash names tried so far (each one claim of a .trashinfo name).
    std::size_t Probes() const { return m_probes; }

private:
    struct Bin;
    Bin *BinFor(unsigned long long device, const std::string &drive, const std::string &full, TrashOutcome &failure);

    std::vector<MountEntry> m_mounts;
    std::vector<std::unique_ptr<Bin>> m_bins;
    std::size_t m_probes = 0;
};

// Moves one file or folder, named by its path, to the trash of its file
// system. The path's folder part is followed as typed; the last name is
// taken as the entry itself (a link is trashed as a link).
TrashOutcome MoveToTrash(const std::string &path);
// The same with a mount table read by the caller.
TrashOutcome MoveToTrash(const std::string &path, const std::vector<MountEntry> &mounts);

// The folder part and the last name of an absolute path without a trailing
// slash ("/a/b" gives "/a" and "b"; "/a" gives "/" and "a"); false for "/"
// and for texts that are not such a path.
bool SplitLastName(const std::string &path, std::string &folder, std::string &name);
