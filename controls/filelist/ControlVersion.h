// What every control of the file list family shares besides its list: the
// version it reports, and where its icons come from.
#pragma once

#include <cstdint>
#include <string>

class TControlVersion
{
public:
    virtual ~TControlVersion() = default;

    // Major 1, minor 2, release 0, build 0, most significant byte first.
    virtual std::uint32_t GetVersionNr() const { return 0x01020000; }
    // The four bytes of GetVersionNr in decimal, joined by "." ("1.2.0.0").
    // Writing it changes nothing (form loading writes the stored value).
    std::string Version() const;
    void SetVersion(const std::string &) {}

    // Whether icons are looked up each time a row is drawn (rows then store
    // nothing) rather than once while listing. True on Linux, where the
    // theme icon of a name or a drive type is cheap to find.
    bool IconsAtDrawTime() const { return true; }
};

inline std::string TControlVersion::Version() const
{
    const std::uint32_t nr = GetVersionNr();
    return std::to_string(nr >> 24) + '.' + std::to_string((nr >> 16) & 0xFF) + '.'
           + std::to_string((nr >> 8) & 0xFF) + '.' + std::to_string(nr & 0xFF);
}
