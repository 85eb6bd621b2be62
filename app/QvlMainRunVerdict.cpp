// TRunControl: the verdict strip of the verify view. When a run has ended
// (also after a cancel) one line above the log says in words whether the
// copy is exact, beside the completion box, which keeps its texts. Its
// colour is a tint of the palette's own window colour, so it stays readable
// in a dark theme; the words alone carry the verdict.
#include "app/QvlMainRun.h"

#include "app/QvlFormat.h"
#include "app/QvlMain.h"

#include <QAction>
#include <QBoxLayout>
#include <QFrame>
#include <QLabel>
#include <QListView>
#include <QLocale>
#include <QPushButton>

namespace {

QString Count(qint64 value)
{
    return FormatThousands(value);
}

QString Files(qint64 n)
{
    return Count(n) + (n == 1 ? QStringLiteral(" file") : QStringLiteral(" files"));
}

// The window colour moved a quarter of the way to `hue`: light on a light
// palette, dark on a dark one, and the palette's text colour on it keeps its
// contrast.
QColor Tint(const QColor &window, const QColor &hue)
{
    constexpr double share = 0.28;
    return QColor::fromRgbF(float(window.redF() * (1 - share) + hue.redF() * share),
                            float(window.greenF() * (1 - share) + hue.greenF() * share),
                            float(window.blueF() * (1 - share) + hue.blueF() * share));
}

} // namespace

TRunVerdict RunVerdict(const TVerdictFigures &f)
{
    TRunVerdict v;
    QString deleted;
    if (f.deleted > 0 || f.notDeleted > 0) {
        deleted = f.permanent ? Files(f.deleted) + QStringLiteral(" deleted (some permanently: no Trash there)")
                              : Files(f.deleted) + QStringLiteral(" moved to the Trash");
        if (f.notDeleted > 0)
            deleted += QStringLiteral(", %1 kept").arg(Count(f.notDeleted));
    }
    QStringList problems;
    if (f.differ > 0)
        problems << Count(f.differ) + QStringLiteral(" differ");
    if (f.missing > 0)
        problems << Count(f.missing) + QStringLiteral(" missing");
    if (f.unreadable > 0)
        problems << Count(f.unreadable) + QStringLiteral(" unreadable");
    if (f.skipped > 0)
        problems << Count(f.skipped) + QStringLiteral(" skipped, not regular files");
    // Equal bytes with other attributes, or files the Source never had: the
    // Target is no exact copy, whatever else matched.
    const bool incomplete = f.attributesDiffer > 0 || f.targetOnly > 0;
    if (f.attributesDiffer > 0)
        problems << QStringLiteral("attributes differ for ") + Files(f.attributesDiffer);
    if (f.targetOnly > 0)
        problems << Files(f.targetOnly) + QStringLiteral(" only in the Target");

    if (f.canceled) {
        v.role = TVerdictRole::Unproven;
        v.text = QStringLiteral("Canceled after %1 of %2 — nothing is proven for the rest")
                     .arg(Count(f.checked), Files(f.files));
        v.problems = f.differ > 0 || f.missing > 0 || f.unreadable > 0 || f.skipped > 0 || incomplete;
        if (v.problems)
            v.text += QStringLiteral("; so far: ") + problems.join(QStringLiteral(", "));
    } else if (f.differ > 0 || f.missing > 0 || incomplete) {
        v.role = TVerdictRole::Damaged;
        v.text = QStringLiteral("Not an exact copy: ") + problems.join(QStringLiteral(", "));
        v.problems = true;
    } else if (f.unreadable > 0) {
        v.role = TVerdictRole::Unproven;
        v.text = QStringLiteral("Not proven: %1 could not be read").arg(Files(f.unreadable));
        v.problems = true;
    } else if (f.skipped > 0) {
        // A FIFO or a dangling link in the Source was never compared: the
        // Target may lack it.
        v.role = TVerdictRole::Unproven;
        v.text = QStringLiteral("Not proven: %1 skipped, not regular files").arg(Count(f.skipped));
        v.problems = true;
    } else if (f.checked == 0) {
        v.role = TVerdictRole::Unproven;
        v.text = QStringLiteral("No files were compared");
    } else {
        v.role = TVerdictRole::Exact;
        v.text = f.checked == 1 ? QStringLiteral("The file is identical (%1)")
                                : QStringLiteral("All %1 files are identical (%2)").arg(Count(f.checked));
        v.text = v.text.arg(QLocale().formattedDataSize(f.matchedBytes, 1, QLocale::DataSizeTraditionalFormat));
    }
    if (!deleted.isEmpty())
        v.text += QStringLiteral(" — ") + deleted;
    return v;
}

