// The file list under each folder tree: a TFileListBox whose rows carry the
// file's small icon, chosen from the file name by the MIME database and the
// icon theme (the file itself is never opened), with rows 17 pixels high
// whatever the font and the stored item height.
#pragma once

#include "FileListBox.h"

#include <cstdint>
#include <string>

class TFileListBoxEx : public TFileListBox
{
    Q_OBJECT

public:
    explicit TFileListBoxEx(QWidget *parent = nullptr);
    ~TFileListBoxEx() override;

    // Major 1, minor 2, release 0, build 0, most significant byte first.
    virtual std::uint32_t GetVersionNr() const;
    // "1.2.0.0", made from GetVersionNr. Writing it changes nothing (form
    // loading writes the stored value).
    std::string Version() const;
    void SetVersion(const std::string &) {}

    // Whether icons are looked up each time a row is drawn (rows then store
    // nothing) rather than once while listing. Fixed at construction; true
    // on Linux, where the icon of a name is cheap to find.
    bool IconsAtDrawTime() const { return m_iconsAtDrawTime; }

protected:
    void DrawItem(QPainter &canvas, int index, const QRect &rect) override;
    // Always 17: the 16-pixel icon and one pixel.
    int MeasureItem() override;

private:
    const bool m_iconsAtDrawTime;
};
