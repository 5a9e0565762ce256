// The telephones window: rows, colours, transfer numbers, wrapped discount
// lines, keys and the double click, with the stand-in telephony program.
#include "windows/phones.h"

#include "windows/telephony_fixture.h"

#include <QListWidget>
#include <QPlainTextEdit>

namespace {

struct TShown {
    QStringList rows;
    QStringList numbers;
    QStringList colours; // per row: blue, red, black
    bool closed = false;
};

QString RowColour(QListWidget *list, int row)
{
    const QImage image = list->viewport()->grab().toImage();
    const QRect rect = list->visualItemRect(list->item(row)).intersected(image.rect());
    bool blue = false, red = false, black = false;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            blue |= c.blue() > 180 && c.red() < 90 && c.green() < 90;
            red |= c.red() > 180 && c.blue() < 90 && c.green() < 90;
            black |= c.red() < 70 && c.green() < 70 && c.blue() < 70;
        }
    return blue ? QStringLiteral("blue") : red ? QStringLiteral("red") : black ? QStringLiteral("black") : QString();
}

class PhonesWindow : public TTelephonyWindow
{
protected:
    void TearDown() override
    {
        SetPhonesShownHook({});
        TTelephonyWindow::TearDown();
    }
    // Opens the window; act runs on it once it is up and must close it.
    TShown Show(int cid, int fid, const std::function<void(TfrmPhones &)> &act, int adr = 0)
    {
        TShown shown;
        SetPhonesShownHook([&](TfrmPhones &form) {
            for (int i = 0; i < form.ListBox1->count(); ++i) {
                shown.rows << form.ListBox1->item(i)->text();
                shown.colours << RowColour(form.ListBox1, i);
            }
            for (int i = 0; i < form.ListBox2->count(); ++i)
                shown.numbers << form.ListBox2->item(i)->text();
            act(form);
            shown.closed = !form.isVisible();
            form.close();
        });
        ShowFirmPhones(Peer(*w).Query1(), cid, fid, adr, 0);
        return shown;
    }
    static void Key(TfrmPhones &form, Qt::Key key) { QTest::keyClick(form.ListBox1, key); }
    void MakeFirms()
    {
        SetTodayHook([] { return QDate(2026, 12, 9); });
        Exec(QStringLiteral(
            "insert into phone values (343,9001,1,'(343) 123-45-67','343','1234567',1);"
            "insert into phone values (343,9001,1,'234-56-78','','2345678',2);"
            "insert into phone values (343,9001,1,'8-912-345-67-89 (сот.)','912','3456789',3);"
            "insert into phone values (343,9001,1,'(3435) 123-45-67','3435','1234567',4);"
            "insert into phone values (343,9001,1,'','343','1111111',5);"
            "insert into discount values (343,9001,1,'a','Осенняя распродажа мебели для дома и офиса со скидками до "
            "сорока процентов на всё','2026-09-01','2026-12-31');"
            "insert into discount values (343,9001,1,'d','Скидка 5%','2026-01-01','2100-01-01');"
            "insert into discount values (343,9001,1,'d','Прошедшая','2025-01-01','2025-02-01');"
            "insert into discount values (343,9002,0,'a','Вечная акция','2026-01-01','2100-01-01');"));
    }
};

TEST_F(PhonesWindow, TransferNumbersAreBlueAndADoubleClickTransfersThem)
{
    StartLocal();
    MakeFirms();
    StartStub();
    const TShown shown = Show(343, 9001, [&](TfrmPhones &form) {
        SaveShot(&form, QStringLiteral("phones_local"));
        QListWidget *list = form.ListBox1;
        for (int row : {2, 3, 5, 0}) {
            const QRect rect = list->visualItemRect(list->item(row));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        }
        Key(form, Qt::Key_Space);
    });
    EXPECT_TRUE(shown.closed) << "Space closes";
    ASSERT_GE(shown.rows.size(), 7);
    EXPECT_EQ(shown.rows.mid(0, 4),
              (QStringList{QStringLiteral("(343) 123-45-67"), QStringLiteral("234-56-78"),
                           QStringLiteral("8-912-345-67-89 (сот.)"), QStringLiteral("(3435) 123-45-67")}));
    EXPECT_EQ(shown.numbers,
              (QStringList{QStringLiteral("3431234567"), QStringLiteral("3432345678"), QString(), QString()}));
    // Latest end first: the open-ended discount shows no period; the
    // promotion wraps at the memo's width into several red rows; the past
    // one is not listed.
    const QStringList discount = shown.rows.mid(4);
    EXPECT_GE(discount.size(), 3);
    EXPECT_EQ(discount.first(), QStringLiteral("Скидка 5%"));
    EXPECT_EQ(discount.mid(1).join(u' '),
              QStringLiteral("Осенняя распродажа мебели для дома и офиса со скидками до сорока процентов на всё "
                             "Акция проводится с 2026-09-01 по 2026-12-31"));
    EXPECT_EQ(shown.colours.mid(0, 4), (QStringList{QStringLiteral("blue"), QStringLiteral("blue"),
                                                    QStringLiteral("black"), QStringLiteral("black")}));
    for (const QString &c : shown.colours.mid(4))
        EXPECT_EQ(c, QStringLiteral("red"));
    // Only the blue row went to the telephony program (row 5 is a discount
    // line); its log line comes from the other process in its own time.
    ASSERT_TRUE(stub->WaitForCount(QStringLiteral("transfer "), 1));
    testbus::RunUntil([] { return false; }, 200);
    EXPECT_EQ(stub->Lines(QStringLiteral("transfer ")), QStringList{QStringLiteral("3431234567")});
}

