#pragma once
// The main window: start-up (configuration, the database in one of the two
// deployments, the user's settings) and the catalogue's views. The work is
// split by concern over the main_*.cpp files.

#include "components/DBGrid.h"
#include "components/DBGrids.h"
#include "data/connection.h"
#include "data/datasource.h"
#include "data/inifile.h"
#include "data/query.h"
#include "data/usersettings.h"
#include "platform/winmessages.h"
#include "windows/main/historyrec.h"
#include "windows/main/resultpane.h"
#include "windows/price/cardsections.h"
#include "windows/price/cardtelephony.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QStringList>

#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QKeyEvent;
class QMenu;
class QTabWidget;
class QTextBrowser;
class TCardViewer;
class QToolButton;
class QUrl;
class TDBText;
class QTreeWidgetItem;

namespace Ui {
class TfrmMain;
}

class TfrmMain : public QMainWindow
{
    Q_OBJECT
public:
    // appDir: the program folder; empty means the folder of the executable
    // (tests hand in a folder of their own). The whole start-up runs here;
    // a start-up failure that ends the program raises EApplicationHalt.
    explicit TfrmMain(const QString &appDir = QString(), QWidget *parent = nullptr);
    ~TfrmMain() override;

    // What the firm window borrows: the catalogue connection, and the
    // handler of card links, so that its card's links act as this one's.
    TZConnection &CatalogueConnection() { return ZConnection1; }
    void CardLinkClick(const QUrl &link);
    // The files a save or a print to a file must leave alone, as this window
    // and the firm window hand them to SaveHtmlToFile and PrintOrPreviewHtml:
    // the configuration, the city file, the SQL log's file (whether the log
    // is on or not) and, locally, the catalogue.
    QStringList FilesKeptFromSaving() const;

protected:
    // The firm's price-list window with the good (0: opened from an
    // organisation) and the firm's telephones window (Space, network
    // version). Virtual so that tests can see what a row opens.
    virtual void OpenFirmPrice(int cid, int fid, int adr_id, qint64 goodId);
    virtual void OpenFirmPhones(int cid, int fid, int adr_id, qint64 goodId);

private:
    friend class TfrmMainTestPeer;

    std::unique_ptr<Ui::TfrmMain> ui;

    QString AppDir; // ends with "/"
    std::unique_ptr<TIniFile> IniFile;
    std::unique_ptr<TRegistryIniFile> RegIni;
    THistoryRec History;
    QStringList TransferCities;
    TWindowHandle PhoneWnd = -1;
    bool CanTransfer = false;
    bool FirmHasPrd = false;
    bool BannerButton = false;
    int MainCity = 0;  // the city listed first in the tree, 0 none
    QString m_logFile; // the SQL log's file, set whether the log is on or not
    QTreeWidgetItem *GoodRootNode = nullptr;
    QTreeWidgetItem *EnprRootNode = nullptr;

    QToolButton *btnBack = nullptr;
    QToolButton *btnNext = nullptr;
    QMenu *mnuBack = nullptr;
    QMenu *mnuNext = nullptr;

    TZConnection ZConnection1;
    TZSQLMonitor ZSQLMonitor1;
    TZReadOnlyQuery Query1{&ZConnection1};
    TZReadOnlyQuery Query2{&ZConnection1};
    TZReadOnlyQuery Query3{&ZConnection1};
    TZReadOnlyQuery Query4{&ZConnection1};
    TZReadOnlyQuery Query5{&ZConnection1};
    TDataSource DataSource1; // Query4
    TDataSource DataSource2; // Query5

    // Order texts of the result grids by sort column; -1 is the default
    // order of the last search.
    QMap<int, QString> GoodSortOrders;
    QMap<int, QString> EnprSortOrders;
    // The goods side (Query4, DataSource1, DBGrid1) and the organisation
    // side (Query5, DataSource2, DBGrid2 beside the card).
    TResultPane m_goods{Query4,         DataSource1,
                        GoodSortOrders, {&THistoryRec::GoodSql, &THistoryRec::GoodOrderBy, &THistoryRec::GoodSortCol},
                        {0, 2},         true};
    TResultPane m_enpr{Query5,         DataSource2,
                       EnprSortOrders, {&THistoryRec::EnprSql, &THistoryRec::EnprOrderBy, &THistoryRec::EnprSortCol},
                       {0, 1},         false};
    // Tree images: 2/3 goods branch expanded/collapsed, 4/5 organisations.
    QList<QIcon> ImageList1;

