// Printing, preview and saving of the firm window: the card as it is shown,
// or the price list's marked, current or every row as a table built under
// the progress window.

#include "windows/price/price.h"

#include "components/Progress.h"
#include "data/connection.h"
#include "services/htmlpage.h"
#include "services/tools_format.h"
#include "windows/price/cardsections.h"
#include "windows/printset.h"
#include "windows/printwalk.h"

#include <QList>
#include <QTabWidget>
#include <QToolButton>

QString TfrmPrice::BuildPriceRowHtml(const QString &name, const QString &price, const QString &id)
{
    if (id == QLatin1String("-1"))
        return QStringLiteral("<tr bgcolor=white><td valign=top colspan=2 align=center><b>") + EscapeHtmlText(name) +
               QStringLiteral("</b></td>") + QStringLiteral("</tr>");
    return QStringLiteral("<tr bgcolor=white><td valign=top>") + EscapeHtmlText(name) + QStringLiteral("</td>") +
           QStringLiteral("<td valign=top nowrap align=right valign=top>") + EscapeHtmlText(price) +
           QStringLiteral("</td>") + QStringLiteral("</tr>");
}

void TfrmPrice::btnPrintClick(QToolButton *sender)
{
    const auto output = [this, sender] {
        if (sender == btnSave) {
            bool cancelled = false;
            SaveHtmlToFile(this, PrintHtml, cancelled, m_keptFiles);
        } else {
            PrintOrPreviewHtml(this, PrintHtml, sender == btnPreview, m_keptFiles);
        }
    };
    if (!PriceTabActive()) {
        PrintHtml = CardHtml;
        output();
        return;
    }
    const int kind = sender == btnPrint ? 0 : sender == btnPreview ? 1 : 2;
    // The card sections the dialog hands back are not used for a price list.
    TCardSections s = TCardSections::All();
    PrintScope = ShowPrintSetDialog(kind, DBGrid1->MarkedRows().MarkedCount(), false, s.Name, s.Attr, s.Phone, s.People,
                                    s.Post, s.Transport, s.Web, s.Wt, s.Update, s.Filial);
    if (PrintScope == -1)
        return;
    const int max = PrintScope == 0 ? DBGrid1->MarkedRows().MarkedCount() : PrintScope == 1 ? 1 : Query1.RecordCount();
    PrintHtml.clear();
    RunWithProgress(max, QStringLiteral("Подготовка данных..."), [this](QObject *s) { BuildPricePrintHtml(s); });
    const bool cancelled = ProgressStopFlag;
    StopProgress();
    if (cancelled) {
        PrintHtml.clear();
        return;
    }
    try {
        output();
    } catch (...) {
        PrintHtml.clear();
        throw;
    }
    PrintHtml.clear();
}

void TfrmPrice::BuildPricePrintHtml(QObject *)
{
    PrintHtml = QStringLiteral("<p align=center><b>Прайс-лист организации ") + EscapeHtmlText(windowTitle()) +
                QStringLiteral("</b></p>") +
                QStringLiteral("<table border=0 width=\"100%\"  bgcolor=gray cellpadding=1 cellspacing=1><tr "
                               "bgcolor=white>") +
                QStringLiteral("<td align=center valign=top><b>Товар/Услуга</b></td>") +
                QStringLiteral("<td align=center valign=top><b>Цена</b></td>") + QStringLiteral("</tr>");
    if (PrintScope == 0 || PrintScope == 2)
        AppendWalkedRows(PrintScope == 2);
    else if (PrintScope == 1 && Query1.Active() && !Query1.IsEmpty())
        PrintHtml += BuildPriceRowHtml(Query1.FieldByName(QStringLiteral("sname")).AsString(),
                                       Query1.FieldByName(QStringLiteral("sprice")).AsString(),
                                       Query1.FieldByName(QStringLiteral("id")).AsString());
    PrintHtml += QStringLiteral("</table>");
}

void TfrmPrice::AppendWalkedRows(bool allRows)
{
    if (!Query1.Active())
        return;
    const auto row = [this](int number) {
        PrintHtml += BuildPriceRowHtml(Query1.FieldByName(QStringLiteral("sname")).AsString(),
                                       Query1.FieldByName(QStringLiteral("sprice")).AsString(),
                                       Query1.FieldByName(QStringLiteral("id")).AsString());
        if (ProgressStep(number))
            SetProgressText(QStringLiteral("Обработано записей - ") + QString::number(number));
    };
    QList<QByteArray> bookmarks;
    if (!allRows)
        for (int i = 0; i < DBGrid1->MarkedRows().MarkedCount(); ++i)
            bookmarks.append(DBGrid1->MarkedRows().MarkedBookmarkAt(i));
    {
        // The price list's texts are calculated fields: they stay on.
        TPrintWalk walk(*DBGrid1, Query1, false);
        if (allRows) {
            int number = 1;
            for (Query1.First(); !Query1.Eof() && !ProgressStopFlag; Query1.Next())
                row(number++);
        } else {
            for (int i = 0; i < bookmarks.size() && !ProgressStopFlag; ++i) {
                Query1.GotoBookmark(bookmarks[i]);
                row(i + 1);
            }
        }
        walk.Finish();
    }
    if (allRows) {
        TSqlWaitCursorOff waitCursorOff(Query1.Connection);
        Query1.Refresh();
    }
}
