#include "services/history_combo.h"

#include "data/usersettings.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QStringList>
#include <QTest>

namespace {

// Types the text key by key (Qt Test's keyClicks knows Latin-1 only).
void TypeInto(QWidget *w, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

QStringList Items(const QComboBox &box)
{
    QStringList list;
    for (int i = 0; i < box.count(); ++i)
        list << box.itemText(i);
    return list;
}

class ComboHistory : public ::testing::Test
{
protected:
    void SetUp() override
    {
        box.setEditable(true);
        box.setInsertPolicy(QComboBox::NoInsert);
        reg.EraseSection(section);
    }
    void Type(const QString &text)
    {
        box.setEditText(text);
        RememberComboText(&box);
    }
    TRegistryIniFile reg{QStringLiteral("Software\\selbran\\history_test\\2.0")};
    const QString section = QStringLiteral("cbFindGoodName");
    QComboBox box;
};

} // namespace

TEST_F(ComboHistory, NewestFirstTrimmedAndCaseInsensitiveUnique)
{
    Type(QStringLiteral("  хлеб\t"));
    EXPECT_EQ(box.currentText(), QStringLiteral("хлеб"));
    Type(QStringLiteral("молоко"));
    Type(QStringLiteral("ХЛЕБ "));
    EXPECT_EQ(Items(box), (QStringList{QStringLiteral("молоко"), QStringLiteral("хлеб")}));
    EXPECT_EQ(box.currentText(), QStringLiteral("ХЛЕБ")) << "the box keeps the typed form";
    Type(QStringLiteral("Ёлка"));
    Type(QStringLiteral("ёЛКА"));
    EXPECT_EQ(Items(box).size(), 3);
}

TEST_F(ComboHistory, BlankTextEmptiesTheBoxAndAddsNothing)
{
    Type(QStringLiteral("окна"));
    Type(QStringLiteral(" \x01 "));
    EXPECT_EQ(box.currentText(), QString());
    EXPECT_EQ(Items(box), QStringList{QStringLiteral("окна")});
}

TEST_F(ComboHistory, TwentyFirstTextPushesOutTheOldest)
{
    for (int i = 0; i < 21; ++i)
        Type(QStringLiteral("слово ") + QString::number(i));
    ASSERT_EQ(box.count(), 20);
    EXPECT_EQ(box.itemText(0), QStringLiteral("слово 20"));
    EXPECT_EQ(box.itemText(19), QStringLiteral("слово 1"));
}

TEST_F(ComboHistory, SaveAndLoadRoundTripWithExactLayout)
{
    Type(QStringLiteral("первый"));
    Type(QStringLiteral("второй"));
    SaveComboHistory(reg, &box, section);
    EXPECT_EQ(reg.ReadString(section, QStringLiteral("Count"), QString()), QStringLiteral("2"));
    EXPECT_EQ(reg.ReadString(section, QStringLiteral("Strting0"), QString()), QStringLiteral("второй"));
    EXPECT_EQ(reg.ReadString(section, QStringLiteral("Strting1"), QString()), QStringLiteral("первый"));

    QComboBox other;
    other.setEditable(true);
    other.addItem(QStringLiteral("старое"));
    LoadComboHistory(reg, &other, section);
    EXPECT_EQ(Items(other), (QStringList{QStringLiteral("второй"), QStringLiteral("первый")}));
    EXPECT_EQ(other.maxVisibleItems(), 20);
}

TEST_F(ComboHistory, MissingValueIsSkippedAndLeftoversIgnored)
{
    reg.WriteString(section, QStringLiteral("Count"), QStringLiteral("3"));
    reg.WriteString(section, QStringLiteral("Strting0"), QStringLiteral("а"));
    reg.WriteString(section, QStringLiteral("Strting2"), QStringLiteral("  в  "));
    reg.WriteString(section, QStringLiteral("Strting3"), QStringLiteral("из прошлого"));
    LoadComboHistory(reg, &box, section);
    EXPECT_EQ(Items(box), (QStringList{QStringLiteral("а"), QStringLiteral("в")}));
}

TEST_F(ComboHistory, LongStoredListLoadsWholeNextEntryCutsIt)
{
    reg.WriteString(section, QStringLiteral("Count"), QStringLiteral("25"));
    for (int i = 0; i < 25; ++i)
        reg.WriteString(section, QStringLiteral("Strting") + QString::number(i), QString::number(i));
    LoadComboHistory(reg, &box, section);
    EXPECT_EQ(box.count(), 25);
    Type(QStringLiteral("новое"));
    EXPECT_EQ(box.count(), 20);
    EXPECT_EQ(box.itemText(0), QStringLiteral("новое"));
    EXPECT_EQ(box.itemText(19), QStringLiteral("18"));
}

TEST_F(ComboHistory, FreshUserOrGarbageCountGivesEmptyHistory)
{
    box.addItem(QStringLiteral("x"));
    LoadComboHistory(reg, &box, section);
    EXPECT_EQ(box.count(), 0);
    reg.WriteString(section, QStringLiteral("Count"), QStringLiteral("abc"));
    reg.WriteString(section, QStringLiteral("Strting0"), QStringLiteral("a"));
    LoadComboHistory(reg, &box, section);
    EXPECT_EQ(box.count(), 0);
    // A damaged huge count reads what is there, quickly.
    reg.WriteString(section, QStringLiteral("Count"), QStringLiteral("2000000000"));
    LoadComboHistory(reg, &box, section);
    EXPECT_EQ(Items(box), QStringList{QStringLiteral("a")});
}

TEST_F(ComboHistory, LoadedBoxStartsEmptyAndItsDropDownMarksTheRememberedText)
{
    Type(QStringLiteral("первый"));
    Type(QStringLiteral("второй"));
    SaveComboHistory(reg, &box, section);

    // A box as the main window has it after a restart.
    QComboBox loaded;
    loaded.setEditable(true);
    loaded.setInsertPolicy(QComboBox::NoInsert);
    LoadComboHistory(reg, &loaded, section);
    loaded.show();
    EXPECT_EQ(loaded.lineEdit()->text(), QString());
    EXPECT_EQ(Items(loaded), (QStringList{QStringLiteral("второй"), QStringLiteral("первый")}));

    // Each text typed and remembered; the open list marks the row of that text.
    const struct {
        QString typed;
        QString shown;
        int row;
    } cases[] = {
        {QStringLiteral("третий"), QStringLiteral("третий"), 0},
        {QStringLiteral(" ПЕРВЫЙ"), QStringLiteral("ПЕРВЫЙ"), 2},
        {QStringLiteral("второй"), QStringLiteral("второй"), 1},
    };
    for (const auto &c : cases) {
        loaded.lineEdit()->selectAll();
        TypeInto(loaded.lineEdit(), c.typed);
        RememberComboText(&loaded);
        loaded.showPopup();
        EXPECT_EQ(loaded.view()->currentIndex().row(), c.row) << c.typed.toStdString();
        loaded.hidePopup();
        EXPECT_EQ(loaded.lineEdit()->text(), c.shown);
    }
    EXPECT_EQ(Items(loaded),
              (QStringList{QStringLiteral("третий"), QStringLiteral("второй"), QStringLiteral("первый")}));

    // Loading again replaces the list and leaves the text the user sees.
    LoadComboHistory(reg, &loaded, section);
    EXPECT_EQ(loaded.lineEdit()->text(), QStringLiteral("второй"));
    EXPECT_EQ(loaded.count(), 2);
}
