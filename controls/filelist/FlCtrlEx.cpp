#include "FlCtrlEx.h"

#include <QFile>
#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QPainter>

namespace {

constexpr int kIconSize = 16;
constexpr int kRowHeight = kIconSize + 1;

// The theme icon for a MIME type, remembered per type: drawing asks for it
// on every paint of every row.
QIcon ThemeIconFor(const QMimeType &type)
{
    static QHash<QString, QIcon> cache;
    const auto found = cache.constFind(type.name());
    if (found != cache.constEnd())
        return *found;
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(QStringLiteral("text-x-generic"));
    cache.insert(type.name(), icon);
    return icon;
}

// A desktop without a configured icon theme (a bare X server, a test run)
// still has the stock themes installed; look there before drawing no icon.
void EnsureIconTheme()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    if (QIcon::fromTheme(QStringLiteral("text-x-generic")).isNull())
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
}

// The small icon of a file, decided by its name alone: the file is never
// opened (it may be a slow network file, or gone).
QIcon IconForFileName(const QString &name)
{
    EnsureIconTheme();
    static QMimeDatabase mimes;
    return ThemeIconFor(mimes.mimeTypeForFile(name, QMimeDatabase::MatchExtension));
}

QIcon FolderIcon()
{
    EnsureIconTheme();
    static const QIcon icon = QIcon::fromTheme(QStringLiteral("folder"));
    return icon;
}

} // namespace

TFileListBoxEx::TFileListBoxEx(QWidget *parent)
    : TFileListBox(parent), m_iconsAtDrawTime(true)
{
}

TFileListBoxEx::~TFileListBoxEx() = default;

std::uint32_t TFileListBoxEx::GetVersionNr() const
{
    return 0x01020000;
}

std::string TFileListBoxEx::Version() const
{
    const std::uint32_t nr = GetVersionNr();
    return std::to_string(nr >> 24) + '.' + std::to_string((nr >> 16) & 0xFF) + '.'
           + std::to_string((nr >> 8) & 0xFF) + '.' + std::to_string(nr & 0xFF);
}

void TFileListBoxEx::DrawItem(QPainter &canvas, int index, const QRect &rect)
{
    canvas.fillRect(rect, canvas.brush());
    const QString text = QFile::decodeName(QByteArray::fromStdString(Items(index)));
    const QIcon icon = IsFolderRow(index) ? FolderIcon() : IconForFileName(text);
    if (!icon.isNull())
        icon.paint(&canvas, QRect(rect.left(), rect.top(), kIconSize, kIconSize));
    canvas.drawText(QRect(rect.left() + kRowHeight, rect.top(), rect.width() - kRowHeight, rect.height()),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

int TFileListBoxEx::MeasureItem()
{
    return kRowHeight;
}
