// Whether a pair proven byte for byte also carries the same attributes:
// modification time, permission bits, owner, extended attributes, ACL.
// Asked only when the run compares attributes.
#pragma once

#include "engine/VerifyTypes.h"

#include <string>
#include <vector>

class TFileReader;
class TRunContext;

// Why a matching file whose copy has other attributes, or whose attributes
// could not be read, is kept.
inline constexpr char kNotDeletedAttributes[] = "its attributes differ from its copy's";
inline constexpr char kNotDeletedAttributesUnread[] = "its attributes could not be read";

struct TAttributeCheck {
    bool done = false;                   // the attributes were looked at
    std::vector<std::string> differing;  // "mtime", "mode", "xattr user.tag"...
    int error = 0;                       // reading them failed with this errno
    // Nothing stands against the pair being an exact copy.
    bool Holds() const { return !done || (differing.empty() && !error); }
};

// Compares the attributes of the two files of a pair through their open
// descriptors, as the run's request chooses; a failure is logged and counted
// as a trouble here.
TAttributeCheck CheckAttributes(TRunContext &run, const TFileReader &source, const TFileReader &target,
                                const std::string &sourcePath, const std::string &targetPath);

// After the pair's "Files Match" line and row: the line "Attributes Differ -
// PATH (what)" with its row and count. When the file would have been deleted
// (`kept` names it), the log and the report say it is kept.
void ReportAttributes(TRunContext &run, const TAttributeCheck &check, const std::string &shownPath,
                      const TReportRow &pairRow, const std::string &kept);

// The run's total line, when it compared attributes.
void LogAttributesTotal(TRunContext &run);
