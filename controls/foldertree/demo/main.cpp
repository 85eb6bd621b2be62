// Two folder trees side by side, the way the main window places them, with
// the selected paths shown below and the hints in a status line. A right
// click on a folder (or the menu key) shows the tree's own menu of the
// folder's commands; Rename there, F2 or a click on the selected folder
// edits its name. The right tree has check boxes and scrolls when the mouse
// nears its edges. For looking at the controls.
#include "controls/foldertree/SystemTreeView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Folder tree demo");

    QMainWindow window;
    window.setWindowTitle("Folder tree demo");
    QStatusBar *status = window.statusBar(); // the hints show there from the start
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
        tree->OnEdited = [status](TSystemTreeView *, QTreeWidgetItem *, const std::string &name) {
            status->showMessage(
                QStringLiteral("Renamed to \"%1\"").arg(QFile::decodeName(QByteArray::fromStdString(name))));
        };
    }
    right->SetCheckboxes(true);
    right->SetAutoscroll(true);
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
