#pragma once
// The user's search words: escaping for SQL literals, the condition on one
// column expression in the deployment's dialect (blank = AND, "!" = AND NOT,
// "|" = OR; LIKE on the network version, postext on the local one), and the
// words for highlighting and their red marking in HTML text.

#include <QString>
#include <QStringList>

// Escapes backslashes and quotes for a MySQL literal, undoing an earlier
// escaping first so that escaping twice does not grow the text (except for
// the single quote); trims and folds runs of blanks.
QString EscapeSqlText(const QString &text);

// Condition for the words on the column expression, after the prefix. The
// callers pass words already escaped with EscapeSqlText.
QString BuildWordCondition(const QString &words, const QString &column, const QString &prefix);

// Appends the words of a search text; a text of separators only gives one
// empty word.
void SplitSearchWords(const QString &text, QStringList &words);

// The plain text as HTML, every occurrence of every word (any letter case)
// wrapped in red font markup; the text itself is escaped, so "<" in the text
// or in a word stays a character.
QString HighlightWordsHtml(const QString &text, const QStringList &words);

// Upper case by the Windows-1251 table, as postext upper-cases the catalogue
// text; characters outside the code page stay as they are.
QString UpperAnsi(const QString &text);
