// The files of the Target that have no Source counterpart: left-overs of an
// older copy, or files that never came from this Source. Looked for only
// when the run is asked to, after the comparison (and the checksum file it
// records) and before any deletion;
// nothing here ever deletes or opens a file.
#pragma once

#include <string>
#include <vector>

class TRunContext;

// Walks the Target folder as the Source was walked (the same subfolder and
// hidden options; the masks are matched against the path the file would
// have in the Source, so that they take the same files on both sides) and
// gives "Target Only - PATH" with a report row for each file whose Source
// path names nothing, or a folder. A Source entry that the walk skipped
// (a FIFO, a dangling link) is a counterpart: it was named as skipped. The
// checksum file the run wrote is never named. Only for a run of two
// folders; a stop request ends it.
void ListTargetOnly(TRunContext &run);

// The same for a check against a checksum file: the Target files that the
// file does not list (`listed`: paths relative to the Target), the
// checksum file itself aside. The masks play no part, as in the check.
void ListTargetOnly(TRunContext &run, const std::vector<std::string> &listed, const std::string &checksumFile);

// The run's total line, when it looked for them.
void LogTargetOnlyTotal(TRunContext &run);
