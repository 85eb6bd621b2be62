#include "DeleteMatching.h"

#include "FileReader.h"
#include "InfoThread.h"
#include "Paths.h"
#include "ShellDelete.h"
#include "VerifyWindow.h"

#include <algorithm>

namespace {

// A stop ends the deletion only when the user did not ask to delete the
// matches found so far.
bool StopDeleting(TInfoThread &w)
{
    return w.Poll() && !w.Window().DeleteOnCancelChecked();
}

int ShellDeleteBatch(TInfoThread &w, const std::string &batch)
{
    return ShellDelete(batch, [&w](std::size_t count) { return w.Window().AskPermanentDelete(count); });
}

} // namespace

void DeleteMatching(TInfoThread &w)
{
    const bool sourceSide = w.request.deleteMode == DeleteMode::Source;
    const std::string sideWord = sourceSide ? "source" : "target";
    const std::string sideRoot = sourceSide ? w.request.sourcePath : w.request.targetPath;

    std::sort(w.deleteList.begin(), w.deleteList.end(),
              [](const TDeleteCandidate &a, const TDeleteCandidate &b) { return a.path < b.path; });

    std::string batch;
    std::size_t handedOver = 0;
    for (const TDeleteCandidate &entry : w.deleteList) {
        if (StopDeleting(w))
            return;
        TFileIdentity now;
        if (!IdentityOf(entry.path, now) || !(now == entry.compared)) {
            w.NoteTrouble();
            w.Log("Not deleted, the file changed after it was compared - " + entry.path);
            continue;
        }
        batch += entry.path;
        batch += '\0';
        ++handedOver;
    }
    batch += '\0';

    if (handedOver > 0) {
        if (const int rc = ShellDeleteBatch(w, batch)) {
            w.NoteTrouble();
            w.Window().ShowMessage("File Delete Failed", std::to_string(rc), TMessageIcon::Error);
        }
    }
    w.Log("Total number of matching " + sideWord + " files deleted = " + std::to_string(handedOver));

    std::vector<std::string> folders = w.folderList;
    if (!sourceSide) {
        for (std::string &f : folders)
            f = IncludeTrailingSlash(w.request.targetPath) + RelativeTo(f, w.request.sourcePath);
    }
    folders.push_back(sideRoot);
    std::sort(folders.begin(), folders.end());

    int removed = 0;
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        if (StopDeleting(w))
            return;
        if (!IsEmptyFolder(*it))
            continue;
        std::string one = *it;
        one += '\0';
        one += '\0';
        if (ShellDeleteBatch(w, one) != 0) {
            w.NoteTrouble();
            w.Log("Some empty folders could not be deleted.");
        } else {
            ++removed;
        }
    }
    w.Log("Total number of empty " + sideWord + " folders deleted = " + std::to_string(removed));
}
