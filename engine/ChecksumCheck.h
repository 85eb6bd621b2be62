// A run that checks a tree against a checksum file instead of a Source:
// every file the checksum file lists is read below the Target folder, its
// digest compared with the recorded one, and the result logged with the
// verify's own texts ("Files Match", "Files Differ", "Target Missing"),
// counted and reported as a verify's pairs are. Files of the Target that the
// checksum file does not list are not looked at, unless the run is asked to
// list the Target-only files.
//
// Files are opened below the Target folder only: a line whose path is
// absolute or climbs out with "..", or that leads out through a link, opens
// nothing; it is logged with its line number as a line not used, as is a
// line that is no checksum line, and the check goes on with the others. A
// file that is no checksum file at all ends the run with one message before
// any file is read.
#pragma once

class TRunContext;

// The run's request names the checksum file (checkFile) and the folder
// (targetPath). False when the run could not be done at all (the checksum
// file, or the folder, unusable): the message was shown and a trouble noted.
// A stop request ends it between two blocks; what was read so far is
// counted and logged.
bool CheckAgainstChecksums(TRunContext &run);
