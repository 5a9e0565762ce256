#pragma once
// Helpers around the result grids: proportional column widths when the grid
// changes size, and painting a cell's text again, either simply aligned (in
// the colour the caller chose) or with the user's search words in red.

#include "data/fields.h"

#include <QColor>
#include <QRect>
#include <QSet>
#include <QString>

class TCanvas;
class TCustomDBGrid;

// Stretches the columns whose indexes are in stretching (0 to 20) over the
// width the other columns leave, keeping their current proportions; nothing
// happens while the grid's dataset is closed.
void FitGridColumns(TCustomDBGrid &grid, const QSet<int> &stretching);

// The text at the cell's left + 2, right - width - 3 or centred, top + 2, on
// the rectangle filled with the canvas's brush, in the canvas's font.
void DrawCellAligned(const QRect &rect, TCanvas &canvas, const QString &text, TAlignment alignment);

// As DrawCellAligned, with the first occurrence of each search word (any
// letter case) in red; on markBrush when given (red on a highlighted row's
// colour would not be readable).
void DrawCellHighlighted(const QRect &rect, const QString &words, TCanvas &canvas, TAlignment alignment,
                         const QString &text, const QColor &markBrush = QColor());
