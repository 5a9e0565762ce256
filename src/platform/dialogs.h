#pragma once
// The common print and save-file dialogs, as objects that keep their
// settings between runs. Execute shows Qt's dialog; a test gives its own
// answer through the hook instead, on the same object.

#include <QString>

#include <functional>

class QWidget;

enum TPrintRange { prAllPages, prSelection, prPageNums };

class TPrintDialog
{
public:
    bool AllowPageNums = false; // page range may be chosen
    int MinPage = 0;
    int MaxPage = 0;
    int FromPage = 0;
    int ToPage = 0;
    TPrintRange PrintRange = prAllPages;

    // True when confirmed; the current printer then holds the choice of
    // printer (or PDF file) made in the dialog.
    bool Execute(QWidget *parent = nullptr);
};

class TSaveDialog
{
public:
    QString FileName;
    QString InitialDir;
    QString DefaultExt;
    // "description|mask" pairs separated by "|".
    QString Filter;
    bool OverwritePrompt = false;

    // True when confirmed; FileName then holds the chosen file, or the
    // name exactly as typed when it holds a double quote.
    bool Execute(QWidget *parent = nullptr);
};

// Tests answer the dialogs; an empty hook shows the real dialog again.
void SetPrintDialogHook(std::function<bool(TPrintDialog &)> hook);
void SetSaveDialogHook(std::function<bool(TSaveDialog &)> hook);
