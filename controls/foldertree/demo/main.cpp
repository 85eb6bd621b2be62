// Two folder trees side by side, the way the main window places them, with
// the selected paths shown below and the hints in a status line. A right
// click on a folder shows its context menu. For looking at the controls.
#include "ItemProp.h"
#include "SystemTreeView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWidget>

namespace {

// Shows the context menu of the node under a right click on a tree's
// viewport, and tells in the status line when Rename was picked.
class TContextMenuHook : public QObject
{
public:
    TContextMenuHook(TSystemTreeView *tree, QStatusBar *status) : QObject(tree), m_tree(tree), m_status(status)
    {
        tree->viewport()->installEventFilter(this);
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::ContextMenu)
            return false;
        const auto *menuEvent = static_cast<QContextMenuEvent *>(event);
        QTreeWidgetItem *node = m_tree->itemAt(menuEvent->pos());
        TFolderItemData *data = node ? m_tree->GetNodeData(node) : nullptr;
        if (!data || !data->RelativeID)
            return false;
        m_tree->SetSelected(node);
        PCItemIDList ids[] = {data->RelativeID};
        bool renameChosen = false;
        DisplayContextMenu(data->ParentFolder, ids, data->Attributes, m_tree, menuEvent->globalPos(), 1, true,
                           renameChosen);
        if (renameChosen)
            m_status->showMessage(QStringLiteral("Rename chosen for \"%1\"").arg(node->text(0)));
        return true;
    }

private:
    TSystemTreeView *m_tree;
    QStatusBar *m_status;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Folder tree demo");

    QMainWindow window;
    window.setWindowTitle("Folder tree demo");
    auto *central = new QWidget(&window);
    window.setCentralWidget(central);
    auto *layout = new QVBoxLayout(central);
    auto *trees = new QHBoxLayout;
    layout->addLayout(trees);

    auto *left = new TSystemTreeView(central);
    auto *right = new TSystemTreeView(central);
    auto *leftPath = new QLabel(central);
    auto *rightPath = new QLabel(central);
    for (TSystemTreeView *tree : {left, right}) {
        tree->SetShowHiddenDirs(false);
        tree->SetAutoExpand(true);
        tree->setIndentation(19);
        tree->setMinimumHeight(50);
        trees->addWidget(tree);
        new TContextMenuHook(tree, window.statusBar());
    }
    left->setRootIsDecorated(false);
    left->SetRowSelect(true);
    left->setToolTip("Select a Source path.");
    left->setStatusTip("Select a Source path.");
    right->setToolTip("Select a Target path.");
    right->setStatusTip("Select a Target path.");
    auto *paths = new QHBoxLayout;
    paths->addWidget(leftPath);
    paths->addWidget(rightPath);
    layout->addLayout(paths);

    left->OnChange = [leftPath](TSystemTreeView *sender, QTreeWidgetItem *) {
        leftPath->setText(QFile::decodeName(QByteArray::fromStdString(sender->GetSelection())));
    };
    right->OnChange = [rightPath](TSystemTreeView *sender, QTreeWidgetItem *) {
        rightPath->setText(QFile::decodeName(QByteArray::fromStdString(sender->GetSelection())));
    };

    // The second tree starts at the home folder, the first at the current one.
    left->SetSelection(QFile::encodeName(QDir::currentPath()).toStdString());
    right->SetSelection(QFile::encodeName(QDir::homePath()).toStdString());

    window.resize(1000, 700);
    window.show();
    return app.exec();
}
