#include "platform/grid.h"
#include "platform/grid_inplace.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

struct PaintedCell {
    int col, row;
    QRect rect;
    TGridDrawState state;
};

class ProbeGrid : public TBaseGrid
{
public:
    ProbeGrid()
    {
        SetFillsCells(false);
        SetGridOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goColSizing | goEditing);
        SetDefaultRowHeight(20);
        SetDefaultColWidth(50);
        SetColCount(5);
        SetRowCount(30);
        SetFixedCols(1);
        SetFixedRows(1);
        resize(300, 200);
    }
    std::vector<PaintedCell> painted;
    int widthHooks = 0;
    std::vector<std::pair<TScrollCode, int>> scrolls;
    QString kept;
    using TBaseGrid::HandleMouseDown;

protected:
    void PaintCell(int col, int row, const QRect &rect, TGridDrawState state) override
    {
        painted.push_back({col, row, rect, state});
    }
    void AfterColumnWidthsChange() override { ++widthHooks; }
    void HandleVerticalScroll(TScrollCode code, int pos) override { scrolls.emplace_back(code, pos); }
    QString EditorTextOf(int col, int row) override { return QStringLiteral("%1:%2").arg(col).arg(row); }
    void KeepEditorText(int, int, const QString &text) override { kept = text; }
};

const PaintedCell *Find(const std::vector<PaintedCell> &cells, int col, int row)
{
    for (const auto &c : cells)
        if (c.col == col && c.row == row)
            return &c;
    return nullptr;
}

} // namespace

TEST(BaseGrid, GeometryCountsLinesAndHidesZeroWidthColumns)
{
    ProbeGrid g;
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    // Each cell is followed by its one-pixel line.
    EXPECT_EQ(g.CellRect(0, 0), QRect(0, 0, 50, 20));
    EXPECT_EQ(g.CellRect(1, 1), QRect(51, 21, 50, 20));
    g.SetColWidth(2, 0);
    EXPECT_TRUE(g.CellRect(2, 1).isEmpty());
    EXPECT_EQ(g.CellRect(3, 1).left(), 102); // column 2 and its line take no room
    EXPECT_EQ(g.MouseCoord(103, 22), QPoint(3, 1));
    EXPECT_EQ(g.MouseCoord(-1, 5), QPoint(-1, 0));
    // Past the last column: -1 for the column only.
    g.SetColCount(3);
    EXPECT_EQ(g.MouseCoord(250, 5).x(), -1);
    EXPECT_EQ(g.BoxRect(0, 0, 1, 1), QRect(0, 0, 101, 41));
}

TEST(BaseGrid, VisibleRowCountCountsFullyVisibleRowsOnly)
{
    ProbeGrid g;
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    const int h = g.viewport()->height();
    const int expected = (h - 21) / 21;
    EXPECT_EQ(g.VisibleRowCount(), expected);
    // One pixel short of another pitch changes nothing; a full pitch adds one row.
    g.resize(g.width(), g.height() + 20 - ((h - 21) % 21));
    EXPECT_EQ(g.VisibleRowCount(), expected);
    g.resize(g.width(), g.height() + 1);
    EXPECT_EQ(g.VisibleRowCount(), expected + 1);
    g.resize(g.width(), 10);
    EXPECT_EQ(g.VisibleRowCount(), 1);
}

TEST(BaseGrid, MoveCurrentWithoutScrollKeepsAnchorAndTopRow)
{
    ProbeGrid g;
    g.SetGridOptions((g.GridOptions() & ~goEditing) | goRangeSelect);
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    g.MoveCurrent(2, 25, false, false);
    EXPECT_EQ(g.Row(), 25);
    EXPECT_EQ(g.TopRow(), 1);
    EXPECT_EQ(g.Selection(), QRect(QPoint(1, 1), QPoint(2, 25)));
    g.SetRow(25); // moves the anchor and scrolls it into view
    EXPECT_EQ(g.Selection(), QRect(QPoint(2, 25), QPoint(2, 25)));
    EXPECT_GT(g.TopRow(), 1);
    EXPECT_LT(g.Row(), g.TopRow() + g.VisibleRowCount());
    g.SetGridOptions(g.GridOptions() | goRowSelect);
    EXPECT_EQ(g.Selection(), QRect(QPoint(1, 25), QPoint(4, 25)));
    // Without range selection the anchor follows every move.
    g.SetGridOptions(g.GridOptions() & ~(goRowSelect | goRangeSelect));
    g.MoveCurrent(3, 2, false, false);
    EXPECT_EQ(g.Selection(), QRect(QPoint(3, 2), QPoint(3, 2)));
}

