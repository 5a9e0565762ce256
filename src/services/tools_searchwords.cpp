#include "services/tools_searchwords.h"

#include "data/codec.h"
#include "services/globals.h"
#include "services/tools_format.h"

#include <vector>

namespace {

QString FoldBlanks(QString s)
{
    while (s.contains(QLatin1String("  ")))
        s.replace(QLatin1String("  "), QLatin1String(" "));
    return s;
}

// Reads MySQL-style escapes back: \\ \' \" and \n (CR LF); any other
// backslash stays as it is.
QString UnescapeSqlText(const QString &s)
{
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c != u'\\' || i + 1 >= s.size()) {
            out += c;
            continue;
        }
        const QChar next = s[i + 1];
        if (next == u'\\' || next == u'\'' || next == u'"')
            out += next;
        else if (next == u'n')
            out += QLatin1String("\r\n");
        else
            out += QStringView(s).mid(i, 2);
        ++i;
    }
    return out;
}

// The needle of a word holding a quote on SQLite, where backslashes escape
// nothing: the text the user meant (what LIKE matches on the network
// version), upper-cased, as a hex literal of its Windows-1251 bytes, so that
// no typed character reaches the SQL text itself.
QString QuotedNeedleLiteral(const QString &escapedWord)
{
    const QString needle = UpperAnsi(UnescapeSqlText(UnescapeSqlText(escapedWord)));
    return QStringLiteral("CAST(x'") + QString::fromLatin1(ToCp1251(needle).toHex().toUpper()) +
           QStringLiteral("' AS TEXT)");
}

// The LIKE literal of a word holding a backslash on MySQL. The word arrives
// escaped twice and the undo step of the second escaping folds the first
// one's doubled backslash, so the plain fragment would let LIKE read the
// backslash as an escape and never find it. Here the backslash is made a
// literal of LIKE, then of the SQL string.
QString BackslashLikeLiteral(const QString &escapedWord)
{
    QString s = UnescapeSqlText(UnescapeSqlText(escapedWord));
    s.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    s.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    s.replace(QLatin1String("'"), QLatin1String("\\'"));
    s.replace(QLatin1String("\""), QLatin1String("\\\""));
    s.replace(QLatin1String("\r"), QLatin1String("\\r"));
    s.replace(QLatin1String("\n"), QLatin1String("\\n"));
    return s;
}

QString WordFragment(const QString &word, const QString &column, QChar separator)
{
    const QString w = EscapeSqlText(word);
    const bool backslash = w.contains(u'\\') && UnescapeSqlText(UnescapeSqlText(w)).contains(u'\\');
    const bool last = separator.isNull();
    QString connective;
    if (separator == u' ')
        connective = QStringLiteral(" AND");
    else if (separator == u'!')
        connective = QStringLiteral(" AND NOT");
    else if (separator == u'|')
        connective = QStringLiteral(" OR");

    if (IsMysqlProtocol()) {
        const QString test =
            column + QStringLiteral(" like '%") + (backslash ? BackslashLikeLiteral(w) : w) + QStringLiteral("%')");
        return last ? u' ' + test : QStringLiteral("( ") + test + connective;
    }
    const QString needle =
        w.contains(u'\'') || w.contains(u'"') || backslash ? QuotedNeedleLiteral(w) : u'\'' + UpperAnsi(w) + u'\'';
    const QString test = QStringLiteral("postext(") + needle + QStringLiteral(" , ") + column + QStringLiteral(")>0");
    return last ? u' ' + test + u')' : QStringLiteral("( ") + test + QStringLiteral(" )") + connective;
}

} // namespace

QString UpperAnsi(const QString &text)
{
    const QByteArray bytes = ToCp1251(text);
    QByteArray upper = bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b == '?' && text[i] != u'?')
            continue; // outside the code page
        upper[i] = static_cast<char>(Cp1251Upper(b));
    }
    // Converted back in one go; only the letters that changed are taken.
    const QString mapped = FromCp1251(upper);
    QString out = text;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (upper[i] != bytes[i])
            out[i] = mapped[i];
    }
    return out;
}

