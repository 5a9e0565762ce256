#include "windows/main/main.h"

#include "ui_main.h"

#include "components/SDialogs.h"
#include "components/replfont.h"
#include "platform/application.h"
#include "platform/mutex.h"
#include "data/regularfile.h"
#include "services/fielddefs.h"
#include "services/globals.h"
#include "services/history_combo.h"
#include "services/htmlpage.h"
#include "services/sqlite_func.h"
#include "services/tools_dbdate.h"
#include "services/vtbl.h"
#include "windows/cursor.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QToolButton>
#include <QTreeWidget>

TfrmMain *frmMain = nullptr;

namespace {

// Large enough for any real list of cities; a damaged count must not make
// the start-up build billions of entries.
constexpr int kMaxTransferCities = 10000;

QString WithSlash(const QString &dir)
{
    return dir.endsWith(u'/') ? dir : dir + u'/';
}

} // namespace

TfrmMain::TfrmMain(const QString &appDir, QWidget *parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TfrmMain>()), AppDir(appDir)
{
    ui->setupUi(this);
    SetupToolBar();
    SetupTree();
    SetupSearch();
    SetupResults();
    SetupHelp();
    SetupTelephony();
    connect(btnBack, &QToolButton::clicked, this, GuardedSlot(this, &TfrmMain::btnBackClick));
    connect(btnNext, &QToolButton::clicked, this, GuardedSlot(this, &TfrmMain::btnNextClick));
    ZSQLMonitor1.MaxTraceCount = 100;
    ZConnection1.SetMonitor(&ZSQLMonitor1);
    connect(ui->N5, &QAction::triggered, this, GuardedSlot(this, &TfrmMain::N5Click));
    // Centred on the screen at its designed size; placed before the start-up
    // because moving a window drops a maximised state read there.
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    // A failure the start-up detects itself ends the program (the halt
    // passes). Any other error ends it too, after its text is shown: the
    // steps after the failed one (result fields, tree, settings) would be
    // missing, and every later search would fail on them.
    try {
        FormCreate();
    } catch (const EApplicationHalt &) {
        throw;
    } catch (...) {
        TApplication::HandleException();
        TApplication::Halt(1);
    }
}

TfrmMain::~TfrmMain()
{
    if (CardTelephony() == &m_telephony)
        SetCardTelephony(nullptr);
}

void TfrmMain::SetupToolBar()
{
    const auto make = [this](const QString &name, const QString &text, QMenu **menu, const QString &menuName) {
        auto *button = new QToolButton(ui->ToolBar1);
        button->setObjectName(name);
        button->setText(text);
        button->setToolTip(text);
        button->setPopupMode(QToolButton::MenuButtonPopup);
        *menu = new QMenu(button);
        (*menu)->setObjectName(menuName);
        button->setMenu(*menu);
        button->setEnabled(false);
        ui->ToolBar1->addWidget(button);
        return button;
    };
    btnBack = make(QStringLiteral("btnBack"), QStringLiteral("Назад"), &mnuBack, QStringLiteral("mnuBack"));
    btnNext = make(QStringLiteral("btnNext"), QStringLiteral("Вперед"), &mnuNext, QStringLiteral("mnuNext"));
    SetupPrintActions();
}

QList<QComboBox *> TfrmMain::HistoryBoxes() const
{
    return {ui->cbFindEnprName, ui->cbFindEnprAttr,   ui->cbFindEnprPost, ui->cbFindEnprPhone,
            ui->cbFindEnprWeb,  ui->cbFindEnprPeople, ui->cbFindGoodName, ui->cbFindGoodEnprName};
}

