// The main window's side of the telephony link, with the stand-in program
// in a second process on a private session bus.
#include "windows/telephony_fixture.h"

#include "services/tools_viewer.h"
#include "windows/price/price.h"

#include "silentsocket.h"

#include <QApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QTextBrowser>

#include <csignal>
#include <cstdlib>
#include <iostream>

namespace {

class MainTelephony : public TTelephonyWindow
{};

void ClickLink(TfrmMain &w, const QString &link)
{
    emit Get<QTextBrowser>(w, "HTMLViewer1")->anchorClicked(QUrl(link));
}

TEST_F(MainTelephony, AnnouncementIsAnsweredWithTheWindowsHandle)
{
    StartLocal();
    EXPECT_EQ(Peer(*w).PhoneWnd(), -1);
    StartStub();
    EXPECT_EQ(stub->Lines(QStringLiteral("reply ")), QStringList{QString::number(Peer(*w).Handle())});

    // An announcement carrying the window's own handle changes nothing and
    // is not answered.
    stub->Send(QStringLiteral("announce-as ") + QString::number(Peer(*w).Handle()));
    ASSERT_TRUE(stub->WaitFor(QStringLiteral("announced ")));
    testbus::RunUntil([] { return false; }, 300);
    EXPECT_EQ(Peer(*w).PhoneWnd(), stub->Handle());
    EXPECT_EQ(stub->Lines(QStringLiteral("reply ")).size(), 1);

    // A later announcement of another program replaces the first.
    TPhoneStub second;
    ASSERT_TRUE(second.Started());
    ASSERT_TRUE(testbus::RunUntil([&] { return Peer(*w).PhoneWnd() == second.Handle(); }));
}

TEST_F(MainTelephony, AForgedAnnouncementDoesNotSetTwoCataloguesAnsweringEachOther)
{
    StartLocal();
    TCatalogueProcess other(testbus::TPrivateBus::Address());
    ASSERT_TRUE(other.Started());
    qint64 otherHandle = 0;
    ASSERT_TRUE(testbus::RunUntil(
        [&] {
            for (qint64 handle : HandlesOnBus())
                if (handle != Peer(*w).Handle())
                    otherHandle = handle;
            return otherHandle != 0;
        },
        20000))
        << "the second catalogue's window on the bus";
    TAnnouncementCounter counter;
    ASSERT_TRUE(counter.Started());

    // Some program announces this window's handle as its own: the other
    // catalogue answers it, and this one answers that answer.
    TPhoneStub forger({QStringLiteral("--no-announce")});
    ASSERT_TRUE(forger.Started());
    forger.Send(QStringLiteral("announce-as ") + QString::number(Peer(*w).Handle()));
    ASSERT_TRUE(forger.WaitFor(QStringLiteral("announced ")));
    // The exchange has ended once the count stands still for a second; an
    // endless one never does.
    int seen = counter.Count();
    QElapsedTimer still;
    still.start();
    ASSERT_TRUE(testbus::RunUntil([&] {
        if (counter.Count() != seen) {
            seen = counter.Count();
            still.restart();
        }
        return still.elapsed() >= 1000;
    })) << "the exchange has not ended: "
        << seen << " announcements";
    // The forgery to each catalogue and one answer from each.
    EXPECT_LE(seen, 4);

    // The telephony program's handshake still reaches both.
    TPhoneStub phone;
    ASSERT_TRUE(phone.Started());
    ASSERT_TRUE(phone.WaitForCount(QStringLiteral("reply "), 2));
    QStringList replies = phone.Lines(QStringLiteral("reply "));
    replies.sort();
    QStringList expected{QString::number(Peer(*w).Handle()), QString::number(otherHandle)};
    expected.sort();
    EXPECT_EQ(replies, expected);
    EXPECT_EQ(Peer(*w).PhoneWnd(), phone.Handle());
}

TEST_F(MainTelephony, OnlyTheEleventhCharacterOfTheAnswerCounts)
{
    StartLocal();
    StartStub();
    const struct {
        const char *answer;
        bool can;
    } cases[] = {{"1", true}, {"0", false}, {"", false}, {"yes", false}, {"10", true}, {" 1", false}};
    for (const auto &c : cases) {
        stub->Send(QStringLiteral("answer ") + QString::fromLatin1(c.answer));
        stub->Send(QStringLiteral("no-op")); // the answer is set once this echoes
        ASSERT_TRUE(stub->WaitFor(QStringLiteral("unknown ")));
        const qsizetype queries = stub->Lines(QStringLiteral("query ")).size();
        Peer(*w).QueryCanTransfer(343);
        // The answer came inside the broadcast.
        EXPECT_EQ(Peer(*w).CanTransfer(), c.can) << c.answer;
        EXPECT_EQ(stub->Lines(QStringLiteral("query ")).size(), queries + 1);
    }
    // A city not in [transfer_city] is never asked, even right after a yes.
    stub->Send(QStringLiteral("answer 1"));
    stub->Send(QStringLiteral("no-op"));
    ASSERT_TRUE(stub->WaitFor(QStringLiteral("unknown ")));
    Peer(*w).QueryCanTransfer(343);
    ASSERT_TRUE(Peer(*w).CanTransfer());
    const qsizetype queries = stub->Lines(QStringLiteral("query ")).size();
    Peer(*w).QueryCanTransfer(351);
    EXPECT_FALSE(Peer(*w).CanTransfer());
    testbus::RunUntil([] { return false; }, 200);
    EXPECT_EQ(stub->Lines(QStringLiteral("query ")).size(), queries);
}

TEST_F(MainTelephony, NoticesShowInTheToolBarOnlyFromTheTelephonyProgram)
{
    StartLocal();
    QLabel *label = Get<QLabel>(*w, "Label24");
    StartStub();
    stub->Send(QStringLiteral("notice Входящий звонок: 123-45-67"));
    ASSERT_TRUE(stub->WaitFor(QStringLiteral("sent ")));
    EXPECT_EQ(label->text(), QStringLiteral("Входящий звонок: 123-45-67"))
        << stub->Lines(QString()).join(u'|').toStdString();
    w->show();
    SaveShot(w.get(), QStringLiteral("notice"));
    EXPECT_TRUE(label->font().bold());
    EXPECT_TRUE(label->wordWrap());
    // Painted red: some text pixels are pure red.
    const QImage image = label->grab().toImage();
    bool red = false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            red |= image.pixelColor(x, y).red() > 200 && image.pixelColor(x, y).green() < 60;
    EXPECT_TRUE(red);

    // Another program's notice and answer are ignored.
    TPhoneStub other({QStringLiteral("--no-announce")});
    ASSERT_TRUE(other.Started());
    other.Send(QStringLiteral("to ") + QString::number(Peer(*w).Handle()));
    other.Send(QStringLiteral("notice чужое"));
    other.Send(QStringLiteral("copy message_2#1"));
    ASSERT_TRUE(other.WaitForCount(QStringLiteral("sent "), 2));
    EXPECT_EQ(label->text(), QStringLiteral("Входящий звонок: 123-45-67"));
    EXPECT_FALSE(Peer(*w).CanTransfer());

    stub->Send(QStringLiteral("notice"));
    ASSERT_TRUE(stub->WaitFor(QStringLiteral("sent ")));
    EXPECT_TRUE(label->text().isEmpty());
}

TEST_F(MainTelephony, ANoticeLongerThanTwoLinesShowsTwoWholeLinesAndTheRestAsATip)
{
    StartLocal();
    QLabel *label = Get<QLabel>(*w, "Label24");
    StartStub();
    w->show();
    // The telephony program's notice, as its window sends it.
    QDBusConnection bus = QDBusConnection::connectToBus(testbus::TPrivateBus::Address(), QStringLiteral("phone"));
    const auto notice = [&](const QString &text) {
        const QString handle = QString::number(Peer(*w).Handle());
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.selbran.Window.h") + handle, QStringLiteral("/org/selbran/Window/h") + handle,
            QStringLiteral("org.selbran.WindowMessage"), QStringLiteral("WM_COPYDATA"));
        const QByteArray bytes = ToCp1251(QStringLiteral("message_1#") + text) + '\0';
        call << qlonglong(stub->Handle()) << qulonglong(0) << uint(bytes.size()) << bytes;
        const QDBusPendingCall pending = bus.asyncCall(call);
        testbus::RunUntil([&] { return pending.isFinished(); });
    };
    const QString words = QStringLiteral("Входящий звонок от абонента 343-123-45-67, просит соединить с отделом "
                                         "продаж оптовых поставок строительных материалов и оборудования");
    const struct {
        const char *what;
        QString text;
        bool fits;
    } cases[] = {
        {"short", QStringLiteral("Входящий звонок: 123-45-67"), true},
        {"many words", words, false},
        {"one long word", QStringLiteral("+7") + QString(120, u'8'), false},
        {"three lines", QStringLiteral("Первая строка\nВторая строка\nТретья строка"), false},
    };
    const QRect box = label->contentsRect();
    const QRegularExpression blanks(QStringLiteral("\\s|\u2026"));
    for (const auto &c : cases) {
        notice(c.text);
        const QString shown = label->text();
        const QRect needed = label->fontMetrics().boundingRect(box, int(label->alignment()) | Qt::TextWordWrap, shown);
        EXPECT_LE(needed.height(), box.height()) << c.what << ": " << shown.toStdString();
        EXPECT_LE(needed.width(), box.width()) << c.what;
        EXPECT_EQ(label->toolTip().toStdString(), (c.fits ? QString() : c.text).toStdString()) << c.what;
        // The beginning of the notice is what shows.
        const QString start = QString(shown).remove(blanks);
        EXPECT_TRUE(!start.isEmpty() && QString(c.text).remove(blanks).startsWith(start)) << c.what;
        if (c.fits) {
            EXPECT_EQ(shown, c.text);
        } else if (start != QString(c.text).remove(blanks)) {
            EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << c.what << ": the cut is marked";
        }
    }
    SaveShot(w.get(), QStringLiteral("long_notice"));
    QDBusConnection::disconnectFromBus(QStringLiteral("phone"));
}

