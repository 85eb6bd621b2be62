#include "controls/filelist/DirectoryListBox.h"

#include "platform/CurrentFolder.h"
#include "platform/DirReader.h"
#include "controls/filelist/FileListBox.h"
#include "platform/MountTable.h"
#include "platform/Paths.h"
#include "controls/filelist/detail/FileIcons.h"
#include "controls/filelist/detail/FolderRules.h"

#include <QApplication>
#include <QFile>

#include <algorithm>

using namespace QvlFileList;

namespace {

QString Decode(const std::string &bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

} // namespace

TDirectoryListBox::TDirectoryListBox(QWidget *parent)
    : QListWidget(parent), m_directory(ExcludeTrailingSlash(CurrentFolder()))
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) { OpenRow(row(item)); });
    if (!m_directory.empty())
        BuildRows();
}

TDirectoryListBox::~TDirectoryListBox()
{
    if (m_fileList)
        m_fileList->m_dirList = nullptr;
}

void TDirectoryListBox::SetDirectory(const std::string &folder)
{
    const std::string target = ResolveFolder(m_directory, folder);
    ChangeToFolder(m_directory, target, folder);
    const bool changed = target != m_directory;
    m_directory = target;
    // Always from the disk: the rows are the candidates of path completion,
    // and a folder's subfolders change while it stays selected.
    BuildRows();
    if (m_fileList)
        m_fileList->SetDirectory(m_directory);
    if (changed && OnChange)
        OnChange(this);
}

std::string TDirectoryListBox::GetItemPath(int index) const
{
    return index >= 0 && index < Count() ? m_paths[index] : std::string();
}

std::string TDirectoryListBox::ItemName(int index) const
{
    const std::string path = GetItemPath(index);
    return index == 0 ? path : path.substr(path.rfind('/') + 1);
}

void TDirectoryListBox::SetFileList(TFileListBox *fileList)
{
    if (fileList == m_fileList)
        return;
    if (m_fileList)
        m_fileList->m_dirList = nullptr;
    if (fileList && fileList->m_dirList)
        fileList->m_dirList->m_fileList = nullptr;
    m_fileList = fileList;
    if (m_fileList)
        m_fileList->m_dirList = this;
}

void TDirectoryListBox::BuildRows()
{
    std::string root = DriveRoot(m_directory);
    // The drive root always leads the way down to the folder.
    if (root.empty() || (m_directory != ExcludeTrailingSlash(root) && RelativeTo(m_directory, root).empty()))
        root = "/";
    m_paths.assign(1, root);
    std::string way = ExcludeTrailingSlash(root);
    const std::string below = RelativeTo(m_directory, root);
    for (std::size_t start = 0; start < below.size();) {
        std::size_t end = below.find('/', start);
        if (end == std::string::npos)
            end = below.size();
        way = IncludeTrailingSlash(way) + below.substr(start, end - start);
        m_paths.push_back(way);
        start = end + 1;
    }
    m_directoryRow = static_cast<int>(m_paths.size()) - 1;

    struct Sub {
        std::string name;
        QString shown;
    };
    std::vector<Sub> subs;
    TDirReader reader(m_directory);
    TDirEntry entry;
    while (reader.Next(entry, false)) {
        if (entry.kind != TEntryKind::Directory || entry.name == "." || entry.name == ".." || IsHiddenName(entry.name))
            continue;
        subs.push_back({entry.name, Decode(entry.name)});
    }
    std::stable_sort(subs.begin(), subs.end(), [](const Sub &a, const Sub &b) {
        const int c = CompareNames(a.shown, b.shown);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    for (const Sub &s : subs)
        m_paths.push_back(IncludeTrailingSlash(m_directory) + s.name);

    clear();
    const QIcon closed = FolderIcon(false);
    const QIcon open = FolderIcon(true);
    for (int i = 0; i < Count(); ++i) {
        const int depth = std::min(i, m_directoryRow + 1);
        const QString name = Decode(ItemName(i));
        auto *item = new QListWidgetItem(i <= m_directoryRow ? open : closed, QString(depth * 2, u' ') + name, this);
        item->setToolTip(Decode(m_paths[i]));
    }
    setCurrentRow(m_directoryRow);
}

void TDirectoryListBox::OpenRow(int row)
{
    if (row < 0 || row >= Count())
        return;
    try {
        SetDirectory(m_paths[row]);
    } catch (const std::exception &) {
        // A folder that went away or may not be entered: the list stays.
        QApplication::beep();
    }
}
