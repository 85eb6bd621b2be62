#include "platform/VolumeLabel.h"

#include "platform/DirReader.h"
#include "platform/HexEscapes.h"

#include <fstream>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

// udev writes a label's unsafe bytes (blanks, "/", "\") as "\xNN", both in
// ID_FS_LABEL_ENC and in the link names of by-label.
std::string LabelFromDatabase(const std::string &udevDataDir, unsigned major, unsigned minor)
{
    std::ifstream data(udevDataDir + "/b" + std::to_string(major) + ":" + std::to_string(minor));
    std::string line, plain;
    const std::string encodedKey = "E:ID_FS_LABEL_ENC=", plainKey = "E:ID_FS_LABEL=";
    while (std::getline(data, line)) {
        if (line.compare(0, encodedKey.size(), encodedKey) == 0)
            return DecodeHexEscapes(line.substr(encodedKey.size()));
        if (line.compare(0, plainKey.size(), plainKey) == 0)
            plain = line.substr(plainKey.size());
    }
    return plain;
}

std::string LabelFromLinks(const std::string &byLabelDir, unsigned major, unsigned minor)
{
    TDirReader links(byLabelDir);
    TDirEntry entry;
    while (links.Next(entry, false)) {
        if (entry.name == "." || entry.name == "..")
            continue;
        // stat of the device node the link names: an inode of /dev, not the
        // device behind it.
        struct stat st {};
        if (::stat((byLabelDir + "/" + entry.name).c_str(), &st) == 0 && S_ISBLK(st.st_mode)
            && st.st_rdev == makedev(major, minor))
            return DecodeHexEscapes(entry.name);
    }
    return {};
}

} // namespace

std::string VolumeLabelIn(const std::string &udevDataDir, const std::string &byLabelDir, unsigned major,
                          unsigned minor)
{
    if (major == 0)
        return {};
    std::string label = LabelFromDatabase(udevDataDir, major, minor);
    if (label.empty())
        label = LabelFromLinks(byLabelDir, major, minor);
    return label;
}

std::string VolumeLabel(unsigned major, unsigned minor)
{
    return VolumeLabelIn("/run/udev/data", "/dev/disk/by-label", major, minor);
}
