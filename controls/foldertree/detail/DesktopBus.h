// The desktop services the item commands use over D-Bus: the file manager's
// org.freedesktop.FileManager1 on the session bus, and udisks2 on the system
// bus for unmounting and ejecting. Every call answers false (or an empty
// volume) when the service is not there; none raises an error or shows one.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Asks the file manager to open the folders of `uris` (file:// URIs) with
// the items selected. False when no file manager offers the interface on
// the session bus or it answered with an error.
bool FileManagerShowItems(const QStringList &uris);

// A mounted file system as udisks2 manages it.
struct TUdisksVolume {
    QString block;          // object path of its block device; empty: not managed
    QString drive;          // object path of its drive; empty when it has none
    bool ejectable = false; // the drive takes an eject command
    bool Known() const { return !block.isEmpty(); }
};

// The file system udisks2 has mounted on `mountPoint`; an empty volume when
// udisks2 is not running (it is never started for this) or does not
// manage that mount.
TUdisksVolume FindUdisksVolume(const QByteArray &mountPoint);

// Hands the request to udisks2 and returns at once: unmounting waits for
// the data to be written out and may ask the user to authenticate, neither
// of which may hold the window. True when the request was sent; what
// udisks2 answers later is not reported (a volume that went away shows by
// the mount table changing). Eject unmounts first and ejects the drive
// only when that worked.
bool UdisksUnmount(const TUdisksVolume &volume);
bool UdisksEject(const TUdisksVolume &volume);