    void FormCreate();
    // Returns only on success; a failure it detects shows its message and
    // ends the program.
    void ConnectDatabase();
    void LoadSettings();
    void SaveSettings();
    void FormClose();
    void N5Click();

    // --- classification tree, counts and district lists (main_tree.cpp) ---
    void BuildTree();
    void ShowSelectedNode();
    QString GetNodePath();
    QString GetCountsText(int branch, int level, int cid, int superId, int gid);
    void FillGoodRegions(TZReadOnlyQuery &query, int level, QComboBox *combo, int cid);
    void FillGoodMicroRegions(TZReadOnlyQuery &query, int level, QComboBox *combo, int cid);
    void FillEnprRegions(TZReadOnlyQuery &query, int level, QComboBox *combo, int cid);
    void FillEnprMicroRegions(TZReadOnlyQuery &query, int level, QComboBox *combo, int cid);
    void ShowGoodPanel();
    void ShowEnprPanel();
    void ShowSubList();
    void TreeViewChange();
    void TreeView1DblClick();
    void N16Click();
    void N14Click();
    int TreeViewGetImageIndex(QTreeWidgetItem *node) const;
    int TreeView1GetImageIndex() const;
    // Level (0 root), branch (0 goods, 1 organisations) and the attached
    // number of a main-tree node.
    static int NodeLevel(const QTreeWidgetItem *node);
    int NodeBranch(const QTreeWidgetItem *node) const;
    static int NodeNumber(const QTreeWidgetItem *node);
    // The number of the city a main-tree node lies in; 0 at a root.
    static int NodeCity(const QTreeWidgetItem *node);
    // The text of status panel 0.
    QString StatusText() const;
    void SetStatusText(const QString &text);

    // --- searches (main_search_good.cpp, main_search_enpr.cpp) ---
    void FindGoods(bool byUser);
    void btnFindGoodClick();
    void Button1Click();
    void FindEnterprises(bool byUser);
    void btnFindEnprClick();
    void btnClearEnprClick();
    // Random integer 0 .. n-1 behind the occasional prd order; tests set
    // their own, null puts the default back.
    void SetRandomSource(std::function<int(int)> source);

    // --- view history (main_history.cpp) ---
    void PushHistory(QMenu *list, bool clearForward);
    void BackItemClick(QAction *entry);
    void NextItemClick(QAction *entry);
    void btnBackClick();
    void btnNextClick();
    void RestoreHistory();
    // The record an entry of the Back or Forward list holds.
    static THistoryRec *EntryRecord(QAction *entry);

    // --- result grids and the card beside them (main_results.cpp,
    // main_results_cells.cpp) ---
    TDBGrid *DBGrid1 = nullptr; // goods, over DataSource1
    TDBGrid *DBGrid2 = nullptr; // organisations, over DataSource2
    // Detail lines: goods name, organisation, organisation (organisation
    // grid), address (organisation grid), section, subsection, telephones.
    TDBText *DBText1 = nullptr;
    TDBText *DBText2 = nullptr;
    TDBText *DBText3 = nullptr;
    TDBText *DBText4 = nullptr;
    TDBText *DBText5 = nullptr;
    TDBText *DBText6 = nullptr;
    TDBText *DBText7 = nullptr;
    QLabel *lblGoodPost = nullptr;
    TCardViewer *HTMLViewer1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *N6 = nullptr;
    QAction *mnuCopyToClipboard = nullptr;

