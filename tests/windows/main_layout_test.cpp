#include "windows/main_catalogue.h"

#include <QLabel>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>

namespace {

class MainLayout : public TSampleDeployment
{
protected:
    void SetUp() override
    {
        TSampleDeployment::SetUp();
        if (IsSkipped())
            return;
        w = Start();
        ASSERT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    }
    void Settle() { QCoreApplication::processEvents(); }
    QString Suffix() const { return GetParam() ? QStringLiteral("-network") : QStringLiteral("-local"); }
    void FindGoods()
    {
        Select(*w, City(GoodRoot(*w), 343));
        Get<QComboBox>(*w, "cbFindGoodName")->setEditText(QStringLiteral("а"));
        Click(Get<QPushButton>(*w, "btnFindGood"));
        Settle();
    }
    void FindFirms()
    {
        Select(*w, City(EnprRoot(*w), 343));
        Get<QComboBox>(*w, "cbFindEnprName")->setEditText(QStringLiteral("а"));
        Click(Get<QPushButton>(*w, "btnFindEnpr"));
        Settle();
    }

    std::unique_ptr<TfrmMain> w;
};

} // namespace

TEST_P(MainLayout, FitsAtTheSmallestSizeAndMaximised)
{
    ASSERT_EQ(w->size(), QSize(800, 550));
    auto *bar = Get<QToolBar>(*w, "ToolBar1");
    int buttons = 0;
    for (QToolButton *b : bar->findChildren<QToolButton *>(Qt::FindDirectChildrenOnly)) {
        const std::string name = b->objectName().toStdString();
        if (b->objectName() == QLatin1String("qt_toolbar_ext_button")) {
            EXPECT_FALSE(b->isVisible()) << "nothing behind the overflow arrow";
            continue;
        }
        ++buttons;
        EXPECT_TRUE(b->isVisible()) << name;
        EXPECT_TRUE(bar->rect().contains(b->geometry())) << name;
    }
    EXPECT_EQ(buttons, 11); // ten tool buttons and the remarks button
    auto *tree = Get<QTreeWidget>(*w, "TreeView");
    for (QTreeWidgetItem *root : {GoodRoot(*w), EnprRoot(*w)})
        for (int i = 0; i < root->childCount(); ++i) {
            QTreeWidgetItem *city = root->child(i);
            EXPECT_LE(tree->visualItemRect(city).left() + 16 + tree->fontMetrics().horizontalAdvance(city->text(0)),
                      tree->viewport()->width())
                << "city name not cut: " << city->text(0).toStdString();
        }

    // The telephone line of a goods row fits beside its caption.
    FindGoods();
    SaveShot(w.get(), QStringLiteral("goods-800") + Suffix());
    if (GetParam()) {
        auto *phones = Get<QLabel>(*w, "DBText7");
        EXPECT_GE(phones->width(), phones->fontMetrics().horizontalAdvance(phones->text()))
            << phones->text().toStdString();
    }
    const int treeWidth = tree->width();

    // The organisation boxes show a dozen characters at least, and the tree
    // kept its width when the wider organisation panel came.
    FindFirms();
    SaveShot(w.get(), QStringLiteral("firms-800") + Suffix());
    EXPECT_EQ(tree->width(), treeWidth);
    for (const char *name : {"cbFindEnprName", "cbFindEnprAttr", "cbFindEnprPost", "cbFindEnprWeb", "cbFindEnprPhone",
                             "cbFindEnprPeople"}) {
        QLineEdit *edit = Get<QComboBox>(*w, name)->lineEdit();
        EXPECT_GE(edit->width(), 12 * edit->fontMetrics().averageCharWidth()) << name;
    }

    // The user drags the splitter; the tree keeps that width when the
    // window grows and when the view changes, the result side takes the rest.
    QSplitterHandle *handle = Get<QSplitter>(*w, "Splitter1")->handle(1);
    const QPoint from = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, {}, from);
    QTest::mouseMove(handle, from + QPoint(40, 0));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, from + QPoint(40, 0));
    Settle();
    EXPECT_EQ(tree->width(), treeWidth + 40);
    auto *grid = Get<TDBGrid>(*w, "DBGrid2");
    auto *card = Get<QWidget>(*w, "pnlAllInfo");
    const int gridWidth = grid->width();
    const int cardWidth = card->width();
    const int addressWidth = grid->Columns()[1]->Width();
    w->resize(1280, 1024);
    Settle();
    SaveShot(w.get(), QStringLiteral("firms-1280") + Suffix());
    EXPECT_EQ(tree->width(), treeWidth + 40);
    // The grid takes the 480 pixels, the card keeps its width, and the
    // address column gets its share of them.
    EXPECT_GE(grid->width(), gridWidth + 470);
    EXPECT_EQ(card->width(), cardWidth);
    EXPECT_GE(grid->Columns()[1]->Width(), addressWidth + 150);
    FindGoods();
    SaveShot(w.get(), QStringLiteral("goods-1280") + Suffix());
    EXPECT_EQ(tree->width(), treeWidth + 40);
    FindFirms();
    EXPECT_EQ(tree->width(), treeWidth + 40);
}

INSTANTIATE_TEST_SUITE_P(Deployments, MainLayout, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Network" : "Local"; });

// What the user types first, before any click, lands in "Товар/услуга:".
TEST_P(MainLayout, TypingAtStartGoesIntoTheGoodsSearchBox)
{
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QWidget *focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClicks(focus, QStringLiteral("hleb"));
    auto *box = Get<QComboBox>(*w, "cbFindGoodName");
    EXPECT_EQ(box->currentText(), QStringLiteral("hleb")) << focus->objectName().toStdString();
    EXPECT_TRUE(Get<QComboBox>(*w, "cbFindGoodEnprName")->currentText().isEmpty());
}