TEST_F(MainTelephony, ATransferLinkSendsTheWholeBlockOnlyWhileTransferIsPossible)
{
    StartLocal();
    StartStub({QStringLiteral("--answer"), QStringLiteral("0")});
    Peer(*w).QueryCanTransfer(343);
    ClickLink(*w, QStringLiteral("transfer_3437050828"));
    testbus::RunUntil([] { return false; }, 300);
    EXPECT_TRUE(stub->Lines(QStringLiteral("block ")).isEmpty());

    stub->Send(QStringLiteral("answer 1"));
    stub->Send(QStringLiteral("no-op")); // the answer is set once this echoes
    ASSERT_TRUE(stub->WaitFor(QStringLiteral("unknown ")));
    Peer(*w).QueryCanTransfer(343);
    ClickLink(*w, QStringLiteral("transfer_3437050828"));
    // The send waits for the receiver: the block has been logged already.
    const QStringList blocks = stub->Lines(QStringLiteral("block "));
    ASSERT_EQ(blocks.size(), 1);
    QByteArray expected(1024, '\0');
    expected.replace(0, 20, "message_3#3437050828");
    EXPECT_EQ(blocks[0], QStringLiteral("1024 0 ") + QString::number(Peer(*w).Handle()) + u' ' +
                             QString::fromLatin1(expected.toHex()));
    EXPECT_EQ(stub->Lines(QStringLiteral("transfer ")), QStringList{QStringLiteral("3437050828")});

    // A text too long for the block keeps one zero byte at its end.
    ClickLink(*w, QStringLiteral("transfer_") + QString(2000, u'7'));
    ASSERT_EQ(stub->Lines(QStringLiteral("block ")).size(), 2);
    const QByteArray longBlock =
        QByteArray::fromHex(stub->Lines(QStringLiteral("block ")).last().section(u' ', 3).toLatin1());
    EXPECT_EQ(longBlock.size(), 1024);
    EXPECT_EQ(longBlock.indexOf('\0'), 1023);
}

