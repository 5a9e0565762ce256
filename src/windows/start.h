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

protected:
    void closeEvent(QCloseEvent *event) override;
};

extern TfrmStart *frmStart;
