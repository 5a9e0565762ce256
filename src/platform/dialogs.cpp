#include "platform/dialogs.h"

#include "platform/printers.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QStringList>

namespace {
std::function<bool(TPrintDialog &)> &PrintHook()
{
    static std::function<bool(TPrintDialog &)> hook;
    return hook;
}
std::function<bool(TSaveDialog &)> &SaveHook()
{
    static std::function<bool(TSaveDialog &)> hook;
    return hook;
}

// "Text|mask|Text|mask" to Qt's "Text (mask)" filters; the mask is taken as
// it stands.
QStringList NameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + QStringLiteral(" (") + QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                       QLatin1Char(')');
    return filters;
}
} // namespace

void SetPrintDialogHook(std::function<bool(TPrintDialog &)> hook)
{
    PrintHook() = std::move(hook);
}

void SetSaveDialogHook(std::function<bool(TSaveDialog &)> hook)
{
    SaveHook() = std::move(hook);
}

bool TPrintDialog::Execute(QWidget *parent)
{
    if (PrintHook())
        return PrintHook()(*this);
    QPrinter *printer = Printer();
    QPrintDialog dialog(printer, parent);
    // The PDF file printer is offered through the dialog's print-to-file
    // choice, so that option stays on.
    QAbstractPrintDialog::PrintDialogOptions options = QAbstractPrintDialog::PrintToFile;
    if (AllowPageNums)
        options |= QAbstractPrintDialog::PrintPageRange;
    dialog.setOptions(options);
    dialog.setMinMax(MinPage, MaxPage);
    dialog.setFromTo(FromPage, ToPage);
    dialog.setPrintRange(PrintRange == prPageNums ? QAbstractPrintDialog::PageRange : QAbstractPrintDialog::AllPages);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    PrintRange = dialog.printRange() == QAbstractPrintDialog::PageRange ? prPageNums : prAllPages;
    if (PrintRange == prPageNums) {
        FromPage = dialog.fromPage();
        ToPage = dialog.toPage();
    }
    return true;
}

bool TSaveDialog::Execute(QWidget *parent)
{
    if (SaveHook())
        return SaveHook()(*this);
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!OverwritePrompt)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!InitialDir.isEmpty())
        dialog.setDirectory(InitialDir);
    dialog.setNameFilters(NameFilters(Filter));
    dialog.setDefaultSuffix(DefaultExt);
    dialog.selectFile(FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    FileName = dialog.selectedFiles().constFirst();
    // Qt's own dialog reads quotes in the typed name as a list of names and
    // would hand back another file than the one typed; the caller gets the
    // name as typed instead and judges it.
    if (auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        edit && edit->text().contains(QLatin1Char('"')))
        FileName = dialog.directory().absoluteFilePath(edit->text());
    return true;
}
