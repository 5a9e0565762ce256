#pragma once
// The print-settings dialog: which positions a print, preview or save takes
// (the marked ones, the current one or all) and, for organisation lists, the
// sections of each printed card.

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

class TfrmPrintSet : public QDialog
{
    Q_OBJECT
public:
    // printKind: 0 print, 1 preview, 2 save to file. hasSelection: the number
    // of marked positions, 0 none. showFields: offer the card sections. The
    // switches are the caller's; the window starts from its design state
    // whatever they hold.
    TfrmPrintSet(QWidget *owner, int printKind, int hasSelection, bool showFields, bool Name, bool Attr, bool Phone,
                 bool People, bool Post, bool Transport, bool Web, bool Wt, bool Update, bool Filial);

    QGroupBox *GroupBox1 = nullptr;
    QRadioButton *rbSelected = nullptr;
    QRadioButton *rbCurrent = nullptr;
    QRadioButton *rbAll = nullptr;
    QGroupBox *gbEnpr = nullptr;
    QCheckBox *cbName = nullptr;
    QCheckBox *cbAttr = nullptr;
    QCheckBox *cbPhone = nullptr;
    QCheckBox *cbPeople = nullptr;
    QCheckBox *cbPost = nullptr;
    QCheckBox *cbTransport = nullptr;
    QCheckBox *cbWeb = nullptr;
    QCheckBox *cbFilial = nullptr;
    QCheckBox *cbWt = nullptr;
    QCheckBox *cbUpdate = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;

    // 0 marked, 1 current, 2 all positions; set when the window closes.
    int PrintChoice = 0;

    void FormCreate();
    void Button1Click();
    void Button2Click();
    void FormClose();

public slots:
    void done(int result) override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void BuildControls();
    // The OK and Cancel buttons keep their distance to the bottom right.
    void PlaceAnchoredButtons();
    QSize m_designClient;
    QPoint m_okFromCorner;
    QPoint m_cancelFromCorner;
};

// Shows the dialog modally. After OK the ten switches get the boxes' states
// and the chosen scope (0, 1, 2) is returned; after Cancel, Esc or closing
// the window the switches keep their values and -1 is returned.
int ShowPrintSetDialog(int PrintKind, int HasSelection, bool ShowFields, bool &Name, bool &Attr, bool &Phone,
                       bool &People, bool &Post, bool &Transport, bool &Web, bool &Wt, bool &Update, bool &Filial);
