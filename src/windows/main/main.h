#pragma once
// The main window: start-up (configuration, the database in one of the two
// deployments, the user's settings) and the catalogue's views. The work is
// split by concern over the main_*.cpp files.

#include "platform/connection.h"
#include "platform/inifile.h"
#include "platform/query.h"
#include "platform/usersettings.h"
#include "windows/main/historyrec.h"

#include <QMainWindow>
#include <QStringList>

#include <memory>

class QComboBox;
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

    void FormCreate();
    // Returns only on success; a failure it detects shows its message and
    // ends the program.
    void ConnectDatabase();
    void LoadSettings();
    void SaveSettings();
    void FormClose();
    void N5Click();

    // The eight search boxes with histories, in the order of the settings.
    QList<QComboBox *> HistoryBoxes() const;
    // How many times the start-up connected (one, or two after switching to
    // the current catalogue database).
    int ConnectCount() const { return m_connectCount; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void SetupToolBar();
    // Shows the message of a start-up failure and ends the program.
    [[noreturn]] void StartupFailure(const QString &text);
    [[noreturn]] void FileNotFound(const QString &path);
    [[noreturn]] void ConnectFailure();
    void ConnectOrFail();
    // The data date for the caption (the catalogue-date service replaces it).
    QString CaptionDateText();
    void LoadCitySettings();
    void LoadTransferCities();
    void DetectFirmPrd();

    int m_connectCount = 0;
    bool m_settingsLoaded = false;
};

// The one main window of the program.
extern TfrmMain *frmMain;
