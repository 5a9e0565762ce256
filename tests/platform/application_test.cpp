#include "platform/application.h"
#include "data/dberror.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>

#include <algorithm>
#include <sys/stat.h>

namespace {

struct HandlerScope {
    QStringList shown;
    HandlerScope()
    {
        TApplication::SetExceptionHandler([this](const QString &text) { shown.append(text); });
    }
    ~HandlerScope() { TApplication::SetExceptionHandler({}); }
};

} // namespace

TEST(Application, DefaultHandlerShowsTheErrorsOwnText)
{
    HandlerScope scope;
    try {
        throw EDatabaseError(QStringLiteral("no such table: db_date"));
    } catch (...) {
        TApplication::HandleException();
    }
    try {
        throw std::runtime_error("file is not a database");
    } catch (...) {
        TApplication::HandleException();
    }
    try {
        throw 42;
    } catch (...) {
        TApplication::HandleException();
    }
    EXPECT_EQ(scope.shown, (QStringList{QStringLiteral("no such table: db_date"),
                                        QStringLiteral("file is not a database"), QStringLiteral("Unknown error")}));
}

TEST(Application, CyrillicMessagesKeepTheirText)
{
    HandlerScope scope;
    try {
        throw Exception(QStringLiteral("Ошибка чтения"));
    } catch (...) {
        TApplication::HandleException();
    }
    ASSERT_EQ(scope.shown.size(), 1);
    EXPECT_EQ(scope.shown[0], QStringLiteral("Ошибка чтения"));
}

TEST(Application, HaltIsPassedOnNotShown)
{
    HandlerScope scope;
    int code = 0;
    try {
        try {
            TApplication::Halt(3);
        } catch (...) {
            TApplication::HandleException();
        }
    } catch (const EApplicationHalt &halt) {
        code = halt.ExitCode();
    }
    EXPECT_EQ(code, 3);
    EXPECT_TRUE(scope.shown.isEmpty());
}

TEST(Application, ErrorsNeverLeaveAnEventDelivery)
{
    HandlerScope scope;
    EXPECT_FALSE(TApplication::DeliverSafely([]() -> bool { throw Exception(QStringLiteral("boom")); }));
    EXPECT_TRUE(TApplication::DeliverSafely([] { return true; }));
    EXPECT_EQ(scope.shown, QStringList{QStringLiteral("boom")});
}

TEST(Application, ErrorInsideTheHandlerDoesNotEscape)
{
    TApplication::SetExceptionHandler([](const QString &) { throw std::runtime_error("again"); });
    EXPECT_NO_THROW(TApplication::DeliverSafely([]() -> bool { throw std::runtime_error("first"); }));
    TApplication::SetExceptionHandler({});
}

TEST(Application, GuardedSlotErrorIsShownAndNothingLeavesTheSignal)
{
    HandlerScope scope;
    QAction action;
    bool after = false;
    QObject::connect(&action, &QAction::triggered, &action,
                     GuardedSlot([] { throw EDatabaseError(QStringLiteral("Lost connection")); }));
    // A later slot of the same signal still runs.
    QObject::connect(&action, &QAction::triggered, &action, [&] { after = true; });
    EXPECT_NO_THROW(action.trigger());
    EXPECT_EQ(scope.shown, QStringList{QStringLiteral("Lost connection")});
    EXPECT_TRUE(after);

    // The signal still works afterwards.
    EXPECT_NO_THROW(action.trigger());
    EXPECT_EQ(scope.shown.size(), 2);
}

namespace {

struct TReceiver : QObject {
    QList<bool> seen;
    void Toggled(bool checked)
    {
        seen.append(checked);
        if (!checked)
            throw std::runtime_error("switched off");
    }
};

} // namespace

TEST(Application, GuardedMemberSlotGetsTheSignalsArguments)
{
    HandlerScope scope;
    QPushButton button;
    button.setCheckable(true);
    TReceiver receiver;
    QObject::connect(&button, &QPushButton::clicked, &receiver, GuardedSlot(&receiver, &TReceiver::Toggled));
    EXPECT_NO_THROW(button.click());
    EXPECT_NO_THROW(button.click());
    EXPECT_EQ(receiver.seen, (QList<bool>{true, false}));
    EXPECT_EQ(scope.shown, QStringList{QStringLiteral("switched off")});
}

TEST(Application, HaltInAGuardedSlotEndsTheRunningLoopUnshown)
{
    HandlerScope scope;
    QAction action;
    QObject::connect(&action, &QAction::triggered, &action, GuardedSlot([] { TApplication::Halt(4); }));
    QTimer::singleShot(0, &action, &QAction::trigger);
    QTimer::singleShot(5000, &action, [] { QCoreApplication::exit(-1); });
    // The program's own loop, which also forgets the quit once it returns.
    EXPECT_EQ(QCoreApplication::exec(), 4);
    EXPECT_TRUE(scope.shown.isEmpty());
}

