#include "controls/filelist/BoolList.h"

#include "controls/filelist/FileListErrors.h"

void TBoolList::CheckIndex(int index, int count) const
{
    if (index < 0 || index >= count)
        throw EListError(index);
}

void TBoolList::Changed(int item)
{
    if (OnChange)
        OnChange(this, item);
}

int TBoolList::Add(bool b)
{
    m_items.push_back(b);
    Changed(Count());
    return Count() - 1;
}

void TBoolList::Insert(int index, bool b)
{
    CheckIndex(index, Count() + 1);
    m_items.insert(m_items.begin() + index, b);
}

void TBoolList::Delete(int index)
{
    CheckIndex(index, Count());
    m_items.erase(m_items.begin() + index);
    Changed(index);
}

bool TBoolList::GetBoolean(int index) const
{
    CheckIndex(index, Count());
    return m_items[index];
}

void TBoolList::SetBoolean(int index, bool b)
{
    CheckIndex(index, Count());
    m_items[index] = b;
    Changed(index);
}
