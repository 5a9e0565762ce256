#pragma once
// The progress window that runs every long job modally: a caption, a text
// line, an optional bar and a cancel command (button, Esc and Enter). The job
// is a routine of the caller; it reports through ProgressStep and
// SetProgressText and polls ProgressStopFlag after each item. One window is
// created once and reused; nothing runs in another thread.

#include <QDialog>
#include <QElapsedTimer>

#include <exception>
#include <functional>

class QAction;
class QProgressBar;
class QPushButton;
class QTimer;
class TgivHTMLabel;

// The job gets the progress window as its sender.
using TProgressJob = std::function<void(QObject *sender)>;

class TfrmProgress : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmProgress(QWidget *parent = nullptr);
    ~TfrmProgress() override;

    TgivHTMLabel *givHTMLabel1 = nullptr; // the text line
    TgivHTMLabel *givHTMLabel2 = nullptr; // never shown
    QProgressBar *ProgressBar1 = nullptr;
    QPushButton *Button1 = nullptr; // the visible "Отмена"
    QAction *BitBtn1 = nullptr;     // the cancel and default command: Esc and Enter
    QTimer *Timer1 = nullptr;       // closes the window once the job has returned

    // True from RunWithProgress until the window has closed again.
    bool Busy() const { return m_state != TJobState::Idle; }

    // Called before the text or the bar changes: the window is painted at
    // most some 25 times a second, each time with the latest text and bar.
    // A fast job changes them far more often than anyone can read.
    void PacePainting();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

public slots:
    // Only the timer closes the window; every other way of closing it stops the job.
    void reject() override;

private:
    friend void RunWithProgress(int max, const QString &caption, const TProgressJob &job);

    enum class TJobState { Idle, Prepared, Running, Finished };

    // Runs the stored job once; later calls (the window shown or activated
    // again) find nothing stored.
    void RunStoredJob();
    void Timer1Timer();

    void ResumePainting();

    QTimer *m_paintPause = nullptr;
    QElapsedTimer m_lastFrame;
    TJobState m_state = TJobState::Idle;
    TProgressJob m_job;
    std::exception_ptr m_error;
};

// The window every job runs in: made once by the program entry, which owns
// it, and reused. A job run while there is none gets a window of its own.
extern TfrmProgress *frmProgress;
// False while the job may continue.
extern bool ProgressStopFlag;

// Runs job modally in the progress window and returns when the window has
// closed. max below 1 hides the bar. An error raised by the job closes the
// window and is raised again here.
void RunWithProgress(int max, const QString &caption, const TProgressJob &job);
// Whether the caller should refresh its text for item n (0-9, every 10th up
// to 90, then every 100th); moves the bar to n when it should.
bool ProgressStep(int n);
// Replaces the text line and processes pending events, so a click on
// "Отмена" is seen during the job.
void SetProgressText(const QString &text);
// Sets the stop flag and lets the window close once the job has returned.
void StopProgress();
