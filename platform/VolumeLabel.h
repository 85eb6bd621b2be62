// The label of the file system on a block device, as udev recorded it when
// the device appeared. The medium itself is never read, so asking costs
// nothing and never waits on a drive without a disc or a sleeping disk.
#pragma once

#include <string>

// The label of block device major:minor from udev's database
// (/run/udev/data/b<major>:<minor>), else from the links in
// /dev/disk/by-label; "" when neither knows one (no udev, no label, or no
// block device: major 0).
std::string VolumeLabel(unsigned major, unsigned minor);
// The same, with the two folders given (for tests).
std::string VolumeLabelIn(const std::string &udevDataDir, const std::string &byLabelDir, unsigned major,
                          unsigned minor);