TEST_F(MainTelephony, BranchLinksOpenTheFirmWindowAndDamagedOnesOpenNothing)
{
    StartLocal();
    // A firm of the sample with two addresses: the link of the second opens
    // its window, whose card links back to the first as a branch.
    TZReadOnlyQuery &q = Peer(*w).Query1();
    q.SetSQL(QStringLiteral("select cid,fid,min(adr_id) as a1,max(adr_id) as a2 from address "
                            "group by cid,fid having count(*)>1 order by cid,fid limit 1"));
    q.Open();
    ASSERT_FALSE(q.IsEmpty());
    const QString firm =
        q.FieldByName(QStringLiteral("cid")).AsString() + u'_' + q.FieldByName(QStringLiteral("fid")).AsString() + u'_';
    const QString first = QStringLiteral("filial_") + firm + q.FieldByName(QStringLiteral("a1")).AsString();
    const QString second = QStringLiteral("filial_") + firm + q.FieldByName(QStringLiteral("a2")).AsString();
    q.Close();

    // Inside the second address's window the user clicks the branch link to
    // the first: a nested window opens; Esc closes each in turn.
    QList<QPointer<TfrmPrice>> seen;
    QStringList captions;
    const auto closeWithEsc = [](TfrmPrice *price) {
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus && price->isAncestorOf(focus) ? focus : price, Qt::Key_Escape);
        if (price->isVisible()) {
            ADD_FAILURE() << "Esc left the firm window open";
            price->close();
        }
    };
    QTimer look;
    look.setInterval(5);
    QObject::connect(&look, &QTimer::timeout, [&] {
        auto *price = qobject_cast<TfrmPrice *>(QApplication::activeModalWidget());
        if (!price || !price->isVisible() || seen.contains(price))
            return;
        seen << price;
        captions << price->windowTitle();
        if (seen.size() > 1) {
            closeWithEsc(price);
            return;
        }
        auto *card = price->findChild<QTextBrowser *>(QStringLiteral("HTMLViewer1"));
        EXPECT_TRUE(card->toHtml().contains(first)) << "the branch link in the firm window's card";
        // Clicked from the window's own loop, so this timer can see the
        // nested window.
        QMetaObject::invokeMethod(
            price,
            [&, price, card] {
                emit card->anchorClicked(QUrl(first));
                EXPECT_EQ(QApplication::activeModalWidget(), price) << "back in the first window";
                closeWithEsc(price);
            },
            Qt::QueuedConnection);
    });
    look.start();
    ClickLink(*w, second);
    look.stop();
    ASSERT_EQ(captions.size(), 2);
    EXPECT_NE(captions[0], captions[1]) << "two addresses of the firm";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    QStringList opened;
    SetOpenDocumentHook([&](const QUrl &url) { opened << url.toString(); });
    for (const char *link : {"filial_343_5", "filial_", "filial_a_5_2", "filial_343_5_2_9", "filial_343__2"}) {
        shown.clear();
        ClickLink(*w, QString::fromLatin1(link));
        EXPECT_TRUE(shown.value(0).contains(QString::fromLatin1(link))) << link;
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << link;
    }
    EXPECT_TRUE(opened.isEmpty()) << "no branch link goes to the shell";
    SetOpenDocumentHook({});
}

