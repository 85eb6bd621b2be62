// What quorvel-verify prints on standard output is made by a printer, from
// the engine's typed events: the log lines with their kinds, the report rows
// and the run's end. The text printer and the JSON printer are two consumers
// of the same events; neither reads what the other writes.
#pragma once

#include "engine/VerifyTypes.h"

#include <functional>
#include <string>

// Everything the run's end can tell: its counters, how it ended and the
// exit status the program returns.
struct TCliSummary {
    VerifyCounters counters;
    bool stopped = false;
    int troubles = 0;
    int exitStatus = 0;
};

// Whether --quiet keeps a log line of this kind: a quiet run still tells
// what it found and what it deleted.
inline bool KeptWhenQuiet(TLogKind kind)
{
    return kind == TLogKind::Summary || kind == TLogKind::DeletionTotal;
}

class ICliPrinter
{
public:
    // Writes one line of standard output (without its newline).
    using TPut = std::function<void(const std::string &line)>;

    virtual ~ICliPrinter() = default;
    // A log line as the engine made it: a result line (PairResult, no stamp)
    // or a run-log line stamped "hh:mm:ss ".
    virtual void LogLine(TLogKind kind, const std::string &line) = 0;
    // A pair compared, or a file a deletion took or kept.
    virtual void Row(const TReportRow &row) = 0;
    // The run is over: nothing is printed after this.
    virtual void Finish(const TCliSummary &summary) = 0;
};