void TfrmMain::FormCreate()
{
    // 1
    SetFormCharsetRussian(this);
    // 2: created once, held until the process ends; a second instance is
    // not refused, so the result is not examined.
    static TNamedMutex mutex(QStringLiteral("SelbranMutex"));
    // 3
    ZConnection1.SQLHourGlass = false;
    // 4
    AppDir = WithSlash(AppDir.isEmpty() ? QCoreApplication::applicationDirPath() : AppDir);
    // 5
    IniFile = std::make_unique<TIniFile>(AppDir + QStringLiteral("trevin.ini"));
    Protocol = IniFile->ReadString(QStringLiteral("main"), QStringLiteral("protocol"), QStringLiteral("sqlite"));
    // 6
    ConnectDatabase();
    // 7
    LoadGroupLists(Query1);
    // 8
    CreatePages();
    // 9
    DeclareGoodResultFields(Query4, IsNetwork);
    DeclareEnprResultFields(Query5, IsNetwork);
    // 10
    resize(minimumSize());
    // 11
    RegIni = std::make_unique<TRegistryIniFile>(QStringLiteral("Software\\selbran\\trevin\\2.0"));
    LoadSettings();
    // 12: the options of Query4 and Query5 (calculated-field defaults,
    // smart open) join with the result fields.
    // 13
    History = THistoryRec();
    History.Kind = -1;
    History.EnprSortCol = 0;
    History.GoodSortCol = 0;
    // 14
    ui->TreeView->setUpdatesEnabled(false);
    GoodRootNode = new QTreeWidgetItem(ui->TreeView, {QStringLiteral("Товары, Услуги")});
    EnprRootNode = new QTreeWidgetItem(ui->TreeView, {QStringLiteral("Организации")});
    UpdateTreeIcons(GoodRootNode);
    UpdateTreeIcons(EnprRootNode);
    // 15
    setWindowTitle(windowTitle() + QStringLiteral(" Информация от ") + GetDbDateText(Query1) +
                   (IsNetwork ? QStringLiteral(" (сетевая версия)") : QStringLiteral(" (локальная версия)")));
    // 16
    DetectFirmPrd();
    // 17
    LoadCitySettings();
    // 18
    Query1.Close();
    BuildTree();
    ui->TreeView->setUpdatesEnabled(true);
    // 19: selected without the change handler, shown once.
    m_treeChangeAttached = false;
    ui->TreeView->setCurrentItem(GoodRootNode);
    m_treeChangeAttached = true;
    ShowSelectedNode();
    EnprRootNode->setExpanded(true);
    GoodRootNode->setExpanded(true);
    // Typing at once goes into "Товар/услуга:", not into the read-only
    // address line that comes first in the tab order.
    ui->cbFindGoodName->setFocus();
    // 20
    InstallAnimatedCursors();
    // 21
    ZConnection1.SQLHourGlass = true;
    // 22
    HookAppIdle();
    // 23
    PhoneWnd = -1;
    // 24
    RegisterPhoneMessages();
    // 25
    LoadTransferCities();
}

void TfrmMain::ConnectDatabase()
{
    const QString mysqlSection = QStringLiteral("protocol_mysql");
    if (IsMysqlProtocol()) {
        IsNetwork = true;
        ZConnection1.Protocol = QStringLiteral("mysql-4.1");
        QString missing;
        if (!TZConnection::BackendAvailable(ZConnection1.Protocol, &missing))
            FileNotFound(missing);
        ZConnection1.HostName =
            IniFile->ReadString(mysqlSection, QStringLiteral("hostname"), QStringLiteral("127.0.0.1"));
        ZConnection1.Port = IniFile->ReadInteger(mysqlSection, QStringLiteral("port"), 3306);
        ZConnection1.Database =
            IniFile->ReadString(mysqlSection, QStringLiteral("master_database"), QStringLiteral("trevin"));
        ZConnection1.User = IniFile->ReadString(mysqlSection, QStringLiteral("user"), QStringLiteral("mysql_user"));
        ZConnection1.Password = IniFile->ReadString(mysqlSection, QStringLiteral("password"), QString());
        MasterDb = ZConnection1.Database;
        ConnectOrFail();

        Query1.SetSQL(QStringLiteral("select db from current_db"));
        Query1.Open();
        CurrentDb = Query1.FieldByName(QStringLiteral("db")).AsString();
        Query1.Close();
        if (CurrentDb != MasterDb) {
            ZConnection1.Disconnect();
            ZConnection1.Database = CurrentDb;
            ConnectOrFail();
        }
        const QString names = QStringLiteral("set names CP1251");
        Query1.SetSQL(names);
        Query1.ExecSQL();
        Query1.Close();
        ZConnection1.SessionSetup = {names}; // again after a reconnect
        StatDatabase = IniFile->ReadString(mysqlSection, QStringLiteral("stat_database"), QString());
    } else {
        IsNetwork = false;
        ZConnection1.Protocol = QStringLiteral("sqlite-3");
        QString missing;
        if (!TZConnection::BackendAvailable(ZConnection1.Protocol, &missing))
            FileNotFound(missing);
        QString database =
            IniFile->ReadString(QStringLiteral("protocol_sqlite"), QStringLiteral("database"), QString());
        if (database.isEmpty())
            database = AppDir + QStringLiteral("trevin.dat");
        else if (QFileInfo(database).isRelative())
            database = AppDir + database; // beside the program, wherever it was started from
        ZConnection1.Database = database;
        if (!QFileInfo::exists(database))
            FileNotFound(database);
        ++m_connectCount;
        RegisterSqliteFunctions();
        ZConnection1.ReadOnly = true; // the program never changes the catalogue
        ZConnection1.Connect();
    }

    // Known with the log off too: a save must not take its place.
    m_logFile = IniFile->ReadString(QStringLiteral("main"), QStringLiteral("logger_file"), QString());
    if (m_logFile.isEmpty())
        m_logFile = AppDir + QStringLiteral("trevin.log");
    else if (QFileInfo(m_logFile).isRelative())
        m_logFile = AppDir + m_logFile;
    if (IniFile->ReadInteger(QStringLiteral("main"), QStringLiteral("logger"), 0) == 1) {
        const QString &file = m_logFile;
        // Log lines appended to the catalogue file would damage it.
        if (IsNetwork || !SameFile(file, ZConnection1.Database)) {
            ZSQLMonitor1.FileName = file;
            ZSQLMonitor1.AutoSave = true;
            ZSQLMonitor1.Active = true;
        }
    }
}

