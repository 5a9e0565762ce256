#include "components/replfont.h"

#include "components/DBGrids_core.h"

#include <QVariant>
#include <QWidget>

void SetFormCharsetRussian(QWidget *form)
{
    if (!form)
        return;
    // Qt draws Unicode text, so Cyrillic needs no font change here; the mark
    // records that the window went through the fix-up, control by control.
    const QList<QWidget *> controls = form->findChildren<QWidget *>();
    if (controls.size() < 2)
        return;
    for (qsizetype i = controls.size() - 1; i >= 0; --i) {
        // A data grid's columns take the set through their own fonts, which
        // from then on no longer follow the grid's font; the grid's font and
        // its titles keep theirs.
        if (auto *grid = qobject_cast<TCustomDBGrid *>(controls[i])) {
            TDBGridColumns &columns = grid->Columns();
            for (int c = 0; c < columns.Count(); ++c)
                columns[c]->Font().SetCharset(RUSSIAN_CHARSET);
            continue;
        }
        controls[i]->setProperty("charset", RUSSIAN_CHARSET);
    }
}
