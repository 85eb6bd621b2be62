// TRunControl: the progress display of a run. The worker's display calls
// land in a mailbox (TVerifyBridge); a display turn every 40 ms (25 a second)
// shows the latest counts, bars and pair and appends the new log lines in one
// batch, so the window follows the run closely without being what limits it:
// on two cores, each turn's painting is time the worker's threads wait for.
#include "app/QvlMainRun.h"

#include "app/PathText.h"
#include "app/QvlFormat.h"
#include "app/QvlMain.h"
#include "app/QvlMainRunBridge.h"
#include "app/RunLogModel.h"

#include "engine/EscapeControls.h"

#include <QAction>
#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QProgressBar>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

constexpr int kDisplayTurnMs = 40;

QString Count(qint64 value)
{
    return FormatThousands(value);
}

} // namespace

// Every line of the verify log has the same height and the width of the
// widest line so far + 10 pixels: the horizontal scroll range follows the
// widest line, and laying out a million lines measures none of them again.
class TRunLogDelegate : public QStyledItemDelegate
{
public:
    explicit TRunLogDelegate(QListView *list) : QStyledItemDelegate(list), m_list(list) {}

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (m_height == 0)
            m_height = QStyledItemDelegate::sizeHint(option, index).height();
        return {m_width, m_height};
    }

    // Widens the lines to `line` + 10 when that is wider; `line` is UTF-8.
    void Widen(const std::string &line)
    {
        m_width = std::max(m_width, TextWidth(line) + 10);
    }

    void Reset()
    {
        m_width = 0;
        m_advances.fill(-1);
    }

private:
    // Shaping every line would cost the window more than the comparison
    // costs the worker. A line of Latin-1 characters is measured as the sum
    // of its characters' advances (what the list draws, less any kerning);
    // any other line is shaped.
    int TextWidth(const QString &line)
    {
        const QFontMetrics metrics(m_list->font());
        int width = 0;
        for (const QChar c : line) {
            const char16_t u = c.unicode();
            if (u >= m_advances.size())
                return metrics.horizontalAdvance(line);
            if (m_advances[u] < 0)
                m_advances[u] = metrics.horizontalAdvance(c);
            width += m_advances[u];
        }
        return width;
    }

    // The same for UTF-8 text: a line of ASCII characters is measured as it
    // is, any other as the text it decodes to.
    int TextWidth(const std::string &line)
    {
        int width = 0;
        for (const char c : line) {
            const auto u = static_cast<unsigned char>(c);
            if (u >= 0x80)
                return TextWidth(QString::fromUtf8(line.data(), qsizetype(line.size())));
            if (m_advances[u] < 0)
                m_advances[u] = QFontMetrics(m_list->font()).horizontalAdvance(QChar(u));
            width += m_advances[u];
        }
        return width;
    }

    QListView *m_list;
    int m_width = 0;
    mutable int m_height = 0;
    std::array<int, 256> m_advances = MakeUnknown();

    static std::array<int, 256> MakeUnknown()
    {
        std::array<int, 256> a;
        a.fill(-1);
        return a;
    }
};

// ------------------------------------------------------------------ figures

QString RateText(qint32 rate)
{
    return Count(rate) + QStringLiteral(" Kb/s");
}

QString ClockText(qint64 seconds)
{
    return QString::fromLatin1(FormatClock(seconds));
}

QString ElapsedText(qint64 seconds)
{
    return ClockText(seconds) + QStringLiteral(" /");
}

// ------------------------------------------------------------------ set-up

