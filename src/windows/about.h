#pragma once
// The about box, and the program's version text shared by the about box and
// the splash window.

#include <QDialog>
#include <QLabel>

class QPushButton;

QString ProgramVersion();

// A label that reports a click (the about box's links).
class TLinkLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

class TfrmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget *parent = nullptr);

    QLabel *Image1;
    QLabel *Image2;
    QLabel *Label1;
    QLabel *Label6;
    QLabel *lblVersion;
    QLabel *Label3;
    TLinkLabel *Label2;
    QLabel *Label4;
    TLinkLabel *Label5;
    QPushButton *Button1;

    void FormCreate();
    void Button1Click();
    void Label2Click();
    void Label5Click();
};
