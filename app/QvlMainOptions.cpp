// TMainForm: the file filter, the hidden-files option and the events of the
// two file lists.
#include "app/QvlMain.h"

#include "app/QvlFormat.h"
#include "ui_QvlMain.h"

#include "controls/filelist/DirectoryListBox.h"
#include "controls/filelist/FlCtrlEx.h"
#include "controls/foldertree/SystemTreeView.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

void TMainForm::SetUpOptions()
{
    ui->MyFilterBox->clear();
    ui->MyFilterBox->addItem(QStringLiteral("*.*"));
    ui->MyFilterBox->setEditText(QStringLiteral("*.*"));
    // The box keeps the focus and hands keys to its line edit directly, so
    // both are watched.
    ui->MyFilterBox->installEventFilter(this);
    ui->MyFilterBox->lineEdit()->installEventFilter(this);
    connect(ui->MyFilterBox, &QComboBox::editTextChanged, this, &TMainForm::MyFilterBoxChange);
    connect(ui->CheckBoxHidden, &QCheckBox::clicked, this, &TMainForm::CheckBoxHiddenClick);

    for (TPathSide *side : {&m_source, &m_target}) {
        side->FileList->OnClick = [this, side](QObject *) { FileListClick(*side); };
        side->FileList->OnChange = [this, side](QObject *) { FileListChange(*side); };
        side->FileList->OnExit = [side](QObject *) { side->FileList->SetItemIndex(-1); };
    }
    ui->SourceFileListBox->OnEnter = [this](QObject *) { SourceFileListBoxEnter(); };
    ui->TargetFileListBox->OnEnter = [this](QObject *) { TargetFileListBoxEnter(); };
}

// ------------------------------------------------------------------ filter

void TMainForm::MyFilterBoxChange()
{
    QString mask = TrimBlanks(ui->MyFilterBox->currentText());
    mask.remove(QLatin1Char(' '));
    const std::string bytes = mask.toStdString();
    Guarded([&] { ui->SourceFileListBox->SetMask(bytes); });
    Guarded([&] { ui->TargetFileListBox->SetMask(bytes); });
    ui->LabelFilter->setText(mask);
}

void TMainForm::RememberFilter()
{
    QComboBox *box = ui->MyFilterBox;
    const QString text = TrimBlanks(box->currentText());
    if (box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0) {
        box->setEditText(text);
        return;
    }
    // The list keeps "*.*" first; the newest filter comes right below it.
    // Inserting must not change what the box shows.
    const QString shown = box->currentText();
    box->insertItem(1, text);
    box->setEditText(shown);
}

bool TMainForm::MyFilterBoxKeyPress(QKeyEvent *key)
{
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    RememberFilter();
    return true;
}

void TMainForm::MyFilterBoxExit()
{
    RememberFilter();
}

bool TMainForm::OptionsEventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->MyFilterBox || watched == ui->MyFilterBox->lineEdit()) {
        if (event->type() == QEvent::KeyPress)
            return MyFilterBoxKeyPress(static_cast<QKeyEvent *>(event));
        if (event->type() == QEvent::FocusOut
            && static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason)
            MyFilterBoxExit();
    }
    return QMainWindow::eventFilter(watched, event);
}

// ------------------------------------------------------------------ hidden files

void TMainForm::CheckBoxHiddenClick()
{
    const bool hidden = ui->CheckBoxHidden->isChecked();
    for (TPathSide *side : {&m_source, &m_target}) {
        const TFileType type = hidden ? side->FileList->FileType().With(ftHidden)
                                      : side->FileList->FileType().Without(ftHidden);
        Guarded([&] { side->FileList->SetFileType(type); });
        // Setting the set re-reads the folder; a side whose box is empty
        // shows no files, so its list stays empty.
        if (side->Edit->text().isEmpty())
            side->FileList->Clear();
        side->Tree->SetShowHiddenDirs(hidden);
    }
    ResetTrees();
    for (TPathSide *side : {&m_source, &m_target})
        if (!side->Edit->text().isEmpty())
            Guarded([&] { side->FileList->ReadFileNames(); });
}

// ------------------------------------------------------------------ file lists

void TMainForm::FileListClick(TPathSide &side)
{
    UpdateBox(side);
}

void TMainForm::FileListChange(TPathSide &side)
{
    if (side.Tree->Selection().empty())
        side.FileList->Clear();
}

void TMainForm::SourceFileListBoxEnter()
{
    SetCandidateFolder(ui->SourceTreeView->Selection());
}

void TMainForm::TargetFileListBoxEnter()
{
    SetCandidateFolder(ui->TargetFileListBox->Directory());
}

