#pragma once
// The system's one kind of modal message box, built at run time: text, an
// optional stock icon and a row of buttons; returns the button's result.

#include <QDialog>
#include <QString>

#include <functional>

class QWidget;
class QKeyEvent;

enum TMsgDlgType { mtWarning = 0, mtError = 1, mtInformation = 2, mtConfirmation = 3, mtCustom = 4 };

// Button kinds as bit flags, in the left-to-right order of the box.
enum TMsgDlgBtn : unsigned {
    mbYes = 1u << 0,
    mbNo = 1u << 1,
    mbOK = 1u << 2,
    mbCancel = 1u << 3,
    mbAbort = 1u << 4,
    mbRetry = 1u << 5,
    mbIgnore = 1u << 6,
    mbAll = 1u << 7,
    mbNoToAll = 1u << 8,
    mbYesToAll = 1u << 9,
    mbHelp = 1u << 10,
};
using TMsgDlgButtons = unsigned;

// Modal results.
constexpr int mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7,
              mrAll = 8, mrNoToAll = 9, mrYesToAll = 10;

// The box itself: a dialog laid out in dialog units of the system's message
// font; buttons are named after their kind ("Yes", "OK", ...), the text label
// "Message" and the icon "Image".
class TMessageForm : public QDialog
{
    Q_OBJECT
public:
    explicit TMessageForm(QWidget *parent = nullptr);

    int HelpContext = 0;
    QString HelpFile;

    // The result of the Esc key; mrNone when the box has no cancel button.
    int CancelResult() const { return m_cancelResult; }
    void SetCancelResult(int result) { m_cancelResult = result; }

    // The Help button's click: asks for help on HelpContext.
    void HelpPressed();

signals:
    void helpRequested(int context, const QString &file);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // Closing from the title bar returns mrCancel.
    void reject() override;

private:
    int m_cancelResult = mrNone;
};

TMessageForm *CreateMessageForm(const QString &text, TMsgDlgType kind, TMsgDlgButtons buttons);
int MessageDialogPosHelp(const QString &text, TMsgDlgType kind, TMsgDlgButtons buttons, int helpContext, int x, int y,
                         const QString &helpFile);
int MessageDialog(const QString &text, TMsgDlgType kind, TMsgDlgButtons buttons, int helpContext);
int MessageDialogPos(const QString &text, TMsgDlgType kind, TMsgDlgButtons buttons, int helpContext, int x, int y);
void ShowMessagePos(const QString &text, int x, int y);
// The program-wide box: application title, no icon, one OK button.
void ShowMessageText(const QString &text);

// Test seam: when set, every box is handed to the hook instead of being shown
// modally; the hook returns the modal result. Production never sets it.
struct TMessageBoxCall {
    QString text;
    QString title;
    TMsgDlgType kind;
    TMsgDlgButtons buttons;
    // The laid-out box, valid during the call (a hook may show it and press
    // keys on it).
    TMessageForm *form = nullptr;
};
using TMessageBoxHook = std::function<int(const TMessageBoxCall &)>;
void SetMessageBoxHook(TMessageBoxHook hook);

// Width in pixels cached for a button kind (bit index 0..10); 0 until a box
// has shown that button. The table lives for the whole run.
int MessageButtonWidth(int kindIndex);
