// Counts what a folder holds, for a properties window: on a thread of the
// caller's choosing, stoppable after any entry.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

struct TFolderTotals {
    std::uint64_t files = 0;      // regular files; a hard-linked file once
    std::uint64_t folders = 0;    // below the folder, not the folder itself
    std::uint64_t others = 0;     // links, FIFOs, sockets, device nodes
    std::uint64_t bytes = 0;      // the sizes of the files
    std::uint64_t unreadable = 0; // folders that could not be listed (skipped)
};

// Walks everything below `folder`, depth first and without recursion, so a
// very deep tree cannot exhaust the stack (folders are held open one per
// level: beyond the open-file limit the deeper ones count as unreadable). A link is counted as a link and
// never followed, and the walk stays on the folder's own file system: a
// folder with something mounted on it is counted as a folder and not
// entered, so that neither another volume nor /proc's pseudo files make up
// the size. `stop` is looked at before every entry; `progress` (when given)
// is called after every entry with the totals so far. Returns false when
// `stop` ended the walk or `folder` could not be listed (unreadable is then
// 1); the totals hold what was counted.
bool CountFolderContents(const std::string &folder, TFolderTotals &totals, const std::atomic<bool> &stop,
                         const std::function<void(const TFolderTotals &)> &progress = {});
