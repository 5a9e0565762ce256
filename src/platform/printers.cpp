#include "platform/printers.h"

#include <QPrinter>
#include <QPrinterInfo>

namespace {
std::function<QStringList()> &NamesHook()
{
    static std::function<QStringList()> hook;
    return hook;
}

std::function<QPrinter *()> &PrinterHook()
{
    static std::function<QPrinter *()> hook;
    return hook;
}
} // namespace

QString PdfPrinterName()
{
    return QStringLiteral("Печать в файл (PDF)");
}

QStringList PrinterNames()
{
    if (NamesHook())
        return NamesHook()();
    QStringList names = QPrinterInfo::availablePrinterNames();
    names.append(PdfPrinterName());
    return names;
}

void SetPrinterNamesHook(std::function<QStringList()> hook)
{
    NamesHook() = std::move(hook);
}

void SetPrinterHook(std::function<QPrinter *()> hook)
{
    PrinterHook() = std::move(hook);
}

QPrinter *Printer()
{
    if (PrinterHook())
        return PrinterHook()();
    // Kept to the end of the process: a printer must not outlive the
    // application's shutdown in a static destructor.
    static QPrinter *printer = nullptr;
    if (!printer) {
        printer = new QPrinter(QPrinter::HighResolution);
        if (QPrinterInfo::defaultPrinter().isNull())
            printer->setOutputFormat(QPrinter::PdfFormat);
    }
    return printer;
}
