// Helpers the tests of the list controls share.
#pragma once

#include <QtTest/QtTest>

#include <string>

namespace QvlTest {

// Sets a directory list to `folder` and shows it with room for every row.
template <class TDirs>
void ShowDirsOn(TDirs &dirs, const std::string &folder)
{
    dirs.SetDirectory(folder);
    dirs.resize(320, 400);
    dirs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dirs));
}

// The middle of row `row` of a list, at `x` from the left of its viewport.
template <class TList>
QPoint RowPoint(TList &list, int row, int x)
{
    return QPoint(x, list.visualRect(list.model()->index(row, 0)).center().y());
}

} // namespace QvlTest
