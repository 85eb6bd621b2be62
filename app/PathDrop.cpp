#include "app/PathDrop.h"

#include <QDropEvent>
#include <QMimeData>
#include <QSysInfo>
#include <QUrl>
#include <QWidget>

namespace {

const QString kUriList = QStringLiteral("text/uri-list");

bool IsThisMachine(const QString &host)
{
    return host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0
        || host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) == 0;
}

// The bytes of the path a file URL names: percent escapes are undone byte by
// byte, never through a text conversion that would replace stray bytes.
std::string LocalPath(const QByteArray &line)
{
    const QUrl url = QUrl::fromEncoded(line, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0
        || !IsThisMachine(url.host()))
        return {};
    const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (path.isEmpty() || path.front() != '/' || path.contains('\0'))
        return {};
    std::string result = path.toStdString();
    // A folder's URL may end in a slash; the path boxes name it without one.
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

} // namespace

std::vector<std::string> DroppedPaths(const QMimeData *mime)
{
    if (mime == nullptr || !mime->hasFormat(kUriList))
        return {};
    std::vector<std::string> paths;
    for (QByteArray line : mime->data(kUriList).split('\n')) {
        line = line.trimmed();
        // Lines that begin with '#' are comments in a URI list.
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        std::string path = LocalPath(line);
        if (path.empty())
            return {};
        paths.push_back(std::move(path));
    }
    return paths;
}

TPathDrop::TPathDrop(QWidget *widget, std::size_t minPaths, std::size_t maxPaths, Handler handler, Ready ready)
    : QObject(widget), m_minPaths(minPaths), m_maxPaths(maxPaths), m_handler(std::move(handler)),
      m_ready(std::move(ready))
{
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
}

bool TPathDrop::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const std::vector<std::string> paths = DroppedPaths(drop->mimeData());
        const bool takes = (!m_ready || m_ready()) && paths.size() >= m_minPaths && paths.size() <= m_maxPaths
            && (drop->possibleActions() & (Qt::CopyAction | Qt::LinkAction));
        if (!takes) {
            drop->ignore();
            // A box would otherwise take the URL as text; a tree would
            // offer to move files.
            return true;
        }
        drop->setDropAction(drop->possibleActions() & Qt::LinkAction ? Qt::LinkAction : Qt::CopyAction);
        drop->accept();
        if (event->type() == QEvent::Drop)
            m_handler(paths);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
