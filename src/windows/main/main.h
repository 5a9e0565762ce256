#pragma once
// The main window: start-up (configuration, the database in one of the two
// deployments, the user's settings) and the catalogue's views. The work is
// split by concern over the main_*.cpp files.

#include "platform/connection.h"
#include "platform/datasource.h"
#include "platform/inifile.h"
#include "platform/query.h"
#include "platform/usersettings.h"
#include "windows/main/historyrec.h"

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
class QMenu;
class QToolButton;
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

    Ui::TfrmMain *ui;

    QString AppDir; // ends with "/"
    std::unique_ptr<TIniFile> IniFile;
    std::unique_ptr<TRegistryIniFile> RegIni;
    THistoryRec History;
    QStringList TransferCities;
    qintptr PhoneWnd = -1;
    bool FirmHasPrd = false;
    bool BannerButton = false;
    int MainCity = 0; // the city listed first in the tree, 0 none
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

    // The eight search boxes with histories, in the order of the settings.
    QList<QComboBox *> HistoryBoxes() const;
    // How many times the start-up connected (one, or two after switching to
    // the current catalogue database).
    int ConnectCount() const { return m_connectCount; }

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
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
    void FillRegionList(TZReadOnlyQuery &query, QComboBox *combo, int cid, const QString &sql);
    void AddTreeChildren(QTreeWidgetItem *cityNode, int cid);
    void UpdateTreeIcons(QTreeWidgetItem *node);
    void UpdateHistoryButtons();
    void MoveEntry(QAction *entry, QMenu *to);
    int RandomBelow(int n);

    QLabel *m_statusPanel0 = nullptr;
    bool m_treeChangeAttached = true;
    std::function<int(int)> m_random;

    int m_connectCount = 0;
    bool m_settingsLoaded = false;
};

// The one main window of the program.
extern TfrmMain *frmMain;
