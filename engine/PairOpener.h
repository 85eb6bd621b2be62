// The pairs of a folder run, found, sized and opened a few ahead of the
// worker that compares them (see TOpenAhead).
#pragma once

#include "engine/ByteCompare.h"
#include "engine/OpenAhead.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class TPairOpener
{
public:
    using TTargetOf = std::function<std::string(const std::string &source)>;

    // Asked on the opening thread of pair `index` once both files are found
    // with equal sizes: true leaves them closed (see OpenPair()).
    using TLeaveClosed = std::function<bool(std::size_t index, const TPairOpening &)>;

    // Starts opening the pairs of `sources` (with their targets) in order.
    // Both must outlive the opener.
    TPairOpener(const std::vector<std::string> &sources, TTargetOf targetOf, bool fromDisk,
                TLeaveClosed leaveClosed = {});
    TPairOpener(const TPairOpener &) = delete;
    TPairOpener &operator=(const TPairOpener &) = delete;

    // Waits until pair `index` is open and gives it. Pairs are taken in
    // order, each once.
    TPairOpening &Take(std::size_t index) { return m_ahead.Take(index); }
    // The worker is done with pair `index` (its files are closed): its place
    // may take another pair.
    void Done(std::size_t index) { m_ahead.Done(index); }

private:
    TTargetOf m_targetOf; // before m_ahead, whose thread uses them
    TLeaveClosed m_leaveClosed;
    TOpenAhead<TPairOpening> m_ahead;
};
