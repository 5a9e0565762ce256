// The eight search boxes across a restart, as a user lives it: search, close
// the program, start it again.
#include "windows/main_catalogue.h"

#include <QAbstractItemView>
#include <QTest>

namespace {

const char *const kGoodBoxes[] = {"cbFindGoodName", "cbFindGoodEnprName"};
const char *const kEnprBoxes[] = {"cbFindEnprName",  "cbFindEnprAttr", "cbFindEnprPost",
                                  "cbFindEnprPhone", "cbFindEnprWeb",  "cbFindEnprPeople"};

class SearchBoxesAfterRestart : public TSampleWindow
{
protected:
    // Types the text key by key (Qt Test's keyClicks knows Latin-1 only).
    static void TypeInto(QWidget *w, const QString &text)
    {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }

    // Types one text into every box of a panel and presses Enter in the last.
    static void SearchWith(TfrmMain &w, const char *const *boxes, int count, const QString &word)
    {
        QComboBox *box = nullptr;
        for (int i = 0; i < count; ++i) {
            box = Get<QComboBox>(w, boxes[i]);
            box->lineEdit()->clear();
            TypeInto(box->lineEdit(), word + QString::number(i));
        }
        box->setFocus();
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    }

    static QStringList DropDown(QComboBox *box)
    {
        box->showPopup();
        QStringList rows;
        for (int i = 0; i < box->view()->model()->rowCount(); ++i)
            rows << box->view()->model()->index(i, 0).data().toString();
        box->hidePopup();
        return rows;
    }
};

} // namespace

TEST_F(SearchBoxesAfterRestart, EveryBoxStartsEmptyWithItsHistoryInTheDropDown)
{
    UseLocalSample();
    {
        auto w = Start();
        w->show();
        for (const QString &word : {QStringLiteral("старое"), QStringLiteral("новое")}) {
            SearchWith(*w, kGoodBoxes, 2, word);
            SearchWith(*w, kEnprBoxes, 6, word);
        }
        Get<QAction>(*w, "N5")->trigger(); // "Выход": the settings are written
    }

    auto w = Start();
    w->show();
    for (const char *const *boxes : {kGoodBoxes, kEnprBoxes}) {
        const int count = boxes == kGoodBoxes ? 2 : 6;
        for (int i = 0; i < count; ++i) {
            QComboBox *box = Get<QComboBox>(*w, boxes[i]);
            EXPECT_EQ(box->lineEdit()->text(), QString()) << boxes[i];
            EXPECT_EQ(DropDown(box), (QStringList{QStringLiteral("новое%1").arg(i), QStringLiteral("старое%1").arg(i)}))
                << boxes[i];
        }
    }

    // The next search is made of the new word alone, and the open drop-down
    // marks that word.
    QComboBox *name = Get<QComboBox>(*w, "cbFindEnprName");
    TypeInto(name->lineEdit(), QStringLiteral("ООО"));
    name->setFocus();
    QTest::keyClick(name->lineEdit(), Qt::Key_Return);
    EXPECT_TRUE(
        Get<QLineEdit>(*w, "edNavigave")->text().endsWith(QStringLiteral("(рез.поиска - организация: \"ООО\")")))
        << Get<QLineEdit>(*w, "edNavigave")->text().toStdString();
    name->showPopup();
    EXPECT_EQ(name->view()->currentIndex().data().toString(), QStringLiteral("ООО"));
    name->hidePopup();
}
