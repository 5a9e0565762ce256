#include "platform/dbctrls.h"

#include "data/dataset_mem.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTest>

namespace {

struct TTextFixture {
    TMemDataSet ds;
    TDataSource source;
    TDBText text;
    TTextFixture()
    {
        ds.AddColumn(QStringLiteral("name"), ftString, 20);
        ds.AppendRow({QStringLiteral("первый")});
        ds.AppendRow({QStringLiteral("второй")});
        source.SetDataSet(&ds);
        text.SetDataSource(&source);
        text.SetDataField(QStringLiteral("name"));
    }
};

} // namespace

TEST(DBText, FollowsTheCurrentRecordAndEmptiesWhenClosed)
{
    TTextFixture f;
    EXPECT_EQ(f.text.text(), QString());
    f.ds.Open();
    EXPECT_EQ(f.text.text(), QStringLiteral("первый"));
    f.ds.Next();
    EXPECT_EQ(f.text.text(), QStringLiteral("второй"));
    f.source.SetEnabled(false);
    EXPECT_EQ(f.text.text(), QString());
    f.source.SetEnabled(true);
    EXPECT_EQ(f.text.text(), QStringLiteral("второй"));
    f.ds.Close();
    EXPECT_EQ(f.text.text(), QString());
    EXPECT_EQ(f.text.Field(), nullptr);
}

TEST(DBText, HintIsShownOnlyWhenSwitchedOnAndMouseMovesAreReported)
{
    TTextFixture f;
    f.text.SetHint(QStringLiteral("длинный текст"));
    EXPECT_EQ(f.text.toolTip(), QString());
    f.text.SetShowHint(true);
    EXPECT_EQ(f.text.toolTip(), QStringLiteral("длинный текст"));

    int moves = 0;
    f.text.OnMouseMove = [&](TDBText *sender) {
        EXPECT_EQ(sender, &f.text);
        ++moves;
    };
    f.text.resize(100, 20);
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&f.text, &move);
    EXPECT_EQ(moves, 1);
}
