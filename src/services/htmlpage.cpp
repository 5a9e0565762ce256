#include "services/htmlpage.h"

#include "components/PreviewForm.h"
#include "components/SDialogs.h"
#include "data/codec.h"
#include "data/dberror.h"
#include "data/regularfile.h"
#include "platform/dialogs.h"
#include "platform/htmlview.h"
#include "platform/printers.h"
#include "services/pagerules.h"
#include "services/tools_format.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTextDocument>

#include <memory>

void BuildHtmlPageHead(QString &text)
{
    text = QStringLiteral("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">"
                          "<table width=\"100%\" border=0><tr><td><i>SELBRAN - Информационно-торговая система</i>"
                          "</td><td align=right><i>") +
           DateLocale().toString(QDate::currentDate(), QLocale::ShortFormat) + QStringLiteral("</i></td></tr></table>");
}

void BuildHtmlPageFoot(QString &text)
{
    text = QStringLiteral("<br><table width=\"100%\" border=0><tr><td align=center><i>"
                          "© SELBRAN - Информационно-торговая система. Все права защищены.</i></td></tr></table>");
}

void GetMyDocumentsFolder(QString &path)
{
    path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!path.isEmpty() && !QFileInfo(path).isDir())
        path.clear();
}

namespace {

QString KeptFileText(const QString &name)
{
    return QStringLiteral(" Файл ") + name + QStringLiteral(" используется справочником. ");
}

} // namespace

void SetPrintedReport(THTMLViewer &view, const QString &body)
{
    QString head, foot;
    BuildHtmlPageHead(head);
    BuildHtmlPageFoot(foot);
    view.SetDefFontName(QStringLiteral("Verdana"));
    view.SetDefFontSize(6);
    view.SetDefBackground(QColor(0xFF, 0xFF, 0xFF));
    view.SetDefHotSpotColor(Qt::black);
    view.SetDefOverLinkColor(Qt::black);
    // The page is parsed only on the layout's thread: a report of many
    // thousand rows would hold the window up as long again here.
    view.OnPreparePrintedPage = [](QTextDocument &doc) {
        CutLongTexts(doc);
        PreparePrintedPage(doc);
    };
    view.SetPrintedPage({head, body, foot});
}

void PrintOrPreviewHtml(QWidget *form, const QString &body, bool preview, const QStringList &keptFiles)
{
    if (PrinterNames().isEmpty()) {
        ShowMessageText(QStringLiteral("          Принтер не установлен.          "));
        return;
    }
    // The hidden view lives only for this call, whatever happens in it.
    std::unique_ptr<THTMLViewer> view(new THTMLViewer(form));
    view->hide();
    SetPrintedReport(*view, body);
    view->OnCheckPrintFile = [keptFiles](const QString &name, int fd) {
        for (const QString &kept : keptFiles)
            if (SameFile(fd, kept))
                return KeptFileText(name);
        return QString();
    };

    bool aborted = false;
    auto *previewForm = new TPreviewForm(qApp->activeWindow(), view.get(), aborted);
    if (aborted) {
        previewForm->close();
        return;
    }
    try {
        if (preview) {
            previewForm->exec();
        } else {
            previewForm->PrintWithDialog();
            previewForm->close();
        }
    } catch (...) {
        previewForm->close();
        throw;
    }
}

void SaveHtmlToFile(QWidget *form, const QString &html, bool &cancelled, const QStringList &keptFiles)
{
    TSaveDialog dialog;
    dialog.FileName = QStringLiteral("*.htm");
    GetMyDocumentsFolder(dialog.InitialDir);
    dialog.DefaultExt = QStringLiteral("htm");
    dialog.Filter = QStringLiteral("Веб-страница (*.htm;*.html)|htm");
    dialog.OverwritePrompt = false;
    cancelled = !dialog.Execute(form);
    if (cancelled)
        return;
    const QString name = dialog.FileName;

    // A quote cannot be part of a file name where the pages are read, and
    // the dialog would take it as a list of names.
    if (QFileInfo(name).fileName().contains(u'"')) {
        cancelled = true;
        ShowMessageText(QStringLiteral(" Недопустимое имя файла ") + name);
        return;
    }
    for (const QString &kept : keptFiles) {
        if (SameFile(name, kept)) {
            cancelled = true;
            ShowMessageText(KeptFileText(name));
            return;
        }
    }

    int choice = mrNone; // new file
    if (QFileInfo::exists(name))
        choice = MessageDialog(QStringLiteral("Файл ") + name + QStringLiteral(" уже существует. "), mtConfirmation,
                               mbCancel | mbNoToAll | mbYesToAll, 0);
    if (choice != mrNone && choice != mrNoToAll && choice != mrYesToAll) {
        cancelled = true;
        return;
    }
    const TWriteMode mode = choice == mrYesToAll  ? TWriteMode::Append
                            : choice == mrNoToAll ? TWriteMode::Clear
                                                  : TWriteMode::New;
    QString reason;
    switch (WriteRegularFile(name, ToCp1251(html), mode, &reason)) {
    case TWriteResult::Written: return;
    case TWriteResult::NotCreated:
        throw Exception(QStringLiteral("Cannot create file \"%1\". %2").arg(QDir::toNativeSeparators(name), reason));
    case TWriteResult::NotRegular:
        cancelled = true;
        ShowMessageText(QStringLiteral(" Ошибка открытия файла ") + name);
        return;
    case TWriteResult::WriteFailed:
        cancelled = true;
        ShowMessageText(QStringLiteral(" Ошибка записи файла ") + name);
        return;
    }
}
