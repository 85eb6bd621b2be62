// Driving the menus and dialogs a test brings up: they run their own
// event loops, so a test reaches them from a timer inside that loop.
#pragma once

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest/QtTest>

#include <functional>

namespace QvlTest {

// Waits, inside whatever loop runs (a menu's, a dialog's), for a widget to
// come up and hands it to `step`, once. Stops looking when it goes out of
// scope, so a test whose widget never comes cannot hang on it.
class TWhenShown : public QObject
{
public:
    TWhenShown(std::function<QWidget *()> find, std::function<void(QWidget *)> step)
        : m_find(std::move(find)), m_step(std::move(step))
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            QWidget *w = m_find();
            if (!w || !w->isVisible())
                return;
            m_timer.stop();
            m_ran = true;
            m_step(w);
        });
        m_timer.start();
    }
    bool Ran() const { return m_ran; }

private:
    std::function<QWidget *()> m_find;
    std::function<void(QWidget *)> m_step;
    QTimer m_timer;
    bool m_ran = false;
};

inline QWidget *PopupMenu()
{
    return qobject_cast<QMenu *>(QApplication::activePopupWidget());
}

inline QWidget *ModalDialog()
{
    return QApplication::activeModalWidget();
}

inline QAction *ActionOf(QMenu *menu, const QString &verb)
{
    for (QAction *a : menu->actions())
        if (a->data().toString() == verb)
            return a;
    return nullptr;
}

inline QStringList VerbsOf(QMenu *menu)
{
    QStringList verbs;
    for (QAction *a : menu->actions())
        if (!a->isSeparator())
            verbs << a->data().toString();
    return verbs;
}

// Moves the pointer onto a command, as a user reading the menu does.
inline void Hover(QMenu *menu, const QString &verb)
{
    QAction *a = ActionOf(menu, verb);
    QVERIFY2(a, qPrintable(verb));
    QTest::mouseMove(menu, menu->actionGeometry(a).center());
}

inline void Pick(QMenu *menu, const QString &verb)
{
    QAction *a = ActionOf(menu, verb);
    if (!a) {
        QTest::keyClick(menu, Qt::Key_Escape);
        QFAIL(qPrintable("no command " + verb));
    }
    menu->setActiveAction(a);
    QTest::keyClick(menu, Qt::Key_Return);
}

// A right click (or the menu key) on the tree, at a node's label or, with
// no node, below the last row.
inline void RequestMenu(QTreeWidget &tree, QTreeWidgetItem *node,
                        QContextMenuEvent::Reason reason = QContextMenuEvent::Mouse)
{
    QPoint at = node ? tree.visualItemRect(node).center() : QPoint(5, tree.viewport()->height() - 3);
    if (reason == QContextMenuEvent::Keyboard)
        at = QPoint(-1, -1);
    QContextMenuEvent event(reason, at, tree.viewport()->mapToGlobal(at));
    QApplication::sendEvent(tree.viewport(), &event);
}

} // namespace QvlTest
