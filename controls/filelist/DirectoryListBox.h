// A list of the folders around one folder: the root of the drive (mount)
// that holds it, each folder on the way down, the folder itself, then its
// immediate subfolders in name order (no hidden ones, no "." and "..").
// Row 0 is always the drive root. Rows are full paths; the drive root ends in
// "/", the others do not.
//
// It can be linked to one file list: whenever it is set to a folder, it sets
// that list's Directory too. The main window keeps one hidden, as the source
// of folder-name completion, and moves it between its two file lists.
#pragma once

#include <QListWidget>

#include <functional>
#include <string>
#include <vector>

#include "controls/filelist/FileListErrors.h"

class TFileListBox;

class TDirectoryListBox : public QListWidget
{
    Q_OBJECT

public:
    // Starts at the process's current folder.
    explicit TDirectoryListBox(QWidget *parent = nullptr);
    ~TDirectoryListBox() override;

    // The folder the list is set to: absolute, without a trailing slash
    // ("/" for the root).
    std::string Directory() const { return m_directory; }
    // Makes `folder` current (a relative path resolves against the present
    // folder, "~" is the home folder) and rebuilds the rows from the disk,
    // also when the folder is the one already set. Then the linked file
    // list's Directory is set to it, and OnChange fires if the folder
    // changed. Throws EInOutError when the folder cannot be made current;
    // nothing changes then. An exception from the file list propagates after
    // the rows have changed.
    void SetDirectory(const std::string &folder);

    // The rows, as full paths; row 0 is the drive root.
    int Count() const { return static_cast<int>(m_paths.size()); }
    std::string GetItemPath(int index) const;
    const std::vector<std::string> &ItemPaths() const { return m_paths; }
    // The row of Directory itself.
    int DirectoryRow() const { return m_directoryRow; }
    // What a row shows: the drive root's full path for row 0, the folder's
    // own name for every other row.
    std::string ItemName(int index) const;

    // The linked file list, or nullptr. Linking drops any earlier link of
    // both this list and `fileList`; destroying either side drops the link.
    TFileListBox *FileList() const { return m_fileList; }
    void SetFileList(TFileListBox *fileList);

    // Fired (sender = this list) after the folder changed.
    std::function<void(QObject *sender)> OnChange;

protected:
    // Double click or Enter on a row opens its folder; a folder that cannot
    // be entered beeps and leaves the list as it was.
    void OpenRow(int row);

private:
    friend class TFileListBox;

    void BuildRows();

    std::string m_directory;
    std::vector<std::string> m_paths;
    int m_directoryRow = 0;
    TFileListBox *m_fileList = nullptr;
};
