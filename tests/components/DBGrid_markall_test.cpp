// Marking every row of a query result under the real progress window: the
// count, the texts, the record put back, nothing calculated on the way,
// cancel, and an error half-way.
#include "DBGrid_fixture.h"

#include "components/Progress.h"
#include "components/givLabel.h"
#include "platform/application.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/query.h"
#include "platform/screen.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>

using namespace markgrid;

namespace {

// A result grid over an SQLite query of goods id 1..rows whose calculated
// fields record the id of every record they are computed for.
struct QueryGrid {
    QTemporaryDir dir;
    TZConnection connection;
    TZReadOnlyQuery query{&connection};
    TDataSource source;
    TDBGrid grid;
    std::vector<int> calculated;

    explicit QueryGrid(int rows)
    {
        connection.Protocol = QStringLiteral("sqlite-3");
        connection.Database = dir.filePath(QStringLiteral("marks.db"));
        connection.Connect();
        connection.ExecuteDirect(QStringLiteral("create table good (id integer primary key, name text, price real)"));
        if (rows > 0)
            connection.ExecuteDirect(
                QStringLiteral("insert into good select x, 'good ' || x, x * 1.5 from (with recursive "
                               "c(x) as (select 1 union all select x + 1 from c where x < %1) "
                               "select x from c)")
                    .arg(rows));
        query.SetSQL(QStringLiteral("select id, name, price from good order by id"));
        source.SetDataSet(&query);
        ShowGrid(grid, source);
        query.OnCalcFields = [this](TDataSet &ds) {
            calculated.push_back(ds.FieldByName(QStringLiteral("id")).AsInteger());
        };
        query.Open();
    }

    // Puts row recNo a few places above the bottom of the screen.
    void StandOn(int recNo)
    {
        query.SetRecNo(recNo + 3);
        query.MoveBy(-3);
    }

    std::vector<int> Marked() { return MarkedRecNos(grid, query); }
};

// What the walk looked like from inside: every scroll while the calculated
// fields were detached is one row of the walk.
struct WalkWatch {
    int walked = 0;
    bool hourGlassOff = true;
    bool controlsOff = true;
    QStringList texts;
    QString caption;
    int barMaximum = -1;

    void Attach(TDataSet &ds, TZConnection &connection, std::function<void(int recNo)> extra = {})
    {
        ds.AfterScroll = [this, &connection, extra](TDataSet &d) {
            if (d.OnCalcFields)
                return; // putting the record back, after the walk
            walked = std::max(walked, d.RecNo());
            hourGlassOff = hourGlassOff && !connection.SQLHourGlass;
            controlsOff = controlsOff && d.ControlsDisabled();
            const QString text = frmProgress->givHTMLabel1->Lines().join(QString());
            if (text.startsWith(S(u" Отмечено")) && (texts.isEmpty() || texts.back() != text))
                texts << text;
            caption = frmProgress->windowTitle();
            barMaximum = frmProgress->ProgressBar1->maximum();
            if (extra)
                extra(d.RecNo());
        };
    }
};

QStringList ExpectedTexts(int rows)
{
    QStringList texts;
    for (int n = 0; n < rows; ++n)
        if (n < 10 || (n < 100 && n % 10 == 0) || n % 100 == 0)
            texts << S(u" Отмечено ") + QString::number(n) + S(u" позиций");
    return texts;
}

} // namespace

TEST(DBGridMarkAll, ThousandRowsMarkedWithoutCalculatingAndTheRowPutBack)
{
    QueryGrid f(1000);
    f.StandOn(500);
    const int place = f.grid.DataLink().ActiveRecord();
    const int screenRow = f.grid.Row();
    const int shown = f.grid.DataLink().BufferCount();
    ASSERT_GT(place, 0);
    ASSERT_TRUE(f.connection.SQLHourGlass);
    WalkWatch watch;
    watch.Attach(f.query, f.connection);
    f.calculated.clear();

    f.grid.MarkAllPositions(1000);

    EXPECT_EQ(f.grid.MarkedRows().MarkedCount(), 1000);
    EXPECT_EQ(watch.walked, 1000);
    EXPECT_TRUE(watch.controlsOff);
    EXPECT_TRUE(watch.hourGlassOff);
    EXPECT_EQ(watch.caption, S(u"Пометить позиции ..."));
    EXPECT_EQ(watch.barMaximum, 1000);
    EXPECT_EQ(watch.texts, ExpectedTexts(1000));
    EXPECT_EQ(watch.texts.back(), S(u" Отмечено 900 позиций"));

    EXPECT_FALSE(frmProgress->isVisible());
    EXPECT_TRUE(f.connection.SQLHourGlass);
    EXPECT_FALSE(f.query.ControlsDisabled());
    EXPECT_EQ(f.query.RecNo(), 500);
    EXPECT_EQ(f.grid.DataLink().ActiveRecord(), place);
    EXPECT_EQ(f.grid.Row(), screenRow);
    // Only the rows back on screen were calculated, once the walk was over.
    ASSERT_FALSE(f.calculated.empty());
    EXPECT_LE(int(f.calculated.size()), shown);
    const int top = 500 - place;
    for (int id : f.calculated)
        EXPECT_TRUE(id >= top && id < top + shown) << id;

    // Everything marked: the menu no longer offers to mark all.
    f.grid.PositionMenuPopup();
    EXPECT_FALSE(f.grid.MarkAllItem->isEnabled());
}

