#include "windows/main/resultpane.h"

#include "services/globals.h"
#include "services/tools_grid.h"

#include <QLayout>

namespace {

constexpr TDBGridOptions kResultGridOptions = dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines |
                                              dgTabs | dgRowSelect | dgAlwaysShowSelection | dgConfirmDelete |
                                              dgCancelOnExit | dgMultiSelect;

// The organisation's kind as the network version's result gives it; 0 when
// the result has no such column.
int OrgOf(const TDataSet &query)
{
    const TField *org = query.FindField(QStringLiteral("org"));
    return org ? org->AsInteger() : 0;
}

} // namespace

TResultPane::TResultPane(TZReadOnlyQuery &query, TDataSource &source, QMap<int, QString> &sortOrders, TViewFields view,
                         QSet<int> stretching, bool quietReopen)
    : Query(query), Source(source), m_sortOrders(sortOrders), m_view(view), m_stretching(std::move(stretching)),
      m_quietReopen(quietReopen)
{}

TDBGrid *TResultPane::CreateGrid(QWidget *panel, const char *name, std::initializer_list<TColumnSpec> columns)
{
    Grid = new TDBGrid(panel);
    Grid->setObjectName(QString::fromLatin1(name));
    Grid->SetOptions(kResultGridOptions);
    Grid->SetReadOnly(true);
    for (const TColumnSpec &def : columns) {
        TColumn *column = Grid->Columns().AppendColumn();
        column->SetFieldName(QString::fromLatin1(def.field));
        column->Title().SetCaption(QString::fromUtf16(def.title));
        column->Title().SetAlignment(taCenter);
        column->SetWidth(def.width);
        column->SetAlignment(def.alignment);
    }
    Grid->SetDataSource(&Source);
    panel->layout()->addWidget(Grid);
    return Grid;
}

void TResultPane::OpenSearch(THistoryRec &view, const QString &sql, const QString &defaultOrder)
{
    m_sortOrders[-1] = defaultOrder;
    view.*m_view.sortCol = -1;
    view.*m_view.sql = sql;
    view.*m_view.orderBy = QStringLiteral(" order by ") + defaultOrder;
    Reopen(view);
}

void TResultPane::Reopen(const THistoryRec &view)
{
    if (m_quietReopen)
        Source.SetEnabled(false);
    Query.Close();
    Query.SetSQL(view.*m_view.sql + view.*m_view.orderBy);
    Query.Open();
    if (m_quietReopen)
        Source.SetEnabled(true);
}

void TResultPane::TitleClick(THistoryRec &view, TColumn *column)
{
    const int i = column->Index();
    if (!Query.Active() || !m_sortOrders.contains(i))
        return;
    view.*m_view.sortCol = i;
    view.*m_view.orderBy = QStringLiteral(" order by ") + m_sortOrders.value(i);
    Query.Close();
    Query.SetSQL(view.*m_view.sql + view.*m_view.orderBy);
    Query.Open();
    Grid->viewport()->update();
}

int TResultPane::PaintCellBase(const THistoryRec &view, const QRect &rect, int dataCol, TGridDrawState state)
{
    TCanvas &canvas = Grid->Canvas();
    // The title of the sort column looks pressed.
    if (dataCol == view.*m_view.sortCol) {
        const QRect title(rect.x(), 0, rect.width(), Grid->RowHeight(0));
        canvas.DrawEdge(title, edSunkenInner, bfRight | bfBottom);
        canvas.DrawEdge(title, edSunkenInner, bfLeft | bfTop);
    }
    if (!IsMysqlProtocol())
        return 0;
    const int org = OrgOf(Query);
    // Teal and grey organisations; a marked row keeps the highlight's text
    // colour, as a selected one does.
    if (state == 0 && !RowHighlighted(state)) {
        if (org == 1)
            canvas.Font().SetColor(ColorFromBgr(0x808000));
        else if (org == 2)
            canvas.Font().SetColor(ColorFromBgr(0x808080));
    }
    return org;
}

bool TResultPane::RowHighlighted(TGridDrawState state)
{
    // The grid paints marked rows highlighted without a state of their own.
    return (state & (gdSelected | gdFocused | gdFixed)) != 0 || Grid->MarkedRows().IsCurrentRowMarked();
}

QColor TResultPane::MarkBrush(TGridDrawState state)
{
    return RowHighlighted(state) ? clHighlightText() : QColor();
}

void TResultPane::FitColumns()
{
    FitGridColumns(*Grid, m_stretching);
}
