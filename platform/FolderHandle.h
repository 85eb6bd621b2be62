// A folder held open by a descriptor, and what can be done below it without
// ever following a link: reaching a subfolder, looking at an entry, removing
// an empty folder or a file. Whatever happens to the paths meanwhile (a
// folder renamed, swapped for a link to somewhere else), an operation through
// a handle acts on the folder that was opened, or fails.
#pragma once

#include <string>

struct stat;

class TFolderHandle
{
public:
    TFolderHandle() = default;
    ~TFolderHandle();
    TFolderHandle(TFolderHandle &&other) noexcept;
    TFolderHandle &operator=(TFolderHandle &&other) noexcept;
    TFolderHandle(const TFolderHandle &) = delete;
    TFolderHandle &operator=(const TFolderHandle &) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    // The descriptor, for the *at() calls of the platform layer; -1 when
    // closed.
    int Fd() const { return m_fd; }
    void Close();

    // Opens the folder a path names. Links in the path are followed: the
    // path is the one the user typed or chose. 0 or the errno.
    int OpenPath(const std::string &path);

    // Opens the folder `relative` ("a/b"; "" is `base` itself) below `base`,
    // one name at a time, never following a link and never leaving `base`:
    // a link on the way gives ELOOP or ENOTDIR, ".." gives EXDEV. 0 or the
    // errno.
    int OpenBelow(const TFolderHandle &base, const std::string &relative);

    // Opens the entry `relative` ("a/b.jpg") below this folder for reading,
    // with `flags` added to O_RDONLY (what it is, the caller asks of the
    // descriptor), never leaving the folder: a path that
    // is absolute, climbs with "..", or meets a link leading outside gives
    // EXDEV (or ELOOP); links that stay below are followed where the kernel
    // has openat2(), refused by the one-name-at-a-time way. `fd` gets the
    // descriptor; 0 or the errno.
    int OpenFileBelow(const std::string &relative, int flags, int &fd) const;

    // stat() of the entry `name` of this folder: of the entry itself, or of
    // what it leads to when `followLink`. 0 or the errno.
    int StatEntry(const std::string &name, struct stat &st, bool followLink = false) const;

    // Removes the entry `name` when it is an empty folder (never a link, never
    // anything with an entry in it). 0 or the errno: ENOTEMPTY (or EEXIST)
    // when it holds something, ENOTDIR when it is not a folder.
    int RemoveEmptyFolder(const std::string &name) const;

    // Unlinks the entry `name` when it is not a folder. 0 or the errno.
    // With `after`, the file's stat once the entry is gone: a file with more
    // names than this one lives on, with a new change time.
    int RemoveFile(const std::string &name, struct stat *after = nullptr) const;

    // Unlinks the entry `name` only when what is unlinked is what `proven`
    // accepts: the entry is first renamed to a private name of this folder,
    // looked at there, and unlinked from there or given its name back. A
    // file swapped in under `name` meanwhile is never the one that goes.
    // 0, ESTALE when `proven` refused what stood there (it keeps its name,
    // or a private one beside it when the name was taken again meanwhile),
    // or the errno. `after` as for RemoveFile().
    // The check most callers want: the entry checked before (`context`, a
    // struct stat) unwritten since, the change time aside (the move to a
    // private name gives it a new one).
    static bool SameEntryUnwritten(const struct stat &now, const void *checked);

    int RemoveProvenFile(const std::string &name, bool (*proven)(const struct stat &, const void *),
                         const void *context, struct stat *after = nullptr) const;

    // Where the folder is now, as the kernel knows it; empty when unknown.
    std::string CurrentPath() const;

private:
    int m_fd = -1;
};

// renameat2() that never replaces an entry which appeared under the target
// name. File systems without that flag get a plain renameat() after a look
// at the name: the gap is one system call wide, and only there. 0 or errno.
int RenameNoReplaceAt(int fromDir, const std::string &from, int toDir, const std::string &to);

// Which way OpenBelow() reaches a folder: with openat2() and its "no links,
// stay beneath" rules in one call where the kernel has it (the default), or
// one openat() per name. Both must give the same answers; tests use this to
// check the second way on a kernel that has the first.
void SetBelowLookupWithOpenat2(bool use);
