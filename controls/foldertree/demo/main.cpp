// Two folder trees side by side, the way the main window places them, with
// the selected paths shown below. For looking at the control.
#include "SystemTreeView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Folder tree demo");

    QWidget window;
    window.setWindowTitle("Folder tree demo");
    auto *layout = new QVBoxLayout(&window);
    auto *trees = new QHBoxLayout;
    layout->addLayout(trees);

    auto *left = new TSystemTreeView(&window);
    auto *right = new TSystemTreeView(&window);
    auto *leftPath = new QLabel(&window);
    auto *rightPath = new QLabel(&window);
    for (TSystemTreeView *tree : {left, right}) {
        tree->SetShowHiddenDirs(false);
        tree->SetAutoExpand(true);
        tree->setIndentation(19);
        tree->setMinimumHeight(50);
        trees->addWidget(tree);
    }
    left->setRootIsDecorated(false);
    left->SetRowSelect(true);
    left->setToolTip("Select a Source path.");
    right->setToolTip("Select a Target path.");
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
