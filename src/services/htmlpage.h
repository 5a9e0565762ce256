#pragma once
// The common frame of printed pages and the one path by which windows
// print, preview or save an HTML body.

#include <QString>
#include <QStringList>

class QWidget;
class THTMLViewer;

// The head line: the system's title at the left, today's date (short date
// format) at the right.
void BuildHtmlPageHead(QString &text);
// The foot with the copyright line.
void BuildHtmlPageFoot(QString &text);
// The user's documents folder, or empty text when there is none.
void GetMyDocumentsFolder(QString &path);

// Gives view the body with head and foot to print, with the report's font
// and rules; the page is parsed only when it is laid out.
void SetPrintedReport(THTMLViewer &view, const QString &body);
// Prints (preview false) or previews the body with head and foot; nothing
// but a message when no printer is installed. A print to a file, from here
// or from the preview, refuses keptFiles as SaveHtmlToFile does.
void PrintOrPreviewHtml(QWidget *form, const QString &body, bool preview, const QStringList &keptFiles);

// Asks for a file and writes html to it as Windows-1251 bytes, creating,
// clearing or extending the file as the user chooses. cancelled is true when
// the user cancelled or the file could not be opened or written. Only a
// regular file or a new one is written, and never one of keptFiles (the
// files the running program depends on: catalogue, configuration, log) under
// any name or link that leads to it.
void SaveHtmlToFile(QWidget *form, const QString &html, bool &cancelled, const QStringList &keptFiles);
