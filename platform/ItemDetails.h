// What a properties window tells about one entry and the volume that holds
// it, and the two checks and changes the item commands need from the file
// system. Nothing here follows a link unless it says so; nothing raises an
// error: failures are an errno in the answer.
#pragma once

#include <cstdint>
#include <string>

struct TItemDetails {
    int error = 0;          // errno of lstat; nothing below is set when not 0
    bool isDir = false;     // the entry itself (a link to a folder is a link)
    bool isFile = false;
    bool isLink = false;
    std::string linkTarget; // what a link points to, as it is written
    std::uint64_t size = 0; // bytes of the entry itself
    std::int64_t modifiedSec = 0; // modification time, seconds since the epoch
    unsigned mode = 0;      // the permission bits with set-id and sticky (07777)
    char typeLetter = '?';  // as `ls -l` writes it: '-', 'd', 'l', 'p', 's', 'c', 'b'
    unsigned uid = 0;
    unsigned gid = 0;
    std::string owner;      // user name; empty when the id has none
    std::string group;      // group name; empty when the id has none
};

// The entry at `path` itself (lstat).
TItemDetails GetItemDetails(const std::string &path);

// "drwxr-xr-x" from the type letter and the mode bits.
std::string ModeString(char typeLetter, unsigned mode);

struct TVolumeDetails {
    int error = 0;           // errno of statvfs
    std::string mountPoint;  // "/" for the root file system
    std::string fsType;      // from the mount table; empty when it lists no mount
    std::string source;      // the device or share, likewise
    std::uint64_t totalBytes = 0;
    std::uint64_t availableBytes = 0; // what the user may still write
    bool readOnly = false;
};

// The file system that holds `path` (links followed, as a user reaching the
// path would be).
TVolumeDetails GetVolumeDetails(const std::string &path);

// True for "/" and for every mount point (the folders on the way may be
// links; the entry itself is taken as it is, and a link is never one):
// deleting one would take a whole volume (or a bind mount's source) along.
bool IsMountPoint(const std::string &path);

// Makes one folder (mode 0777 less the umask). 0 on success, else the errno.
int CreateFolder(const std::string &path);
