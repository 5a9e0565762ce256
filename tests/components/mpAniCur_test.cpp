#include "components/mpAniCur.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray CursorFile()
{
    QFile f(QStringLiteral(TREVIN_TEST_DATA "/../../src/windows/cursors/selbran.ani"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class AniCurTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Temporary files go to a folder of the test's own, so that none
        // left behind can hide among others.
        ASSERT_TRUE(m_tmp.isValid());
        m_oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
        m_bytes = CursorFile();
        ASSERT_EQ(m_bytes.size(), 51652);
        for (int id = 1; id <= 9; ++id)
            Screen::ClearCursor(id);
    }
    void TearDown() override
    {
        qputenv("TMPDIR", m_oldTmp);
        for (int id = 1; id <= 9; ++id)
            Screen::ClearCursor(id);
    }
    QStringList TempFiles() const { return QDir(m_tmp.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir m_tmp;
    QByteArray m_oldTmp;
    QByteArray m_bytes;
};

} // namespace

TEST_F(AniCurTest, NewItemTakesTheFirstNumberNoDescribedItemUses)
{
    struct Case {
        const char *name;
        QList<std::pair<int, QString>> items;
        int expected;
    };
    const Case cases[] = {
        {"empty list", {}, 1},
        {"1 and 2 in use", {{1, QStringLiteral("A")}, {2, QStringLiteral("B")}}, 3},
        {"1 has no description", {{1, QString()}, {2, QStringLiteral("B")}}, 1},
        {"a gap", {{1, QStringLiteral("A")}, {3, QStringLiteral("C")}}, 2},
        // The first item with a number decides.
        {"first of two with 1 has none", {{1, QString()}, {1, QStringLiteral("A")}}, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TmpAnimatedCursors component;
        for (const auto &[id, description] : c.items) {
            TmpAnimatedCursorItem *item = component.Cursors()->Add();
            item->SetCursorID(id);
            item->SetDescription(description);
        }
        const TmpAnimatedCursorItem *added = component.Cursors()->Add();
        EXPECT_EQ(added->CursorID(), c.expected);
        EXPECT_EQ(added->Description(), QStringLiteral("Cursor ") + QString::number(c.expected));
    }
    // An item of a plain collection takes its id + 1.
    TCursorCollection plain;
    new TmpAnimatedCursorItem(&plain);
    const auto *second = new TmpAnimatedCursorItem(&plain);
    EXPECT_EQ(second->CursorID(), 2);
    EXPECT_EQ(second->NextFreeCursorID(), 1);
}

TEST_F(AniCurTest, DisplayNames)
{
    TmpAnimatedCursors component;
    TmpAnimatedCursorItem *wait = component.Cursors()->Add();
    wait->SetCursorID(5);
    wait->SetDescription(QStringLiteral("Wait"));
    EXPECT_EQ(wait->ListCaption(), QStringLiteral("crMPWait (5)"));
    EXPECT_EQ(component.CursorDisplayName(5), QStringLiteral("crMPWait (5)"));
    wait->SetDescription(QString());
    EXPECT_EQ(wait->ListCaption(), QStringLiteral("5"));
    EXPECT_EQ(component.CursorDisplayName(5), QStringLiteral("5"));
    EXPECT_EQ(component.CursorDisplayName(7), QStringLiteral("7"));
    EXPECT_TRUE(component.About().contains(QStringLiteral("TmpAnimatedCursors")));
}

TEST_F(AniCurTest, SystemCursorNumbersAreRefused)
{
    TmpAnimatedCursors component;
    TmpAnimatedCursorItem *item = component.Cursors()->Add();
    item->SetCursorID(4);
    for (int number : {0, -1, -17}) {
        try {
            item->SetCursorID(number);
            ADD_FAILURE() << number;
        } catch (const ECursorError &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Cannot replace a system cursor"));
        }
        EXPECT_EQ(item->CursorID(), 4);
    }
}

TEST_F(AniCurTest, StoredFormInstallsOnceWhenWhollyRead)
{
    QByteArray form;
    {
        TmpAnimatedCursors stored;
        stored.Designing = true; // as the form designer writes it: nothing installed
        TmpAnimatedCursorItem *item = stored.Cursors()->Add();
        item->SetDescription(QStringLiteral("selbran_cursor"));
        item->SetCursorID(7);
        item->AssignCursorBytes(m_bytes.constData(), m_bytes.size());
        TmpAnimatedCursorItem *empty = stored.Cursors()->Add();
        empty->SetCursorID(8);
        QBuffer out(&form);
        out.open(QIODevice::WriteOnly);
        stored.WriteForm(out);
    }
    EXPECT_FALSE(Screen::CursorHandle(7));

    TmpAnimatedCursors component;
    QBuffer in(&form);
    in.open(QIODevice::ReadOnly);
    component.ReadForm(in);
    ASSERT_EQ(component.Cursors()->Count(), 2);
    const TmpAnimatedCursorItem *item = component.Cursors()->ItemAt(0);
    EXPECT_EQ(item->Description(), QStringLiteral("selbran_cursor"));
    EXPECT_EQ(item->DataSize(), 51652);
    EXPECT_EQ(item->Data(), m_bytes);
    EXPECT_EQ(component.Cursors()->ItemAt(1)->DataSize(), 0);
    // One cursor, under its stored number; not under the number the item
    // had before its number was read, nor for the item without data.
    const TCursorHandle installed = Screen::CursorHandle(7);
    ASSERT_TRUE(installed);
    EXPECT_EQ(installed->StepCount(), 12);
    EXPECT_FALSE(Screen::CursorHandle(1));
    EXPECT_FALSE(Screen::CursorHandle(2));
    EXPECT_FALSE(Screen::CursorHandle(8));
    EXPECT_TRUE(TempFiles().isEmpty());

    // Nothing is installed while the form is still being read.
    TmpAnimatedCursors reading;
    reading.Read([&] {
        TmpAnimatedCursorItem *i = reading.Cursors()->Add();
        i->SetCursorID(9);
        i->AssignCursorBytes(m_bytes.constData(), m_bytes.size());
        i->SetDescription(QStringLiteral("late"));
        EXPECT_FALSE(Screen::CursorHandle(9));
    });
    EXPECT_TRUE(Screen::CursorHandle(9));

    // Destroying the component clears its entries.
    component.Cursors()->Clear();
    EXPECT_FALSE(Screen::CursorHandle(7));
}

TEST_F(AniCurTest, LoadingLeavesNoTemporaryFile)
{
    TmpAnimatedCursors component;
    TmpAnimatedCursorItem *item = component.Cursors()->Add();
    EXPECT_FALSE(item->LoadCursorHandle().has_value()); // no data
    item->Install();                                    // does nothing
    EXPECT_FALSE(Screen::CursorHandle(item->CursorID()));

    const struct {
        const char *name;
        QByteArray bytes;
        bool loads;
    } cases[] = {
        {"the cursor file", m_bytes, true},
        {"text", QByteArray("not a cursor at all"), false},
        {"a cut cursor file", m_bytes.left(5000), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        item->AssignCursorBytes(nullptr, 0);
        Screen::ClearCursor(item->CursorID());
        const std::optional<TCursorHandle> first = item->LoadCursorHandle();
        EXPECT_FALSE(first.has_value());
        try {
            item->AssignCursorBytes(c.bytes.constData(), c.bytes.size());
            EXPECT_TRUE(c.loads);
            const std::optional<TCursorHandle> again = item->LoadCursorHandle();
            ASSERT_TRUE(again && *again);
            // Each load makes a new cursor.
            EXPECT_NE(again->get(), Screen::CursorHandle(item->CursorID()).get());
        } catch (const ECursorError &e) {
            EXPECT_FALSE(c.loads);
            EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Invalid cursor data\r\n(")));
            EXPECT_TRUE(e.Message().endsWith(u')'));
            EXPECT_FALSE(Screen::CursorHandle(item->CursorID()));
        }
        EXPECT_TRUE(TempFiles().isEmpty()) << TempFiles().join(u' ').toStdString();
    }
}

TEST_F(AniCurTest, ChangesReinstallAndBracketsDeferThem)
{
    TmpAnimatedCursors component;
    TmpAnimatedCursorItem *item = component.Cursors()->Add();
    item->AssignCursorBytes(m_bytes.constData(), m_bytes.size());
    const TCursorHandle first = Screen::CursorHandle(1);
    ASSERT_TRUE(first);
    item->SetDescription(QStringLiteral("other"));
    const TCursorHandle second = Screen::CursorHandle(1);
    EXPECT_NE(first.get(), second.get());

    component.Cursors()->BeginUpdateBracket();
    item->SetCursorID(3);
    item->SetDescription(QStringLiteral("third"));
    EXPECT_FALSE(Screen::CursorHandle(3));
    EXPECT_TRUE(component.Cursors()->PendingChange());
    component.Cursors()->EndUpdateBracket();
    EXPECT_TRUE(Screen::CursorHandle(3));
    EXPECT_FALSE(component.Cursors()->PendingChange());

    // Settings taken from another component: items copied, all installed.
    TmpAnimatedCursors copy;
    Screen::ClearCursor(3);
    copy.TakeSettingsFrom(component);
    ASSERT_EQ(copy.Cursors()->Count(), 1);
    EXPECT_EQ(copy.Cursors()->ItemAt(0)->Description(), QStringLiteral("third"));
    EXPECT_EQ(copy.Cursors()->ItemAt(0)->Data(), m_bytes);
    EXPECT_TRUE(Screen::CursorHandle(3));
}

TEST_F(AniCurTest, ReplacingTheListCopiesItsItemsAndInstallsThemAll)
{
    TmpAnimatedCursors source;
    for (int id : {4, 5}) {
        TmpAnimatedCursorItem *item = source.Cursors()->Add();
        item->SetCursorID(id);
        item->AssignCursorBytes(m_bytes.constData(), m_bytes.size());
    }
    TmpAnimatedCursors component;
    component.Cursors()->Add()->SetDescription(QStringLiteral("old"));
    const TmpAnimatedCursorList *own = component.Cursors();
    Screen::ClearCursor(4);
    Screen::ClearCursor(5);

    component.ReplaceCursors(*source.Cursors());
    // Still its own one list, now holding copies, every cursor installed.
    EXPECT_EQ(component.Cursors(), own);
    ASSERT_EQ(component.Cursors()->Count(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(component.Cursors()->ItemAt(i)->CursorID(), 4 + i);
        EXPECT_EQ(component.Cursors()->ItemAt(i)->Data(), m_bytes);
        EXPECT_TRUE(Screen::CursorHandle(4 + i)) << i;
    }
    EXPECT_EQ(source.Cursors()->Count(), 2);
    EXPECT_TRUE(TempFiles().isEmpty());
}
