#include "controls/foldertree/detail/PropertiesForm.h"

#include "platform/ItemDetails.h"
#include "platform/Paths.h"
#include "ui_PropertiesForm.h"

#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QThread>
#include <QTimer>

namespace {

// How often the window shows what the counting thread has reached.
constexpr int ShowIntervalMs = 100;
// Paths wider than this are shortened in the middle.
constexpr int MaxPathWidth = 420;

QString Q(const std::string &text)
{
    return QFile::decodeName(QByteArray::fromStdString(text));
}

QString Number(std::uint64_t n)
{
    return QLocale::system().toString(static_cast<qulonglong>(n));
}

QString Bytes(std::uint64_t n)
{
    const QString exact = QStringLiteral("%1 bytes").arg(Number(n));
    if (n < 1000)
        return exact;
    return QStringLiteral("%1 (%2)")
        .arg(QLocale::system().formattedDataSize(static_cast<qint64>(n), 1, QLocale::DataSizeSIFormat), exact);
}

QString Plural(std::uint64_t n, const char *one, const char *many)
{
    return Number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
}

QString TypeText(const TItemDetails &d, const std::string &path)
{
    if (d.error)
        return qt_error_string(d.error);
    if (d.isLink)
        return QStringLiteral("Link to %1").arg(Q(d.linkTarget));
    if (d.isDir)
        return IsMountPoint(path) ? QStringLiteral("Folder, the root of a volume") : QStringLiteral("Folder");
    if (d.isFile)
        return QStringLiteral("File");
    return QStringLiteral("Special file (never read by a verify)");
}

QString OwnerText(const TItemDetails &d)
{
    const QString user = d.owner.empty() ? QString::number(d.uid) : Q(d.owner);
    const QString group = d.group.empty() ? QString::number(d.gid) : Q(d.group);
    return QStringLiteral("%1, group %2").arg(user, group);
}

QString VolumeText(const TVolumeDetails &v)
{
    QString text = v.fsType.empty() ? QStringLiteral("Mounted on %1").arg(Q(v.mountPoint))
                                    : QStringLiteral("%1, mounted on %2").arg(Q(v.fsType), Q(v.mountPoint));
    if (!v.source.empty() && v.source != v.fsType)
        text += QStringLiteral(", from %1").arg(Q(v.source));
    return text;
}

QString FreeText(const TVolumeDetails &v)
{
    const QLocale locale = QLocale::system();
    QString text = QStringLiteral("%1 free of %2")
                       .arg(locale.formattedDataSize(static_cast<qint64>(v.availableBytes), 1, QLocale::DataSizeSIFormat),
                            locale.formattedDataSize(static_cast<qint64>(v.totalBytes), 1, QLocale::DataSizeSIFormat));
    if (v.readOnly)
        text += QStringLiteral(", read-only");
    return text;
}

// A text that may be a long path: shortened in the middle when it is too
// wide, as the main window shortens its paths, with the whole of it as the
// tool tip.
void SetPathText(QLabel *label, const QString &text)
{
    const QString shown = label->fontMetrics().elidedText(text, Qt::ElideMiddle, MaxPathWidth);
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
}

TFolderTotals operator+(TFolderTotals a, const TFolderTotals &b)
{
    a.files += b.files;
    a.folders += b.folders;
    a.others += b.others;
    a.bytes += b.bytes;
    a.unreadable += b.unreadable;
    return a;
}

} // namespace