TEST(BaseGrid, PaintLoopHandsOutFixedSelectedAndFocusedStates)
{
    ProbeGrid g;
    g.SetGridOptions(g.GridOptions() | goRowSelect);
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    g.activateWindow();
    g.setFocus();
    QApplication::processEvents();
    g.painted.clear();
    g.viewport()->repaint();
    ASSERT_FALSE(g.painted.empty());
    EXPECT_EQ(Find(g.painted, 0, 0)->state, unsigned(gdFixed));
    EXPECT_EQ(Find(g.painted, 0, 1)->state, unsigned(gdFixed));
    EXPECT_EQ(Find(g.painted, 1, 1)->state, unsigned(gdSelected | gdFocused));
    EXPECT_EQ(Find(g.painted, 3, 1)->state, unsigned(gdSelected));
    EXPECT_EQ(Find(g.painted, 3, 2)->state, 0u);
    // Hidden columns are not painted at all.
    g.SetColWidth(2, -1);
    g.painted.clear();
    g.viewport()->repaint();
    EXPECT_EQ(Find(g.painted, 2, 1), nullptr);
}

TEST(BaseGrid, DraggingATitleBorderSizesTheColumnAndCallsTheHookOnce)
{
    ProbeGrid g;
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    const int border = g.CellRect(1, 0).right() + 1; // the line after column 1
    QTest::mousePress(g.viewport(), Qt::LeftButton, {}, QPoint(border, 5));
    EXPECT_EQ(g.GridState(), gsColSizing);
    QTest::mouseMove(g.viewport(), QPoint(border + 30, 5));
    QTest::mouseRelease(g.viewport(), Qt::LeftButton, {}, QPoint(border + 30, 5));
    EXPECT_EQ(g.ColWidth(1), 80);
    EXPECT_EQ(g.widthHooks, 1);
    EXPECT_EQ(g.GridState(), gsNormal);
    // Away from a border a title press sizes nothing.
    QTest::mousePress(g.viewport(), Qt::LeftButton, {}, QPoint(g.CellRect(2, 0).center()));
    QTest::mouseRelease(g.viewport(), Qt::LeftButton, {}, QPoint(g.CellRect(2, 0).center()));
    EXPECT_EQ(g.widthHooks, 1);
}

TEST(BaseGrid, RightToLeftIsTheMirrorImage)
{
    ProbeGrid ltr, rtl;
    rtl.setLayoutDirection(Qt::RightToLeft);
    // Only one window is active: both draw with the active colours.
    QPalette same = QApplication::palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role)
        same.setColor(QPalette::Inactive, QPalette::ColorRole(role),
                      same.color(QPalette::Active, QPalette::ColorRole(role)));
    for (ProbeGrid *g : {&ltr, &rtl}) {
        g->setPalette(same);
        g->SetFillsCells(true);
        g->SetColWidth(2, 70);
        g->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(g));
        g->painted.clear();
        g->viewport()->repaint();
    }
    const int w = ltr.viewport()->width();
    ASSERT_EQ(rtl.viewport()->width(), w);
    auto mirror = [w](const QRect &r) { return QRect(w - 1 - r.right(), r.top(), r.width(), r.height()); };
    ASSERT_FALSE(ltr.painted.empty());
    for (const PaintedCell &c : ltr.painted) {
        const PaintedCell *m = Find(rtl.painted, c.col, c.row);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->rect, mirror(c.rect));
        EXPECT_EQ(m->state & ~gdFocused, c.state & ~gdFocused); // only one of them has the focus
        EXPECT_EQ(rtl.CellRect(c.col, c.row), mirror(ltr.CellRect(c.col, c.row)));
        if (c.rect.center().y() < rtl.viewport()->height()) {
            EXPECT_EQ(rtl.MouseCoord(w - 1 - c.rect.center().x(), c.rect.center().y()), QPoint(c.col, c.row));
        }
    }
    // Lines and background, pixel for pixel.
    EXPECT_EQ(rtl.viewport()->grab().toImage(), ltr.viewport()->grab().toImage().mirrored(true, false));

    // The sizing border of a column is on its left; dragging it left widens it.
    const int border = rtl.CellRect(1, 0).left() - 1;
    QTest::mousePress(rtl.viewport(), Qt::LeftButton, {}, QPoint(border, 5));
    EXPECT_EQ(rtl.GridState(), gsColSizing);
    QTest::mouseMove(rtl.viewport(), QPoint(border - 30, 5));
    QTest::mouseRelease(rtl.viewport(), Qt::LeftButton, {}, QPoint(border - 30, 5));
    EXPECT_EQ(rtl.ColWidth(1), 80);
}

TEST(BaseGrid, VerticalBarShowsWhatTheOwnerSetsAndReportsRequests)
{
    ProbeGrid g;
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    g.SetVertScrollInfo({1, 109, 10, 5});
    QScrollBar *bar = g.verticalScrollBar();
    EXPECT_EQ(bar->minimum(), 1);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->pageStep(), 10);
    EXPECT_EQ(bar->value(), 5);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    ASSERT_EQ(g.scrolls.size(), 3u);
    EXPECT_EQ(g.scrolls[0].first, scLineDown);
    EXPECT_EQ(g.scrolls[1].first, scPageUp);
    EXPECT_EQ(g.scrolls[2].first, scBottom);
    EXPECT_EQ(bar->value(), 5); // nothing moved until the owner says so
    // Wheel and keys scroll nothing by themselves.
    int wheelDelta = 0;
    g.OnMouseWheel = [&](QObject *, TShiftState, int delta, QPoint, bool &handled) {
        wheelDelta = delta;
        handled = true;
    };
    QWheelEvent wheel(QPointF(50, 50), g.mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(g.viewport(), &wheel);
    EXPECT_EQ(wheelDelta, -120);
    EXPECT_EQ(bar->value(), 5);
    EXPECT_EQ(g.TopRow(), 1);
}

