// How a new control of the folder family finds its partners.
#pragma once

#include <QObject>
#include <QWidget>

// Links a new control with the first unlinked sibling of the other kinds
// below the same parent widget, as placing them together on a form does.
template <typename Want, typename Fn>
inline void ForSiblings(QWidget *self, Fn fn)
{
    if (!self->parentWidget())
        return;
    for (QObject *child : self->parentWidget()->children())
        if (auto *w = dynamic_cast<Want *>(child); w && child != self)
            if (fn(w))
                return;
}
