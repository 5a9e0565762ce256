// Painting the cells of the result grids (sort mark, organisation colours,
// the user's words and the discount mark in red), re-sorting by a click on a
// column title and the proportional column widths.

#include "windows/main/main.h"
#include "windows/main/eventhook.h"

#include "ui_main.h"

#include "services/globals.h"
#include "services/tools_grid.h"

namespace {

QString FieldText(TColumn *column)
{
    TField *field = column->Field();
    return field ? field->DisplayText() : QString();
}

// The organisation's kind as the network version's result gives it; 0 when
// the result has no such column.
int OrgOf(const TDataSet &query)
{
    const TField *org = query.FindField(QStringLiteral("org"));
    return org ? org->AsInteger() : 0;
}

// The title of the sort column looks pressed.
void DrawSortMark(TCustomDBGrid *grid, const QRect &cell)
{
    const QRect title(cell.x(), 0, cell.width(), grid->RowHeight(0));
    grid->Canvas().DrawEdge(title, edSunkenInner, bfRight | bfBottom);
    grid->Canvas().DrawEdge(title, edSunkenInner, bfLeft | bfTop);
}

// Network version: teal and grey rows for the organisations so marked, in
// rows that are neither selected nor focused.
void SetOrgColour(TCanvas &canvas, int org, TGridDrawState state)
{
    if (state != 0)
        return;
    if (org == 1)
        canvas.Font().SetColor(ColorFromBgr(0x808000));
    else if (org == 2)
        canvas.Font().SetColor(ColorFromBgr(0x808080));
}

} // namespace

void TfrmMain::DBGrid1DrawColumnCell(const QRect &rect, int dataCol, TColumn *column, TGridDrawState state)
{
    TCanvas &canvas = DBGrid1->Canvas();
    if (dataCol == History.GoodSortCol)
        DrawSortMark(DBGrid1, rect);
    // Each repaint covers the whole cell, so the text is painted once, with
    // the red words of the last rule that applies.
    bool repaint = false;
    QString words;
    if (IsMysqlProtocol()) {
        const int org = OrgOf(Query4);
        SetOrgColour(canvas, org, state);
        repaint = org > 0;
    }
    const QString text = FieldText(column);
    if (History.Kind == 0) {
        const QString field = column->FieldName();
        if (History.ByUser) {
            repaint = true;
            if (field == QLatin1String("sname"))
                words = History.GoodName;
            else if (field == QLatin1String("ssfn"))
                words = History.GoodEnprName;
        }
        if (field == QLatin1String("sprice") && text.contains(u'*')) {
            repaint = true;
            words = QStringLiteral("*");
        }
    }
    if (repaint)
        DrawCellHighlighted(rect, words, canvas, column->Alignment(), text);
}

void TfrmMain::DBGrid2DrawColumnCell(const QRect &rect, int dataCol, TColumn *column, TGridDrawState state)
{
    TCanvas &canvas = DBGrid2->Canvas();
    if (dataCol == History.EnprSortCol)
        DrawSortMark(DBGrid2, rect);
    const int org = IsMysqlProtocol() ? OrgOf(Query5) : 0;
    if (IsMysqlProtocol())
        SetOrgColour(canvas, org, state);
    if (History.Kind == 1 && History.ByUser) {
        QString words;
        if (column->FieldName() == QLatin1String("ssfn"))
            words = History.EnprName;
        else if (column->FieldName() == QLatin1String("sallinfo"))
            words = History.EnprPost;
        DrawCellHighlighted(rect, words, canvas, column->Alignment(), FieldText(column));
    } else if (org > 0) {
        DrawCellAligned(rect, canvas, FieldText(column), column->Alignment());
    }
}

void TfrmMain::DBGrid1TitleClick(TColumn *column)
{
    // Without a result there is nothing to sort.
    const int i = column->Index();
    if (!Query4.Active() || !GoodSortOrders.contains(i))
        return;
    History.GoodSortCol = i;
    History.GoodOrderBy = QStringLiteral(" order by ") + GoodSortOrders.value(i);
    Query4.Close();
    Query4.SetSQL(History.GoodSql + History.GoodOrderBy);
    Query4.Open();
    DBGrid1->viewport()->update();
}

void TfrmMain::DBGrid2TitleClick(TColumn *column)
{
    const int i = column->Index();
    if (!Query5.Active() || !EnprSortOrders.contains(i))
        return;
    History.EnprSortCol = i;
    History.EnprOrderBy = QStringLiteral(" order by ") + EnprSortOrders.value(i);
    Query5.Close();
    Query5.SetSQL(History.EnprSql + History.EnprOrderBy);
    Query5.Open();
    DBGrid2->viewport()->update();
}

void TfrmMain::pnlGoodGridResize()
{
    FitGridColumns(*DBGrid1, {0, 2});
}

void TfrmMain::pnlEnprGridResize()
{
    FitGridColumns(*DBGrid2, {0, 1});
}

// The grids fill their panels; their own resize comes after the panel's
// layout has placed them, so the widths are fitted to the final size.
void TfrmMain::SetupResizeHooks()
{
    new TEventHook(DBGrid1, QEvent::Resize, [this](QEvent *) { pnlGoodGridResize(); });
    new TEventHook(DBGrid2, QEvent::Resize, [this](QEvent *) { pnlEnprGridResize(); });
}
