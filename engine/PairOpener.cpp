#include "engine/PairOpener.h"

TPairOpener::TPairOpener(const std::vector<std::string> &sources, TTargetOf targetOf, bool fromDisk,
                         TLeaveClosed leaveClosed)
    : m_targetOf(std::move(targetOf)), m_leaveClosed(std::move(leaveClosed)),
      m_ahead(sources.size(), [this, &sources, fromDisk](std::size_t index, TPairOpening &slot) {
          if (!m_leaveClosed) {
              OpenPair(sources[index], m_targetOf(sources[index]), fromDisk, slot);
              return;
          }
          OpenPair(sources[index], m_targetOf(sources[index]), fromDisk, slot,
                   [this, index](const TPairOpening &found) { return m_leaveClosed(index, found); });
      })
{
}
