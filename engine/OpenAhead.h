// Opening what a run reads on threads of their own, a few items ahead of the
// worker that reads them: for many small files these system calls cost as
// much as the reading, and two cores can share the work. Nothing is read
// here; every item is still read, checked and reported by the worker, in
// order. The files of a check are opened this way (see TReadQueue).
#pragma once

#include "platform/ReadQueue.h"

#include <cstddef>
#include <functional>

template <class TSlot>
class TOpenAhead : public TReadQueue<TSlot>
{
public:
    // Opens item `index` into `slot` (which may hold an earlier item, done
    // with); runs on an opening thread.
    using TOpen = std::function<void(std::size_t index, TSlot &slot)>;

    // Starts opening items 0 .. count-1 in order.
    TOpenAhead(std::size_t count, TOpen open)
        : TReadQueue<TSlot>(
              count, [open = std::move(open)](std::size_t index, TSlot &slot, TNoReaderState &) { open(index, slot); },
              kOpeners, kAhead)
    {
    }

private:
    static constexpr std::size_t kOpeners = 4;
    static constexpr std::size_t kAhead = 32;
};