    void Query4CalcFields(TDataSet &dataSet);
    void Query5CalcFields(TDataSet &dataSet);
    void DBGrid1DrawColumnCell(const QRect &rect, int dataCol, TColumn *column, TGridDrawState state);
    void DBGrid2DrawColumnCell(const QRect &rect, int dataCol, TColumn *column, TGridDrawState state);
    void DBGrid1TitleClick(TColumn *column);
    void DBGrid2TitleClick(TColumn *column);
    void pnlGoodGridResize();
    void pnlEnprGridResize();
    void DataSource1DataChange();
    void DataSource2DataChange();
    void DBGrid1DblClick();
    void DBGrid2DblClick();
    void DBGrid1KeyDown(int &key, TShiftState shift);
    void DBGrid2KeyDown(int &key, TShiftState shift);
    void DBText1MouseMove(TDBText *sender);
    void HTMLViewer1KeyDown(int key, Qt::KeyboardModifiers shift);
    // Links of an organisation card: this window's and the firm window's.
    void HTMLViewer1HotSpotClick(const QUrl &link);
    void N6Click();
    void mnuCopyToClipboardClick();
    void PopupMenu1Popup();

    // --- telephony link (main_telephony.cpp) ---
    // The notice of the telephony program, right of the tool bar.
    QLabel *Label24 = nullptr;
    // This window as other programs reach it; from start-up step 24.
    std::unique_ptr<TMessageWindow> m_messageWindow;
    // What the card builder and the telephones window ask of the link.
    class TTelephony : public TCardTelephony
    {
    public:
        explicit TTelephony(TfrmMain &w) : m_w(w) {}
        void QueryCanTransfer(int cid) override { m_w.QueryCanTransfer(cid); }
        bool CanTransfer() const override { return m_w.CanTransfer; }
        bool IsTransferCity(int cid) const override { return m_w.IsTransferCity(cid); }
        void TransferCall(const QString &number) override { m_w.SendTransferRequest(number); }
        void CardLinkClicked(const QUrl &link) override { m_w.HTMLViewer1HotSpotClick(link); }

    private:
        TfrmMain &m_w;
    };
    TTelephony m_telephony{*this};

    void SetupTelephony();
    void RegisterPhoneMessages();
    TWindowHandle Handle() const;
    void HandleWindowMessage(TWindowMessage &message);
    void WMCopyData(TWindowMessage &message);
    // A notice of the telephony program in Label24's two lines; the whole
    // text as its tool tip when it does not fit.
    void ShowNotice(const QString &notice);
    bool IsTransferCity(int cid) const;
    // The query broadcast: CanTransfer is up to date when it returns.
    void QueryCanTransfer(int cid);
    void SendTransferRequest(const QString &number);
    // A branch link: the firm window of the address it names.
    void OpenBranchLink(const QString &rest);

    // --- view switches of the "Вид" menu and the tool bar (main_view.cpp) ---
    QToolButton *btnToolBar = nullptr;
    QToolButton *btnStatusBar = nullptr;
    QToolButton *btnRichStr = nullptr;
    QToolButton *btnFullRecv = nullptr;
    QToolButton *btnDollar = nullptr;
    void mnuToolBarClick();
    void btnToolBarClick();
    void mnuStatusBarClick();
    void btnStatusBarClick();
    void mnuRichStrClick();
    void btnRichStrClick();
    void mnuFullRecvClick();
    void btnFullRecvClick();
    void mnuDollarClick();
    void btnDollarClick();

    // --- printing, preview and saving of the result (main_print.cpp) ---
    QAction *mnuPrint = nullptr;
    QAction *mnuPreview = nullptr;
    QAction *mnuSave = nullptr;
    QToolButton *btnPrint = nullptr;
    QToolButton *btnPreview = nullptr;
    QToolButton *btnSave = nullptr;
    // The body being printed, previewed or saved; empty between commands.
    QString ReportHtml;
    // -1 cancelled, 0 marked rows, 1 the current row, 2 all rows.
    int PrintChoice = -1;
    // The card sections chosen in the print-settings dialog.
    TCardSections PrintSections;
    void SetupPrintActions();
    // The six print, preview and save commands; the sender names the action.
    void btnPrintClick(QObject *sender);
    // Jobs of the progress window; each leaves its page body in ReportHtml.
    void BuildEnterprisesPrintHtml(QObject *sender);
    void BuildGoodsPrintHtml(QObject *sender);
    // Calls addRow for the rows of PrintChoice, with the result query on
    // each row in turn.
    void WalkPrintRows(TDBGrid &grid, TZReadOnlyQuery &query, const std::function<void()> &addRow);
    void EnablePrintActions(bool enabled);

