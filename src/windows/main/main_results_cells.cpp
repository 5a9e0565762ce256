// Painting the cells of the result grids (sort mark, organisation colours,
// the user's words and the discount mark in red), re-sorting by a click on a
// column title and the proportional column widths.

#include "windows/main/main.h"

#include "ui_main.h"

#include "services/tools_grid.h"

namespace {

QString FieldText(TColumn *column)
{
    TField *field = column->Field();
    return field ? field->DisplayText() : QString();
}

} // namespace

void TfrmMain::DBGrid1DrawColumnCell(const QRect &rect, int dataCol, TColumn *column, TGridDrawState state)
{
    TCanvas &canvas = DBGrid1->Canvas();
    // Each repaint covers the whole cell, so the text is painted once, with
    // the red words of the last rule that applies.
    bool repaint = m_goods.PaintCellBase(History, rect, dataCol, state) > 0;
    QString words;
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
    const int org = m_enpr.PaintCellBase(History, rect, dataCol, state);
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
    m_goods.TitleClick(History, column);
}

void TfrmMain::DBGrid2TitleClick(TColumn *column)
{
    m_enpr.TitleClick(History, column);
}

void TfrmMain::pnlGoodGridResize()
{
    m_goods.FitColumns();
}

void TfrmMain::pnlEnprGridResize()
{
    m_enpr.FitColumns();
}
