#include "app/RunLogModel.h"

#include "engine/EscapeControls.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr std::uint8_t kMatched = 0x80;
// Reading a line decodes at most this many lines.
constexpr int kRestartEvery = 16;

} // namespace

TRunLogModel::TRunLogModel(QObject *parent) : QAbstractListModel(parent) {}

TRunLogModel::~TRunLogModel() = default;

void TRunLogModel::Append(TLogKind kind, bool matched, const std::string &line)
{
    std::string shown;
    std::string_view text = line;
    if (!IsUtf8(line)) {
        // As the list would show it: each byte that is not UTF-8 as U+FFFD.
        shown = QString::fromUtf8(line.data(), qsizetype(line.size())).toUtf8().toStdString();
        text = shown;
    }
    if (LineCount() % kRestartEvery == 0)
        m_last.clear();
    std::string record;
    PutFrontCoded(record, m_last, text);
    const std::uint64_t position = m_text.Append(record);
    if (LineCount() % kRestartEvery == 0)
        m_restarts.push_back(position);
    const bool pairMatched = kind == TLogKind::PairResult && matched;
    m_kinds.push_back(std::uint8_t(kind) | (pairMatched ? kMatched : 0));
    if (m_problemsOnly && !pairMatched)
        m_shown.push_back(LineCount() - 1);
}

void TRunLogModel::ShowAppended()
{
    const int rows = m_problemsOnly ? int(m_shown.size()) : LineCount();
    if (rows <= m_rows)
        return;
    beginInsertRows(QModelIndex(), m_rows, rows - 1);
    m_rows = rows;
    endInsertRows();
}

void TRunLogModel::Clear()
{
    beginResetModel();
    m_text.Clear();
    m_restarts.clear();
    m_restarts.shrink_to_fit();
    m_last.clear();
    m_kinds.clear();
    m_kinds.shrink_to_fit();
    m_shown.clear();
    m_shown.shrink_to_fit();
    m_rows = 0;
    endResetModel();
}

void TRunLogModel::ReadLine(int line, std::string &text) const
{
    TRecordCursor cursor(m_text, m_restarts[std::size_t(line / kRestartEvery)]);
    text.clear();
    for (int i = line - line % kRestartEvery; i <= line; ++i) {
        cursor.AtEnd();
        TakeFrontCoded(cursor, text);
    }
}

QString TRunLogModel::LineText(int line) const
{
    std::string text;
    ReadLine(line, text);
    return QString::fromStdString(text);
}

bool TRunLogModel::IsProblem(int line) const
{
    return !(m_kinds[std::size_t(line)] & kMatched);
}

void TRunLogModel::ForEachLine(const std::function<bool(const std::string &text)> &each) const
{
    if (LineCount() == 0)
        return;
    TRecordCursor cursor(m_text, m_restarts.front());
    std::string text;
    for (int i = 0; i < LineCount(); ++i) {
        if (i % kRestartEvery == 0)
            text.clear();
        cursor.AtEnd();
        TakeFrontCoded(cursor, text);
        if (!each(text))
            return;
    }
}

QStringList TRunLogModel::Lines() const
{
    QStringList lines;
    lines.reserve(LineCount());
    ForEachLine([&](const std::string &text) {
        lines << QString::fromStdString(text);
        return true;
    });
    return lines;
}

bool TRunLogModel::Write(QIODevice &out) const
{
    std::string chunk;
    const auto flush = [&] {
        const bool whole = out.write(chunk.data(), qint64(chunk.size())) == qint64(chunk.size());
        chunk.clear();
        return whole;
    };
    bool whole = true;
    ForEachLine([&](const std::string &text) {
        chunk += text;
        chunk += '\n';
        if (chunk.size() >= (1u << 20))
            whole = flush();
        return whole;
    });
    return whole && flush();
}

void TRunLogModel::SetProblemsOnly(bool on)
{
    beginResetModel();
    m_problemsOnly = on;
    m_shown.clear();
    m_shown.shrink_to_fit();
    if (on) {
        for (int i = 0; i < LineCount(); ++i)
            if (IsProblem(i))
                m_shown.push_back(i);
    }
    m_rows = on ? int(m_shown.size()) : LineCount();
    endResetModel();
}

int TRunLogModel::LineOfRow(int row) const
{
    return m_problemsOnly ? m_shown[std::size_t(row)] : row;
}

int TRunLogModel::RowOfLine(int line) const
{
    if (!m_problemsOnly)
        return std::min(line, m_rows);
    const int row = int(std::lower_bound(m_shown.begin(), m_shown.end(), line) - m_shown.begin());
    return std::min(row, m_rows);
}

QModelIndex TRunLogModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || row >= m_rows || column != 0 || parent.isValid())
        return {};
    return createIndex(row, 0);
}

int TRunLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

QVariant TRunLogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows || role != Qt::DisplayRole)
        return {};
    return LineText(LineOfRow(index.row()));
}

Qt::ItemFlags TRunLogModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}