TEST_F(PhonesWindow, WithoutTransferEveryTelephoneIsBlackAndEscAndEnterClose)
{
    StartLocal(QStringLiteral("count=1\ncity_1=351\n"));
    MakeFirms();
    StartStub();
    const TShown esc = Show(343, 9001, [](TfrmPhones &form) { Key(form, Qt::Key_Escape); });
    EXPECT_TRUE(esc.closed);
    EXPECT_TRUE(stub->Lines(QStringLiteral("query ")).isEmpty()) << "343 does not transfer";
    EXPECT_EQ(esc.numbers, (QStringList{QString(), QString(), QString(), QString()}));
    EXPECT_EQ(esc.colours.mid(0, 4), QStringList(4, QStringLiteral("black")));

    // A firm without telephones: one black row, then its discounts in red.
    const TShown enter = Show(343, 9002, [](TfrmPhones &form) { Key(form, Qt::Key_Return); });
    EXPECT_TRUE(enter.closed);
    EXPECT_EQ(enter.rows, (QStringList{QStringLiteral("Телефоны отсутствуют"), QStringLiteral("Вечная акция")}));
    EXPECT_EQ(enter.numbers, QStringList{QString()});
    EXPECT_EQ(enter.colours, (QStringList{QStringLiteral("black"), QStringLiteral("red")}));
}

TEST_F(PhonesWindow, SpaceOnAnOrganisationRowOpensItInTheNetworkVersion)
{
    REQUIRE_MYSQL();
    UseNetworkSample(QStringLiteral("[transfer_city]\ncount=1\ncity_1=343\n"));
    w = Start();
    StartStub();
    w->show();
    Select(*w, City(EnprRoot(*w), 343));
    ASSERT_GT(EnprRows(*w).RecordCount(), 0);
    const int fid = EnprRows(*w).FieldByName(QStringLiteral("fid")).AsInteger();
    const int adr = EnprRows(*w).FieldByName(QStringLiteral("adr_id")).AsInteger();
    // The numbers the sample holds for that address, as the window lists them.
    QStringList expected;
    const QStringList rows = Column(
        QStringLiteral("select allinfo || '|' || trim(code) || '|' || trim(phone) from phone where cid=343 and fid=") +
        QString::number(fid) + QStringLiteral(" and adr_id in (0,") + QString::number(adr) +
        QStringLiteral(") and allinfo<>'' order by adr_id, prior"));
    for (const QString &row : rows) {
        QString number = row.section(u'|', 1, 1);
        if (number.isEmpty())
            number = QStringLiteral("343");
        number += row.section(u'|', 2, 2);
        expected << (number.size() == 10 && number[0] != u'9' ? number : QString());
    }
    if (expected.isEmpty())
        expected << QString();
    TShown shown;
    SetPhonesShownHook([&](TfrmPhones &form) {
        for (int i = 0; i < form.ListBox2->count(); ++i)
            shown.numbers << form.ListBox2->item(i)->text();
        SaveShot(&form, QStringLiteral("phones"));
        form.close();
    });
    QTest::keyClick(Get<TDBGrid>(*w, "DBGrid2"), Qt::Key_Space);
    EXPECT_EQ(shown.numbers, expected);
    EXPECT_FALSE(stub->Lines(QStringLiteral("query ")).isEmpty());
}

} // namespace
