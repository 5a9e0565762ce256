#pragma once
// The printers the program may use: the desktop's print queues as Qt sees
// them, plus the print-to-PDF-file printer that Qt's print dialog always
// offers, so a desktop without a physical printer can still preview and
// print to a file. Also the current printer every print job goes to.

#include <QString>
#include <QStringList>

#include <functional>

class QPrinter;

// The name under which the PDF file printer appears in the list.
QString PdfPrinterName();

// The print queues, then the PDF file printer.
QStringList PrinterNames();

// Tests give their own list; an empty hook puts the desktop's list back.
void SetPrinterNamesHook(std::function<QStringList()> hook);

// The current printer, made on first use at the printer's own resolution:
// the desktop's default queue, or the PDF file printer when there is none.
QPrinter *Printer();

// Tests give their own printer (one that refuses a page, say); an empty
// hook puts the current printer back.
void SetPrinterHook(std::function<QPrinter *()> hook);
