#include "engine/PairOpener.h"

#include "engine/GatheredFiles.h"

#include <cerrno>
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
          kReaders, kAhead,
          // Reads from the disk (each dropping what is cached first) and
          // the questions of a resumed run go one pair at a time.
          fromDisk || m_leaveClosed
              ? TQueue::TReadRun {}
              : [this](std::size_t first, std::size_t count, TPairOpening *const *slots, TFolders &folders,
                       const TQueue::TReady &ready) { OpenRun(first, count, slots, folders, ready); },
          kRun)
{
}

void TPairOpener::HoldFolders(std::uint32_t folder, TFolders &folders) const
{
    if (folders.folder == folder)
        return;
    folders.Close();
    folders.folder = folder;
    folders.source = OpenFolder(m_sources.FolderPath(folder));
    if (folders.source >= 0)
        folders.target = OpenFolder(m_targetBase + m_sources.FolderRelative(folder));
}

void TPairOpener::OpenRun(std::size_t first, std::size_t count, TPairOpening *const *slots, TFolders &folders,
                          const TQueue::TReady &ready)
{
    if (!folders.ringTried) {
        folders.ringTried = true;
        auto ring = std::make_unique<TIoRing>(unsigned(2 * kRun));
        if (ring->Usable())
            folders.ring = std::move(ring);
    }
    for (std::size_t i = 0; i < count;) {
        const std::uint32_t folder = m_sources.FolderOf(first + i);
        std::size_t end = i + 1;
        while (end < count && m_sources.FolderOf(first + end) == folder)
            ++end;
        HoldFolders(folder, folders);
        if (folders.ring && folders.source >= 0 && folders.target >= 0) {
            OpenTogether(first + i, end - i, slots + i, folders, i, ready);
        } else {
            for (std::size_t k = i; k < end; ++k) {
                Open(first + k, *slots[k], folders);
                if (m_afterRead)
                    ready(k + 1);
            }
        }
        i = end;
    }
}

void TPairOpener::OpenTogether(std::size_t first, std::size_t count, TPairOpening *const *slots, TFolders &folders,
                               std::size_t done, const TQueue::TReady &ready)
{
    TIoRing &ring = *folders.ring;
    int opened[2 * kRun], readCount[2 * kRun], closed[2 * kRun];
    TReadMadeElsewhere made[kRun];
    const int flags = TFileReader::OpenFlags();
    for (std::size_t k = 0; k < count; ++k) {
        const char *name = m_sources.NameOf(first + k);
        ring.OpenAt(folders.source, name, flags, &opened[2 * k]);
        ring.OpenAt(folders.target, name, flags, &opened[2 * k + 1]);
    }
    ring.Run();
    // An open the ring could not make, for any reason but a name that is
    // not there, is made again the usual way: that is what tells why.
    for (std::size_t i = 0; i < 2 * count; ++i)
        if (opened[i] < 0 && opened[i] != -ENOENT) {
            opened[i] = ::openat(i % 2 ? folders.target : folders.source, m_sources.NameOf(first + i / 2), flags);
            if (opened[i] < 0)
                opened[i] = -errno;
        }
    bool reads[kRun] {};
    for (std::size_t k = 0; k < count; ++k) {
        TPairOpening &slot = *slots[k];
        OpenPairFrom(folders.source, folders.target, m_sources.NameOf(first + k), opened[2 * k], opened[2 * k + 1],
                     slot);
        slot.pair = std::uint32_t(first + k);
        char *sourceSpace = ReadAheadSpace(slot, 0), *targetSpace = ReadAheadSpace(slot, 1);
        reads[k] = sourceSpace && targetSpace;
        if (reads[k]) {
            ring.Read(slot.source.Descriptor(), sourceSpace, unsigned(kReadAheadLimit), &readCount[2 * k]);
            ring.Read(slot.target.Descriptor(), targetSpace, unsigned(kReadAheadLimit), &readCount[2 * k + 1]);
        }
    }
    ring.Run();
    for (std::size_t k = 0; k < count; ++k) {
        if (!reads[k])
            continue;
        made[k].first[0] = readCount[2 * k];
        made[k].first[1] = readCount[2 * k + 1];
        ReadPairAhead(*slots[k], !m_keepOpen, made[k]);
        for (int side = 0; side < 2; ++side)
            if (made[k].detached[side] >= 0)
                ring.Close(made[k].detached[side], &closed[2 * k + side]);
    }
    ring.Run();
    for (std::size_t k = 0; k < count; ++k) {
        TFileReader *files[2] = {&slots[k]->source, &slots[k]->target};
        for (int side = 0; side < 2; ++side)
            if (made[k].detached[side] >= 0)
                files[side]->ClosedElsewhere(closed[2 * k + side]);
    }
    // A test's hook may hold one pair's read up: the pairs before it are
    // read, and taken meanwhile.
    if (m_afterRead)
        for (std::size_t k = 0; k < count; ++k) {
            m_afterRead(first + k, m_queue.Quitting());
            ready(done + k + 1);
        }
}

void TPairOpener::Open(std::size_t index, TPairOpening &slot, TFolders &folders)
{
    HoldFolders(m_sources.FolderOf(index), folders);
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
