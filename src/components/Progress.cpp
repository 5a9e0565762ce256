#include "components/Progress.h"

#include "components/givLabel.h"
#include "components/replfont.h"
#include "data/dberror.h"
#include "platform/screen.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <memory>

TfrmProgress *frmProgress = nullptr;
bool ProgressStopFlag = false;

namespace {

void AddFrameLine(QWidget *parent, const QRect &geometry, const QColor &colour)
{
    auto *line = new QFrame(parent);
    line->setGeometry(geometry);
    line->setAutoFillBackground(true);
    QPalette p = line->palette();
    p.setColor(QPalette::Window, colour);
    line->setPalette(p);
}

} // namespace

TfrmProgress::TfrmProgress(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmProgress"));
    setFixedSize(375, 127);
    setModal(true);
    setCursor(Screen::Cursor(crHourGlass));

    // One-pixel frame around the text line and the bar.
    AddFrameLine(this, QRect(10, 8, 355, 1), QColor(0xAE, 0xAE, 0xAE));
    AddFrameLine(this, QRect(10, 8, 1, 75), QColor(0xAE, 0xAE, 0xAE));
    AddFrameLine(this, QRect(11, 9, 353, 1), Qt::white);
    AddFrameLine(this, QRect(11, 9, 1, 73), Qt::white);
    AddFrameLine(this, QRect(10, 82, 355, 1), Qt::white);
    AddFrameLine(this, QRect(364, 8, 1, 75), Qt::white);
    AddFrameLine(this, QRect(11, 81, 353, 1), QColor(0xCF, 0xCF, 0xCF));
    AddFrameLine(this, QRect(363, 9, 1, 73), Qt::gray);

    givHTMLabel1 = new TgivHTMLabel(this);
    givHTMLabel1->setObjectName(QStringLiteral("givHTMLabel1"));
    givHTMLabel1->setGeometry(22, 18, 330, 20);
    givHTMLabel1->SetHAutoSize(true);

    givHTMLabel2 = new TgivHTMLabel(this);
    givHTMLabel2->setObjectName(QStringLiteral("givHTMLabel2"));
    givHTMLabel2->setGeometry(22, 38, 330, 16);
    givHTMLabel2->SetHAutoSize(true);
    givHTMLabel2->hide();

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(22, 56, 330, 17);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setCursor(Screen::Cursor(crHourGlass));

    Button1 = new QPushButton(QStringLiteral("Отмена"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(150, 92, 75, 25);
    Button1->setCursor(Qt::ArrowCursor);
    // Enter goes to the window's own cancel command, whatever has the focus.
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, [] { StopProgress(); });

    BitBtn1 = new QAction(QStringLiteral("Отмена"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    connect(BitBtn1, &QAction::triggered, this, [] { StopProgress(); });

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1);
    connect(Timer1, &QTimer::timeout, this, &TfrmProgress::Timer1Timer);

    m_paintPause = new QTimer(this);
    m_paintPause->setSingleShot(true);
    connect(m_paintPause, &QTimer::timeout, this, &TfrmProgress::ResumePainting);

    SetFormCharsetRussian(this);
}

namespace {
constexpr int kFrameMs = 40;
} // namespace

void TfrmProgress::PacePainting()
{
    if (!m_lastFrame.isValid() || m_lastFrame.elapsed() >= kFrameMs) {
        m_lastFrame.restart();
        return;
    }
    // Too soon: the text and the bar are not painted until the pause ends,
    // and then once as they stand.
    if (!m_paintPause->isActive()) {
        for (QWidget *w : {static_cast<QWidget *>(givHTMLabel1), static_cast<QWidget *>(ProgressBar1)})
            w->setUpdatesEnabled(false);
        m_paintPause->start(int(std::max<qint64>(1, kFrameMs - m_lastFrame.elapsed())));
    }
}

void TfrmProgress::ResumePainting()
{
    m_paintPause->stop();
    if (!givHTMLabel1->updatesEnabled() || !ProgressBar1->updatesEnabled()) {
        // Painted now: a paint merely asked for would wait for the next
        // event processing, where the job's next change pauses it again.
        for (QWidget *w : {static_cast<QWidget *>(givHTMLabel1), static_cast<QWidget *>(ProgressBar1)}) {
            w->setUpdatesEnabled(true);
            if (w->isVisible())
                w->repaint();
        }
        m_lastFrame.restart();
    }
}

TfrmProgress::~TfrmProgress()
{
    if (frmProgress == this)
        frmProgress = nullptr;
}

void TfrmProgress::RunStoredJob()
{
    if (m_state != TJobState::Prepared)
        return; // shown or activated again: the job runs once
    m_state = TJobState::Running;
    const TProgressJob job = std::move(m_job);
    m_job = nullptr;
    try {
        if (job)
            job(this);
    } catch (...) {
        // Nothing may cross the event loop; RunWithProgress raises it again.
        m_error = std::current_exception();
    }
    m_state = TJobState::Finished;
    if (m_error)
        done(QDialog::Rejected);
}

void TfrmProgress::Timer1Timer()
{
    if (!isVisible()) {
        Timer1->stop();
        return;
    }
    // Ticks served inside the job's own event processing change nothing.
    if (m_state == TJobState::Finished)
        done(QDialog::Accepted);
}

void TfrmProgress::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        BitBtn1->trigger();
        event->accept();
        return;
    default: QDialog::keyPressEvent(event);
    }
}

