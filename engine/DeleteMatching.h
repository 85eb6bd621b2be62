// Deleting the matching files of one side after the user confirmed, and the
// folders of that side that this leaves empty.
#pragma once

#include <string>

class TRunContext;

// Why a matching file was kept: the log's "Not deleted, <why> - <path>" and
// the note of the report's not-deleted row.
inline constexpr char kNotDeletedSameFile[] = "Source and Target are the same file";
std::string NotDeletedLine(const std::string &why, const std::string &path);

// The question asked before deleting files whose copies may be the same
// files seen through `fileSystem` ("fuse.x at /mnt/x").
std::string StackedDeleteQuestion(const std::string &fileSystem);

// Sends every file of the run's deleteList to the trash, then removes the
// side's folders that are left empty, deepest first, the side root included.
// What cannot go to the trash is deleted for good after one question.
//
// The promise: a file is deleted only while its proven copy on the other side
// still exists as it was compared. Right before each file goes (after every
// question, never in a pass before) the file must still have the identity it
// was compared with (device, inode, size, modification and change times),
// its copy on the other side too, and that copy must not be one of the files
// being deleted. The file is reached from the side's root, held open, one
// folder at a time without following a link, and moved or unlinked relative
// to its folder: a folder swapped for a link cannot lead outside the side.
// Folders are only ever removed empty. A file that must stay is logged with
// the reason.
//
// A stop request ends the deletion between two files unless "delete matching
// files so far" is checked.
void DeleteMatching(TRunContext &run);