void TRunControl::SetUpDisplay()
{
    m_displayTimer = new QTimer(this);
    m_displayTimer->setInterval(kDisplayTurnMs);
    connect(m_displayTimer, &QTimer::timeout, this, &TRunControl::FlushDisplay);

    m_log = new TRunLogModel(this);
    ui.ListBoxV->setModel(m_log);
    ui.ListBoxV->setUniformItemSizes(true);
    ui.ListBoxV->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_logDelegate = new TRunLogDelegate(ui.ListBoxV);
    ui.ListBoxV->setItemDelegate(m_logDelegate);

    // A log that shows its last line keeps showing it when its range grows
    // later than the lines came: the list lays itself out on a later turn,
    // and the verdict strip that appears at the run's end takes some of its
    // height. A user who scrolled up stays where they are.
    QScrollBar *logBar = ui.ListBoxV->verticalScrollBar();
    connect(logBar, &QScrollBar::rangeChanged, this, [this, logBar](int, int max) {
        if (logBar->value() == m_logBarMax && max > m_logBarMax)
            logBar->setValue(max);
        m_logBarMax = max;
    });

    // The path labels show what they are given, shortened to their width:
    // they must not widen the window.
    for (QLabel *label : {ui.SourcePath, ui.TargetPath}) {
        QSizePolicy policy = label->sizePolicy();
        policy.setHorizontalPolicy(QSizePolicy::Ignored);
        label->setSizePolicy(policy);
    }
    ui.SourcePath->installEventFilter(this);

    // A bar repaints itself at once when its value moves; filling its own
    // background spares its group box a repaint beneath it each time.
    for (QProgressBar *bar : {ui.PBarFile, ui.PBarAll})
        bar->setAutoFillBackground(true);

    // The verify log's scroll bar tells which way the user scrolled, before
    // the scroll is carried out.
    QScrollBar *bar = ui.ListBoxV->verticalScrollBar();
    connect(bar, &QAbstractSlider::actionTriggered, this, [this, bar](int action) {
        switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            ListBoxVScroll(0);
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            ListBoxVScroll(1);
            break;
        case QAbstractSlider::SliderPageStepSub:
            ListBoxVScroll(2);
            break;
        case QAbstractSlider::SliderPageStepAdd:
            ListBoxVScroll(3);
            break;
        case QAbstractSlider::SliderMove:
            // Dragging the thumb, or the wheel, which scrolls by lines.
            if (bar->isSliderDown())
                ListBoxVScroll(5);
            else
                ListBoxVScroll(bar->sliderPosition() < bar->value() ? 0 : 1);
            break;
        default:
            break;
        }
    });
    SetUpLogMenu();
    SetUpVerdict();
}

void TRunControl::StopDisplayTurns()
{
    m_displayTimer->stop();
}

// ------------------------------------------------------------------ before a run

void TRunControl::ResetRunDisplay()
{
    m_progress = TProgressSnapshot();
    const QString zero = QStringLiteral("0");
    for (QLabel *label : {ui.TotalDir, ui.TotalFiles, ui.TotalSize, ui.Same, ui.Different, ui.Missing})
        label->setText(zero);
}

void TRunControl::StartProgressDisplay()
{
    m_progress.RestartClock();
    ui.LabelRate->setText(RateText(m_progress.rate));
    ui.LabelElapsed->setText(ElapsedText(m_progress.elapsed));
    ui.LabelRemain->setText(ClockText(m_progress.estimate));
    for (QLabel *label : {ui.TotalDir, ui.TotalSize, ui.TotalFiles})
        label->setText(Count(0));

    m_runStartTime = m_env.Clock();
    ui.TimerVerify->start();
    m_displayTimer->start();

    for (QProgressBar *bar : {ui.PBarFile, ui.PBarAll}) {
        bar->setRange(0, 1);
        bar->setValue(0);
    }
    ui.ReturnBitBtn->setEnabled(false);
    m_log->Clear();
    m_logDelegate->Reset();
    m_bridge->TakeMail(); // nothing of an earlier run may show in this one
    m_bridge->TakeReportRows();
    m_reportRows.Clear();
    m_saveReport->setEnabled(false);
    m_fileErrorsQuiet = false;
    m_runFiles = 0;
    m_permanentDelete = false;
    HideVerdict();

    ShowPaths(m_sourceText, m_targetText);
}

void TRunControl::ShowPaths(const QString &source, const QString &target)
{
    // A name is shown on one line, whatever control characters it holds.
    const auto shown = [](const QString &path) {
        return QString::fromUtf8(EscapeControls(path.toUtf8().toStdString()));
    };
    m_pathSource = shown(source);
    m_pathTarget = shown(target);
    ui.SourcePath->setText(ShortenedPath(m_pathSource));
    ui.TargetPath->setText(ShortenedPath(m_pathTarget));
}

bool TRunControl::eventFilter(QObject *watched, QEvent *event)
{
    // A wider or narrower window shortens the paths anew.
    if (watched == ui.SourcePath && event->type() == QEvent::Resize)
        ShowPaths(m_pathSource, m_pathTarget);
    if (watched == ui.ListBoxV && event->type() == QEvent::KeyPress
        && LogKeyPress(static_cast<QKeyEvent *>(event)))
        return true;
    return QObject::eventFilter(watched, event);
}

QString TRunControl::ShortenedPath(const QString &text) const
{
    return ui.SourcePath->fontMetrics().elidedText(text, Qt::ElideMiddle, ui.SourcePath->width());
}

