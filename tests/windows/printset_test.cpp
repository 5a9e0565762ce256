#include "windows/printset.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

struct TSwitches {
    bool v[10];
};

// Runs the dialog; act gets the shown window and closes it as a user would.
int RunDialog(int kind, int marked, bool fields, TSwitches &s, const std::function<void(TfrmPrintSet &)> &act)
{
    bool acted = false;
    QTimer::singleShot(0, [&] {
        auto *form = qobject_cast<TfrmPrintSet *>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        acted = true;
        act(*form);
    });
    const int result = ShowPrintSetDialog(kind, marked, fields, s.v[0], s.v[1], s.v[2], s.v[3], s.v[4], s.v[5], s.v[6],
                                          s.v[7], s.v[8], s.v[9]);
    EXPECT_TRUE(acted);
    return result;
}

template <class T> T *Child(QWidget &w, const char *name)
{
    T *child = w.findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

void Click(QWidget &w, const char *name)
{
    auto *button = Child<QAbstractButton>(w, name);
    // A check box takes clicks on its box and text only: aim at the box.
    const bool box = qobject_cast<QCheckBox *>(button) || qobject_cast<QRadioButton *>(button);
    QTest::mouseClick(button, Qt::LeftButton, {}, box ? QPoint(7, button->height() / 2) : button->rect().center());
}

TEST(PrintSet, CaptionsFollowTheKind)
{
    const struct {
        int kind;
        QString caption, selected, current, all;
    } rows[] = {
        {0, QStringLiteral("Печать"), QStringLiteral("Выделенных позиций"), QStringLiteral("Текущей позиции"),
         QStringLiteral("Всех позиций")},
        {1, QStringLiteral("Предварительный просмотр"), QStringLiteral("Выделенных позиций"),
         QStringLiteral("Текущей позиции"), QStringLiteral("Всех позиций")},
        {2, QStringLiteral("Сохранить в файл"), QStringLiteral("Выделенные позиции"), QStringLiteral("Текущую позицию"),
         QStringLiteral("Все позиции")},
        {7, QStringLiteral("Печать"), QStringLiteral("Выделенных позиций"), QStringLiteral("Текущей позиции"),
         QStringLiteral("Всех позиций")},
    };
    for (const auto &r : rows) {
        TSwitches s{};
        RunDialog(r.kind, 3, true, s, [&](TfrmPrintSet &f) {
            EXPECT_EQ(f.windowTitle(), r.caption) << r.kind;
            EXPECT_EQ(Child<QGroupBox>(f, "GroupBox1")->title(), r.caption);
            EXPECT_EQ(Child<QRadioButton>(f, "rbSelected")->text(), r.selected);
            EXPECT_EQ(Child<QRadioButton>(f, "rbCurrent")->text(), r.current);
            EXPECT_EQ(Child<QRadioButton>(f, "rbAll")->text(), r.all);
            EXPECT_TRUE(Child<QRadioButton>(f, "rbSelected")->isChecked());
            f.reject();
        });
    }
}

TEST(PrintSet, ScopeChosenByTheUser)
{
    const struct {
        int marked;
        const char *click; // null: leave the starting choice
        int expected;
    } rows[] = {
        {2, nullptr, 0}, {2, "rbCurrent", 1}, {2, "rbAll", 2}, {0, nullptr, 1}, {0, "rbSelected", 1}, {0, "rbAll", 2},
    };
    for (const auto &r : rows) {
        TSwitches s{};
        const int result = RunDialog(0, r.marked, false, s, [&](TfrmPrintSet &f) {
            EXPECT_EQ(Child<QRadioButton>(f, "rbSelected")->isEnabled(), r.marked > 0);
            if (r.click)
                Click(f, r.click);
            Click(f, "BitBtn1");
        });
        EXPECT_EQ(result, r.expected) << r.marked << " " << (r.click ? r.click : "-");
    }
}

TEST(PrintSet, SectionBoxesInOrderWithNameAndAddressFixed)
{
    TSwitches s{};
    RunDialog(1, 1, true, s, [](TfrmPrintSet &f) {
        QStringList texts, ticked, fixed;
        int lastTop = -1;
        for (QCheckBox *box : Child<QGroupBox>(f, "gbEnpr")->findChildren<QCheckBox *>()) {
            EXPECT_GT(box->y(), lastTop) << box->objectName().toStdString();
            lastTop = box->y();
            texts << box->text();
            if (box->isChecked())
                ticked << box->objectName();
            if (!box->isEnabled())
                fixed << box->objectName();
        }
        EXPECT_EQ(texts, QStringList({QStringLiteral("Название"), QStringLiteral("Вид деятельности"),
                                      QStringLiteral("Телефоны"), QStringLiteral("Персонал"), QStringLiteral("Адрес"),
                                      QStringLiteral("Как проехать"), QStringLiteral("Виртуальные адреса"),
                                      QStringLiteral("Равноправные подразделения"), QStringLiteral("Время работы"),
                                      QStringLiteral("Дата изменения")}));
        EXPECT_EQ(ticked, QStringList({u"cbName"_s, u"cbPhone"_s, u"cbPost"_s}));
        EXPECT_EQ(fixed, QStringList({u"cbName"_s, u"cbPost"_s}));
        EXPECT_EQ(Child<QPushButton>(f, "Button1")->text(), QStringLiteral("Отметить Все"));
        EXPECT_EQ(Child<QPushButton>(f, "Button2")->text(), QStringLiteral("Снять отметки"));
        EXPECT_EQ(f.size(), QSize(248, 342));
        f.reject();
    });
}

// Switches in TCardSections order: Name Attr Phone People Post Transport Web Wt Update Filial.
TEST(PrintSet, OkWritesTheBoxesInSectionOrder)
{
    const struct {
        std::function<void(TfrmPrintSet &)> act;
        TSwitches expected;
    } rows[] = {
        // The design state, whatever the caller held.
        {[](TfrmPrintSet &) {}, {{true, false, true, false, true, false, false, false, false, false}}},
        {[](TfrmPrintSet &f) { Click(f, "Button1"); }, {{true, true, true, true, true, true, true, true, true, true}}},
        {[](TfrmPrintSet &f) {
             Click(f, "Button1");
             Click(f, "Button2");
         },
         {{true, false, false, false, true, false, false, false, false, false}}},
        // The branches box sits above working time; each box reaches its own switch.
        {[](TfrmPrintSet &f) {
             Click(f, "cbFilial");
             Click(f, "cbUpdate");
             Click(f, "cbPhone");
         },
         {{true, false, false, false, true, false, false, false, true, true}}},
        {[](TfrmPrintSet &f) {
             Click(f, "cbWt");
             Click(f, "cbTransport");
             Click(f, "cbWeb");
             Click(f, "cbAttr");
             Click(f, "cbPeople");
         },
         {{true, true, true, true, true, true, true, true, false, false}}},
    };
    for (const auto &r : rows) {
        TSwitches s{{false, true, false, true, false, true, false, true, false, true}};
        const int result = RunDialog(0, 1, true, s, [&](TfrmPrintSet &f) {
            r.act(f);
            QTest::keyClick(&f, Qt::Key_Return);
        });
        EXPECT_EQ(result, 0);
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(s.v[i], r.expected.v[i]) << "switch " << i << " of row " << (&r - rows);
    }
}

TEST(PrintSet, CancelLeavesTheSwitchesAlone)
{
    const std::function<void(TfrmPrintSet &)> cancels[] = {
        [](TfrmPrintSet &f) { Click(f, "BitBtn2"); },
        [](TfrmPrintSet &f) { QTest::keyClick(&f, Qt::Key_Escape); },
        [](TfrmPrintSet &f) { f.close(); },
    };
    for (const auto &cancel : cancels) {
        TSwitches s{{false, true, false, true, false, true, false, true, false, true}};
        const int result = RunDialog(2, 4, true, s, [&](TfrmPrintSet &f) {
            Click(f, "Button1");
            Click(f, "rbAll");
            cancel(f);
        });
        EXPECT_EQ(result, -1);
        const TSwitches before{{false, true, false, true, false, true, false, true, false, true}};
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(s.v[i], before.v[i]) << i;
    }
}

TEST(PrintSet, WithoutSectionsTheButtonsMoveUp)
{
    QPoint okShown, cancelShown;
    TSwitches s{};
    RunDialog(0, 1, true, s, [&](TfrmPrintSet &f) {
        okShown = Child<QPushButton>(f, "BitBtn1")->pos();
        cancelShown = Child<QPushButton>(f, "BitBtn2")->pos();
        f.reject();
    });
    RunDialog(0, 1, false, s, [&](TfrmPrintSet &f) {
        EXPECT_FALSE(Child<QGroupBox>(f, "gbEnpr")->isVisible());
        EXPECT_TRUE(Child<QGroupBox>(f, "GroupBox1")->isVisible());
        EXPECT_EQ(f.size(), QSize(248, 342 - 224));
        auto *ok = Child<QPushButton>(f, "BitBtn1");
        auto *cancel = Child<QPushButton>(f, "BitBtn2");
        EXPECT_EQ(ok->pos(), okShown - QPoint(0, 224));
        EXPECT_EQ(cancel->pos(), cancelShown - QPoint(0, 224));
        // Under the scope group, inside the window.
        EXPECT_GE(ok->y(), Child<QGroupBox>(f, "GroupBox1")->geometry().bottom());
        EXPECT_LE(ok->geometry().bottom(), f.height());
        EXPECT_TRUE(ok->isVisible() && cancel->isVisible());
        f.reject();
    });
}

} // namespace