TEST_F(MainTelephony, TheFirmWindowsCardTransfersItsNumbersToTheTelephonyProgram)
{
    StartLocal();
    StartStub({QStringLiteral("--answer"), QStringLiteral("1")});
    // The user lists the organisations of a transfer city and opens the
    // first with Enter; its card asks the telephony program and shows the
    // numbers as transfer links; a click hands one over.
    Select(*w, City(EnprRoot(*w), 343));
    QCoreApplication::processEvents();
    ASSERT_FALSE(EnprRows(*w).IsEmpty());
    // Rows come in random order and some firms have mobile numbers only:
    // the user goes down the list to the first card with a transfer link.
    QString link;
    bool opened = false;
    QTimer look;
    look.setInterval(5);
    QObject::connect(&look, &QTimer::timeout, [&] {
        auto *price = qobject_cast<TfrmPrice *>(QApplication::activeModalWidget());
        if (!price || !price->isVisible() || opened)
            return;
        opened = true;
        SaveShot(price, QStringLiteral("price_transfer"));
        auto *card = price->findChild<QTextBrowser *>(QStringLiteral("HTMLViewer1"));
        const QString html = card->toHtml();
        const qsizetype at = html.indexOf(QLatin1String("transfer_"));
        if (at >= 0) {
            link = html.mid(at, html.indexOf(u'"', at) - at);
            emit card->anchorClicked(QUrl(link));
        }
        QTest::keyClick(price, Qt::Key_Escape);
        if (price->isVisible())
            price->close();
    });
    auto *grid = Get<TDBGrid>(*w, "DBGrid2");
    grid->setFocus();
    for (int row = 0; row < 30 && link.isEmpty(); ++row) {
        if (row > 0)
            QTest::keyClick(grid, Qt::Key_Down);
        opened = false;
        look.start();
        QTest::keyClick(grid, Qt::Key_Return);
        look.stop();
        ASSERT_TRUE(opened);
    }
    ASSERT_FALSE(link.isEmpty()) << "the card of a transfer city carries transfer links";
    ASSERT_TRUE(stub->WaitForCount(QStringLiteral("transfer "), 1)) << "the telephony program got the number";
    EXPECT_EQ(stub->Lines(QStringLiteral("transfer ")).last(), link.mid(9));
}