QStringList TfrmMain::FilesKeptFromSaving() const
{
    // A saved page written over any of them would break the program on its
    // next query or start, or mix with the log's lines.
    QStringList files{IniFile ? IniFile->FileName() : AppDir + QStringLiteral("trevin.ini"),
                      AppDir + QStringLiteral("city_sp/city.ini"), m_logFile};
    if (!IsNetwork)
        files << ZConnection1.Database;
    files.removeAll(QString());
    return files;
}

void TfrmMain::ConnectOrFail()
{
    ++m_connectCount;
    try {
        ZConnection1.Connect();
    } catch (const std::exception &) {
        ConnectFailure();
    }
}

void TfrmMain::StartupFailure(const QString &text)
{
    ShowMessageText(text);
    TApplication::Halt(1);
}

void TfrmMain::FileNotFound(const QString &path)
{
    StartupFailure(QStringLiteral("  Файл ") + QDir::toNativeSeparators(path) + QStringLiteral(" не найден.  "));
}

void TfrmMain::ConnectFailure()
{
    StartupFailure(QStringLiteral("  Ошибка соединения с HostName=") + ZConnection1.HostName +
                   QStringLiteral(", Port=") + QString::number(ZConnection1.Port) + QStringLiteral(", Database=") +
                   ZConnection1.Database + QStringLiteral(", User=") + ZConnection1.User + QStringLiteral("  "));
}

void TfrmMain::DetectFirmPrd()
{
    FirmHasPrd = false;
    if (!IsNetwork)
        return;
    Query1.SetSQL(QStringLiteral("show columns from firm"));
    Query1.Open();
    while (!Query1.Eof()) {
        if (Query1.FieldByName(QStringLiteral("field")).AsString().toUpper() == QStringLiteral("PRD")) {
            FirmHasPrd = true;
            break;
        }
        Query1.Next();
    }
}

void TfrmMain::LoadCitySettings()
{
    BannerButton = false;
    MainCity = 0;
    const QString path = AppDir + QStringLiteral("city_sp/city.ini");
    if (IsNetwork || !QFileInfo::exists(path))
        return;
    const TIniFile city(path);
    MainCity = city.ReadInteger(QStringLiteral("main"), QStringLiteral("main_city"), 0);
    BannerButton = city.ReadInteger(QStringLiteral("main"), QStringLiteral("button"), 0) == 1;
}

void TfrmMain::LoadTransferCities()
{
    TransferCities.clear();
    const QString section = QStringLiteral("transfer_city");
    const int count = qMin(IniFile->ReadInteger(section, QStringLiteral("count"), 0), kMaxTransferCities);
    for (int i = 1; i <= count; ++i)
        TransferCities.append(
            IniFile->ReadString(section, QStringLiteral("city_") + QString::number(i), QStringLiteral("0")));
}

void TfrmMain::LoadSettings()
{
    for (QComboBox *box : HistoryBoxes())
        LoadComboHistory(*RegIni, box, box->objectName());
    if (RegIni->ReadBool(QStringLiteral("state"), QStringLiteral("fullscreen"), false))
        setWindowState(windowState() | Qt::WindowMaximized);
    m_settingsLoaded = true;
}

void TfrmMain::SaveSettings()
{
    // A start that failed before the settings were read must not overwrite
    // the user's histories with empty boxes.
    if (!RegIni || !m_settingsLoaded)
        return;
    for (QComboBox *box : HistoryBoxes())
        SaveComboHistory(*RegIni, box, box->objectName());
    RegIni->WriteBool(QStringLiteral("state"), QStringLiteral("fullscreen"), isMaximized());
    RegIni->Flush();
}

void TfrmMain::FormClose()
{
    SaveSettings();
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    bool canClose = true;
    GuardedEvent([this, &canClose] { FormCloseQuery(canClose); });
    if (!canClose) {
        event->ignore();
        return;
    }
    GuardedEvent([this] { FormClose(); });
    event->accept();
}

void TfrmMain::N5Click()
{
    close();
}
