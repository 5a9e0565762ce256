#pragma once
// The firm window: one address of one firm, its organisation card on the
// first tab and its price list grouped by subsection on the second, with a
// subsection filter, the rouble view, and printing, preview and saving of
// either tab. Opened modally from the result grids and the card's branch
// links; records one statistics row when it opens (network version).

#include "components/DBGrid.h"
#include "data/datasource.h"
#include "data/query.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QStatusBar;
class QTabWidget;
class QTextBrowser;
class TCardViewer;
class QToolBar;
class QToolButton;
class TDBText;
class TfrmMain;
class TZConnection;

// What a card link in the firm window does: the main window's handler.
using TCardLinkHandler = std::function<void(const QUrl &link)>;

class TfrmPrice : public QDialog
{
    Q_OBJECT
public:
    // The window reads the catalogue over connection; card links go to
    // linkHandler (none: they do nothing); a save or a print to a file leaves
    // keptFiles alone (see SaveHtmlToFile).
    TfrmPrice(TZConnection *connection, TCardLinkHandler linkHandler, QStringList keptFiles, QWidget *parent = nullptr);
    ~TfrmPrice() override;

    // Fills the window for the address; a good id above 0 only goes into the
    // statistics row. Database errors pass to the caller.
    void Init(int cid, int fid, int adr_id, qint64 goodId);

    // One row of the printed price list; a header row when id is "-1".
    // Name and price go in as markup-safe text.
    static QString BuildPriceRowHtml(const QString &name, const QString &price, const QString &id);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    friend class TfrmPriceTestPeer;

    void FormCreate();
    void FormResize();
    // Loads CardHtml into the view.
    void LoadCard();
    void FillGroups(int cid, int fid, int adr_id);
    void OpenPriceQuery();
    void UpdateStatus();
    void BuildPricePrintHtml(QObject *sender);
    // The marked rows (scope 0) or every row (scope 2) into PrintHtml.
    void AppendWalkedRows(bool allRows);

    void Query1CalcFields(TDataSet &dataSet);
    void DBGrid1DrawColumnCell(const QRect &rect, int dataCol, TColumn *column, TGridDrawState state);
    void DBGrid1TitleClick(TColumn *column);
    void cbGroupChange();
    void PageControl1Change();
    void btnPrintClick(QToolButton *sender);
    void btnDollarClick();
    void btnStatusBarClick();
    void btnRichStrClick();
    void ToolButton7Click();
    void HTMLViewer1KeyDown(int key, Qt::KeyboardModifiers shift);
    void HTMLViewer1HotSpotClick(const QUrl &link);
    void DBText1MouseMove(TDBText *sender);
    void N6Click();
    void mnuCopyToClipboardClick();
    void PopupMenu1Popup();

    bool PriceTabActive() const;

    TZReadOnlyQuery Query1;
    TZReadOnlyQuery Query2;
    TZReadOnlyQuery Query3;
    TDataSource DataSource1;
    TCardLinkHandler m_linkHandler;
    QStringList m_keptFiles;

    QToolBar *ToolBar1 = nullptr;
    QToolButton *btnPreview = nullptr;
    QToolButton *btnPrint = nullptr;
    QToolButton *btnSave = nullptr;
    QToolButton *btnDollar = nullptr;
    QToolButton *btnStatusBar = nullptr;
    QToolButton *btnRichStr = nullptr;
    QToolButton *ToolButton7 = nullptr;
    QTabWidget *PageControl1 = nullptr;
    QWidget *TabSheet1 = nullptr;
    QWidget *TabSheet2 = nullptr;
    TCardViewer *HTMLViewer1 = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *cbGroup = nullptr;
    TDBGrid *DBGrid1 = nullptr;
    QWidget *pnlGoodRichStr = nullptr;
    TDBText *DBText1 = nullptr;
    TDBText *DBText2 = nullptr;
    TDBText *DBText3 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QLabel *m_statusPanel0 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *N6 = nullptr;
    QAction *mnuCopyToClipboard = nullptr;

    int Cid = 0;
    int Fid = 0;
    int AdrId = 0;
    QString CardHtml;
    QString PriceSql;
    int TotalRows = 0;
    int PrintScope = -1;
    QString PrintHtml;
    // The card waits for the window to show before it is laid out.
    bool m_cardPending = false;
};

// Opens the firm window modally over the main window's connection, its card
// links handled as the main window's; returns the modal result. The window
// is freed when it closes; when filling it fails it is freed unshown and
// the error passes to the caller.
int ShowFirmPrice(TfrmMain &owner, int cid, int fid, int adr_id, qint64 goodId);
// The same over the program's main window (nothing without one).
int ShowFirmPrice(int cid, int fid, int adr_id, qint64 goodId);
