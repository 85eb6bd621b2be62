// The rows of a run's report as the window keeps them until the next run
// starts, in the order they came. A Source path is front-coded against the
// row before (in the walk's order a row shares its folder with the one
// before), a Target path is told by how it begins and the ending it shares
// with its Source path: a row takes a few bytes more than what its paths
// do not share with the row before.
#pragma once

#include "app/CompactRecords.h"

#include "engine/VerifyTypes.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class TReportRows
{
public:
    void Append(const TReportRow &row);
    std::size_t Size() const { return m_count; }
    // Calls `each` with every row, in order.
    void ForEach(const std::function<void(const TReportRow &row)> &each) const;
    // Every row, in order.
    std::vector<TReportRow> Rows() const;
    void Clear();

private:
    TRecordBlocks m_records;
    std::size_t m_count = 0;
    // What the next row is coded against.
    std::string m_source, m_targetHead, m_note;
};