TEST(BaseGrid, EditorLoadsTheCellAndHandsItsTextBackOnHide)
{
    ProbeGrid g;
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    g.MoveCurrent(2, 3, true, false);
    g.ShowEditor();
    ASSERT_NE(g.InplaceEditor(), nullptr);
    EXPECT_TRUE(g.InplaceEditor()->isVisible());
    EXPECT_EQ(g.InplaceEditor()->text(), QStringLiteral("2:3"));
    EXPECT_EQ(g.InplaceEditor()->geometry(), g.CellRect(2, 3));
    g.InplaceEditor()->setText(QStringLiteral("new"));
    g.HideEditor();
    EXPECT_FALSE(g.InplaceEditor()->isVisible());
    EXPECT_EQ(g.kept, QStringLiteral("new"));
    // Row select forbids the editor.
    g.SetGridOptions(g.GridOptions() | goRowSelect);
    g.ShowEditor();
    EXPECT_FALSE(g.EditorMode());
}

TEST(BaseGrid, ScrollingDataRowsRepaintsTheUncoveredStrip)
{
    ProbeGrid g;
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    QApplication::processEvents();
    g.painted.clear();
    g.ScrollDataRows(1, -21);
    QApplication::processEvents();
    // Only the row that came into view at the bottom (and nothing of the titles) repaints.
    ASSERT_FALSE(g.painted.empty());
    for (const auto &c : g.painted)
        EXPECT_GT(c.row, 1) << c.col << "," << c.row;
}

TEST(GridSupport, FontAnnouncesRealChangesOnly)
{
    TFont a, b;
    QSignalSpy spy(&a, &TFont::Changed);
    a.Assign(b);
    EXPECT_EQ(spy.count(), 0);
    b.SetColor(QColor(255, 0, 0));
    a.Assign(b);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(a.Color(), QColor(255, 0, 0));
    a.SetCharset(204);
    EXPECT_EQ(spy.count(), 2);
    EXPECT_FALSE(a.SameHandle(b));
    EXPECT_EQ(ColorFromBgr(0x808000), QColor(0, 128, 128));
}

TEST(GridSupport, ImageListMakesTheKeyColourTransparent)
{
    QImage img(6, 11, QImage::Format_RGB32);
    img.fill(Qt::white);
    img.setPixel(2, 5, qRgb(0, 0, 255));
    TImageList list(6, 11);
    EXPECT_EQ(list.AddMasked(img, Qt::white), 0);
    const QImage out = list.At(0).toImage();
    EXPECT_EQ(qAlpha(out.pixel(0, 0)), 0);
    EXPECT_EQ(out.pixel(2, 5), qRgb(0, 0, 255));
}

TEST(GridSupport, CoalescedEventIsQueuedOnce)
{
    class Counter : public QObject
    {
    public:
        int seen = 0;
        TCoalescedEvent ev{QEvent::Type(QEvent::User + 100)};
        bool event(QEvent *e) override
        {
            if (e->type() == ev.Type()) {
                ev.Delivered();
                ++seen;
                return true;
            }
            return QObject::event(e);
        }
    } target;
    EXPECT_TRUE(target.ev.Post(&target));
    EXPECT_FALSE(target.ev.Post(&target));
    QCoreApplication::sendPostedEvents(&target);
    EXPECT_EQ(target.seen, 1);
    EXPECT_TRUE(target.ev.Post(&target));
    target.ev.Discard(&target);
    QCoreApplication::sendPostedEvents(&target);
    EXPECT_EQ(target.seen, 1);
}

TEST(GridEditMask, ClassicMasksBecomeInputMasks)
{
    const struct {
        const char16_t *editMask;
        const char16_t *inputMask;
    } cases[] = {
        {u"", u""},
        {u"!99/99/0000;1;_", u"00/00/9999;_"},
        {u">LL-000;0;*", u">AA-999;*"},
        {u"(999) 000-0000", u"(000) 999-9999;_"},
        {u"<>cC", u"!xX;_"},
        {u"\\A\\0a;1; ", u"\\A\\0n; "},
        {u"X_Y", u"\\X Y;_"},
        {u"9\\;", u"0\\;;_"},
    };
    for (const auto &c : cases) {
        const QString editMask = QString::fromUtf16(c.editMask);
        SCOPED_TRACE(editMask.toStdString());
        EXPECT_EQ(InputMaskFromEditMask(editMask), QString::fromUtf16(c.inputMask));
    }
}