TEST(DBGridMarkAll, CancelKeepsExactlyTheRowsWalked)
{
    QueryGrid f(1000);
    f.StandOn(40);
    const int place = f.grid.DataLink().ActiveRecord();
    const int screenRow = f.grid.Row();
    WalkWatch watch;
    bool clicked = false;
    watch.Attach(f.query, f.connection, [&](int recNo) {
        if (recNo == 150 && !clicked) {
            clicked = true;
            // Seen at the next text the walk shows.
            QMetaObject::invokeMethod(
                qApp, [] { QTest::mouseClick(frmProgress->Button1, Qt::LeftButton); }, Qt::QueuedConnection);
        }
    });

    f.grid.MarkAllPositions(1000);

    EXPECT_TRUE(clicked);
    EXPECT_EQ(watch.walked, 201); // the cancel is seen at " Отмечено 200 позиций"
    EXPECT_FALSE(frmProgress->isVisible());
    EXPECT_TRUE(f.connection.SQLHourGlass);
    EXPECT_FALSE(f.query.ControlsDisabled());
    EXPECT_EQ(f.query.RecNo(), 40);
    EXPECT_EQ(f.grid.DataLink().ActiveRecord(), place);
    EXPECT_EQ(f.grid.Row(), screenRow);
    const std::vector<int> marked = f.Marked();
    ASSERT_EQ(int(marked.size()), watch.walked);
    EXPECT_EQ(marked.front(), 1);
    EXPECT_EQ(marked.back(), watch.walked);
}

TEST(DBGridMarkAll, ErrorHalfWayRestoresEverythingAndReachesTheDefaultHandler)
{
    QueryGrid f(300);
    f.StandOn(20);
    const int place = f.grid.DataLink().ActiveRecord();
    const int cursor = Screen::ActiveCursor();
    WalkWatch watch;
    watch.Attach(f.query, f.connection, [](int recNo) {
        if (recNo == 50)
            throw EDatabaseError(QStringLiteral("Lost connection"));
    });
    QStringList shown;
    TApplication::SetExceptionHandler([&](const QString &text) { shown << text; });
    const bool handled = TApplication::DeliverSafely([&] {
        f.grid.MarkAllItem->trigger();
        return true;
    });
    TApplication::SetExceptionHandler(nullptr);

    // Handled by the menu item itself: nothing reaches the event delivery.
    EXPECT_TRUE(handled);
    EXPECT_EQ(shown, QStringList{QStringLiteral("Lost connection")});
    EXPECT_FALSE(frmProgress->isVisible());
    EXPECT_FALSE(frmProgress->Busy());
    EXPECT_EQ(Screen::ActiveCursor(), cursor);
    EXPECT_TRUE(f.connection.SQLHourGlass);
    EXPECT_FALSE(f.query.ControlsDisabled());
    EXPECT_EQ(f.query.RecNo(), 20);
    EXPECT_EQ(f.grid.DataLink().ActiveRecord(), place);
    // The rows marked before the error stay marked.
    EXPECT_EQ(f.grid.MarkedRows().MarkedCount(), 49);

    // The calculated fields are back: a new record entering the screen is calculated.
    ASSERT_TRUE(bool(f.query.OnCalcFields));
    f.calculated.clear();
    f.query.Last();
    EXPECT_FALSE(f.calculated.empty());

    // And the grid marks all again once the trouble is gone.
    f.query.AfterScroll = nullptr;
    f.grid.MarkAllPositions(300);
    EXPECT_EQ(f.grid.MarkedRows().MarkedCount(), 300);
}

TEST(DBGridMarkAll, EmptyClosedAndHourGlassOffResults)
{
    QueryGrid f(0);
    f.grid.MarkAllPositions(0);
    EXPECT_EQ(f.grid.MarkedRows().MarkedCount(), 0);
    EXPECT_FALSE(frmProgress->isVisible());

    // A switch that was off stays off.
    f.connection.SQLHourGlass = false;
    f.grid.MarkAllPositions(0);
    EXPECT_FALSE(f.connection.SQLHourGlass);

    // On a closed result nothing runs.
    f.query.Close();
    bool ran = false;
    f.query.AfterScroll = [&](TDataSet &) { ran = true; };
    f.grid.MarkAllPositions(10);
    EXPECT_FALSE(ran);
    EXPECT_FALSE(frmProgress->Busy());
    EXPECT_EQ(f.grid.MarkedRows().MarkedCount(), 0);
}
