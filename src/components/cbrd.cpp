#include "components/cbrd.h"

#include <QClipboard>
#include <QGuiApplication>

void CopyTextToClipboard(const QString &text)
{
    if (text.isEmpty())
        return;
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->setText(text, QClipboard::Clipboard);
}
