// Folders and files dragged in from a file manager. A drag carries them as a
// text/uri-list; only local files count, and each path keeps the exact bytes
// its URL names, so a name that is not valid UTF-8 arrives as it is.
#pragma once

#include <QObject>

#include <functional>
#include <string>
#include <vector>

class QMimeData;
class QWidget;

// The local paths a drag carries, in the order given; empty when any item is
// not a local file (a web address, another machine's file), so that a mixed
// drag is refused as a whole instead of being taken in part.
std::vector<std::string> DroppedPaths(const QMimeData *mime);

// Takes the drops a widget receives. A drag of `minPaths` to `maxPaths` local
// paths is accepted (at least one always); any other is refused and the
// cursor says so. The handler gets the paths when they are dropped.
class TPathDrop : public QObject
{
public:
    using Handler = std::function<void(const std::vector<std::string> &)>;
    using Ready = std::function<bool()>;

    // Watches `widget` (for a scroll area pass its viewport), turns its drop
    // acceptance on, and becomes its child. While `ready` says no (the boxes
    // the paths would go to are disabled during a run, say), drags are
    // refused.
    TPathDrop(QWidget *widget, std::size_t minPaths, std::size_t maxPaths, Handler handler, Ready ready = {});

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::size_t m_minPaths;
    std::size_t m_maxPaths;
    Handler m_handler;
    Ready m_ready;
};
