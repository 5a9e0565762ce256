#include "data/inifile.h"

#include "data/codec.h"
#include "data/regularfile.h"

TIniFile::TIniFile(const QString &fileName) : m_fileName(fileName)
{
    QByteArray data;
    if (!ReadRegularFile(fileName, &data, MaxFileSize))
        return;
    // An editor that saves UTF-8 may put a byte-order mark first; it would
    // otherwise hide the first section.
    const bool utf8 = data.startsWith("\xEF\xBB\xBF");
    if (utf8)
        data.remove(0, 3);
    const QList<QByteArray> lines = data.split('\n');
    QHash<QString, QString> *current = nullptr;
    for (const QByteArray &raw : lines) {
        const QString line = (utf8 ? QString::fromUtf8(raw) : FromCp1251(raw)).trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            if (close < 0)
                continue;
            const QString name = line.mid(1, close - 1).trimmed().toLower();
            current = &m_sections[name];
            continue;
        }
        if (!current)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed().toLower();
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        if (!current->contains(key))
            current->insert(key, value);
    }
}

QString TIniFile::ReadString(const QString &section, const QString &key, const QString &def) const
{
    const auto s = m_sections.constFind(section.toLower());
    if (s == m_sections.constEnd())
        return def;
    const auto v = s->constFind(key.toLower());
    return v == s->constEnd() ? def : *v;
}

int TIniFile::ReadInteger(const QString &section, const QString &key, int def) const
{
    const QString text = ReadString(section, key, QString());
    return text.isEmpty() ? def : StrToIntDef(text, def);
}

bool TIniFile::ReadBool(const QString &section, const QString &key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TIniFile::SectionExists(const QString &section) const
{
    return m_sections.contains(section.toLower());
}

bool TIniFile::ValueExists(const QString &section, const QString &key) const
{
    const auto s = m_sections.constFind(section.toLower());
    return s != m_sections.constEnd() && s->contains(key.toLower());
}

int StrToIntDef(const QString &text, int def)
{
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith(u'-') || t.startsWith(u'+')) {
        negative = t.front() == u'-';
        t.remove(0, 1);
    }
    int base = 10;
    if (t.startsWith(u'$')) {
        base = 16;
        t.remove(0, 1);
    } else if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        t.remove(0, 2);
    }
    if (t.isEmpty())
        return def;
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok, base);
    if (!ok)
        return def;
    const qlonglong s = negative ? -v : v;
    if (s < std::numeric_limits<int>::min() || s > std::numeric_limits<int>::max())
        return def;
    return static_cast<int>(s);
}