void TfrmProgress::closeEvent(QCloseEvent *event)
{
    StopProgress();
    event->ignore();
}

void TfrmProgress::reject()
{
    StopProgress();
}

void RunWithProgress(int max, const QString &caption, const TProgressJob &job)
{
    // Without the program's window (a job run before start-up made it) the
    // job gets a window of its own, gone again when the job is.
    std::unique_ptr<TfrmProgress> own;
    if (!frmProgress) {
        own = std::make_unique<TfrmProgress>();
        frmProgress = own.get();
    }
    TfrmProgress *form = frmProgress;
    if (form->Busy())
        throw Exception(QStringLiteral("The progress window is already running a job"));

    if (QScreen *screen = QGuiApplication::primaryScreen())
        form->move(screen->availableGeometry().center() - form->rect().center());
    if (max < 1) {
        form->ProgressBar1->setRange(0, 0);
        form->ProgressBar1->hide();
    } else {
        form->ProgressBar1->setRange(0, max);
        form->ProgressBar1->show();
    }
    form->ProgressBar1->setValue(0);
    form->setWindowTitle(caption);
    form->givHTMLabel2->hide();
    form->givHTMLabel1->SetText(QStringLiteral("Подготовка данных..."));

    ProgressStopFlag = false;
    form->m_job = job;
    form->m_error = nullptr;
    form->m_state = TfrmProgress::TJobState::Prepared;
    form->Timer1->start();
    form->m_lastFrame.invalidate();
    const int cursor = Screen::ActiveCursor();

    // The job starts from the modal loop, once the window is on the screen.
    QMetaObject::invokeMethod(form, &TfrmProgress::RunStoredJob, Qt::QueuedConnection);
    form->exec();

    form->Timer1->stop();
    form->ResumePainting();
    form->m_state = TfrmProgress::TJobState::Idle;
    form->m_job = nullptr;
    if (std::exception_ptr error = std::exchange(form->m_error, nullptr)) {
        ProgressStopFlag = true;
        // A job that failed half-way may have left its wait cursor up.
        if (Screen::ActiveCursor() != cursor)
            Screen::SetActiveCursor(cursor);
        std::rethrow_exception(error);
    }
}

bool ProgressStep(int n)
{
    const bool refresh = n < 10 || (n < 100 && n % 10 == 0) || (n >= 100 && n % 100 == 0);
    if (refresh && frmProgress) {
        frmProgress->PacePainting();
        QProgressBar *bar = frmProgress->ProgressBar1;
        bar->setValue(std::clamp(n, bar->minimum(), bar->maximum()));
    }
    return refresh;
}

void SetProgressText(const QString &text)
{
    if (frmProgress) {
        frmProgress->PacePainting();
        frmProgress->givHTMLabel1->SetText(text);
        frmProgress->givHTMLabel2->hide();
    }
    QCoreApplication::processEvents();
}

void StopProgress()
{
    ProgressStopFlag = true;
    if (frmProgress)
        frmProgress->Timer1->start();
}
