#include "controls/filelist/DriveComboBoxEx.h"

#include "platform/CurrentFolder.h"
#include "controls/filelist/DirectoryListBox.h"
#include "platform/MountMonitor.h"
#include "platform/Paths.h"
#include "platform/VolumeLabel.h"
#include "controls/filelist/detail/FileIcons.h"
#include "controls/filelist/detail/RowPainter.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QPainter>

namespace {

constexpr int kIconSize = 16;
constexpr int kTextLeft = kIconSize + 6;
constexpr int kMountPointRole = Qt::UserRole;
constexpr int kDriveTypeRole = Qt::UserRole + 1;

QString Decode(const std::string &bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// What a row says after the mount point, by drive type; false for a volume
// that gets no row.
bool RowName(TDriveType type, const MountEntry &volume, const std::string &label, std::string &name)
{
    switch (type) {
    case dtRemovable:
        name.clear();
        return true;
    case dtFixed:
    case dtCDROM:
    case dtRamDisk:
        name = "[" + label + "]";
        return true;
    case dtRemote:
        name = volume.source.empty() ? "[" + label + "]" : volume.source;
        return true;
    default:
        return false;
    }
}

QIcon DriveIcon(TDriveType type)
{
    switch (type) {
    case dtRemovable:
        return QvlFileList::ThemeIcon("drive-removable-media");
    case dtRemote:
        return QvlFileList::ThemeIcon("network-server");
    case dtCDROM:
        return QvlFileList::ThemeIcon("media-optical");
    case dtRamDisk:
        return QvlFileList::ThemeIcon("media-flash", "drive-harddisk");
    default:
        return QvlFileList::ThemeIcon("drive-harddisk");
    }
}

} // namespace

TDriveComboBoxEx::TDriveComboBoxEx(QWidget *parent) : QComboBox(parent)
{
    setItemDelegate(new QvlFileList::TOwnerDrawDelegate(
        view(),
        [this](QPainter &canvas, int index, const QRect &rect) {
            if (index < count())
                DrawItem(canvas, index, rect);
        },
        [this] { return MeasureItem(); }));
    setIconSize(QSize(kIconSize, kIconSize));
    connect(this, &QComboBox::activated, this, [this](int row) {
        try {
            Choose(row);
        } catch (const std::exception &) {
            // A mount point we may not enter: the choice stays.
            setCurrentIndex(RowHolding(m_drive));
            QApplication::beep();
        }
    });
    connect(TMountMonitor::Instance(), &TMountMonitor::MountsChanged, this, [this] {
        if (m_built)
            BuildList();
    });
}

TDriveComboBoxEx::~TDriveComboBoxEx() = default;

std::string TDriveComboBoxEx::Drive() const
{
    return m_drive;
}

std::string TDriveComboBoxEx::Items(int index) const
{
    return QFile::encodeName(itemText(index)).toStdString();
}

std::string TDriveComboBoxEx::MountPoint(int index) const
{
    return itemData(index, kMountPointRole).toByteArray().toStdString();
}

TDriveType TDriveComboBoxEx::DriveTypeOf(int index) const
{
    return static_cast<TDriveType>(itemData(index, kDriveTypeRole).toInt());
}

int TDriveComboBoxEx::RowHolding(const std::string &path) const
{
    int best = -1;
    std::size_t bestLength = 0;
    for (int i = 0; i < count(); ++i) {
        const std::string point = MountPoint(i);
        const bool holds = point == "/" || path == point || !RelativeTo(path, point).empty();
        if (holds && (best < 0 || point.size() > bestLength)) {
            best = i;
            bestLength = point.size();
        }
    }
    return best;
}

void TDriveComboBoxEx::SetDrive(const std::string &path)
{
    Choose(RowHolding(ExcludeTrailingSlash(AbsolutePath(path))));
}

void TDriveComboBoxEx::Choose(int row)
{
    if (row < 0 || row >= count() || MountPoint(row) == m_drive) {
        setCurrentIndex(RowHolding(m_drive));
        return;
    }
    const std::string point = MountPoint(row);
    if (m_dirList)
        m_dirList->SetDirectory(point);
    m_drive = point;
    setCurrentIndex(row);
    if (OnChange)
        OnChange(this);
}

void TDriveComboBoxEx::BuildList()
{
    const std::vector<MountEntry> mounts = ReadMounts();
    const QSignalBlocker quiet(this);
    clear();
    for (const MountEntry &volume : Volumes(mounts)) {
        const TDriveType type = VolumeType(volume, mounts);
        std::string name;
        if (!RowName(type, volume, type == dtRemovable ? std::string() : VolumeLabelOf(volume), name))
            continue;
        addItem(DriveIcon(type), Decode(volume.mountPoint + " " + name));
        setItemData(count() - 1, QByteArray::fromStdString(volume.mountPoint), kMountPointRole);
        setItemData(count() - 1, int(type), kDriveTypeRole);
    }
    const std::string before = m_drive;
    // First time: the volume of the folder the program started in.
    const int row = RowHolding(m_built ? before : ExcludeTrailingSlash(CurrentFolder()));
    m_built = true;
    m_drive = row >= 0 ? MountPoint(row) : std::string();
    setCurrentIndex(row);
    if (!before.empty() && m_drive != before && OnChange)
        OnChange(this);
}

void TDriveComboBoxEx::DrawItem(QPainter &canvas, int index, const QRect &rect)
{
    canvas.fillRect(rect, canvas.brush());
    const QIcon icon = DriveIcon(DriveTypeOf(index));
    if (!icon.isNull())
        icon.paint(&canvas, QRect(rect.left(), rect.top() + std::max(0, (rect.height() - kIconSize) / 2), kIconSize,
                                  kIconSize));
    canvas.drawText(rect.adjusted(kTextLeft, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    itemText(index));
}

int TDriveComboBoxEx::MeasureItem()
{
    return kIconSize;
}

std::vector<MountEntry> TDriveComboBoxEx::ReadMounts()
{
    return ReadMountTable();
}

std::vector<MountEntry> TDriveComboBoxEx::Volumes(const std::vector<MountEntry> &mounts)
{
    return UserVolumes(mounts);
}

TDriveType TDriveComboBoxEx::VolumeType(const MountEntry &volume, const std::vector<MountEntry> &mounts)
{
    return GetDriveType(volume.mountPoint, mounts, IsRemovableDevice);
}

std::string TDriveComboBoxEx::VolumeLabelOf(const MountEntry &volume)
{
    return VolumeLabel(volume.major, volume.minor);
}

void TDriveComboBoxEx::showEvent(QShowEvent *event)
{
    QComboBox::showEvent(event);
    if (!m_built)
        BuildList();
}