// ------------------------------------------------------------------ during a run

void TRunControl::TimerVerifyTimer()
{
    FlushDisplay();
    if (!ui.TimerVerify->isActive())
        return; // the worker has just stopped it
    const QTime now = m_env.Clock();
    const qint64 seconds = std::abs(m_runStartTime.msecsTo(now)) / 1000;
    m_progress.Tick(seconds);
    ui.LabelRemain->setText(ClockText(m_progress.estimate));
    ui.LabelRate->setText(RateText(m_progress.rate));
    ui.LabelElapsed->setText(ElapsedText(m_progress.elapsed));
}

void TRunControl::FlushDisplay()
{
    TRunMail mail = m_bridge->TakeMail();
    if (!m_closing)
        ShowMail(mail);
}

void TRunControl::ShowMail(TRunMail &mail)
{
    bool shown = false;
    if (!mail.lines.empty()) {
        QStringList runLog;
        for (const TRunMail::Line &line : mail.lines) {
            if (line.runLog)
                runLog << FromText(line.text);
            AddVerifyLine(line.kind, line.matched, line.text);
        }
        if (!runLog.isEmpty())
            ui.ListLog->addItems(runLog);
        ShowLogLines();
        shown = true;
    }
    if (mail.totals) {
        ui.TotalDir->setText(Count(mail.folders));
        ui.TotalSize->setText(Count(qint64(mail.totalBytes)));
        shown = true;
    }
    if (mail.totalFiles) {
        m_runFiles = mail.files;
        ui.TotalFiles->setText(mail.filesChecked < 0
                                    ? Count(mail.files)
                                    : Count(mail.filesChecked) + QLatin1Char('/') + Count(mail.files));
        shown = true;
    }
    if (mail.counts) {
        ui.Same->setText(Count(mail.same));
        ui.Different->setText(Count(mail.different));
        ui.Missing->setText(Count(mail.missing));
        shown = true;
    }
    if (mail.pair) {
        ShowPaths(FromPath(mail.source), FromPath(mail.target));
        shown = true;
    }
    // An empty range would make the bars show a busy indicator: a file of
    // no bytes shows an empty bar instead.
    if (mail.fileRange)
        ui.PBarFile->setRange(0, std::max(mail.fileMax, 1));
    if (mail.filePosition)
        ui.PBarFile->setValue(mail.filePos);
    if (mail.overallRange) {
        ui.PBarAll->setRange(0, std::max(mail.overallMax, 1));
        m_progress.totalBytes = mail.runTotalBytes;
    }
    if (mail.overallPosition) {
        ui.PBarAll->setValue(mail.overallPos);
        m_progress.bytesDone = mail.runBytesDone;
    }
    shown = shown || mail.fileRange || mail.filePosition || mail.overallRange || mail.overallPosition;
    if (mail.stopTimer)
        ui.TimerVerify->stop();
    if (shown)
        ++m_displayTurns;
}

void TRunControl::AddVerifyLine(TLogKind kind, bool matched, const std::string &line)
{
    // Every line of the verify log is as wide as the widest.
    m_logDelegate->Widen(line);
    m_log->Append(kind, matched, line);
}

void TRunControl::ShowLogLines()
{
    m_log->ShowAppended();
    if (m_listBoxVTag == 0)
        ui.ListBoxV->scrollToBottom();
}

void TRunControl::AddWindowLine(const QString &text)
{
    const QString line = m_env.Clock().toString(QStringLiteral("hh:mm:ss")) + text;
    ui.ListLog->addItem(line);
    AddVerifyLine(TLogKind::Event, false, line.toUtf8().toStdString());
    m_log->ShowAppended();
}

void TRunControl::ListBoxVScroll(int scrollCode)
{
    switch (scrollCode) {
    case 0: // line up
    case 2: // page up
        m_listBoxVTag = 1;
        break;
    case 1: // line down
    case 3: // page down
    case 5: { // thumb dragging
        m_listBoxVTag = 1;
        // The scroll state before this scroll, as a list box counts it: a
        // range over every line, a page of the visible lines, the position
        // of the top line.
        const QScrollBar *bar = ui.ListBoxV->verticalScrollBar();
        const int page = bar->pageStep();
        const int position = bar->value();
        const int maximum = bar->maximum() + page - 1;
        if (page + position >= 0.95 * maximum)
            m_listBoxVTag = 0;
        break;
    }
    default:
        break;
    }
}