TEST(Application, GuardedEventShowsTheErrorAndPassesOnAHaltOutsideTheLoop)
{
    HandlerScope scope;
    int runs = 0;
    EXPECT_NO_THROW(GuardedEvent([&] {
        ++runs;
        throw EDatabaseError(QStringLiteral("Lost connection"));
    }));
    GuardedEvent([&] { ++runs; });
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(scope.shown, QStringList{QStringLiteral("Lost connection")});
    // No event loop runs: the entry routine ends the program.
    EXPECT_THROW(GuardedEvent([] { TApplication::Halt(5); }), EApplicationHalt);
    EXPECT_EQ(scope.shown.size(), 1);
}

TEST(Application, TitleIsKept)
{
    const QString before = TApplication::Title();
    TApplication::SetTitle(QStringLiteral("SELBRAN - Информационно-торговая система."));
    EXPECT_EQ(TApplication::Title(), QStringLiteral("SELBRAN - Информационно-торговая система."));
    TApplication::SetTitle(before);
}

TEST(Application, IdleHandlerRunsWhenTheLoopWaitsNotInABusyLoop)
{
    HandlerScope scope;
    const auto run = [](int ms, const std::function<void()> &during = {}) {
        QEventLoop loop;
        if (during)
            QTimer::singleShot(ms / 2, &loop, during);
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    int calls = 0;
    TApplication::SetIdleHandler([&] {
        if (++calls == 1)
            throw EDatabaseError(QStringLiteral("no such table: files"));
    });
    run(300);
    // Once when the loop first waited, once more after each wake-up (here
    // the quitting timer): never a spin.
    EXPECT_GE(calls, 1);
    EXPECT_LE(calls, 3);
    EXPECT_EQ(scope.shown, QStringList{QStringLiteral("no such table: files")});

    // A nested loop (a modal window) has its own idle moments.
    calls = 0;
    run(200, [&] { run(100); });
    EXPECT_GE(calls, 2);
    EXPECT_LE(calls, 6);

    calls = 0;
    TApplication::SetIdleEventsEnabled(false);
    run(100);
    TApplication::SetIdleEventsEnabled(true);
    EXPECT_EQ(calls, 0);
    TApplication::SetIdleHandler({});
    run(100);
    EXPECT_EQ(calls, 0);
}

namespace {

// Texts of a save dialog a user reads: its title, its buttons and the label
// of the file name.
QStringList SaveDialogTexts()
{
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    QStringList texts{dialog.windowTitle()};
    for (QPushButton *b : dialog.findChildren<QDialogButtonBox *>().value(0)->findChildren<QPushButton *>())
        texts.append(b->text());
    texts.append(dialog.findChild<QLabel *>(QStringLiteral("fileNameLabel"))->text());
    return texts;
}

bool HasCyrillic(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.script() == QChar::Script_Cyrillic; });
}

} // namespace

// Qt's own dialogs speak Russian once the start-up loaded Qt's translation;
// a catalogue that is missing, or no regular file, leaves them English and
// stops nothing.
TEST(Application, ToolkitDialogsSpeakRussian)
{
    const QStringList english = SaveDialogTexts();
    ASSERT_FALSE(english.isEmpty());
    for (const QString &text : english)
        EXPECT_FALSE(HasCyrillic(text)) << text.toStdString();

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    QDir().mkpath(fifo);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo + QStringLiteral("/qtbase_ru.qm")).constData(), 0600), 0);
    const QString garbage = dir.filePath(QStringLiteral("garbage"));
    QDir().mkpath(garbage);
    QFile junk(garbage + QStringLiteral("/qtbase_ru.qm"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    for (const QString &folder : {dir.filePath(QStringLiteral("missing")), fifo, garbage}) {
        SCOPED_TRACE(folder.toStdString());
        EXPECT_EQ(TApplication::InstallToolkitTranslations(folder), nullptr);
        EXPECT_EQ(SaveDialogTexts(), english);
    }

    QTranslator *translator = TApplication::InstallToolkitTranslations();
    ASSERT_NE(translator, nullptr) << "qtbase_ru.qm in "
                                   << QLibraryInfo::path(QLibraryInfo::TranslationsPath).toStdString();
    const QStringList russian = SaveDialogTexts();
    // The print dialog's title and its options button.
    const QString print = QCoreApplication::translate("QPrintDialog", "Print");
    const QString options = QCoreApplication::translate("QPrintDialog", "&Options >>");
    QCoreApplication::removeTranslator(translator);
    delete translator;
    ASSERT_EQ(russian.size(), english.size());
    for (const QString &text : russian)
        EXPECT_TRUE(HasCyrillic(text)) << text.toStdString();
    EXPECT_TRUE(HasCyrillic(print)) << print.toStdString();
    EXPECT_TRUE(HasCyrillic(options)) << options.toStdString();
    EXPECT_EQ(SaveDialogTexts(), english);
}
