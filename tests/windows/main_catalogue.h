#pragma once
// The main window started on the generated sample catalogue: locally (the
// file copied into a program folder) or on the test MariaDB (databases
// trevin, trevin_cat, trevin_stat), and the sample file read directly with
// the SQLite C API for expected values that do not go through our layers.

#include "windows/main_fixture.h"
#include "windows/main_peer.h"

#include "services/globals.h"
#include "services/tools_format.h"

#include "components/DBGrid.h"
#include "windows/price/price.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

template <class T> T *Get(TfrmMain &w, const char *name)
{
    T *child = w.findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// The two roots of the classification tree, as the user sees them.
inline QTreeWidgetItem *GoodRoot(TfrmMain &w)
{
    return Get<QTreeWidget>(w, "TreeView")->topLevelItem(0);
}
inline QTreeWidgetItem *EnprRoot(TfrmMain &w)
{
    return Get<QTreeWidget>(w, "TreeView")->topLevelItem(1);
}
// The text of the status bar's first panel.
inline QString StatusText(TfrmMain &w)
{
    return Get<QLabel>(w, "StatusPanel0")->text();
}
// The rows a result grid shows: the goods grid and the organisation grid.
inline TZReadOnlyQuery &GridRows(TfrmMain &w, const char *grid)
{
    return dynamic_cast<TZReadOnlyQuery &>(*Get<TDBGrid>(w, grid)->DataSource()->DataSet());
}
inline TZReadOnlyQuery &GoodRows(TfrmMain &w)
{
    return GridRows(w, "DBGrid1");
}
inline TZReadOnlyQuery &EnprRows(TfrmMain &w)
{
    return GridRows(w, "DBGrid2");
}
// Presses Enter on the grid, which opens the firm window and runs its own
// loop; act gets the window once it is up, and closes it. False when no
// firm window came up.
inline bool EnterOnGrid(TfrmMain &w, const char *grid, const std::function<void(TfrmPrice &)> &act)
{
    bool came = false;
    QTimer look;
    look.setInterval(5);
    QObject::connect(&look, &QTimer::timeout, [&] {
        auto *price = qobject_cast<TfrmPrice *>(QApplication::activeModalWidget());
        if (!price || !price->isVisible())
            return;
        look.stop();
        came = true;
        act(*price);
    });
    look.start();
    auto *g = Get<TDBGrid>(w, grid);
    g->setFocus();
    QTest::keyClick(g, Qt::Key_Return);
    look.stop();
    QCoreApplication::processEvents();
    return came;
}
// With TREVIN_SCREENSHOTS naming a folder, the widget as shown goes there
// as name.png, for a person to look at.
inline void SaveShot(QWidget *widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("TREVIN_SCREENSHOTS");
    if (!dir.isEmpty())
        widget->grab().save(dir + u'/' + name + QStringLiteral(".png"));
}
inline void Click(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

class TSampleWindow : public TMainWindowFixture
{
protected:
    void TearDown() override
    {
        SetTodayHook({});
        TMainWindowFixture::TearDown();
    }

    // A program folder holding a copy of the sample catalogue.
    void UseLocalSample(const QString &extraIni = QString())
    {
        QFile::remove(Path(QStringLiteral("trevin.dat")));
        ASSERT_TRUE(QFile::copy(testenv::SampleCatalogue(), Path(QStringLiteral("trevin.dat"))));
        WriteIni(QStringLiteral("[main]\nprotocol=sqlite\n") + extraIni);
    }
    void UseNetworkSample(const QString &extraIni = QString())
    {
        const testenv::MysqlServer s = testenv::Mysql();
        WriteIni(ServerIni(s.master, s.stat) + QStringLiteral("[main]\nprotocol=mysql\n") + extraIni);
    }
    void Use(bool network, const QString &extraIni = QString())
    {
        if (network)
            UseNetworkSample(extraIni);
        else
            UseLocalSample(extraIni);
    }

    // Runs SQL on the sample file itself; the first column of every row as text.
    QStringList Column(const QString &sql)
    {
        QStringList out;
        sqlite3 *db = nullptr;
        EXPECT_EQ(sqlite3_open(testenv::SampleCatalogue().toUtf8().constData(), &db), SQLITE_OK);
        sqlite3_stmt *st = nullptr;
        const QByteArray bytes = ToCp1251(sql);
        EXPECT_EQ(sqlite3_prepare_v2(db, bytes.constData(), int(bytes.size()), &st, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        while (st && sqlite3_step(st) == SQLITE_ROW) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st, 0));
            out << (text ? FromCp1251(text, sqlite3_column_bytes(st, 0)) : QString());
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        return out;
    }
    int Scalar(const QString &sql) { return Column(sql).value(0).toInt(); }
    // Runs SQL on the program folder's copy.
    void Exec(const QString &sql) { ExecSqliteFile(Path(QStringLiteral("trevin.dat")), ToCp1251(sql)); }

    static QStringList Texts(const QTreeWidgetItem *node)
    {
        QStringList out;
        for (int i = 0; i < node->childCount(); ++i)
            out << node->child(i)->text(0);
        return out;
    }
    static QStringList Items(const QComboBox *box)
    {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i) + u'=' + QString::number(box->itemData(i).toInt());
        return out;
    }
    static QTreeWidgetItem *Child(QTreeWidgetItem *node, const QString &text)
    {
        for (int i = 0; i < node->childCount(); ++i)
            if (node->child(i)->text(0) == text)
                return node->child(i);
        return nullptr;
    }
    static QTreeWidgetItem *City(QTreeWidgetItem *root, int cid)
    {
        for (int i = 0; i < root->childCount(); ++i)
            if (TfrmMainTestPeer::NodeNumber(root->child(i)) == cid)
                return root->child(i);
        return nullptr;
    }
    static void Select(TfrmMain &w, QTreeWidgetItem *node) { Get<QTreeWidget>(w, "TreeView")->setCurrentItem(node); }
};

// The sample window in the deployment the parameter names: local (false) or
// on the test MariaDB (true). A derived SetUp goes on only when !IsSkipped().
class TSampleDeployment : public TSampleWindow, public ::testing::WithParamInterface<bool>
{
protected:
    void SetUp() override
    {
        TSampleWindow::SetUp();
        if (GetParam() && !testenv::HaveMysql())
            GTEST_SKIP() << "no test MariaDB (set TREVIN_MYSQL_PORT)";
        Use(GetParam());
    }
};

} // namespace
