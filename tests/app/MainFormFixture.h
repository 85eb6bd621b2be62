// The real main window, shown offscreen, with its message boxes answered by
// the test: every box is recorded and gets the answer the test set.
#pragma once

#include "tests/app/MainWidgets.h"

#include "app/QvlMain.h"

#include "controls/filelist/DirectoryListBox.h"
#include "controls/filelist/FlCtrlEx.h"
#include "controls/foldertree/SystemTreeView.h"

#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QtTest/QtTest>

#include <memory>
#include <string>

namespace QvlTest {

struct RecordedBox {
    QString caption;
    QString text;
    int icon = 0;
    int buttons = 0;
};

class MainFormFixture
{
public:
    MainFormFixture()
        : form(std::make_unique<TMainForm>())
    {
        form->MessageBox = [this](const QString &caption, const QString &text, int icon, int buttons) {
            boxes.push_back({caption, text, icon, buttons});
            return answer;
        };
        form->show();
        form->activateWindow();
        exposed = QTest::qWaitForWindowExposed(form.get());
        widgets = std::make_unique<MainWidgets>(*form);
    }

    // The window's widgets, found by name.
    const MainWidgets *ui() const { return widgets.get(); }

    // A mount or unmount reaches the window as its pending tree reset; then
    // the reset runs, 1500 ms later.
    bool MountChangeHeard() const
    {
        return QTest::qWaitFor([this] { return form->TimerTreeReset->isActive(); }, 5000);
    }
    bool TreeResetDone() const
    {
        return QTest::qWaitFor([this] { return !form->TimerTreeReset->isActive(); }, 5000);
    }

    // Types both paths and presses Start; false when Start is not enabled.
    bool StartRun(const std::string &source, const std::string &target)
    {
        ui()->EditSource->setText(Q(source));
        ui()->EditTarget->setText(Q(target));
        if (!ui()->StartBtn->isEnabled())
            return false;
        QTest::mouseClick(ui()->StartBtn, Qt::LeftButton);
        return true;
    }

    bool WaitForRunEnd(int timeoutMs = 30000) const
    {
        return QTest::qWaitFor([this] { return ui()->ReturnBitBtn->isEnabled(); }, timeoutMs);
    }

    static QString Q(const std::string &path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

    std::unique_ptr<TMainForm> form;
    std::unique_ptr<MainWidgets> widgets;
    std::vector<RecordedBox> boxes;
    int answer = QMessageBox::Ok;
    bool exposed = false;
};

} // namespace QvlTest
