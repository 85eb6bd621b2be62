// The verify log of a run as a list model: every line the run made, held
// compactly (the UTF-8 text of the lines front-coded in large blocks, a
// kind byte a line: no string or item object per line), shown by the log's
// list view either whole or as its problems only. A line costs the window
// the bytes it does not share with the line before and a few more; the
// result lines of one folder share most of theirs.
#pragma once

#include "app/CompactRecords.h"

#include "engine/VerifyTypes.h"

#include <QAbstractListModel>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QIODevice;

class TRunLogModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit TRunLogModel(QObject *parent = nullptr);
    ~TRunLogModel() override;

    // Holds a line at the end of the log, as the run made it: its kind and,
    // for a pair's result, whether the pair matched. Bytes that are not
    // UTF-8 are held as the text the window shows for them. The view learns
    // of the lines held at the next ShowAppended.
    void Append(TLogKind kind, bool matched, const std::string &line);
    // Tells the view of every line held since the last call, in one step.
    void ShowAppended();
    // Drops every line.
    void Clear();

    // Every line of the log, also those the view does not show.
    int LineCount() const { return int(m_kinds.size()); }
    QString LineText(int line) const;
    // The UTF-8 text of a line into `text`.
    void ReadLine(int line, std::string &text) const;
    // A problem is any line but the result of a pair that matched: the
    // filter goes by the kind the run gave the line, whatever its text says.
    bool IsProblem(int line) const;
    // Calls `each` with the UTF-8 text of every line, in order, while it
    // returns true.
    void ForEachLine(const std::function<bool(const std::string &text)> &each) const;
    // Every line, in order, as text (for a test or a small log).
    QStringList Lines() const;
    // Every line, in order, each ended by a newline; false when the device
    // took less than it was given.
    bool Write(QIODevice &out) const;

    // Only the problems shown, or all lines again.
    void SetProblemsOnly(bool on);
    bool ProblemsOnly() const { return m_problemsOnly; }
    // The line a row of the view shows; the row that shows a line, or, when
    // it is hidden, the next row that is shown (the row count when none).
    int LineOfRow(int row) const;
    int RowOfLine(int line) const;

    // The list lays out every row again whenever rows are added, asking
    // for each one's index: made here without a call back per row.
    QModelIndex index(int row, int column = 0, const QModelIndex &parent = QModelIndex()) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    // Every line's text, front-coded against the line before, except each
    // line of a restart point (one in kRestartEvery), which stands alone:
    // a line is read from its restart point, the lines after it in turn.
    TRecordBlocks m_text;
    std::vector<std::uint64_t> m_restarts;
    std::string m_last; // the text of the last line, to code the next one against
    // Of each line: its TLogKind, and kMatched for a pair that matched.
    std::vector<std::uint8_t> m_kinds;
    bool m_problemsOnly = false;
    // While only the problems are shown: the lines they are, rising.
    std::vector<int> m_shown;
    // The rows the view knows of.
    int m_rows = 0;
};