TPropertiesForm::TPropertiesForm(std::vector<std::string> paths, const std::vector<std::string> &names,
                                 QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::PropertiesForm>()), m_paths(std::move(paths))
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    m_showTimer = new QTimer(this);
    m_showTimer->setInterval(ShowIntervalMs);
    connect(m_showTimer, &QTimer::timeout, this, &TPropertiesForm::ShowTotals);
    connect(ui->CountBtn, &QPushButton::clicked, this, &TPropertiesForm::StartCount);
    connect(ui->StopBtn, &QPushButton::clicked, this, &TPropertiesForm::StopCount);
    ui->StopBtn->hide();

    // Room for what a count usually grows to, so that the window does not
    // widen with every digit.
    ui->LabelSize->setMinimumWidth(ui->LabelSize->fontMetrics().horizontalAdvance(
        QStringLiteral("Counting... 888,888 files, 88,888 folders: 888.8 GB (888,888,888,888 bytes)")));

    const bool single = m_paths.size() == 1;
    const std::string &first = m_paths.front();
    const QString name = single ? Q(names.empty() ? first : names.front()) : Plural(m_paths.size(), "item", "items");
    setWindowTitle(QStringLiteral("%1 Properties").arg(name));
    SetPathText(ui->LabelName, name);

    // A location is shown when every item has the same one.
    const std::string location = ParentFolder(first);
    bool sameLocation = first != "/";
    for (const std::string &p : m_paths)
        sameLocation = sameLocation && p != "/" && ParentFolder(p) == location;
    SetPathText(ui->LabelLocation, Q(location));
    ui->Rows->setRowVisible(ui->LabelLocation, sameLocation);

    const TVolumeDetails volume = GetVolumeDetails(first);
    ui->Rows->setRowVisible(ui->LabelFileSystem, volume.error == 0);
    ui->Rows->setRowVisible(ui->LabelFreeSpace, volume.error == 0);
    SetPathText(ui->LabelFileSystem, VolumeText(volume));
    ui->LabelFreeSpace->setText(FreeText(volume));

    for (QWidget *row : {ui->LabelType, ui->LabelModified, ui->LabelOwner, ui->LabelPermissions})
        ui->Rows->setRowVisible(row, single);
    if (!single) {
        ui->LabelSize->setText(QStringLiteral("Not counted"));
        adjustSize();
        return;
    }
    const TItemDetails d = GetItemDetails(first);
    SetPathText(ui->LabelType, TypeText(d, first));
    for (QWidget *row : {ui->LabelModified, ui->LabelOwner, ui->LabelPermissions})
        ui->Rows->setRowVisible(row, d.error == 0);
    ui->LabelModified->setText(
        QLocale::system().toString(QDateTime::fromSecsSinceEpoch(d.modifiedSec), QLocale::LongFormat));
    ui->LabelOwner->setText(OwnerText(d));
    ui->LabelPermissions->setText(QStringLiteral("%1 (%2)").arg(QString::fromStdString(ModeString(d.typeLetter, d.mode)))
                                      .arg(d.mode, 3, 8, QLatin1Char('0')));
    if (d.isDir) {
        ui->LabelSize->setText(QStringLiteral("Contents not counted"));
    } else {
        // Showing or hiding a row shows or hides all it holds: the buttons
        // are hidden after it.
        ui->Rows->setRowVisible(ui->SizeLayout, d.error == 0);
        ui->LabelSize->setMinimumWidth(0);
        ui->CountBtn->hide();
        ui->StopBtn->hide();
        ui->LabelSize->setText(Bytes(d.size));
    }
    adjustSize();
}

TPropertiesForm::~TPropertiesForm()
{
    // The thread looks at the stop flag after every entry, so this waits
    // for one file-system call at most.
    if (m_thread) {
        m_count->stop = true;
        m_thread->wait();
        delete m_thread;
    }
}

void TPropertiesForm::StartCount()
{
    if (m_thread)
        return;
    m_count = std::make_shared<TCount>();
    // The thread keeps its own share of the count and the paths; it never
    // touches the window.
    m_thread = QThread::create([count = m_count, paths = m_paths] { CountItems(*count, paths); });
    connect(m_thread, &QThread::finished, this, &TPropertiesForm::CountFinished);
    ui->CountBtn->hide();
    ui->StopBtn->show();
    m_thread->start();
    m_showTimer->start();
    ShowTotals();
}

void TPropertiesForm::CountItems(TCount &count, const std::vector<std::string> &paths)
{
    const bool single = paths.size() == 1;
    TFolderTotals done;
    for (const std::string &path : paths) {
        if (count.stop.load())
            break;
        if (!single) {
            // Several items: each counts itself, and a folder its contents.
            const TItemDetails d = GetItemDetails(path);
            if (d.error == 0) {
                if (d.isFile) {
                    ++done.files;
                    done.bytes += d.size;
                } else if (d.isDir) {
                    ++done.folders;
                } else {
                    ++done.others;
                }
            }
            if (!d.isDir)
                continue;
        }
        TFolderTotals inside;
        CountFolderContents(path, inside, count.stop, [&count, &done](const TFolderTotals &now) {
            QMutexLocker locked(&count.lock);
            count.totals = done + now;
        });
        done = done + inside;
    }
    QMutexLocker locked(&count.lock);
    count.totals = done;
    count.complete = !count.stop.load();
}

void TPropertiesForm::StopCount()
{
    if (m_count)
        m_count->stop = true;
}

void TPropertiesForm::CountFinished()
{
    m_showTimer->stop();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    ui->StopBtn->hide();
    ui->CountBtn->show();
    ShowTotals();
}

void TPropertiesForm::ShowTotals()
{
    TFolderTotals t;
    bool complete;
    {
        QMutexLocker locked(&m_count->lock);
        t = m_count->totals;
        complete = m_count->complete;
    }
    QString text = QStringLiteral("%1, %2: %3")
                       .arg(Plural(t.files, "file", "files"), Plural(t.folders, "folder", "folders"), Bytes(t.bytes));
    if (t.unreadable)
        text += QStringLiteral("; %1 could not be read").arg(Plural(t.unreadable, "folder", "folders"));
    if (m_thread)
        text = QStringLiteral("Counting... ") + text;
    else if (!complete)
        text = QStringLiteral("Stopped at ") + text;
    ui->LabelSize->setText(text);
}
