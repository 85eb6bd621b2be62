// A growable list of booleans with a change event: the checked states of the
// check lists, one per row.
//
// The event reports an "item" whose meaning depends on the operation, and
// not every operation reports: Add reports the count after the addition
// (not the new entry's index), Insert and Clear report nothing, Delete and
// SetBoolean report the index they changed. Callers that mirror the list
// must not expect more.
#pragma once

#include <functional>
#include <vector>

class TBoolList
{
public:
    int Count() const { return static_cast<int>(m_items.size()); }

    // Appends `b`; returns its index. OnChange(Count()).
    int Add(bool b);
    // Inserts `b` before entry `index` (Count() appends). No event.
    void Insert(int index, bool b);
    // Removes entry `index`. OnChange(index).
    void Delete(int index);
    bool GetBoolean(int index) const;
    // OnChange(index), also when the entry already held `b`.
    void SetBoolean(int index, bool b);
    // Removes every entry. No event.
    void Clear() { m_items.clear(); }

    // Any index outside the list throws EListError, and the list is unchanged.
    std::function<void(TBoolList *sender, int item)> OnChange;

private:
    void CheckIndex(int index, int count) const;
    void Changed(int item);

    std::vector<bool> m_items;
};
