// The one icon list of the program, shared by every control of the family,
// and the look-up of an item's icons in it.
#pragma once

#include "controls/foldertree/PidlHelp.h"

#include <QIcon>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The one icon list of the program, shared by every control of the family:
// an icon is asked for by its theme name once and then found by its index.
class TSystemImageList
{
public:
    static TSystemImageList &Instance();

    // Index of the icon of a theme name (with fallbacks for the names the
    // namespace uses); -1 when nothing could be found.
    int IndexOf(const std::string &iconName);
    QIcon Icon(int index) const;
    // An icon that shows `normal` and, when its row is selected, `open`,
    // with a link arrow over it when `overlay` is 1. Built once per triple.
    QIcon NodeIcon(int normal, int open, int overlay);
    int Count() const { return static_cast<int>(m_icons.size()); }

private:
    TSystemImageList();
    std::vector<std::string> m_names;
    std::vector<QIcon> m_icons;
    std::vector<std::pair<std::uint64_t, QIcon>> m_nodeIcons;
};

// Flags of an icon request.
enum : unsigned {
    giSmallIcon = 0x1,
    giOpenIcon = 0x2,
    giPidl = 0x8,
    giSysIconIndex = 0x4000,
};
// Index of the item's icon in the shared icon list (TSystemImageList).
int GetIconIndex(PCItemIDList absoluteId, unsigned flags);
void GetNormalAndSelectedIcons(PCItemIDList absoluteId, int &normal, int &open);