    // --- banners, idle work and closing (main_banner.cpp) ---
    void AppIdle();
    // Always allows closing; the local version shows its closing banner.
    void FormCloseQuery(bool &CanClose);

    // --- information tabs of the network version (main_pages.cpp) ---
    QTabWidget *PagesControl = nullptr; // none without information folders
    void CreatePages();
    void PageShow(QWidget *sheet);
    void FindInPage();
    void btnPagesFindClick();
    void Edit1Change();
    void Edit1KeyDown(int key, Qt::KeyboardModifiers shift);
    void PageViewerKeyDown(QTextBrowser *viewer, int key, Qt::KeyboardModifiers shift);
    void Button2Click();
    // --- help menu and the remarks button (main_help.cpp) ---
    QToolButton *ToolButton7 = nullptr;
    void SetupHelp();
    void N8Click();
    void N10Click();
    void N11Click();
    void ToolButton7Click();

    // The eight search boxes with histories, in the order of the settings.
    QList<QComboBox *> HistoryBoxes() const;
    // How many times the start-up connected (one, or two after switching to
    // the current catalogue database).
    int ConnectCount() const { return m_connectCount; }

    void closeEvent(QCloseEvent *event) override;
    // The first show gives the tree its starting width.
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    void SetupToolBar();
    // Shows the message of a start-up failure and ends the program.
    [[noreturn]] void StartupFailure(const QString &text);
    [[noreturn]] void FileNotFound(const QString &path);
    [[noreturn]] void ConnectFailure();
    void ConnectOrFail();
    void LoadCitySettings();
    void LoadTransferCities();
    void DetectFirmPrd();
    void SetupTree();
    void SetupSearch();
    void SetupResults();
    void SetupGoodPanel();
    void SetupEnprPanel();
    void SetupCardViewer();
    // The named handlers of one result side, bound to its grid, query and
    // data source.
    struct TPaneHandlers {
        void (TfrmMain::*drawColumnCell)(const QRect &, int, TColumn *, TGridDrawState);
        void (TfrmMain::*titleClick)(TColumn *);
        void (TfrmMain::*dblClick)();
        void (TfrmMain::*keyDown)(int &, TShiftState);
        void (TfrmMain::*calcFields)(TDataSet &);
        void (TfrmMain::*dataChange)();
        void (TfrmMain::*panelResize)();
    };
    void WirePane(TResultPane &pane, const TPaneHandlers &handlers);
    void SetupViewSwitches();
    void SetupLayout();
    // The row of a result grid that a double click, Enter or Space acts on.
    void OpenPriceOfRow(TDataSet &query, bool withGood);
    void OpenPhonesOfRow(TCustomDBGrid *grid, TDataSet &query, bool withGood);
    void ShowRichStr(bool show);
    void ShowFullRecv(bool show);
    void DollarChanged();
    void FillRegionList(TZReadOnlyQuery &query, QComboBox *combo, int cid, const QString &sql,
                        const QString &nameColumn);
    void AddTreeChildren(QTreeWidgetItem *cityNode, int cid);
    void UpdateTreeIcons(QTreeWidgetItem *node);
    void UpdateHistoryButtons();
    void MoveEntry(QAction *entry, QMenu *to);
    void GoToEntry(QAction *entry, QMenu *from, QMenu *to);
    int RandomBelow(int n);
    void HookAppIdle();
    // typing: search as you type, which refines the match it found before.
    void FindInPageFrom(bool typing);

    QLabel *m_statusPanel0 = nullptr;
    bool m_treeChangeAttached = true;
    std::function<int(int)> m_random;

    int m_connectCount = 0;
    bool m_settingsLoaded = false;
    bool m_treeWidthSet = false;
};

// One row of the printed goods table for one good, read with the lent query
// (left closed).
void BuildGoodRowHtml(TZReadOnlyQuery &query, int cid, int fid, int adr_id, qint64 id, QString &row);

// The one main window of the program.
extern TfrmMain *frmMain;

// The two telephony messages, registered at start.
extern quint32 PhoneSendMessageId;
extern quint32 PhoneQueryMessageId;