QString EscapeSqlText(const QString &text)
{
    if (text.isEmpty())
        return QString();
    QString s = text;
    // A NUL cannot travel inside an SQL text (SQLite ends the statement there).
    s.remove(QChar(0));
    s.replace(QLatin1String("\\\\"), QLatin1String("\\"));
    s.replace(QLatin1String("\\\""), QLatin1String("\""));
    s.replace(QLatin1String("\\n"), QLatin1String("\r\n"));
    s.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    s.replace(QLatin1String("\""), QLatin1String("\\\""));
    s.replace(QLatin1String("'"), QLatin1String("\\'"));
    s.replace(QLatin1String("\r\n"), QLatin1String("\\n"));
    return FoldBlanks(TrimText(s));
}

QString BuildWordCondition(const QString &words, const QString &column, const QString &prefix)
{
    if (words.isEmpty())
        return QString();
    QString rest = TrimText(FoldBlanks(TrimText(words)));
    QString result = prefix + QStringLiteral(" (");
    for (;;) {
        // The split is at the first of the three separators, however far.
        qsizetype split = -1;
        for (qsizetype i = 0; i < rest.size(); ++i) {
            const QChar c = rest[i];
            if (c == u' ' || c == u'!' || c == u'|') {
                split = i;
                break;
            }
        }
        if (split < 0)
            break;
        result += WordFragment(rest.left(split), column, rest[split]);
        rest.remove(0, split + 1);
    }
    result += WordFragment(rest, column, QChar());
    return result;
}

void SplitSearchWords(const QString &text, QStringList &words)
{
    QString s = text;
    for (const QChar c : {u'#', u'&', u'!', u'|', u'(', u')', u'\''})
        s.replace(c, u' ');
    s = TrimText(FoldBlanks(s)) + u' ';
    qsizetype blank;
    while ((blank = s.indexOf(u' ')) >= 0) {
        words.append(s.left(blank));
        s.remove(0, blank + 1);
    }
}

QString HighlightWordsHtml(const QString &text, const QStringList &words)
{
    if (words.isEmpty())
        return EscapeHtmlText(text);
    // The marks are kept apart from the characters, so that neither the text
    // nor a later word can be taken for a mark.
    enum : char { kChar, kStart, kEnd };
    struct TItem {
        QChar ch;
        QChar upper;
        char kind;
    };
    std::vector<TItem> items;
    items.reserve(size_t(text.size()));
    const QString upperText = UpperAnsi(text);
    for (qsizetype i = 0; i < text.size(); ++i)
        items.push_back({text[i], upperText[i], kChar});

    for (const QString &word : words) {
        if (word.isEmpty())
            continue;
        const QString w = UpperAnsi(word);
        const size_t len = size_t(w.size());
        size_t i = 0;
        while (i + len <= items.size()) {
            size_t k = 0;
            while (k < len && items[i + k].kind == kChar && items[i + k].upper == w[qsizetype(k)])
                ++k;
            if (k < len) {
                ++i;
                continue;
            }
            items.insert(items.begin() + std::ptrdiff_t(i + len), TItem{QChar(), QChar(), kEnd});
            items.insert(items.begin() + std::ptrdiff_t(i), TItem{QChar(), QChar(), kStart});
            i += len + 2;
        }
    }

    // The text is escaped run by run; only the marks become markup.
    QString out;
    out.reserve(text.size() + 32);
    QString run;
    for (const TItem &item : items) {
        if (item.kind == kChar) {
            run += item.ch;
            continue;
        }
        out += EscapeHtmlText(run);
        run.clear();
        out += item.kind == kStart ? QLatin1String("<font color=red>") : QLatin1String("</font>");
    }
    return out + EscapeHtmlText(run);
}
