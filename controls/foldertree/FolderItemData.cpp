#include "controls/foldertree/FolderItemData.h"

#include "controls/foldertree/ShellControlErrors.h"

#include <atomic>
#include <cstdio>

namespace {

std::atomic<long> g_liveFolderData{0};

// Runs the leak check when the program ends. An error cannot travel
// anywhere from here, so it is written out instead.
struct TLeakCheckAtExit {
    ~TLeakCheckAtExit()
    {
        try {
            CheckFolderDataLeaks();
        } catch (const ELeaking &e) {
            std::fprintf(stderr, "%s\n", e.what());
        }
    }
} g_leakCheckAtExit;

} // namespace

TFolderItemData::TFolderItemData()
{
    ++g_liveFolderData;
}

TFolderItemData::~TFolderItemData()
{
    --g_liveFolderData;
}

long TFolderItemData::LiveCount()
{
    return g_liveFolderData.load();
}

void CheckFolderDataLeaks()
{
    if (TFolderItemData::LiveCount() > 0)
        throw ELeaking();
}
