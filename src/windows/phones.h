#pragma once
// The telephones window: an organisation's telephones (blue and underlined
// where a double click transfers the current call to the number) and its
// current discounts and promotions in red, opened with Space in the
// network version.

#include <QDialog>
#include <QStyledItemDelegate>

#include <functional>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class TZReadOnlyQuery;

class TfrmPhones : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmPhones(QWidget *parent = nullptr);

    QListWidget *ListBox1 = nullptr;
    QListWidget *ListBox2 = nullptr; // transfer number of each telephone row
    QPlainTextEdit *Memo1 = nullptr; // breaks discount texts into lines
    QLabel *Label1 = nullptr;
    QPushButton *BitBtn1 = nullptr; // Esc
    QPushButton *BitBtn2 = nullptr; // Enter

    // The lines the memo breaks the text into at its width.
    QStringList MemoLines(const QString &text) const;

    void ListBox1DrawItem(QPainter *painter, int index, const QRect &rect) const;
    void ListBox1DblClick();
    void ListBox1KeyDown(int key);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// Fills and shows the window modally for one address (adr_id 0: the whole
// firm). goodId: the good of the goods row, 0 from an organisation.
// Database errors pass to the caller; the window is then not shown.
void ShowFirmPhones(TZReadOnlyQuery &Query, int cid, int fid, int adr_id, qint64 goodId);

// Tests act on the window once it is up; an empty hook removes theirs.
void SetPhonesShownHook(std::function<void(TfrmPhones &)> hook);
