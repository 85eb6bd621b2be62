// Deleting the matching files of one side after the user confirmed, and the
// folders of that side that this leaves empty.
#pragma once

class TInfoThread;

// Sends every file of the worker's deleteList to the trash in one request,
// then removes the side's folders that are left empty, deepest first, the
// side root included. A file is deleted only if it is still the file that was
// compared (same device, inode, size and modification time); one that changed
// is logged and left. A stop request ends the deletion unless "delete
// matching files so far" is checked.
void DeleteMatching(TInfoThread &worker);