TEST_F(MainTelephony, AHungTelephonyProgramDelaysTheCardByAboutTwoSeconds)
{
    StartLocal();
    StartStub({QStringLiteral("--hang")});
    // Choosing the city in the tree lists its organisations with the
    // card of the first.
    QElapsedTimer clock;
    clock.start();
    Select(*w, City(EnprRoot(*w), 343));
    // The card asks the hung program, then appears all the same.
    ASSERT_TRUE(testbus::RunUntil([&] {
        return !stub->Lines(QStringLiteral("query ")).isEmpty() &&
               !Get<QTextBrowser>(*w, "HTMLViewer1")->toPlainText().isEmpty();
    }));
    const qint64 ms = clock.elapsed();
    std::cout << "organisation search with its card, telephony program hung: " << ms << " ms\n";
    EXPECT_LT(ms, kSendMessageTimeout + 8000);
    EXPECT_FALSE(Peer(*w).CanTransfer());
}

using testbus::TSilentSocket;

TEST_F(MainTelephony, ABusThatNeverAnswersDelaysTheStartOnlyBriefly)
{
    TSilentSocket silent(Path(QStringLiteral("silent-bus")));
    ASSERT_TRUE(silent.Listening());
    // A bus daemon that stopped.
    QProcess stopped;
    stopped.setProgram(QStringLiteral("dbus-daemon"));
    stopped.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                          QStringLiteral("--print-address=1")});
    stopped.start();
    ASSERT_TRUE(stopped.waitForStarted(5000));
    ASSERT_TRUE(stopped.waitForReadyRead(5000));
    const QString stoppedAddress = QString::fromUtf8(stopped.readLine()).trimmed();
    ::kill(pid_t(stopped.processId()), SIGSTOP);

    const struct {
        const char *bus;
        QString address;
        bool answers;
    } cases[] = {
        {"silent socket", QStringLiteral("unix:path=") + Path(QStringLiteral("silent-bus")), false},
        {"stopped daemon", stoppedAddress, false},
        {"live bus", testbus::TPrivateBus::Address(), true},
    };
    const QByteArray ours = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    UseLocalSample(QStringLiteral("[transfer_city]\ncount=1\ncity_1=343\n"));
    for (const auto &c : cases) {
        QElapsedTimer clock;
        clock.start();
        TCatalogueProcess program(c.address);
        ASSERT_TRUE(program.Started()) << c.bus;
        // Asserted: a window made in this process would wait for good too.
        ASSERT_TRUE(testbus::RunUntil([&] { return program.Running(); }, 10000))
            << c.bus << ": the program is not running after 10 s";
        std::cout << "program start beside a " << c.bus << ": " << clock.elapsed() << " ms\n";
        if (c.answers) {
            EXPECT_TRUE(testbus::RunUntil([] { return !HandlesOnBus().isEmpty(); })) << "its window on the bus";
        }

        // The main window made in this process, likewise.
        qputenv("DBUS_SESSION_BUS_ADDRESS", c.address.toUtf8());
        clock.restart();
        w = Start();
        EXPECT_LT(clock.elapsed(), 10000) << c.bus;
        EXPECT_EQ(Peer(*w).OnBus(), c.answers) << c.bus;
        w.reset();
        qputenv("DBUS_SESSION_BUS_ADDRESS", ours);
    }
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
    ::kill(pid_t(stopped.processId()), SIGCONT);
    stopped.kill();
    stopped.waitForFinished(2000);
}

TEST_F(MainTelephony, WithoutASessionBusTheCatalogueRunsAndNeverTransfers)
{
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(Path(QStringLiteral("no-bus"))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(AppDir()));
    qunsetenv("DISPLAY");
    UseLocalSample(QStringLiteral("[transfer_city]\ncount=1\ncity_1=343\n"));
    w = Start();
    EXPECT_FALSE(Peer(*w).OnBus());
    Select(*w, City(EnprRoot(*w), 343));
    Click(Get<QPushButton>(*w, "btnFindEnpr"));
    EXPECT_GT(EnprRows(*w).RecordCount(), 0);
    Peer(*w).QueryCanTransfer(343);
    EXPECT_EQ(Peer(*w).PhoneWnd(), -1);
    EXPECT_FALSE(Peer(*w).CanTransfer());
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
    w.reset();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    if (runtime.isEmpty())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", runtime);
    if (!display.isEmpty())
        qputenv("DISPLAY", display);
}

} // namespace
