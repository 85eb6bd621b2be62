#include "controls/foldertree/PidlHelp.h"

#include "controls/foldertree/ShellNamespace.h"

#include <cstdlib>
#include <cstring>

namespace {

// Item counts are little-endian whatever the machine.
std::uint16_t CountAt(PCItemIDList p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// Bytes of all items, the terminator excluded.
std::size_t ItemsSize(PCItemIDList list)
{
    std::size_t size = 0;
    for (PCItemIDList p = list; CountAt(p) != 0; p += CountAt(p))
        size += CountAt(p);
    return size;
}

} // namespace

std::size_t GetPidlSize(PCItemIDList list)
{
    return list ? ItemsSize(list) + 2 : 0;
}

TPidlHolder CreatePIDL(std::size_t size)
{
    return TPidlHolder(static_cast<PItemIDList>(std::calloc(size ? size : 1, 1)));
}

void TPidlDeleter::operator()(std::uint8_t *p) const
{
    std::free(p);
}

TPidlHolder ConcatPIDLs(PCItemIDList first, PCItemIDList second)
{
    const std::size_t firstItems = first ? ItemsSize(first) : 0;
    const std::size_t secondSize = GetPidlSize(second);
    TPidlHolder result = CreatePIDL(firstItems + (secondSize ? secondSize : 2));
    if (!result)
        return nullptr;
    if (firstItems)
        std::memcpy(result.get(), first, firstItems);
    if (secondSize)
        std::memcpy(result.get() + firstItems, second, secondSize);
    return result;
}

TPidlHolder CopyPIDL(PCItemIDList list)
{
    if (!list)
        return nullptr;
    const std::size_t size = GetPidlSize(list);
    TPidlHolder copy = CreatePIDL(size);
    if (copy)
        std::memcpy(copy.get(), list, size);
    return copy;
}

bool ComparePIDLs(PCItemIDList a, PCItemIDList b)
{
    if (!a || !b)
        return !a && !b;
    const std::size_t size = GetPidlSize(a);
    return size == GetPidlSize(b) && std::memcmp(a, b, size) == 0;
}

PCItemIDList NextPIDL(PCItemIDList list)
{
    if (!list || CountAt(list) == 0)
        return nullptr;
    return list + CountAt(list);
}

PItemIDList NextPIDL(PItemIDList list)
{
    return const_cast<PItemIDList>(NextPIDL(static_cast<PCItemIDList>(list)));
}

int PIDLCount(PCItemIDList list)
{
    int count = 0;
    for (PCItemIDList p = list; p && CountAt(p) != 0; p += CountAt(p))
        ++count;
    return count;
}

TPidlHolder CopyFirstID(PCItemIDList list)
{
    if (!list)
        return nullptr;
    const std::size_t cb = CountAt(list);
    TPidlHolder result = CreatePIDL(cb + 2);
    if (result)
        std::memcpy(result.get(), list, cb);
    return result;
}

TPidlHolder CopyLastID(PCItemIDList list)
{
    if (!list)
        return nullptr;
    PCItemIDList last = list;
    for (PCItemIDList p = list; CountAt(p) != 0; p += CountAt(p))
        last = p;
    return CopyFirstID(last);
}

TPidlHolder CopyParentPIDL(PCItemIDList list)
{
    if (!list)
        return nullptr;
    std::size_t lastCount = 0;
    for (PCItemIDList p = list; CountAt(p) != 0; p += CountAt(p))
        lastCount = CountAt(p);
    const std::size_t size = GetPidlSize(list) - lastCount;
    TPidlHolder result = CreatePIDL(size);
    if (result)
        std::memcpy(result.get(), list, size - 2);
    return result;
}

TPidlHolder MakeItemID(const std::string &data)
{
    // A count is 16 bits: longer data cannot be framed.
    if (data.size() + 2 > 0xFFFF)
        return nullptr;
    const std::size_t cb = data.size() + 2;
    TPidlHolder result = CreatePIDL(cb + 2);
    if (!result)
        return nullptr;
    result.get()[0] = static_cast<std::uint8_t>(cb & 0xFF);
    result.get()[1] = static_cast<std::uint8_t>(cb >> 8);
    std::memcpy(result.get() + 2, data.data(), data.size());
    return result;
}

std::string ItemData(PCItemIDList list)
{
    if (!list || CountAt(list) < 2)
        return {};
    return std::string(reinterpret_cast<const char *>(list + 2), CountAt(list) - 2);
}

std::string GetDisplayName(TShellFolder *folder, PCItemIDList relativeId, TDisplayNameType type)
{
    std::string name;
    if (!folder || !relativeId || !folder->GetDisplayNameOf(relativeId, type, name))
        return {};
    return name;
}

bool GetPIDLFromPath(QWidget *owner, TShellFolder *folder, const std::string &path, TPidlHolder &id)
{
    id.reset();
    if (!folder)
        return false;
    return folder->ParseDisplayName(owner, path, id) && id;
}
