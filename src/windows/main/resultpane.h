#pragma once
// One result side of the main window: its query, data source and grid, the
// order texts a title click chooses from, and the fields of the view record
// that keep the side's SQL, order and sort column. The goods and the
// organisation side are two of these.

#include "components/DBGrid.h"
#include "data/datasource.h"
#include "data/query.h"
#include "windows/main/historyrec.h"

#include <QMap>
#include <QSet>
#include <QString>

#include <initializer_list>

class TResultPane
{
public:
    struct TColumnSpec {
        const char *field;
        const char16_t *title;
        int width;
        TAlignment alignment;
    };
    // Where a view record keeps this side's query text, order and sort column.
    struct TViewFields {
        QString THistoryRec::*sql;
        QString THistoryRec::*orderBy;
        int THistoryRec::*sortCol;
    };

    TResultPane(TZReadOnlyQuery &query, TDataSource &source, QMap<int, QString> &sortOrders, TViewFields view,
                QSet<int> stretching, bool quietReopen);

    // The grid over the side's data source, with its columns, filling panel.
    TDBGrid *CreateGrid(QWidget *panel, const char *name, std::initializer_list<TColumnSpec> columns);

    // Runs a new search's SQL in its default order (sort column -1).
    void OpenSearch(THistoryRec &view, const QString &sql, const QString &defaultOrder);
    // Runs the view's stored SQL and order again.
    void Reopen(const THistoryRec &view);
    // Sorts by the clicked column, kept in the view; nothing without a
    // result or for a column without an order.
    void TitleClick(THistoryRec &view, TColumn *column);
    // Before the window's own painting of a cell: the sort mark and, on the
    // network version, the organisation's colour on rows the grid shows
    // plainly (neither selected, focused, fixed nor marked). Returns the row's organisation kind (0 when none).
    int PaintCellBase(const THistoryRec &view, const QRect &rect, int dataCol, TGridDrawState state);
    // The background of the red words: none on a plain row, the highlight
    // text's colour on a selected or marked one.
    QColor MarkBrush(TGridDrawState state);
    void FitColumns();

    TZReadOnlyQuery &Query;
    TDataSource &Source;
    TDBGrid *Grid = nullptr;

private:
    bool RowHighlighted(TGridDrawState state);

    QMap<int, QString> &m_sortOrders;
    TViewFields m_view;
    QSet<int> m_stretching;
    // The goods side keeps its data source off while the query reopens, so
    // that the grid and the detail lines hear of the new rows once.
    bool m_quietReopen;
};
