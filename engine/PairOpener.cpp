#include "engine/PairOpener.h"

TPairOpener::TPairOpener(const std::vector<std::string> &sources, TTargetOf targetOf, bool fromDisk)
    : m_targetOf(std::move(targetOf)),
      m_ahead(sources.size(), [this, &sources, fromDisk](std::size_t index, TPairOpening &slot) {
          OpenPair(sources[index], m_targetOf(sources[index]), fromDisk, slot);
      })
{
}
