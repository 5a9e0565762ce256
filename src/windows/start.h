#pragma once
// The splash window shown while the main window is being created.

#include <QWidget>

class QLabel;

class TfrmStart : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmStart(QWidget *parent = nullptr);

    QLabel *Image1;
    QLabel *Label1;
    QLabel *Label2;

    void FormCreate();

    // Shows the window and returns once the window system has exposed it and
    // it has been painted, or after timeoutMs: the main window's creation
    // that follows keeps the event loop from running for seconds.
    void ShowPainted(int timeoutMs = 2000);
    // Paint events the window has had while exposed.
    int PaintCount() const { return m_paintCount; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    int m_paintCount = 0;
};

extern TfrmStart *frmStart;
