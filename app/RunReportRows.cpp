#include "app/RunReportRows.h"

#include <algorithm>

void TReportRows::Append(const TReportRow &row)
{
    const std::size_t most = std::min(row.source.size(), row.target.size());
    std::size_t shared = 0; // the ending the two paths share
    while (shared < most && row.source[row.source.size() - 1 - shared] == row.target[row.target.size() - 1 - shared])
        ++shared;
    std::string record;
    PutNumber(record, std::uint64_t(row.result));
    PutNumber(record, std::uint64_t(row.size + 1)); // -1, unknown, is 0
    PutFrontCoded(record, m_source, row.source);
    PutNumber(record, shared);
    PutFrontCoded(record, m_targetHead, std::string_view(row.target).substr(0, row.target.size() - shared));
    PutFrontCoded(record, m_note, row.note);
    m_records.Append(record);
    ++m_count;
}

void TReportRows::ForEach(const std::function<void(const TReportRow &row)> &each) const
{
    TRecordCursor cursor(m_records, 0);
    std::string source, targetHead, note;
    TReportRow row;
    for (std::size_t i = 0; i < m_count; ++i) {
        cursor.AtEnd();
        row.result = TReportResult(cursor.Number());
        row.size = std::int64_t(cursor.Number()) - 1;
        TakeFrontCoded(cursor, source);
        const std::size_t shared = std::size_t(cursor.Number());
        TakeFrontCoded(cursor, targetHead);
        TakeFrontCoded(cursor, note);
        row.source = source;
        row.target = targetHead;
        row.target.append(source, source.size() - shared, shared);
        row.note = note;
        each(row);
    }
}

std::vector<TReportRow> TReportRows::Rows() const
{
    std::vector<TReportRow> rows;
    rows.reserve(m_count);
    ForEach([&](const TReportRow &row) { rows.push_back(row); });
    return rows;
}

void TReportRows::Clear()
{
    m_records.Clear();
    m_count = 0;
    m_source.clear();
    m_targetHead.clear();
    m_note.clear();
}
