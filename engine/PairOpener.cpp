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

TPairOpener::TPairOpener(const TGatheredFiles &sources, std::string targetBase, bool fromDisk, TAfterRead afterRead)
    : m_sources(sources), m_targetBase(std::move(targetBase)), m_fromDisk(fromDisk),
      m_afterRead(std::move(afterRead)),
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
        OpenPairAt(folders.source, folders.target, m_sources.NameOf(index), m_fromDisk, slot);
    } else {
        // A folder that cannot be held open (the Target's is missing, say):
        // its paths tell what there is.
        OpenPair(m_sources.Path(index), m_targetBase + m_sources.Relative(index), m_fromDisk, slot);
    }
    slot.pair = std::uint32_t(index);
    ReadPairAhead(slot);
    if (m_afterRead)
        m_afterRead(index, m_queue.Quitting());
}