QString VerdictRoleName(TVerdictRole role)
{
    switch (role) {
    case TVerdictRole::Exact:
        return QStringLiteral("exact");
    case TVerdictRole::Damaged:
        return QStringLiteral("damaged");
    case TVerdictRole::Unproven:
        break;
    }
    return QStringLiteral("unproven");
}

void TRunControl::SetUpVerdict()
{
    QWidget *panel = ui.ListBoxV->parentWidget();
    auto *layout = qobject_cast<QBoxLayout *>(panel->layout());
    m_verdict = new QFrame(panel);
    m_verdict->setObjectName(QStringLiteral("VerdictStrip"));
    m_verdict->setFrameShape(QFrame::StyledPanel);
    m_verdict->setAutoFillBackground(true);
    auto *row = new QHBoxLayout(m_verdict);
    row->setContentsMargins(8, 4, 8, 4);
    m_verdictText = new QLabel(m_verdict);
    m_verdictText->setObjectName(QStringLiteral("VerdictText"));
    m_verdictText->setWordWrap(true);
    m_verdictText->setTextFormat(Qt::PlainText);
    QFont bold = m_verdictText->font();
    bold.setBold(true);
    m_verdictText->setFont(bold);
    row->addWidget(m_verdictText, 1);
    m_showProblems = new QPushButton(QStringLiteral("Show Problems"), m_verdict);
    m_showProblems->setObjectName(QStringLiteral("ShowProblemsBtn"));
    m_showProblems->setToolTip(QStringLiteral("Show only the lines of the log that are not \"Files Match\""));
    connect(m_showProblems, &QPushButton::clicked, this, [this] { m_problemsOnly->setChecked(true); });
    row->addWidget(m_showProblems);
    layout->insertWidget(layout->indexOf(ui.ListBoxV), m_verdict);
    m_verdict->hide();
}

void TRunControl::HideVerdict()
{
    m_verdict->hide();
}

void TRunControl::ShowVerdict()
{
    TVerdictFigures f;
    f.canceled = m_runCanceled;
    f.files = m_runFiles;
    f.permanent = m_permanentDelete;
    m_reportRows.ForEach([&f](const TReportRow &row) {
        switch (row.result) {
        case TReportResult::Match:
            ++f.checked;
            f.matchedBytes += std::max<std::int64_t>(row.size, 0);
            break;
        case TReportResult::Differ:
        case TReportResult::LengthsDiffer:
            ++f.checked;
            ++f.differ;
            break;
        case TReportResult::SourceMissing:
        case TReportResult::TargetMissing:
            ++f.checked;
            ++f.missing;
            break;
        case TReportResult::Unreadable:
            ++f.checked;
            ++f.unreadable;
            break;
        case TReportResult::Deleted:
            ++f.deleted;
            break;
        case TReportResult::NotDeleted:
            ++f.notDeleted;
            break;
        case TReportResult::Skipped:
            ++f.skipped;
            break;
        case TReportResult::AttributesDiffer:
            ++f.attributesDiffer; // its pair is counted by its match
            break;
        case TReportResult::TargetOnly:
            ++f.targetOnly;
            break;
        }
    });
    const TRunVerdict v = RunVerdict(f);
    m_verdictText->setText(v.text);
    m_verdict->setProperty("verdict", VerdictRoleName(v.role));
    m_showProblems->setVisible(v.problems);

    // Green, red and amber, each only tinting the palette's window colour.
    const QPalette base = m_form.palette();
    const QColor hue = v.role == TVerdictRole::Exact     ? QColor(0x2e, 0xa0, 0x43)
                       : v.role == TVerdictRole::Damaged ? QColor(0xd0, 0x30, 0x30)
                                                         : QColor(0xe0, 0xa0, 0x10);
    QPalette p = base;
    p.setColor(QPalette::Window, Tint(base.color(QPalette::Window), hue));
    p.setColor(QPalette::WindowText, base.color(QPalette::WindowText));
    m_verdict->setPalette(p);
    m_verdict->show();
    // The strip takes its height from the log: a log that follows the run
    // keeps its last line in view.
    if (QLayout *layout = m_verdict->parentWidget()->layout())
        layout->activate();
    if (m_listBoxVTag == 0)
        ui.ListBoxV->scrollToBottom();
}
