#include "data/settingsformat.h"

#include <QStringList>

namespace {

const char kHex[] = "0123456789ABCDEF";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsHexDigit(char16_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(char c)
{
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

void EscapeKey(const QString &key, QByteArray &out)
{
    for (const QChar qc : key) {
        const char16_t c = qc.unicode();
        if (c == u'/') {
            out += '\\';
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
                   c == '.') {
            out += char(c);
        } else if (c <= 0xFF) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += kHex[(c >> shift) & 15];
        }
    }
}

QString UnescapeKey(const QByteArray &key)
{
    const QString s = QString::fromUtf8(key);
    QString out;
    for (qsizetype i = 0; i < s.size();) {
        const QChar c = s.at(i);
        if (c == u'\\') {
            out += u'/';
            ++i;
            continue;
        }
        if (c == u'%' && i + 1 < s.size()) {
            qsizetype first = i + 1;
            qsizetype digits = 2;
            if (s.at(first) == u'U') {
                ++first;
                digits = 4;
            }
            bool ok = false;
            const ushort code = first + digits <= s.size() ? QStringView(s).mid(first, digits).toUShort(&ok, 16) : 0;
            if (ok) {
                out += QChar(code);
                i = first + digits;
                continue;
            }
        }
        out += c;
        ++i;
    }
    return out;
}

struct TLine {
    qsizetype start = 0;
    qsizetype length = 0;
    qsizetype equals = -1; // in data, -1 for none
};

// The next line as QSettings cuts the file: a quoted value may run over
// line ends, a backslash keeps the character after it, ";" outside quotes
// starts a comment to the end of the line.
bool NextLine(const QByteArray &d, qsizetype &pos, TLine &line)
{
    const qsizetype n = d.size();
    qsizetype start = pos;
    while (start < n && IsBlank(d.at(start)))
        ++start;
    qsizetype i = start;
    qsizetype equals = -1;
    bool quoted = false;
    while (i < n) {
        const char c = d.at(i++);
        if (c == '=') {
            if (!quoted && equals < 0)
                equals = i - 1;
        } else if (c == '\n' || c == '\r') {
            if (!quoted) {
                --i;
                break;
            }
        } else if (c == '\\') {
            if (i < n) {
                const char next = d.at(i++);
                if (i < n && ((next == '\n' && d.at(i) == '\r') || (next == '\r' && d.at(i) == '\n')))
                    ++i;
            }
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ';') {
            if (i == start + 1) {
                while (i < n && d.at(i) != '\n' && d.at(i) != '\r')
                    ++i;
                while (i < n && IsBlank(d.at(i)))
                    ++i;
                start = i;
            } else if (!quoted) {
                --i;
                break;
            }
        }
    }
    pos = i;
    line = {start, i - start, equals};
    return i > start;
}

void ChopBlanks(QString &s, qsizetype limit)
{
    while (s.size() > limit && (s.back() == u' ' || s.back() == u'\t'))
        s.chop(1);
}

} // namespace

TIniValues ParseIniLayout(const QByteArray &file)
{
    const QByteArray data = file.startsWith("\xEF\xBB\xBF") ? file.mid(3) : file;
    TIniValues values;
    QString prefix;
    qsizetype pos = 0;
    TLine line;
    while (NextLine(data, pos, line)) {
        const QByteArray text = data.mid(line.start, line.length);
        if (text.startsWith('[')) {
            qsizetype close = text.indexOf(']');
            if (close < 0)
                close = text.size();
            const QByteArray name = text.mid(1, close - 1).trimmed();
            if (name.compare("general", Qt::CaseInsensitive) == 0)
                prefix.clear();
            else if (name.compare("%general", Qt::CaseInsensitive) == 0)
                prefix = QString::fromLatin1(name.mid(1)) + u'/';
            else
                prefix = UnescapeKey(name) + u'/';
            continue;
        }
        if (line.equals < 0)
            continue;
        const qsizetype eq = line.equals - line.start;
        const QString name = UnescapeKey(text.left(eq).trimmed());
        if (!name.isEmpty())
            values.insert(prefix + name, text.mid(eq + 1));
    }
    return values;
}

QByteArray WriteIniLayout(const TIniValues &values)
{
    QMap<QString, TIniValues> sections;
    for (auto it = values.begin(); it != values.end(); ++it) {
        const qsizetype slash = it.key().indexOf(u'/');
        if (slash < 0)
            sections[QString()].insert(it.key(), it.value());
        else
            sections[it.key().left(slash)].insert(it.key().mid(slash + 1), it.value());
    }
    QByteArray out;
    for (auto s = sections.begin(); s != sections.end(); ++s) {
        QByteArray name;
        EscapeKey(s.key(), name);
        if (name.isEmpty())
            name = "General";
        else if (name.compare("general", Qt::CaseInsensitive) == 0)
            name = "%General";
        if (s != sections.begin())
            out += '\n';
        out += '[' + name + "]\n";
        for (auto it = s->begin(); it != s->end(); ++it) {
            EscapeKey(it.key(), out);
            out += '=' + it.value() + '\n';
        }
    }
    return out;
}

bool IniValueText(const QByteArray &raw, QString *text)
{
    const qsizetype n = raw.size();
    QString s;
    QStringList list;
    bool isList = false;
    bool inQuotes = false;
    bool quotedValue = false;
    qsizetype i = 0;
    qsizetype chopLimit = 0;
    const auto skipBlanks = [&] {
        while (i < n && (raw.at(i) == ' ' || raw.at(i) == '\t'))
            ++i;
        chopLimit = s.size();
    };
    // A numeric escape: digits of base (16 or 8) as one character.
    const auto numeric = [&](char16_t value, int base) {
        for (; i < n; ++i) {
            const char c = raw.at(i);
            const int digit = base == 16 ? HexValue(c) : c >= '0' && c <= '7' ? c - '0' : -1;
            if (digit < 0)
                break;
            value = char16_t(value * base + digit);
        }
        s += QChar(value);
        chopLimit = s.size();
    };
    skipBlanks();
    while (i < n) {
        const char c = raw.at(i);
        if (c == '\\') {
            if (++i >= n)
                break;
            const char e = raw.at(i++);
            static const char named[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                            {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                            {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
            const char *hit = nullptr;
            for (const auto &pair : named)
                if (pair[0] == e)
                    hit = pair;
            if (hit) {
                s += QLatin1Char(hit[1]);
            } else if (e == 'x') {
                if (i >= n)
                    break;
                if (IsHexDigit(raw.at(i))) {
                    numeric(0, 16);
                    continue;
                }
            } else if (e >= '0' && e <= '7') {
                numeric(char16_t(e - '0'), 8);
                continue;
            } else if (e == '\n' || e == '\r') {
                if (i < n && (raw.at(i) == '\n' || raw.at(i) == '\r') && raw.at(i) != e)
                    ++i;
            }
            chopLimit = s.size();
        } else if (c == '"') {
            ++i;
            quotedValue = true;
            inQuotes = !inQuotes;
            if (!inQuotes)
                skipBlanks();
        } else if (c == ',' && !inQuotes) {
            if (!quotedValue)
                ChopBlanks(s, chopLimit);
            isList = true;
            list.append(s);
            s.clear();
            quotedValue = false;
            ++i;
            skipBlanks();
        } else {
            qsizetype j = i + 1;
            while (j < n && raw.at(j) != '\\' && raw.at(j) != '"' && raw.at(j) != ',')
                ++j;
            s += QString::fromUtf8(raw.constData() + i, j - i);
            i = j;
        }
    }
    if (!quotedValue)
        ChopBlanks(s, chopLimit);
    if (isList) {
        text->clear();
        return true;
    }
    if (s.startsWith(u'@')) {
        if (s.endsWith(u')')) {
            if (s.startsWith(QLatin1String("@ByteArray("))) {
                *text = s.mid(11).chopped(1);
                return true;
            }
            if (s.startsWith(QLatin1String("@String("))) {
                *text = s.mid(8).chopped(1);
                return true;
            }
            if (s == QLatin1String("@Invalid()"))
                return false;
        }
        if (s.startsWith(QLatin1String("@@")))
            s.remove(0, 1);
    }
    *text = s;
    return true;
}

QByteArray IniRawValue(const QString &value)
{
    QString s = value;
    if (s.contains(QChar(0)))
        s = QStringLiteral("@String(") + s + u')';
    else if (s.startsWith(u'@'))
        s.prepend(u'@');
    QByteArray out;
    bool quotes = false;
    bool hexNext = false; // a digit after a numeric escape would join it
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s.at(i).unicode();
        if (c == ';' || c == ',' || c == '=')
            quotes = true;
        if (hexNext && IsHexDigit(c)) {
            out += "\\x" + QByteArray::number(c, 16);
            continue;
        }
        hexNext = false;
        switch (c) {
        case 0:
            out += "\\0";
            hexNext = true;
            break;
        case '\a': out += "\\a"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\v': out += "\\v"; break;
        case '"':
        case '\\':
            out += '\\';
            out += char(c);
            break;
        default:
            if (c <= 0x1F) {
                out += "\\x" + QByteArray::number(c, 16);
                hexNext = true;
            } else if (c < 0x80) {
                out += char(c);
            } else {
                const bool pair = s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate();
                out += s.mid(i, pair ? 2 : 1).toUtf8();
                if (pair)
                    ++i;
            }
        }
    }
    if (quotes || (!out.isEmpty() && (out.front() == ' ' || out.back() == ' '))) {
        out.prepend('"');
        out.append('"');
    }
    return out;
}
