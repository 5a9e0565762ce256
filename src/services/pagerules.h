#pragma once
// The catalogue's rules for the pages it shows and prints: how much of one
// catalogue text a page shows, and the one label column of printed cards.

#include <QString>

class QTextDocument;

// The longest run of text a shown or printed page holds; the layout of one
// long word grows with the square of its length.
constexpr int kMaxShownText = 1000;

// text cut to maxText characters, with "…" where it was cut.
QString CutLongText(const QString &text, int maxText = kMaxShownText);

// Every run of text of the parsed page (the text of one format between two
// line breaks) cut as CutLongText does.
void CutLongTexts(QTextDocument &doc, int maxText = kMaxShownText);

// The page html as a view shows it: unchanged when no run is too long, else
// its long runs cut, read with the default font and style sheet of like, so
// that it looks as it would there.
QString CutLongTexts(const QString &html, const QTextDocument &like, int maxText = kMaxShownText);

// The printed copy of a page: a column that asks for a narrow percentage
// takes the width of its words, and all such columns the width of the
// widest, so that cards printed one below another keep one label column.
void PreparePrintedPage(QTextDocument &doc);
