#include "engine/PairOpener.h"

#include "engine/GatheredFiles.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

int OpenFolder(const std::string &path)
{
    return ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

} // namespace

void TPairOpener::TFolders::Close()
{
    for (int *fd : {&source, &target}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    folder = UINT32_MAX;
}

TPairOpener::TPairOpener(const TGatheredFiles &sources, std::string targetBase, bool fromDisk, TAfterRead afterRead,
                         TLeaveClosed leaveClosed, bool keepOpen)
    : m_sources(sources), m_targetBase(std::move(targetBase)), m_fromDisk(fromDisk), m_keepOpen(keepOpen),
      m_afterRead(std::move(afterRead)), m_leaveClosed(std::move(leaveClosed)),
      m_queue(
          sources.size(),
          [this](std::size_t index, TPairOpening &slot, TFolders &folders) { Open(index, slot, folders); },
          kReaders, kAhead)
{
}

void TPairOpener::Open(std::size_t index, TPairOpening &slot, TFolders &folders)
{
    const std::uint32_t folder = m_sources.FolderOf(index);
    if (folders.folder != folder) {
        folders.Close();
        folders.folder = folder;
        folders.source = OpenFolder(m_sources.FolderPath(folder));
        if (folders.source >= 0)
            folders.target = OpenFolder(m_targetBase + m_sources.FolderRelative(folder));
    }
    if (folders.source >= 0 && folders.target >= 0) {
        if (m_leaveClosed && LeftClosed(index, slot, folders)) {
            slot.pair = std::uint32_t(index);
            if (m_afterRead)
                m_afterRead(index, m_queue.Quitting());
            return;
        }
        OpenPairAt(folders.source, folders.target, m_sources.NameOf(index), m_fromDisk, slot);
    } else {
        // A folder that cannot be held open (the Target's is missing, say):
        // its paths tell what there is.
        OpenPair(m_sources.Path(index), m_targetBase + m_sources.Relative(index), m_fromDisk, slot);
    }
    slot.pair = std::uint32_t(index);
    ReadPairAhead(slot, !m_keepOpen);
    if (m_afterRead)
        m_afterRead(index, m_queue.Quitting());
}

bool TPairOpener::LeftClosed(std::size_t index, TPairOpening &slot, const TFolders &folders)
{
    slot.Clear();
    const char *name = m_sources.NameOf(index);
    // Links are followed, as opening follows them; only regular files are
    // ever taken for a proven pair.
    if (!IdentityOfAt(folders.source, name, slot.sourceSeen) || !IdentityOfAt(folders.target, name, slot.targetSeen)
        || slot.sourceSeen.size != slot.targetSeen.size)
        return false;
    slot.sourceFound = slot.targetFound = true;
    if (!m_leaveClosed(index, slot)) {
        slot.Clear();
        return false;
    }
    slot.resumed = true;
    return true;
}
