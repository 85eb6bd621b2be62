// A drop-down list of the mounted volumes a user browses (UserVolumes of the
// mount table), kept up to date by the mount monitor. Each row shows the
// theme icon of the volume's drive type, its mount point and a name:
//   removable: nothing;  fixed, optical, RAM disk: "[label]" ("[]" without a
//   label);  network: the mount source ("nas:/export").
// Volumes of unknown type (and those that vanished) get no row. Rows keep
// the order of the mount table.
//
// Choosing a volume sets the linked directory list to its mount point.
#pragma once

#include "controls/filelist/ControlVersion.h"
#include "platform/MountTable.h"

#include <QComboBox>
#include <QPointer>

#include <functional>
#include <string>
#include <vector>

class TDirectoryListBox;

class TDriveComboBoxEx : public QComboBox, public TControlVersion
{
    Q_OBJECT

public:
    // The rows are built when the box is first shown (or by BuildList).
    explicit TDriveComboBoxEx(QWidget *parent = nullptr);
    ~TDriveComboBoxEx() override;

    // The mount point of the chosen volume ("" before the rows are built).
    std::string Drive() const;
    // Chooses the row of the volume that holds `path` (a mount point, or any
    // folder on a listed volume; the longest mount point wins). When that
    // changes the choice, the linked directory list goes to the volume's
    // mount point and OnChange fires. A directory list that cannot enter
    // the folder throws EInOutError; the choice then stays as it was.
    void SetDrive(const std::string &path);

    // The linked directory list, or nullptr (also once it is destroyed).
    TDirectoryListBox *DirList() const { return m_dirList; }
    void SetDirList(TDirectoryListBox *dirList) { m_dirList = dirList; }

    // The rows: text ("<mount point> <name>"), mount point and drive type.
    int Count() const { return count(); }
    std::string Items(int index) const;
    std::string MountPoint(int index) const;
    TDriveType DriveTypeOf(int index) const;

    // Rebuilds the rows from the mount table. The chosen volume stays chosen
    // while it is listed; when it went away, the volume that now holds its
    // mount point is chosen and OnChange fires (the directory list is left
    // where it is: its folder still exists).
    virtual void BuildList();

    // Fired (sender = this box) when the chosen volume changed.
    std::function<void(QObject *sender)> OnChange;

protected:
    // Paints one row of the drop-down list: the icon at the left edge, the
    // text 22 pixels in, vertically centred.
    virtual void DrawItem(QPainter &canvas, int index, const QRect &rect);
    // The row height of the drop-down list: 16.
    virtual int MeasureItem();

    // Where the rows come from; tests replace these to feed a recorded table
    // or to list a volume of their own.
    virtual std::vector<MountEntry> ReadMounts();
    virtual std::vector<MountEntry> Volumes(const std::vector<MountEntry> &mounts);
    virtual TDriveType VolumeType(const MountEntry &volume, const std::vector<MountEntry> &mounts);
    virtual std::string VolumeLabelOf(const MountEntry &volume);

    void showEvent(QShowEvent *event) override;

private:
    // The row that holds `path`, or -1.
    int RowHolding(const std::string &path) const;
    void Choose(int row);

    QPointer<TDirectoryListBox> m_dirList;
    std::string m_drive; // the chosen mount point, "" before the first build
    bool m_built = false;
};
