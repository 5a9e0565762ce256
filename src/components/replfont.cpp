#include "components/replfont.h"

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
    for (qsizetype i = controls.size() - 1; i >= 0; --i)
        controls[i]->setProperty("charset", RUSSIAN_CHARSET);
}
