#pragma once
// The banner window: one picture, borderless and on top, centred on the
// screen. It waits for its button, or shrinks to the picture and closes by
// itself after a few seconds; a click into the picture closes it as well.

#include <QDialog>
#include <QString>
#include <QTextBrowser>

#include <functional>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;

// The picture view: hands its picture requests to the window.
class TBannerViewer : public QTextBrowser
{
    Q_OBJECT
public:
    explicit TBannerViewer(QWidget *parent = nullptr);

    std::function<QVariant(const QUrl &)> OnImageRequest;

signals:
    void entered();

protected:
    QVariant loadResource(int type, const QUrl &name) override;
    void focusInEvent(QFocusEvent *event) override;
};

class TfrmReclama : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmReclama(QWidget *parent = nullptr);

    QFrame *Panel2 = nullptr;
    QFrame *Panel1 = nullptr;
    TBannerViewer *HTMLViewer1 = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *Button1 = nullptr;
    QTimer *Timer1 = nullptr;

    // The picture as hexadecimal text, cleared once handed to the view.
    QString HexImage;
    bool WithButton = false;

    QVariant HTMLViewer1ImageRequest(const QUrl &name);
    void Timer1Timer();
    void HTMLViewer1Enter();

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

// Shows one banner modally and returns once it has closed. IsLast names the
// button "Выход" instead of "Далее>".
void ShowBanner(const QString &hexImage, bool isLast, bool withButton);

// A banner picture of 640 x 480 is well under a megabyte.
constexpr qint64 MaxBannerFileSize = 16 * 1024 * 1024;

// The bytes of the banner picture file at path: false, and nothing read,
// unless it is a regular file of at most MaxBannerFileSize bytes, so a FIFO,
// a device or an oversized file counts as no file at all.
bool ReadBannerFile(const QString &path, QByteArray *bytes);

// Test seams, never used by the program: how long a banner without button
// stays (0 puts the 4 s back), and a look at every banner once it is on
// screen (an empty hook removes it).
void SetBannerInterval(int milliseconds);
void SetBannerShownHook(std::function<void(TfrmReclama &)> hook);
